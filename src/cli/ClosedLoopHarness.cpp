#include "cli/ClosedLoopHarness.h"

#include "firmware/DemoFirmware.h"
#include "firmware/FirmwareStore.h"
#include "live/LiveParameters.h"
#include "sim/DriveModel.h"
#include "sim/EcuFuelling.h"
#include "sim/EcuMemory.h"
#include "sim/EngineSource.h"
#include "sim/MixtureSensor.h"
#include "sim/SplitMix.h"
#include "tuning/Accumulator.h"
#include "tuning/FourPointMethod.h"
#include "tuning/GridAxes.h"
#include "tuning/TuningGrid.h"
#include "tuning/TuningWrites.h"
#include "tuning/WorkingPoint.h"

#include <array>
#include <cmath>
#include <memory>
#include <set>
#include <utility>

namespace korvel::cli {

namespace {

constexpr std::int64_t kCorrectionTable = 0x7CF7;
// A cell the drive only crosses while accelerating is never held long enough
// to be tuned there; a cell is judged once the drive has spent this long in it.
constexpr double kMinSecondsPerCell = 5;
// How many of the drive's states in a cell stand for it when it is judged.
constexpr std::size_t kStatesPerCell = 200;
constexpr int kFourPointBytes = 18;

// The drive's states in each cell, kept as a uniform sample (reservoir
// sampling, seeded) so that a long drive is represented evenly.
class DrivenStates {
public:
    explicit DrivenStates(std::uint32_t seed) : m_random(seed) {}

    void add(const sim::EngineState &truth) {
        const auto cell = static_cast<std::size_t>(truth.workPoint);
        std::vector<sim::EngineState> &kept = m_states[cell];
        const std::uint64_t seen = ++m_seen[cell];
        if (kept.size() < kStatesPerCell) {
            kept.push_back(truth);
        } else if (const std::uint64_t slot = sim::nextRandom(m_random) % seen; slot < kStatesPerCell) {
            kept[slot] = truth;
        }
    }
    std::uint64_t seen(int cell) const { return m_seen[static_cast<std::size_t>(cell)]; }
    const std::vector<sim::EngineState> &of(int cell) const { return m_states[static_cast<std::size_t>(cell)]; }

private:
    std::uint64_t m_random;
    std::array<std::vector<sim::EngineState>, 256> m_states;
    std::array<std::uint64_t, 256> m_seen{};
};

// Tuning's writes go straight into the simulated ECU's memory; the worker is never busy.
class MemoryWrites : public TuningWrites {
public:
    explicit MemoryWrites(sim::EcuMemory &memory) : m_memory(memory) {}

    bool busy() const override { return false; }
    void remake(int address, std::uint8_t value, int) override {
        m_memory.write(address, QByteArray(1, static_cast<char>(value)));
        note(address);
    }
    void remakeFourPoints(int address, const QByteArray &bytes) override {
        m_memory.write(address, bytes.left(kFourPointBytes));
        note(address);
    }
    void remakeGbc(int, const QByteArray &) override {}
    void remakePopr(int address, const QByteArray &table) override { m_memory.write(address, table); }
    void remakeUoz(int, const QByteArray &) override {}
    void correct23DF(int, const QByteArray &, int, int) override {}

