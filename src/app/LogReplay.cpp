#include "app/LogReplay.h"

#include "app/SessionTimers.h"
#include "app/TuningController.h"
#include "app/ViewState.h"
#include "app/VirtualTimerClock.h"
#include "core/ControlBoard.h"
#include "core/ProgramLog.h"
#include "core/SettingNames.h"
#include "core/SettingsList.h"
#include "firmware/Complectation.h"
#include "firmware/Conversions.h"
#include "firmware/FirmwareIdentity.h"
#include "firmware/FirmwareStore.h"
#include "firmware/PressureSensor.h"
#include "firmware/TuningAddressSets.h"
#include "live/EngineTick.h"
#include "live/FrameDecoder.h"
#include "live/LoggedFrameEncoder.h"
#include "live/TuningTrace.h"
#include "tuning/TuningTables.h"
#include "tuning/TuningWrites.h"
#include "tuning/WorkingPoint.h"

#include <QDateTime>
#include <QMetaObject>
#include <QTemporaryDir>

#include <cmath>
#include <map>
#include <memory>

namespace korvel {
namespace {

constexpr int kReplayIdentificationBytes = 224;
constexpr int kReplayTableBytes = 256;

// The ECU as the replay sees it: a worker that is never busy and writes
// what tuning hands over into the ECU's RAM at once. The RAM decides how
// the car would have fuelled (the standard protocol sends nothing while
// tuning, so there the drive stays as logged).
constexpr int kReplayFourPointBytes = 18;
constexpr int kReplayBlockBytes = 64;

class ReplayEcu final : public TuningWrites {
public:
    explicit ReplayEcu(const FirmwareImage &image) : m_ram(image) {}

    const FirmwareImage &ram() const { return m_ram; }
    bool busy() const override { return false; }
    void remake(int address, std::uint8_t value, int) override { m_ram.setByte(address, value); }
    void remakeFourPoints(int address, const QByteArray &bytes) override {
        m_ram.setBytes(address, bytes.left(kReplayFourPointBytes));
    }
    void remakeGbc(int address, const QByteArray &table) override { m_ram.setBytes(address, table); }
    void remakePopr(int address, const QByteArray &table) override { m_ram.setBytes(address, table); }
    void remakeUoz(int address, const QByteArray &table) override { m_ram.setBytes(address, table); }
    void correct23DF(int address, const QByteArray &blockBytes, int blocks, int) override {
        m_ram.setBytes(address, blockBytes.left(blocks * kReplayBlockBytes));
    }

private:
    FirmwareImage m_ram;
};

// The equipment bytes as the ECU worker reads them at connect: the image's own.
QStringList replayComplectation(const FirmwareImage &image) {
    QStringList bytes;
    for (std::uint16_t address : complectationAddresses())
        bytes << IntToHexEven(image.byteAt(address).value_or(0));
    return bytes;
}

// The session's tuning parts for one replay, connected to an ECU that runs the image.
class ReplayRig {
public:
    // `image` is a whole image (the caller checked).
    ReplayRig(const QByteArray &image, const SettingsList &settings, Protocol protocol, const QString &workDir)
        : m_drivenImage(*FirmwareImage::fromBytes(image)) {
        for (int row = 0; row < settings.count(); ++row)
            m_settings.setValue(settings.nameAt(row), settings.value(settings.nameAt(row)));
        m_settings.setValue(setting::Protocol,
                            protocol == Protocol::Fast ? setting::FastProtocol : setting::StandardProtocol);
        // With a wideband the log's injection correction column holds the
        // measured ratio, not the ECU's own trim: there is no trim to take out.
        m_settings.setValue(setting::EcuTrimOut, setting::No);
        const QString folder = workDir.isEmpty() ? m_scratch.path() : workDir;
        m_tables.startUp(folder);
        m_store.loadImage(m_drivenImage);
        m_identity.ImageSwid(m_store.image());
        m_identity.EcuSwid(image.first(kReplayIdentificationBytes));
        m_tables.postConnectSetup(m_settings, replayComplectation(m_store.image()), folder);
        m_tuning.setWrites(&m_ecu);
        m_tuning.startConnection(protocol);
        m_engine.startConnection(protocol);
        m_protocol = protocol;
        m_liveSettings = LiveSettings::from(m_settings);
        const PressureSensorConstants constants = pressureSensorConstants(m_store.image(), m_identity.FirmwareFamily());
        m_pressureSensor = {true, constants.gain, constants.offset};
        // The engine timer runs while connected; the write-back checks it. It never fires here.
        m_timers.engineTimer.start();
    }

