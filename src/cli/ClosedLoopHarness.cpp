#include "cli/ClosedLoopHarness.h"

#include "cli/TuningSessionCore.h"
#include "firmware/DemoFirmware.h"
#include "lambda/WidebandValue.h"
#include "sim/DiagnosticFrames.h"
#include "sim/DriveModel.h"
#include "sim/EcuFuelling.h"
#include "sim/EcuMemory.h"
#include "sim/EngineSource.h"
#include "sim/MixtureSensor.h"
#include "sim/SplitMix.h"
#include "tuning/TuningWrites.h"

#include <array>
#include <cmath>
#include <memory>
#include <set>
#include <utility>

namespace korvel::cli {

namespace {

constexpr int kCells = 256;
constexpr int kHarnessTableBytes = 256;
// "Не настраивать ниже %" as config.ini ships it: tuning leaves closed-throttle running alone.
constexpr double kMinThrottle = 2;
// A cell the drive only crosses while accelerating is never held long enough
// to be tuned there; a cell is judged once the drive has spent this long in it.
constexpr double kMinSecondsPerCell = 5;
// How many of the drive's states in a cell are kept to judge it by; each kept
// state stands for its share of the time the drive spent in the cell.
constexpr std::size_t kStatesPerCell = 300;
constexpr int kFourPointBytes = 18;
constexpr int kBlockBytes = 64;
// After TButStopTune the drive goes on this long, so that the last hand-overs run.
constexpr double kSettleSeconds = 10;
// The wideband controller: a heater warm-up after the start and a dropout
// of 1.5 s in about a third of all 20 s stretches.
constexpr sim::MixtureSensor::Behaviour kWideband{0.003, 20, 0.3, 1.5};

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

// The ECU worker as tuning sees it: a seeded share of hand-overs finds it
// busy; a free worker writes into the simulated ECU's memory at once.
class SimulatedWorker : public TuningWrites {
public:
    SimulatedWorker(sim::EcuMemory &memory, double busyShare, std::uint32_t seed)
        : m_memory(memory), m_busyShare(busyShare), m_random(0xB05E0000ULL ^ seed) {}