    std::set<int> takeCorrected() { return std::exchange(m_corrected, {}); }

private:
    void note(int address) {
        const int cell = address - static_cast<int>(kCorrectionTable);
        if (cell >= 0 && cell < 256)
            m_corrected.insert(cell);
    }
    sim::EcuMemory &m_memory;
    std::set<int> m_corrected;
};

// The mixture error that the tables in one image give in a cell, as the
// wideband would show it on average over the drive's own states there.
double cellError(const sim::EcuFuelling &fuelling, const std::vector<sim::EngineState> &states) {
    double sum = 0;
    for (const sim::EngineState &truth : states) {
        const sim::EngineState fuelled = fuelling.fuel(truth);
        sum += fuelled.mixture / fuelled.afrTarget - 1;
    }
    return states.empty() ? 0 : sum / static_cast<double>(states.size());
}

MinuteFigures figuresOf(const QByteArray &image, const sim::AirErrorMap &map, const std::set<int> &visited,
                        const DrivenStates &driven) {
    const sim::EcuMemory memory(image);
    const sim::EcuFuelling fuelling(memory, map);
    MinuteFigures f;
    double squares = 0;
    int within = 0;
    for (int cell : visited) {
        const double e = cellError(fuelling, driven.of(cell));
        squares += e * e;
        within += std::abs(e) <= 0.02 ? 1 : 0;
    }
    f.visitedCells = static_cast<int>(visited.size());
    if (f.visitedCells > 0) {
        f.within2pct = double(within) / f.visitedCells;
        f.rmsErrorPct = 100 * std::sqrt(squares / f.visitedCells);
    }
    return f;
}

} // namespace

std::vector<MinuteFigures> runClosedLoopTuning(const HarnessOptions &options,
                                               const std::function<void(const MinuteFigures &)> &perMinute) {
    const QByteArray image = makeDemoFirmware();
    sim::EcuMemory memory(image);
    sim::EngineSource engine(options.seed);
    const auto fuelling =
        std::make_shared<sim::EcuFuelling>(memory, sim::AirErrorMap(options.seed, options.airErrorSize));
    engine.setFuelling(fuelling);
    sim::MixtureSensor sensor(options.seed);

    FirmwareStore store;
    store.loadImage(*FirmwareImage::fromBytes(image));
    const GridAxes axes = fuelling->axes();
    TuningGrid grid;
    for (int i = 0; i < 256; ++i) {
        const float corr =
            static_cast<float>(static_cast<std::uint8_t>(image.at(static_cast<qsizetype>(kCorrectionTable) + i))) / 128;
        TuningCell &c = grid.cells[static_cast<std::size_t>(i)];
        c.corrCurrent = c.learned = c.corrThr = corr;
    }
    MemoryWrites writes(memory);
    TuningSettings settings;
    Accumulator accumulator(grid, axes, store);
    accumulator.setTables({kCorrectionTable, -1});
    accumulator.setWrites(&writes);
    accumulator.startConnection(settings.minThrottle);
    FourPointMethod fourPoint;
    fourPoint.startConnection({settings.stationaryCycles, static_cast<int>(settings.weight), settings.minThrottle,
                               settings.corrMin, settings.corrMax});
    WorkingPointModel pointModel;
    TuningCounters fourPointCounters;
    TuningTrace fourPointTrace;

    std::vector<QByteArray> images; // the ECU's memory at the end of each minute
    std::vector<int> corrected;
    const sim::DriveModel drive(options.seed); // the engine's true state, before the ECU fuels it
    DrivenStates driven(options.seed);
    const int ticksPerMinute = static_cast<int>(std::lround(60 / options.tickSeconds));
    LiveParameters live;
    for (int minute = 0; minute <= options.minutes; ++minute) {
        if (minute == 1)
            accumulator.start(false, false);
        for (int i = 0; i < ticksPerMinute; ++i) {
            const double t = (minute * ticksPerMinute + i) * options.tickSeconds;
            const sim::EngineState s = engine.at(t);
            const double reading = sensor.sample(t, s.rpm, s.mixture);
            // Tuning leaves closed-throttle running alone ("Не настраивать ниже %").
            if (s.mixture > 0 && s.mixture != sim::EcuFuelling::kFreeAir && s.throttle >= settings.minThrottle) {
                sim::EngineState truth = drive.at(t);
                truth.workPoint = s.workPoint;
                driven.add(truth);
            }

            live.rpm = s.rpm;
            live.throttle = s.throttle;
            live.loadValue = s.throttle;
            live.coolantTemp = s.coolantTemp;
            live.afrEcu = s.afrTarget;
            live.afrWideband = reading;
            if (options.fourPoint) {
                const WorkingPoint wp = pointModel.compute(axes, {s.rpm, s.throttle, s.manifoldPressure * 10}, false);
                const double coefficient = std::round(reading / s.afrTarget * 1000) / 1000;
                fourPoint.tick({wp, s.rpm, s.throttle, coefficient, minute >= 1}, grid, store, kCorrectionTable,
                               &writes, fourPointCounters, fourPointTrace);
            } else {
                accumulator.tickFast({live, settings, true, true});
            }
        }
        images.push_back(memory.image());
        corrected.push_back(static_cast<int>(writes.takeCorrected().size()));
    }
    // Every minute is judged over the same cells and states: where the drive fuelled long enough.
    const auto minTicks = static_cast<std::uint64_t>(std::lround(kMinSecondsPerCell / options.tickSeconds));
    std::set<int> visited;
    for (int cell = 0; cell < 256; ++cell)
        if (driven.seen(cell) >= minTicks)
            visited.insert(cell);
    std::vector<MinuteFigures> out;
    for (std::size_t minute = 0; minute < images.size(); ++minute) {
        MinuteFigures f = figuresOf(images[minute], fuelling->errorMap(), visited, driven);
        f.minute = static_cast<int>(minute);
        f.cellsCorrected = corrected[minute];
        out.push_back(f);
        if (perMinute)
            perMinute(f);
    }
    return out;
}

} // namespace korvel::cli
