#include "app/Session.h"

#include "app/AccelerationController.h"
#include "app/CatalogController.h"
#include "app/ChartsController.h"
#include "app/ConnectionController.h"
#include "app/FirmwareController.h"
#include "app/FirmwareReadController.h"
#include "app/StatusController.h"
#include "app/TuningController.h"
#include "core/ControlNames.h"
#include "core/SettingNames.h"
#include "ecu/EcuWriteCommands.h"
#include "live/CsvLog.h"
#include "live/FrameLayout.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QTimer>

namespace korvel {
namespace {

const QString kConfigFile = QStringLiteral("config.ini");
const QString kStartedLine = QStringLiteral("Korvel Online started...");
const QString kMissingFiles = QStringLiteral("Ошибка: Отсутствуют один или несколько необходимых файлов настроек");
const QString kCheckFiles = QStringLiteral("Проверьте файлы: ");
const QString kUnreadableConfig = QStringLiteral("Ошибка: не удаётся прочитать config.ini (%1)");
// A rewrite of the tuning tables that did not land whole.
constexpr int kRewriteAttempts = 3;
constexpr int kRewriteRetryMs = 1000;
const QString kRewriteAgain =
    QStringLiteral("Таблицы не записаны в ЭБУ полностью (%1): настройка не предложена, таблицы записываются снова");
const QString kRewriteGaveUp = QStringLiteral(
    "ОШИБКА: таблицы не записаны в ЭБУ (%1): настройка не предложена; откройте прошивку снова, чтобы повторить запись");
// The editor's table write with blocks that did not land.
const QString kRecalibrationFailed = QStringLiteral("Перезапись калибровки: не записаны блоки по адресам ");

// Buttons that start disabled: they need a link, a firmware or tuning first.
const QStringList &initiallyDisabledButtons() {
    using namespace control;
    static const QStringList names = {TButDisconnectEcu, TButLoadfirmware, TButTune,         TButStopTune,   TButReTune,
                                      TButshowgrid,      TButCalibrovka,   TButshowSmallDia, TButshowBiglDia};
    return names;
}

} // namespace

const QStringList &Session::requiredFiles() {
    static const QStringList files = {kConfigFile, QStringLiteral("hexdata.cfg"), QStringLiteral("errors.cfg")};
    return files;
}

Session::Session(const QString &workDir, QObject *parent)
    : QObject(parent), m_workDir(QDir(workDir).absolutePath()), m_logDirectory(m_workDir),
      m_firmware(&m_log, &m_controls), m_tables(m_firmware, m_identity, m_log, &m_controls),
      m_live(m_controls, m_logDirectory, m_log), m_screenshots(m_logDirectory),
      m_firmwareController(std::make_unique<FirmwareController>(
          m_firmware, m_identity, m_tables, m_logDirectory, m_log, m_controls, m_view,
          [this] {
              const bool connected = m_workers.created() && m_workers.ecu().isConnected();
              return FirmwareController::LinkFacts{connected,
                                                   connected ? m_workers.ecu().komplectecu.load() : QString()};
          })),
      m_firmwareRead(std::make_unique<FirmwareReadController>(FirmwareReadController::Parts{
          m_workers, m_timers, m_view, m_controls, m_log, m_firmware, m_identity, m_tables, m_logDirectory})),
      m_liveController(m_timers, m_workers, m_live, m_firmware, m_identity, *m_firmwareController, m_view),
      m_catalog(std::make_unique<CatalogController>(m_firmware, m_identity, m_log, m_controls, m_workDir)),
      m_statusController(std::make_unique<StatusController>(m_timers, m_workers, m_firmware, m_identity, m_tables,
                                                            m_controls, m_view, *m_catalog)),
      m_connection(std::make_unique<ConnectionController>(
          ConnectionController::Parts{m_settings, m_log, m_controls, m_timers, m_view, m_workers, m_live,
                                      m_liveController, *m_statusController, *m_firmwareController, m_identity,
                                      m_tables, *m_catalog},
          m_workDir)),
      m_tuningController(std::make_unique<TuningController>(
          TuningController::Parts{m_timers, m_settings, m_log, m_controls, m_view, m_firmware, m_identity, m_tables},
          TuningController::Probes{[this] { return m_workers.created() && m_workers.ecu().isConnected(); },
                                   [this](bool offered) { m_statusController->setTuningOffered(offered); },
                                   [this] { showPagesFor(control::TButshowSmallDia); }})),
      m_charts(std::make_unique<ChartsController>(m_live.engine().channels(), m_log, m_workDir)),
      m_acceleration(std::make_unique<AccelerationController>(m_timers, m_controls, m_live.engine(), m_log)) {
    m_tuningController->setWrites(&m_ecuWrites);
    wireEditor();
    m_live.setTuningStep([this](EngineTick &engine, bool newRequest, TuningTrace &trace) {
        const std::int64_t ms = WidebandValue::nowMs();
        m_tuningController->engineStep(engine, newRequest, trace,
                                       {static_cast<double>(ms) / 1000.0, m_workers.afrWideband.sample(ms)});
    });
    forwardSignals();
}

Session::~Session() {
    shutDown();
}

// The editor opens what the catalogue chose, shows every new image, applies
// imported tables as one edit and sends tables through the ECU worker.
void Session::wireEditor() {
    m_editor.setAxesSource([this] {
        m_tables.Namesstringgrid(QStringLiteral("frompc"));
        return m_tables.axes();
    });
    m_editor.tableWriter().setLink(&m_ecuWrites);
    connect(m_catalog.get(), &CatalogController::tableSelected, this, [this](const TableSelection &table) {
        m_editor.showTable(m_catalog->model().map(), TableRef{table.kind, table.name, table.reference});
    });
    connect(m_catalog.get(), &CatalogController::gridImported, this, [this](const TableGrid &grid) {
        CellTexts cells(static_cast<std::size_t>(grid.rows));
        for (int row = 0; row < grid.rows; ++row)
            for (int column = 0; column < grid.columns; ++column)
                cells[static_cast<std::size_t>(row)].push_back(grid.cell(row, column));
        m_editor.applyCells(cells);
    });
    const auto redisplay = [this] {
        if (m_editor.hasTable())
            m_editor.redisplay();
    };
    connect(m_firmwareController.get(), &FirmwareController::imageReplaced, &m_editor, redisplay);
    // An undo and a tuning correction change the image under the open table:
    // shown stale, its next gesture would write the old values back.
    connect(m_firmwareController.get(), &FirmwareController::imageRestored, &m_editor, redisplay);
    connect(m_tuningController.get(), &TuningController::gridChanged, &m_editor, redisplay);
    // A new map: the open entry is read from it, or closed when the map has no such entry.
    connect(m_catalog.get(), &CatalogController::mapChanged, this, [this] {
        const TableSelection &table = m_catalog->selection();
        if (table.isChosen())
            m_editor.showTable(m_catalog->model().map(), TableRef{table.kind, table.name, table.reference});
        else
            m_editor.closeTable();
    });
    connect(m_firmwareController.get(), &FirmwareController::tablesToRewrite, this, &Session::rewriteTablesToEcu);
    connect(m_firmwareRead.get(), &FirmwareReadController::imageReplaced, &m_editor, redisplay);
    // A table sent to the ECU: the tuning grids start again from the image and the save timer runs.
    connect(&m_editor, &TableEditorController::tableSent, this, [this] {
        m_tables.addtabl();
        m_tuningGrid.refresh();
        m_timers.Timer2.start();
    });
}

void Session::forwardSignals() {
    connect(&m_view, &ViewState::messageRequested, this, &Session::messageRequested);
    connect(&m_view, &ViewState::pageRaised, this, &Session::pageRaised);
    connect(&m_view, &ViewState::closeRequested, this, &Session::closeRequested);
    connect(&m_view, &ViewState::statusBarChanged, this, &Session::statusBarChanged);
    connect(&m_view, &ViewState::statisticsRowsChanged, this,
            [this] { m_statistics.setChannels(m_view.statisticsRowNames()); });
    connect(&m_liveController, &LiveController::liveUpdated, this, &Session::liveUpdated);
    // The open map follows the engine while connected: its working cell and a short trail.
    connect(&m_liveController, &LiveController::liveUpdated, this, [this] {
        const LiveParameters &p = m_live.engine().parameters();
        if (!m_operatingClock.isValid())
            m_operatingClock.start();
        m_editor.showOperatingPoint({p.rpm, p.throttle, p.pressure, p.cyclicAir}, m_operatingClock.elapsed());
    });
    connect(m_connection.get(), &ConnectionController::diagnosticsStopped, &m_editor,
            &TableEditorController::clearOperatingPoint);
    connect(m_connection.get(), &ConnectionController::setUpFinished, this, &Session::connectionSetUp);
    connect(&m_liveController, &LiveController::liveUpdated, &m_actuators, &ActuatorController::showState);
    connect(m_connection.get(), &ConnectionController::diagnosticsShown, &m_actuators,
            &ActuatorController::diagnosticsShown);
    connect(m_connection.get(), &ConnectionController::diagnosticsHidden, &m_actuators,
            &ActuatorController::diagnosticsHidden);
    // Leaving the actuator controls, or reading the firmware, hands every actuator back first.
    connect(&m_view, &ViewState::pageRaised, &m_actuators, &ActuatorController::pageShown);
    connect(m_firmwareRead.get(), &FirmwareReadController::readStarted, &m_actuators,
            &ActuatorController::firmwareReadStarting);
    // A processed frame: the charts, then the acceleration step.
    connect(&m_liveController, &LiveController::frameProcessed, m_charts.get(), &ChartsController::updateFrame);
    connect(&m_liveController, &LiveController::frameProcessed, m_acceleration.get(),
            &AccelerationController::updateFrame);
    connect(&m_view, &ViewState::statisticsRowsChanged, this,
            [this] { m_acceleration->startConnection(m_view.statisticsRowNames()); });
    connect(m_connection.get(), &ConnectionController::diagnosticsStarted, this,
            [this] { m_charts->startDiagnostics(channelNames(m_live.engine().protocol())); });
    connect(m_connection.get(), &ConnectionController::diagnosticsStopped, m_charts.get(), &ChartsController::release);
    // Timer1, a new image and an undo redraw the tuning grid from the image.
    connect(&m_liveController, &LiveController::gridRepaintRequested, &m_tuningGrid, &TuningGridModel::refresh);
    connect(m_firmwareController.get(), &FirmwareController::imageReplaced, &m_tuningGrid, &TuningGridModel::refresh);
    connect(m_firmwareController.get(), &FirmwareController::imageRestored, &m_tuningGrid, &TuningGridModel::refresh);
    connect(m_firmwareController.get(), &FirmwareController::imageSaved, this, &Session::firmwareSaved);
    connect(m_tuningController.get(), &TuningController::gridChanged, &m_tuningGrid, &TuningGridModel::refresh);
    connect(this, &Session::ecuWriteFinished, m_tuningController.get(), &TuningController::takeWriteResult);
    connect(m_tuningController.get(), &TuningController::markingChanged, this,
            [this] { m_tuningGrid.setMarking(m_tuningController->marking()); });
    connect(m_firmwareRead.get(), &FirmwareReadController::imageReplaced, &m_tuningGrid, &TuningGridModel::refresh);
    connect(m_firmwareRead.get(), &FirmwareReadController::imageSaved, this, &Session::firmwareSaved);
    connect(m_firmwareRead.get(), &FirmwareReadController::readFinished, this, &Session::firmwareReadFinished);
    // The open table is read again from every new or restored image.
    connect(m_firmwareController.get(), &FirmwareController::imageReplaced, m_catalog.get(),
            &CatalogController::refreshTable);
    connect(m_firmwareController.get(), &FirmwareController::imageRestored, m_catalog.get(),
            &CatalogController::refreshTable);
    connect(m_firmwareRead.get(), &FirmwareReadController::imageReplaced, m_catalog.get(),
            &CatalogController::refreshTable);
    // TButTune follows the status timer's facts: a read withdraws the offer of
    // tuning, a whole image read offers it, and a failed read gives back what was.
    connect(m_firmwareRead.get(), &FirmwareReadController::readStarted, this, [this] {
        m_tuningOfferedBeforeRead = m_statusController->tuningOffered();
        m_statusController->setTuningOffered(false);
    });
    connect(m_firmwareRead.get(), &FirmwareReadController::readFinished, this,
            [this](bool complete) { m_statusController->setTuningOffered(complete || m_tuningOfferedBeforeRead); });
}

QString Session::pathInWorkDir(const QString &name) const {
    return QDir(m_workDir).filePath(name);
}

bool Session::startUp() {
    raisePage(control::Eculog);
    if (!requiredFilesPresent() || !settingsReadable())
        return false;
    initialise();
    // Logs of earlier runs that a kill left with a torn last line end whole again.
    CsvLog::repairEarlierLogs(m_logDirectory, m_log);
    m_started = true;
    return true;
}

void Session::reportMissingFiles() {
    m_log.append(kMissingFiles);
    m_log.append(kCheckFiles);
    for (const QString &file : requiredFiles())
        m_log.append(file);
    m_controls.setVisible(control::ControlBar1, false);
}

bool Session::requiredFilesPresent() {
    for (const QString &name : requiredFiles())
        if (!QFileInfo::exists(pathInWorkDir(name))) {
            reportMissingFiles();
            return false;
        }
    return true;
}

// A config.ini that is there but cannot be read counts as missing: running on
// built-in values would connect with settings the user never chose.
bool Session::settingsReadable() {
    QFile config(pathInWorkDir(kConfigFile));
    if (config.open(QIODevice::ReadOnly))
        return true;
    reportMissingFiles();
    m_log.append(kUnreadableConfig.arg(config.errorString()));
    return false;
}

void Session::initialise() {
    m_identity.ClearIdentity();
    // A kept image (a settings save runs this again) is still the same image.
    m_firmwareController->reidentifyKeptImage();
    if (!m_settings.load(pathInWorkDir(kConfigFile)))
        m_log.append(QStringLiteral("Ошибка: не удаётся прочитать config.ini"));
    for (const auto &[name, value] : m_overrides)
        m_settings.setValue(name, value);
    m_statusController->setProtocolSetting(
        protocolFromSetting(m_settings.value(setting::Protocol)).value_or(Protocol::Fast));
    putWindowIntoInitialState();
    resetWorkingState();
    m_tables.startUp(m_workDir);
    m_live.engine().setErrorNames(m_tables.errorNames().names);
    createWorkers();
    m_workers.discoverPorts(m_settings, m_log);
}

void Session::createWorkers() {
    m_workers.create(m_log, {[this](int maximum, int position) { m_view.setProgress(maximum, position); },
                             [this](const QByteArray &block) { m_identity.EcuSwid(block); },
                             [this](EcuConnectOutcome outcome) {
                                 m_connection->connectFinished(outcome);
                                 emit ecuConnectFinished(outcome);
                             },
                             [this](const FirmwareReadResult &result) { m_firmwareRead->takeResult(result); },
                             [this](const EcuWriteResult &result) { takeWriteResult(result); }});
}

bool Session::submitEcuWrite(const EcuCommand &command) {
    return m_workers.created() && m_workers.ecu().Command.submit(command);
}

bool Session::rewriteTablesToEcu() {
    return submitEcuWrite(ecuwrite::rewriteTables(m_tables.addressSets(), m_firmware.image()));
}

// The firmware buttons wait for a table rewrite; TButTune follows the status
// timer's offer of tuning.
void Session::takeWriteResult(const EcuWriteResult &result) {
    if (result.command == EcuCommandKind::rewritetabl) {
        const bool running = !result.finished;
        if (running || m_firmware.FirmwareLoaded()) {
            m_controls.setEnabled(control::TButOpenfirmware, !running);
            m_controls.setEnabled(control::TButLoadfirmware, !running);
            // Tuning starts only against RAM tables that are the image's own.
            m_statusController->setTuningOffered(!running && !result.failed());
        }
        if (result.finished)
            rewriteFinished(result);
    }
    if (result.command == EcuCommandKind::correct23DF && result.failed()) {
        QStringList addresses;
        for (int address : result.failedAddresses)
            addresses.append(QString::number(address, 16).toUpper().rightJustified(4, u'0'));
        m_log.append(kRecalibrationFailed + addresses.join(QStringLiteral(", ")));
    }
    if (result.finished)
        emit ecuWriteFinished(result);
}

// A rewrite with a table that did not land is written again, a few times at most.
void Session::rewriteFinished(const EcuWriteResult &result) {
    if (!result.failed()) {
        m_rewriteAttempts = 0;
        return;
    }
    const QString tables = result.failedTables.join(QStringLiteral(", "));
    if (++m_rewriteAttempts >= kRewriteAttempts) {
        m_rewriteAttempts = 0;
        m_log.append(kRewriteGaveUp.arg(tables));
        return;
    }
    m_log.append(kRewriteAgain.arg(tables));
    retryRewrite();
}

void Session::retryRewrite() {
    QTimer::singleShot(kRewriteRetryMs, this, [this] {
        if (!m_workers.created() || !m_workers.ecu().isConnected() || !m_identity.swidMatch()) {
            m_rewriteAttempts = 0;
            return;
        }
        if (!rewriteTablesToEcu())
            retryRewrite(); // the worker is busy: later
    });
}

void Session::putWindowIntoInitialState() {
    using namespace control;
    for (const QString &label : {Label42, Label43, Label44, Label35, labelpress, Labeldtv})
        m_controls.setText(label, QString());
    m_controls.setEnabled(BitBtn1, true);
    m_log.clear();
    m_controls.setVisible(ControlBar1, true);
    m_controls.setEnabled(ControlBar1, true);
    for (const QString &button : initiallyDisabledButtons())
        m_controls.setEnabled(button, false);
    m_statusController->setTuningOffered(false);
    m_log.append(kStartedLine);
    m_timers.StatusTimerTimerr.start();
}

void Session::resetWorkingState() {
    // A settings save runs this again: the firmware the user works on stays
    // (losing it to a settings change would lose work); its undo steps go.
    m_firmware.clearUndo();
    m_controls.setVisible(control::BitBtn26, false);
    m_connection->forgetTuningTargets();
    m_logDirectory.reset();
}

void Session::saveSettings() {
    const QString why = m_settings.save(pathInWorkDir(kConfigFile));
    if (!why.isEmpty()) {
        m_log.append(QStringLiteral("Ошибка: настройки не сохранены в config.ini (%1); файл остался прежним").arg(why));
        return;
    }
    initialise();
}

void Session::showPagesFor(const QString &button) {
    using namespace control;
    // Each button brings its page to the front; the page's companions
    // (Paneldia2, Checkbinpanel, Panelsettcharts, toysset) sit on the same page.
    static const QHash<QString, QString> pages = {
        {TButMemo, Eculog},
        {TButSettings, PanelSett},
        {TButshowBiglDia, Paneldia},
        {TButshowgrid, PanelGrid},
        {TButshowcalibr, Calibrpanel},
        {TButCalibrovka, PanelChart},
        {TButRazgon, Panelrazgon},
        {Hexeditor, Toys},
    };
    if (button == TButshowSmallDia)
        raisePage(m_settings.value(setting::OsTheme) == QStringLiteral("стандартная") ? PanelMain2 : PanelMain);
    else if (pages.contains(button))
        raisePage(pages.value(button));
}

void Session::connectEcu() {
    const bool wasUp = m_connection->linkUp();
    m_connection->connectEcu();
    // The tuning settings of this connection are taken as it starts.
    if (!wasUp && m_connection->linkUp() && m_connection->connectionSettings())
        m_tuningController->startConnection(m_connection->connectionSettings()->protocol);
}
void Session::setTuningWrites(TuningWrites *writes) {
    m_tuningController->setWrites(writes);
}
void Session::disconnectEcu() {
    m_connection->disconnectEcu();
}
bool Session::isConnecting() const {
    return m_connection->busy();
}
void Session::exitProgram() {
    m_connection->exitProgram();
}
const TuningTargets &Session::tuningTargets() const {
    return m_connection->tuningTargets();
}
void Session::selectGridChoice(int index) {
    m_tables.setGridChoice(index);
    m_controls.setVisible(control::Panel5, false);
    m_tuningGrid.refresh();
}

bool Session::tuningAllowed() const {
    return m_statusController->tuningAllowed();
}

void Session::shutDown() {
    m_connection->cancel();
    m_timers.stopAll();
    m_live.stopConnection();
    m_workers.shutDown();
}

bool Session::openFirmware(const QString &path) {
    const bool connected = m_workers.created() && m_workers.ecu().isConnected();
    if (!m_firmwareController->openFirmware(path))
        return false;
    if (connected)
        m_tuningController->imageOpenedWhileConnected();
    return true;
}
bool Session::openComparison(const QString &path) {
    const bool opened = m_firmwareController->openComparison(path);
    // The open entry gains the comparison's texts, line and marks at once.
    if (opened && m_editor.hasTable())
        m_editor.redisplay();
    return opened;
}
QString Session::saveFirmwareAs(const QString &chosenName) {
    return m_firmwareController->saveFirmwareAs(chosenName);
}
void Session::undoFirmware() {
    m_firmwareController->undoFirmware();
}
void Session::readFirmware() {
    m_firmwareRead->readFirmware();
}
bool Session::isReadingFirmware() const {
    return m_firmwareRead->busy();
}

ScreenshotFiles::Result Session::saveScreenshot(int width, int height, const QByteArray &rgb888) {
    ScreenshotFiles::Result result = m_screenshots.save(width, height, rgb888);
    if (!result.error.isEmpty())
        m_log.append(QStringLiteral("Скриншот не сохранён: ") + result.error);
    return result;
}

} // namespace korvel
