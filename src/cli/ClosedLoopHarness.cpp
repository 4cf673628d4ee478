#include "cli/ClosedLoopHarness.h"

#include "firmware/DemoFirmware.h"
#include "firmware/FirmwareStore.h"
#include "live/LiveParameters.h"
#include "sim/EcuFuelling.h"
#include "sim/EcuMemory.h"
#include "sim/EngineSource.h"
#include "sim/MixtureSensor.h"
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
constexpr int kMinTicksPerCell = 40; // a cell only crossed in passing is not tuned there
constexpr int kFourPointBytes = 18;

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

// The mixture error of the tables in one image at a cell's own breakpoints,
// where the ECU fuels from that cell alone: what a steady drive there would show.
double cellError(const sim::EcuFuelling &fuelling, int cell) {
    const GridAxes &axes = fuelling.axes();
    sim::EngineState s;
    s.rpm = axes.rpm[static_cast<std::size_t>(cell % 16)];
    s.throttle = axes.throttle[static_cast<std::size_t>(cell / 16)];
    s.manifoldPressure = 60;
    const sim::EngineState fuelled = fuelling.fuel(s);
    return fuelled.mixture / fuelled.afrTarget - 1;
}

MinuteFigures figuresOf(const QByteArray &image, const sim::AirErrorMap &map, const std::set<int> &visited) {
    const sim::EcuMemory memory(image);
    const sim::EcuFuelling fuelling(memory, map);
    MinuteFigures f;
    double squares = 0;
    int within = 0;
    for (int cell : visited) {
        const double e = cellError(fuelling, cell);
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
    std::array<int, 256> ticksInCell{};
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
            if (s.mixture > 0 && s.mixture != sim::EcuFuelling::kFreeAir && s.throttle >= settings.minThrottle)
                ++ticksInCell[static_cast<std::size_t>(s.workPoint)];

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
    // Every minute is judged over the same cells: those the drive fuelled in long enough.
    std::set<int> visited;
    for (int cell = 0; cell < 256; ++cell)
        if (ticksInCell[static_cast<std::size_t>(cell)] >= kMinTicksPerCell)
            visited.insert(cell);
    std::vector<MinuteFigures> out;
    for (std::size_t minute = 0; minute < images.size(); ++minute) {
        MinuteFigures f = figuresOf(images[minute], fuelling->errorMap(), visited);
        f.minute = static_cast<int>(minute);
        f.cellsCorrected = corrected[minute];
        out.push_back(f);
        if (perMinute)
            perMinute(f);
    }
    return out;
}

} // namespace korvel::cli
