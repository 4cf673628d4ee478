#include "cli/ClosedLoopHarness.h"

#include "cli/TuningSessionCore.h"
#include "firmware/DemoFirmware.h"
#include "sim/DiagnosticFrames.h"
#include "sim/DriveModel.h"
#include "sim/EcuFuelling.h"
#include "sim/EcuMemory.h"
#include "sim/EngineSource.h"
#include "sim/MixtureSensor.h"
#include "sim/SplitMix.h"
#include "tuning/GridAxes.h"
#include "tuning/TuningWrites.h"

#include <array>
#include <cmath>
#include <memory>
#include <set>
#include <utility>

namespace korvel::cli {

namespace {

constexpr int kCells = 256;
// "Не настраивать ниже %" as config.ini ships it: tuning leaves closed-throttle running alone.
constexpr double kMinThrottle = 2;
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
    std::array<std::vector<sim::EngineState>, kCells> m_states;
    std::array<std::uint64_t, kCells> m_seen{};
};

// Tuning's writes go straight into the simulated ECU's memory; the worker is never busy.
class MemoryWrites : public TuningWrites {
public:
    explicit MemoryWrites(sim::EcuMemory &memory) : m_memory(memory) {}

    bool busy() const override { return false; }
    void remake(int address, std::uint8_t value, int) override {
        m_memory.write(address, QByteArray(1, static_cast<char>(value)));
        m_written.insert(address);
    }
    void remakeFourPoints(int address, const QByteArray &bytes) override {
        m_memory.write(address, bytes.left(kFourPointBytes));
        m_written.insert(address);
    }
    void remakeGbc(int address, const QByteArray &table) override { m_memory.write(address, table); }
    void remakePopr(int address, const QByteArray &table) override { m_memory.write(address, table); }
    void remakeUoz(int, const QByteArray &) override {}
    void correct23DF(int, const QByteArray &, int, int) override {}

    // The cells of the table corrected one by one since the last call.
    std::set<int> takeCorrected(std::int64_t table) {
        std::set<int> cells;
        for (int address : std::exchange(m_written, {}))
            if (address >= table && address < table + kCells)
                cells.insert(static_cast<int>(address - table));
        return cells;
    }

private:
    sim::EcuMemory &m_memory;
    std::set<int> m_written;
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
    const sim::PressureSensor pressureSensor = sim::PressureSensor::fromImage(image);

    MemoryWrites writes(memory);
    TuningSessionCore session(image, writes, options.fourPoint);
    const sim::DriveModel drive(options.seed); // the engine's true state, before the ECU fuels it
    DrivenStates driven(options.seed);

    std::vector<QByteArray> images; // the ECU's memory at the end of each minute
    std::vector<int> corrected;
    const int ticksPerMinute = static_cast<int>(std::lround(60 / options.tickSeconds));
    for (int minute = 0; minute <= options.minutes; ++minute) {
        if (minute == 1 && !session.startTuning())
            return {};
        for (int i = 0; i < ticksPerMinute; ++i) {
            const double t = (minute * ticksPerMinute + i) * options.tickSeconds;
            const sim::EngineState s = engine.at(t);
            if (s.mixture > 0 && s.mixture != sim::EcuFuelling::kFreeAir && s.throttle >= kMinThrottle) {
                sim::EngineState truth = drive.at(t);
                truth.workPoint = s.workPoint;
                driven.add(truth);
            }
            session.tick(t, sim::encodeDiagnosticFrame(sim::FrameLayout::Fast, s, pressureSensor),
                         sensor.sample(t, s.rpm, s.mixture));
        }
        images.push_back(memory.image());
        corrected.push_back(static_cast<int>(writes.takeCorrected(session.correctionTable()).size()));
    }
    // Every minute is judged over the same cells and states: where the drive fuelled long enough.
    const auto minTicks = static_cast<std::uint64_t>(std::lround(kMinSecondsPerCell / options.tickSeconds));
    std::set<int> visited;
    for (int cell = 0; cell < kCells; ++cell)
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