    bool busy() const override { return m_busyShare > 0 && sim::nextUnit(m_random) < m_busyShare; }
    void remake(int address, std::uint8_t value, int) override {
        m_memory.write(address, QByteArray(1, static_cast<char>(value)));
    }
    void remakeFourPoints(int address, const QByteArray &bytes) override {
        m_memory.write(address, bytes.left(kFourPointBytes));
    }
    void remakeGbc(int address, const QByteArray &table) override { m_memory.write(address, table); }
    void remakePopr(int address, const QByteArray &table) override { m_memory.write(address, table); }
    void remakeUoz(int address, const QByteArray &table) override { m_memory.write(address, table); }
    void correct23DF(int address, const QByteArray &blockBytes, int blocks, int) override {
        m_memory.write(address, blockBytes.left(blocks * kBlockBytes));
    }

private:
    sim::EcuMemory &m_memory;
    double m_busyShare;
    mutable std::uint64_t m_random;
};

// The operating points at the breakpoints of every corner of the visited cells:
// the ECU's own breakpoints, a warm engine held steady there.
std::vector<sim::EngineState> cornerStates(const sim::EcuGrid &grid, bool byPressure, const std::set<int> &visited) {
    std::set<int> corners;
    for (int cell : visited) {
        const int row = cell / 16, col = cell % 16;
        for (int r = row; r <= std::min(row + 1, 15); ++r)
            for (int c = col; c <= std::min(col + 1, 15); ++c)
                corners.insert(r * 16 + c);
    }
    std::vector<sim::EngineState> states;
    for (int corner : corners) {
        const double rpm = grid.speedBreakpoint(corner % 16);
        const int row = corner / 16;
        // Just above a pressure breakpoint, where the ECU takes that row alone.
        states.push_back(byPressure ? sim::DriveModel::steadyState(
                                          rpm, 0, (grid.pressureBreakpoints()[static_cast<std::size_t>(row)] + 1) / 10)
                                    : sim::DriveModel::steadyState(rpm, grid.throttleBreakpoint(row)));
    }
    return states;
}

int differingBytes(const QByteArray &a, const QByteArray &b, std::int64_t address) {
    if (address < 0 || address + kHarnessTableBytes > a.size() || address + kHarnessTableBytes > b.size())
        return 0;
    int differ = 0;
    for (qsizetype i = address; i < address + kHarnessTableBytes; ++i)
        differ += a.at(i) != b.at(i) ? 1 : 0;
    return differ;
}

// What the end of a minute leaves: the ECU's RAM and the image in work.
struct MinuteEnd {
    QByteArray ram;
    int cellsCorrected = 0;
    int imageRamDiff = 0;
    RefusalCounts::PerReason refused{};
};

MinuteFigures judge(const MinuteEnd &end, const sim::AirErrorMap &map, const std::set<int> &visited,
                    const DrivenStates &driven, const std::vector<sim::EngineState> &corners) {
    const sim::EcuMemory memory(end.ram);
    const sim::EcuFuelling fuelling(memory, map);
    MinuteFigures f;
    double squares = 0, within = 0, weights = 0;
    for (int cell : visited) {
        const std::vector<sim::EngineState> &states = driven.of(cell);
        const double weight = double(driven.seen(cell)) / double(states.size());
        for (const sim::EngineState &truth : states) {
            const double e = fuelling.tableError(truth);
            squares += weight * e * e;
            within += std::abs(e) <= 0.02 ? weight : 0;
            weights += weight;
        }
    }
    f.visitedCells = static_cast<int>(visited.size());
    if (weights > 0) {
        f.within2pct = within / weights;
        f.rmsErrorPct = 100 * std::sqrt(squares / weights);
    }
    double cornerSquares = 0;
    for (const sim::EngineState &corner : corners) {
        const double e = fuelling.tableError(corner);
        cornerSquares += e * e;
    }
    if (!corners.empty())
        f.tableRmsPct = 100 * std::sqrt(cornerSquares / double(corners.size()));
    f.cellsCorrected = end.cellsCorrected;
    f.imageRamDiffBytes = end.imageRamDiff;
    f.refused = end.refused;
    return f;
}

} // namespace

std::vector<MinuteFigures> runClosedLoopTuning(const HarnessOptions &options,
                                               const std::function<void(const MinuteFigures &)> &perMinute,
                                               QString *delayReport) {
    const QByteArray image = !options.firmware.isEmpty() ? options.firmware
                             : options.byPressure        ? makeDemoPressureFirmware()
                                                         : makeDemoFirmware();
    sim::EcuMemory memory(image);
    sim::EngineSource engine(options.seed);
    const auto fuelling =
        std::make_shared<sim::EcuFuelling>(memory, sim::AirErrorMap(options.seed, options.airErrorSize));
    engine.setFuelling(fuelling);
    sim::MixtureSensor sensor(options.seed, kWideband);
    WidebandValue wideband; // what the lambda worker offers the window
    const sim::PressureSensor pressureSensor = sim::PressureSensor::fromImage(image);
    const sim::FrameLayout layout =
        options.protocol == Protocol::Fast ? sim::FrameLayout::Fast : sim::FrameLayout::Standard;

    SimulatedWorker worker(memory, options.busyShare, options.seed);
    TuningSessionCore session(image, worker,
                              {options.protocol, options.fourPoint, options.neighbourPercent, options.byPressure,
                               options.phase, options.extended});
    const sim::DriveModel drive(options.seed); // the engine's true state, before the ECU fuels it
    DrivenStates driven(options.seed);

    const std::int64_t correction = session.correctionTable();
    const std::int64_t tuned[] = {correction, session.gbcTable(), options.phase ? session.phaseTable() : -1};
    auto imageRamDiff = [&] {
        const QByteArray ram = memory.image(), work = session.image();
        int differ = 0;
        for (std::int64_t table : tuned)
            differ += differingBytes(ram, work, table);
        return differ;
    };

    double t = 0;
    auto run = [&](double seconds, bool collect) {
        const auto ticks = static_cast<int>(std::lround(seconds / options.tickSeconds));
        for (int i = 0; i < ticks; ++i, t += options.tickSeconds) {
            const sim::EngineState s = engine.at(t);
            if (collect && s.mixture > 0 && s.mixture != sim::EcuFuelling::kFreeAir && s.throttle >= kMinThrottle) {
                sim::EngineState truth = drive.at(t);
                truth.workPoint = s.workPoint;
                driven.add(truth);
            }
            const double reading = sensor.sample(t, s.rpm, s.mixture, s.manifoldPressure / 101.3);
            // The wideband's reading on the virtual clock: a silent controller's
            // last value expires after a few of its periods.
            const auto ms = static_cast<std::int64_t>(std::llround(t * 1000));
            if (sensor.sending(t))
                wideband.offer(reading, ms);
            session.tick(t, sim::encodeDiagnosticFrame(layout, s, pressureSensor), wideband.value(ms),
                         wideband.sample(ms));
            if (options.onFrame)
                options.onFrame(t, session.engine().channels(), session.trace());
        }
    };

    std::vector<MinuteEnd> ends; // the ECU's memory at the end of each minute
    for (int minute = 0; minute <= options.minutes; ++minute) {
        const bool tuning = options.tune && minute > 0;
        if (minute == 1 && options.tune && !session.startTuning())
            return {};
        const QByteArray before = memory.read(static_cast<int>(correction), kHarnessTableBytes);
        run(60, true);
        const bool last = minute == options.minutes;
        if (last && tuning)
            session.stopTuning();
        if (options.protocol == Protocol::Standard && tuning)
            session.rewriteCorrections();
        if (last || options.protocol == Protocol::Standard)
            run(last ? kSettleSeconds : 1, false); // the rewrite and the last hand-overs run
        MinuteEnd end{memory.image(), 0, imageRamDiff(), session.tuning().refusals().overall()};
        const QByteArray after = memory.read(static_cast<int>(correction), kHarnessTableBytes);
        for (int i = 0; i < std::min(before.size(), after.size()); ++i)
            end.cellsCorrected += before[i] != after[i] ? 1 : 0;
        ends.push_back(end);
    }
    if (delayReport)
        *delayReport = session.tuning().delayProbe().report(session.tuning().delayCurve());
    // Every minute is judged over the same cells and states: where the drive fuelled long enough.
    const auto minTicks = static_cast<std::uint64_t>(std::lround(kMinSecondsPerCell / options.tickSeconds));
    std::set<int> visited;
    for (int cell = 0; cell < kCells; ++cell)
        if (driven.seen(cell) >= minTicks)
            visited.insert(cell);
    const std::vector<sim::EngineState> corners =
        cornerStates(fuelling->grid(), fuelling->tables().byPressure, visited);
    std::vector<MinuteFigures> out;
    for (std::size_t minute = 0; minute < ends.size(); ++minute) {
        MinuteFigures f = judge(ends[minute], fuelling->errorMap(), visited, driven, corners);
        f.minute = static_cast<int>(minute);
        out.push_back(f);
        if (perMinute)
            perMinute(f);
    }
    return out;
}

} // namespace korvel::cli