    bool startTuning() { return m_tuning.startTuning(); }

    // One logged line at `seconds` of the drive: the timers that came due
    // fire, then the line is decoded and tuned as a live frame would be.
    void tick(double seconds, const LiveChannels &channels) {
        m_clock.advanceTo(seconds);
        const QByteArray frame = frameOfLoggedChannels(m_protocol, channels, m_liveSettings.narrowbandSensor);
        m_fuellingChange = fuellingChange(frame);
        const double wideband = widebandOfLoggedChannels(m_protocol, channels) * m_fuellingChange;
        m_engine.processFrame(frame, ++m_numlog, {m_liveSettings, wideband, m_pressureSensor});
        m_tuning.engineStep(m_engine, true, m_trace, {seconds, m_readings.at(seconds, wideband)});
    }

    // After the last line: the cycle filling the cells gathered is handed
    // over as its write-back would, then tuning stops.
    void finish() {
        if (m_timers.Timer4.isActive())
            QMetaObject::invokeMethod(&m_timers.Timer4, "timeout");
        m_tuning.stopTuning();
    }

    const TuningController &tuning() const { return m_tuning; }
    const TuningTables &tables() const { return m_tables; }
    const ProgramLog &log() const { return m_log; }
    const LiveParameters &live() const { return m_engine.parameters(); }
    // How the last tick's reading was scaled for what the replay changed in the ECU.
    double lastFuellingChange() const { return m_fuellingChange; }
    QByteArray image() const { return m_store.image().bytes(); }

private:
    // The log shows the mixture the car made with the drive's correction
    // table. Where the replay has corrected the ECU's RAM since, the ECU
    // would have fuelled by the ratio of the two corrections it interpolates
    // at the working point, and the mixture would read leaner or richer by
    // as much: the wideband reading is scaled so, or every evaluation of a
    // cell would correct the same logged error again.
    double fuellingChange(const QByteArray &frame) {
        LiveParameters p;
        LiveChannels scratch;
        decodeFrame(frame, {m_liveSettings.narrowbandSensor, 0, m_pressureSensor}, p, scratch);
        const std::int64_t table = m_tables.addressSets().air().correctionTable;
        if (table <= 0)
            return 1;
        const WorkingPoint point =
            m_pointModel.compute(m_tables.axes(), {p.rpm, p.throttle, p.pressure}, m_tuning.loadByPressure());
        const double logged = interpolatedCorrection(point, m_drivenImage, table).correction;
        const double now = interpolatedCorrection(point, m_ecu.ram(), table).correction;
        return logged > 0 && now > 0 ? logged / now : 1;
    }

