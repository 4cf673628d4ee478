#include "cli/MonitorCommand.h"

#include "app/Session.h"
#include "app/TuningController.h"
#include "core/SettingNames.h"
#include "core/SettingsList.h"
#include "ecu/EcuTexts.h"
#include "live/CsvLog.h"
#include "live/MonitorLine.h"
#include "tuning/TuningTables.h"

#include <QDir>
#include <QSaveFile>
#include <QTextStream>

#include <optional>

namespace korvel::cli {
namespace {

constexpr int kWatchMs = 50;
// A disconnect takes about 0.8 s; a worker still in the middle of a connect
// finishes it first. Past this the shutdown stops the workers anyway.
constexpr int kDisconnectWaitMs = 15000;
constexpr int kMsPerSecond = 1000;

const QString kErrorPrefix = QStringLiteral("korvel-cli: ");

// Connects that ended with the port closed, so polling can never start, and
// the reason given for each: the line the worker logged about it. Other
// outcomes leave the port open and the run waits for the connect timeout.
std::optional<QString> portClosedReason(EcuConnectOutcome outcome, const QString &port) {
    switch (outcome) {
    case EcuConnectOutcome::PortNotOpened:
        return ecutext::CannotOpen + port + ecutext::NameTail;
    case EcuConnectOutcome::BadSpeed:
        return ecutext::BadSpeed;
    case EcuConnectOutcome::PortLost:
        return ecutext::PortLost + port + ecutext::PortLostTail;
    case EcuConnectOutcome::IdentificationFailed:
        return ecutext::IdentificationGaveUp;
    case EcuConnectOutcome::ClearFailed:
        return ecutext::ClearGaveUp;
    default:
        return std::nullopt;
    }
}

// The names config.ini itself holds (the session's list also has the overrides).
QStringList settingNamesInConfig(const QString &path) {
    SettingsList config;
    config.load(path);
    QStringList names;
    for (int row = 0; row < config.count(); ++row)
        names << config.nameAt(row);
    return names;
}

} // namespace

MonitorCommand::MonitorCommand(const QString &workDir, MonitorOptions options, QTextStream &out, QTextStream &err,
                               QObject *parent)
    : QObject(parent), m_session(std::make_unique<Session>(workDir)), m_options(std::move(options)), m_out(out),
      m_err(err) {
    m_watch.setInterval(kWatchMs);
    connect(&m_watch, &QTimer::timeout, this, &MonitorCommand::watch);
    // The window shows these in a message box; here they are lines like the log's.
    connect(m_session.get(), &Session::messageRequested, this, &MonitorCommand::print);
}

MonitorCommand::~MonitorCommand() = default;

int MonitorCommand::run() {
    if (!startSession())
        return kExitNotPolled;
    Session &s = *m_session;
    if (s.workers().ecu().ErrorComPorts.load() != 0) {
        // The worker ignores every command while discovery found no port at all.
        fail(QStringLiteral("no serial port found, not even the ECU port %1").arg(s.settings().value(setting::EcuCom)));
    } else {
        s.connectEcu();
        // The settings may stop the connect before anything starts; the log says which.
        if (!s.isConnecting())
            fail(QStringLiteral("the connect did not start: ") + s.log().last());
    }
    if (m_failure.isEmpty()) {
        m_phase = Phase::Connecting;
        m_deadline.setRemainingTime(qint64(m_options.connectTimeoutSeconds) * kMsPerSecond);
        m_watch.start();
        m_loop.exec();
    } else {
        finish();
    }
    return reportOutcome();
}

bool MonitorCommand::startSession() {
    Session &s = *m_session;
    s.setSettingOverrides(QList<std::pair<QString, QString>>(m_options.overrides.begin(), m_options.overrides.end()));
    if (!s.startUp()) {
        for (const QString &line : s.log().lines())
            m_err << line << '\n';
        m_err << kErrorPrefix << "the working folder " << QDir::toNativeSeparators(s.workDir()) << " lacks one of "
              << Session::requiredFiles().join(QStringLiteral(", ")) << '\n';
        m_err.flush();
        m_phase = Phase::Done;
        return false;
    }
    for (const QString &line : s.log().lines())
        print(line);
    connect(&s.log(), &ProgramLog::appended, this, &MonitorCommand::onLogLine);
    connect(&s.log(), &ProgramLog::lastReplaced, this, &MonitorCommand::onLogLine);
    connect(&s, &Session::liveUpdated, this, &MonitorCommand::onLiveUpdated);
    connect(&s, &Session::ecuConnectFinished, this, &MonitorCommand::onConnectFinished);
    connect(&s, &Session::firmwareReadFinished, this, &MonitorCommand::onFirmwareRead);
    reportOverrides(settingNamesInConfig(s.pathInWorkDir(QStringLiteral("config.ini"))));
    return true;
}

// Names the run's overrides; the session applied them while loading config.ini,
// before port discovery, so discovery already saw the run's ports.
void MonitorCommand::reportOverrides(const QStringList &namesInConfig) {
    for (const auto &[name, value] : m_options.overrides) {
        if (!namesInConfig.contains(name, Qt::CaseInsensitive))
            print(QStringLiteral("Note: \"%1\" is not in config.ini; it is added for this run only").arg(name));
        print(QStringLiteral("For this run: %1=%2").arg(name, value));
    }
}

void MonitorCommand::onLogLine(const QString &line) {
    print(line);
    if (m_phase != Phase::Connecting)
        return;
    // A link error comes as its text and then its counter ("Ошибка №3").
    if (!line.trimmed().isEmpty() && !line.startsWith(ecutext::ErrorNumber))
        m_lastConnectLine = line;
}

void MonitorCommand::onConnectFinished(EcuConnectOutcome outcome) {
    if (m_phase != Phase::Connecting)
        return;
    m_connectOutcome = outcome;
    if (const auto reason = portClosedReason(outcome, m_session->workers().ecu().PortName.load()))
        fail(*reason);
}

void MonitorCommand::onLiveUpdated() {
    const int frames = processedFrames();
    if (frames <= m_printedFrames)
        return;
    m_printedFrames = frames;
    if (m_options.live)
        print(monitorLine(m_session->live().engine().parameters()));
}

void MonitorCommand::requestStop(const QString &why) {
    if (m_phase == Phase::Stopping) {
        print(QStringLiteral("Stopping now (%1)").arg(why));
        finish();
        return;
    }
    if (m_stopRequest.isEmpty())
        m_stopRequest = why;
}

void MonitorCommand::watch() {
    switch (m_phase) {
    case Phase::Connecting:
        watchConnect();
        break;
    case Phase::Polling:
        watchPolling();
        break;
    case Phase::Stopping:
        if (disconnected() || m_deadline.hasExpired())
            finish();
        break;
    case Phase::Starting:
    case Phase::Done:
        break;
    }
}

void MonitorCommand::watchConnect() {
    if (processedFrames() > 0) {
        m_polled = true;
        m_phase = Phase::Polling;
        if (m_options.seconds)
            m_deadline.setRemainingTime(qint64(*m_options.seconds) * kMsPerSecond);
        watchPolling();
        return;
    }
    const TECUThread &ecu = m_session->workers().ecu();
    // Polling started, and the device went away before the first frame came through.
    if (m_failure.isEmpty() && m_connectOutcome == EcuConnectOutcome::Polling && ecu.IsComConnected.load() != 1)
        fail(*portClosedReason(EcuConnectOutcome::PortLost, ecu.PortName.load()));
    if (m_failure.isEmpty() && !m_stopRequest.isEmpty())
        fail(QStringLiteral("stopped (%1) before diagnostic polling started").arg(m_stopRequest));
    if (m_failure.isEmpty() && m_deadline.hasExpired())
        fail(QStringLiteral("no diagnostic polling %1 s after the connect began on %2; the last log line was: %3")
                 .arg(m_options.connectTimeoutSeconds)
                 .arg(m_session->settings().value(setting::EcuCom), m_lastConnectLine));
    // A failure may also come from the connect's outcome (the port would not open).
    if (!m_failure.isEmpty())
        beginStop(m_stopRequest.isEmpty() ? QStringLiteral("polling never started") : m_stopRequest);
}

void MonitorCommand::watchPolling() {
    if (!m_stopRequest.isEmpty()) {
        beginStop(m_stopRequest);
    } else if (!m_options.firmwareOut.isEmpty()) {
        // The read ends on its own, also when the port goes away meanwhile.
        if (!m_firmwareReadStarted) {
            m_firmwareReadStarted = true;
            m_session->readFirmware();
        }
    } else if (m_options.seconds && m_deadline.hasExpired())
        beginStop(QStringLiteral("%1 s of polling").arg(*m_options.seconds));
    else if (m_session->workers().ecu().IsComConnected.load() != 1)
        beginStop(QStringLiteral("the ECU port closed"));
    else if (m_options.tune)
        stepTuning();
}

// As a user does after connecting: the image's tables into the ECU's RAM
// (which offers tuning when the image is the ECU's own), then the start.
void MonitorCommand::stepTuning() {
    constexpr int kOfferMs = 30000;
    Session &s = *m_session;
    switch (m_tuneStep) {
    case TuneStep::None:
        if (s.tables().gridChoices().isEmpty())
            return; // the post-connect set-up has not named the ECU's tables yet
        if (!s.firmware().FirmwareLoaded() || !s.rewriteTablesToEcu()) {
            print(QStringLiteral("Tuning not started: no firmware is loaded"));
            m_tuneStep = TuneStep::Refused;
            return;
        }
        m_tuneOffered.setRemainingTime(kOfferMs);
        m_tuneStep = TuneStep::Rewriting;
        return;
    case TuneStep::Rewriting:
        if (s.tuningAllowed()) {
            const bool started = s.tuning().startTuning(); // a refusal names the setting in the log
            m_tuneStep = started ? TuneStep::Tuning : TuneStep::Refused;
            if (started)
                print(QStringLiteral("Tuning started"));
        } else if (m_tuneOffered.hasExpired()) {
            print(QStringLiteral("Tuning not started: the loaded firmware is not the one the ECU runs"));
            m_tuneStep = TuneStep::Refused;
        }
        return;
    case TuneStep::Tuning:
    case TuneStep::Refused:
        return;
    }
}

void MonitorCommand::onFirmwareRead(bool complete) {
    if (m_phase != Phase::Polling)
        return;
    if (!complete) {
        m_firmwareFailure = QStringLiteral("the firmware was not read from the ECU; the log says why");
    } else {
        QSaveFile file(m_options.firmwareOut);
        const QByteArray &image = m_session->firmware().image().bytes();
        if (file.open(QIODevice::WriteOnly) && file.write(image) == image.size() && file.commit()) {
            m_firmwareWritten = true;
            print(QStringLiteral("Firmware: %1 (%2 bytes)")
                      .arg(QDir::toNativeSeparators(m_options.firmwareOut))
                      .arg(image.size()));
        } else {
            m_firmwareFailure = QStringLiteral("cannot write %1: %2").arg(m_options.firmwareOut, file.errorString());
        }
    }
    beginStop(QStringLiteral("firmware read"));
}

void MonitorCommand::fail(const QString &reason) {
    if (m_failure.isEmpty())
        m_failure = reason;
}

void MonitorCommand::beginStop(const QString &why) {
    print(QStringLiteral("Stopping: %1").arg(why));
    if (!m_stopRequest.isEmpty())
        print(QStringLiteral("Closing the link; a second Ctrl+C or SIGTERM stops at once"));
    m_phase = Phase::Stopping;
    m_deadline.setRemainingTime(kDisconnectWaitMs);
    m_session->disconnectEcu();
}

bool MonitorCommand::disconnected() const {
    const Session &s = *m_session;
    return !s.isConnecting() && s.workers().ecu().IsComConnected.load() == 0 && !s.workers().lambda().ComConnect.load();
}

void MonitorCommand::finish() {
    if (m_phase == Phase::Done)
        return;
    m_phase = Phase::Done;
    m_watch.stop();
    // Stops the timers, writes what the CSV log holds and ends the workers.
    m_session->shutDown();
    m_loop.quit();
}

int MonitorCommand::reportOutcome() {
    const CsvLog &csv = m_session->live().csv();
    if (m_polled)
        print(QStringLiteral("Processed frames: %1").arg(processedFrames()));
    if (m_tuneStep == TuneStep::Tuning && m_session->tuning().extendedOn()) {
        const RefusalCounts &refused = m_session->tuning().refusals();
        print(QStringLiteral("Ticks refused by tuning: %1 (%2)")
                  .arg(refused.total())
                  .arg(RefusalCounts::summary(refused.overall())));
    }
    const QString path = csvPath();
    if (!path.isEmpty())
        print(QStringLiteral("CSV log: %1 (%2 lines)").arg(QDir::toNativeSeparators(path)).arg(csv.linesOnDisk()));

    QString reason;
    if (!m_polled)
        reason = m_failure.isEmpty() ? QStringLiteral("diagnostic polling never started") : m_failure;
    else if (!m_options.firmwareOut.isEmpty() && !m_firmwareWritten)
        reason = m_firmwareFailure.isEmpty() ? QStringLiteral("the firmware was not read") : m_firmwareFailure;
    else if (csv.linesOnDisk() < csv.lineCount())
        reason = QStringLiteral("the CSV log is incomplete: %1 of %2 lines are on disk")
                     .arg(csv.linesOnDisk())
                     .arg(csv.lineCount());
    if (reason.isEmpty())
        return kExitPolled;
    m_err << kErrorPrefix << reason << '\n';
    m_err.flush();
    return kExitNotPolled;
}

int MonitorCommand::processedFrames() const {
    return m_session->live().engine().processedFrames();
}

QString MonitorCommand::csvPath() const {
    const CsvLog &csv = m_session->live().csv();
    if (csv.linesOnDisk() == 0 || !m_session->logDirectory().isNamed())
        return {};
    return m_session->pathInWorkDir(m_session->logDirectory().name() + QLatin1Char('/') + CsvLog::kFileName);
}

void MonitorCommand::print(const QString &line) {
    if (m_outputClosed)
        return;
    m_out << line << '\n';
    m_out.flush();
    // A reader that went away (| head) ends the run the orderly way.
    if (m_out.status() != QTextStream::Ok) {
        m_outputClosed = true;
        requestStop(QStringLiteral("stdout closed"));
    }
}

} // namespace korvel::cli