    QTemporaryDir m_scratch;
    FirmwareImage m_drivenImage; // the image the logged drive ran on
    WorkingPointModel m_pointModel;
    SessionTimers m_timers;
    SettingsList m_settings;
    ProgramLog m_log;
    ControlBoard m_board;
    ViewState m_view;
    FirmwareStore m_store{&m_log, &m_board};
    FirmwareIdentity m_identity;
    TuningTables m_tables{m_store, m_identity, m_log, &m_board};
    ReplayEcu m_ecu{m_drivenImage};
    TuningController m_tuning{{m_timers, m_settings, m_log, m_board, m_view, m_store, m_identity, m_tables},
                              {[] { return true; }, nullptr, nullptr}};
    EngineTick m_engine{m_board};
    LiveSettings m_liveSettings;
    PressureSensor m_pressureSensor;
    TuningTrace m_trace;
    Protocol m_protocol = Protocol::Fast;
    int m_numlog = 0;
    double m_fuellingChange = 1;
    ShownWidebandReadings m_readings; // the log keeps the value shown, not when it came
    VirtualTimerClock m_clock{m_timers};
};

// The cell and the value of the sample the tick just accepted: the
// accumulation's stored sample, or, for the four-point method, the tick's
// own ratio at its working point.
struct AcceptedSample {
    int cell = -1;
    double ratio = 0;
};

AcceptedSample acceptedSample(const ReplayRig &rig) {
    const TuningController &tuning = rig.tuning();
    if (tuning.fourPointMethod()) {
        const LiveParameters &live = rig.live();
        const double ratio = live.narrowband ? live.injCorrection : live.afrWideband / live.afrEcu;
        return {tuning.workingPoint().index(), ratio};
    }
    const Accumulator &a = tuning.accumulator();
    if (a.curCol() < 1 || a.curRow() < 1)
        return {};
    const TuningCell &cell = rig.tables().grid().at(a.curRow() - 1, a.curCol() - 1);
    return {(a.curRow() - 1) * TuningGrid::kSize + a.curCol() - 1, cell.sample(a.trace().sampleIndex)};
}

std::int64_t replayTableAddress(const TuningAddressSets &sets, ReplayTable table) {
    switch (table) {
    case ReplayTable::Correction:
        return sets.air().correctionTable;
    case ReplayTable::CycleFilling:
        return sets.air().gbcTable;
    case ReplayTable::Phase:
        return sets.present(tuningcolumn::Phase) ? HexToInt(sets.address(tuningcolumn::Phase)).valueOr(-1) : -1;
    }
    return -1;
}

} // namespace

int ReplayOutcome::correctedCells() const {
    int count = 0;
    for (const ReplayedTable &table : tables)
        count += static_cast<int>(table.cells.size());
    return count;
}

QString replayTableName(ReplayTable table) {
    switch (table) {
    case ReplayTable::Correction:
        return QStringLiteral("correction");
    case ReplayTable::CycleFilling:
        return QStringLiteral("cycle filling");
    case ReplayTable::Phase:
        return QStringLiteral("injection phase");
    }
    return {};
}

ReplayOutcome replayCsvLog(const CsvLogContents &log, const QByteArray &image, const SettingsList &settings,
                           const QString &workDir) {
    ReplayOutcome out;
    out.image = image;
    if (!FirmwareImage::fromBytes(image))
        return out; // not an image of 65,536 bytes: the caller says so
    const auto rig = std::make_unique<ReplayRig>(image, settings, log.protocol, workDir);
    out.started = rig->startTuning();
    if (!out.started) {
        out.log = rig->log().lines();
        return out;
    }
    for (const LoggedFrame &frame : log.frames) {
        const int stored = rig->tuning().accumulator().counters().samplesStored;
        rig->tick(frame.seconds, frame.channels);
        if (rig->tuning().accumulator().counters().samplesStored == stored)
            continue;
        const AcceptedSample sample = acceptedSample(*rig);
        if (sample.cell < 0 || sample.cell >= TuningGrid::kCells)
            continue;
        ReplayCellHits &hits = out.cells[static_cast<std::size_t>(sample.cell)];
        // The error the drive showed there, before the replay's own corrections.
        ++hits.hits;
        hits.errorSum += sample.ratio / rig->lastFuellingChange() - 1;
    }
    rig->finish();
    out.frames = static_cast<int>(log.frames.size());
    out.seconds = log.frames.empty() ? 0 : log.frames.back().seconds;
    out.log = rig->log().lines();
    out.image = rig->image();

    const bool phase = settings.value(setting::PhaseTuning) == setting::Yes;
    for (ReplayTable which : {ReplayTable::Correction, ReplayTable::CycleFilling, ReplayTable::Phase}) {
        const std::int64_t address = replayTableAddress(rig->tables().addressSets(), which);
        if (address <= 0 || address + kReplayTableBytes > image.size() || (which == ReplayTable::Phase && !phase))
            continue;
        ReplayedTable table{which, address, {}};
        for (int i = 0; i < kReplayTableBytes; ++i) {
            const auto before = static_cast<std::uint8_t>(image.at(address + i));
            const auto after = static_cast<std::uint8_t>(out.image.at(address + i));
            if (before == after)
                continue;
            const ReplayCellHits &hits = out.cells[static_cast<std::size_t>(i)];
            table.cells.push_back({i, before, after, hits.hits, hits.meanErrorPct()});
        }
        out.tables.push_back(table);
    }
    return out;
}

} // namespace korvel
