#include "app/Session.h"

#include "app/Connection.h"
#include "core/SettingNames.h"
#include "app/StatusRules.h"
#include "core/ControlNames.h"
#include "firmware/FirmwareFiles.h"
#include "firmware/PressureSensor.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QLocale>
#include <QTimer>

namespace korvel {
namespace {

const QString kStartedLine = QStringLiteral("Korvel Online started...");
const QString kMissingFiles = QStringLiteral("Ошибка: Отсутствуют один или несколько необходимых файлов настроек");
const QString kCheckFiles = QStringLiteral("Проверьте файлы: ");
const QString kSeparatorWarning = QStringLiteral(
    "Для корректного ведения логов необходимо чтобы разделитель целой и дробной части был точкой. "
    "Настройка в Панель Управления>Язык и Региональные стандарты>кнопка \"Дополнительно\"> Первое поле сверху ");

// Buttons that start disabled: they need a link, a firmware or tuning first.
const QStringList &initiallyDisabledButtons() {
    using namespace control;
    static const QStringList names = {TButDisconnectEcu, TButLoadfirmware, TButTune, TButStopTune, TButReTune,
                                      TButshowgrid, TButCalibrovka, TButshowSmallDia, TButshowBiglDia};
    return names;
}

} // namespace

const QStringList &Session::requiredFiles() {
    static const QStringList files = {QStringLiteral("config.ini"), QStringLiteral("hexdata.cfg"),
                                      QStringLiteral("errors.cfg")};
    return files;
}

Session::Session(const QString &workDir, QObject *parent)
    : QObject(parent), logDirectory(QDir(workDir).absolutePath()), firmware(&log, &controls),
      tables(firmware, identity, log, &controls), live(controls, logDirectory, log), screenshots(logDirectory),
      m_workDir(QDir(workDir).absolutePath()), m_connection(std::make_unique<Connection>(*this)) {
    settings.setParent(this);
    log.setParent(this);
    controls.setParent(this);
    timers.setParent(this);
    identity.setAutoSave([this] { autoSave(); });
    wireTimers();
}

Session::~Session() { shutDown(); }

void Session::wireTimers() {
    connect(&timers.StatusTimerTimerr, &QTimer::timeout, this, &Session::onStatusTick);
    connect(&timers.engineTimer, &QTimer::timeout, this, &Session::onEngineTick);
    connect(&timers.Timer2, &QTimer::timeout, this, &Session::onStatisticsTick);
    connect(&timers.Timer1, &QTimer::timeout, this, &Session::onRepaintTick);
}

QString Session::pathInWorkDir(const QString &name) const { return QDir(m_workDir).filePath(name); }

bool Session::startUp() {
    raisePage(control::Eculog);
    if (!requiredFilesPresent())
        return false;
    initialise();
    m_started = true;
    return true;
}

bool Session::requiredFilesPresent() {
    for (const QString &name : requiredFiles())
        if (!QFileInfo::exists(pathInWorkDir(name))) {
            log.append(kMissingFiles);
            log.append(kCheckFiles);
            for (const QString &file : requiredFiles())
                log.append(file);
            controls.setVisible(control::ControlBar1, false);
            return false;
        }
    return true;
}

void Session::initialise() {
    chooseLogFieldSeparator();
    identity.ClearIdentity();
    if (!settings.load(pathInWorkDir(QStringLiteral("config.ini"))))
        log.append(QStringLiteral("Ошибка: не удаётся прочитать config.ini"));
    for (const auto &[name, value] : m_overrides)
        settings.setValue(name, value);
    putWindowIntoInitialState();
    resetWorkingState();
    tables.startUp(m_workDir);
    live.engine().setErrorNames(tables.errorNames().names);
    createWorkers();
    workers.discoverPorts(settings, log);
}

void Session::createWorkers() {
    workers.create(log, {[this](int maximum, int position) { onProgress(maximum, position); },
                         [this](const QByteArray &block) { onIdentificationBlock(block); }});
}

void Session::chooseLogFieldSeparator() {
    m_logFieldSeparator = logFieldSeparatorFor(QLocale().decimalPoint().at(0));
    if (m_logFieldSeparator == QLatin1Char('.'))
        emit messageRequested(kSeparatorWarning);
}

void Session::putWindowIntoInitialState() {
    using namespace control;
    for (const QString &label : {Label42, Label43, Label44, Label35, labelpress, Labeldtv})
        controls.setText(label, QString());
    controls.setEnabled(BitBtn1, true);
    log.clear();
    controls.setVisible(ControlBar1, true);
    controls.setEnabled(ControlBar1, true);
    for (const QString &button : initiallyDisabledButtons())
        controls.setEnabled(button, false);
    log.append(kStartedLine);
    timers.StatusTimerTimerr.start();
}

void Session::resetWorkingState() {
    // A settings save runs this again: the firmware the user works on stays
    // (losing it to a settings change would lose work); its undo steps go.
    firmware.clearUndo();
    controls.setVisible(control::BitBtn26, false);
    m_tuningTargets = {};
    logDirectory.reset();
}

void Session::saveSettings() {
    const QString why = settings.save(pathInWorkDir(QStringLiteral("config.ini")));
    if (!why.isEmpty()) {
        log.append(QStringLiteral("Ошибка: настройки не сохранены в config.ini (%1); файл остался прежним").arg(why));
        return;
    }
    initialise();
}

void Session::showPagesFor(const QString &button) {
    using namespace control;
    // Each button brings its page to the front; the page's companions
    // (Paneldia2, Checkbinpanel, Panelsettcharts, toysset) sit on the same page.
    static const QHash<QString, QString> pages = {
        {TButMemo, Eculog},    {TButSettings, PanelSett},     {TButshowBiglDia, Paneldia},
        {TButshowgrid, PanelGrid}, {TButshowcalibr, Calibrpanel}, {TButCalibrovka, PanelChart},
        {TButRazgon, Panelrazgon}, {Hexeditor, Toys},
    };
    if (button == TButshowSmallDia)
        raisePage(settings.value(setting::OsTheme) == QStringLiteral("стандартная") ? PanelMain2 : PanelMain);
    else if (pages.contains(button))
        raisePage(pages.value(button));
}

void Session::raisePage(const QString &page) {
    m_frontPage = page;
    emit pageRaised(page);
}

void Session::connectEcu() { m_connection->connectEcu(); }
void Session::disconnectEcu() { m_connection->disconnectEcu(); }
bool Session::isConnecting() const { return m_connection->busy(); }
void Session::exitProgram() { m_connection->exitProgram(); }

void Session::shutDown() {
    m_connection->cancel();
    timers.stopAll();
    live.stopConnection();
    workers.shutDown();
}

void Session::setStatusBar(const StatusBarState &state) {
    if (state == m_statusBar)
        return;
    m_statusBar = state;
    emit statusBarChanged();
}

void Session::setStatisticsRowNames(const QStringList &names) {
    m_statistics.setChannels(names);
}

void Session::onProgress(int maximum, int position) {
    StatusBarState bar = m_statusBar;
    bar.progressMaximum = maximum;
    bar.progressPosition = position;
    setStatusBar(bar);
}

void Session::onIdentificationBlock(const QByteArray &block) { identity.EcuSwid(block); }

void Session::onStatusTick() {
    if (!workers.created())
        return;
    const TECUThread &ecu = workers.ecu();
    const TLAMBDAThread &lambda = workers.lambda();
    StatusBarState bar = m_statusBar;
    paintLinkAreas(bar, {bar.panelText[0], ecu.IsComConnected.load() == 1, ecu.IsECUConnected.load() == 1,
                         settings.value(setting::Protocol) != setting::StandardProtocol, lambda.ComConnect.load(),
                         lambda.PortName.load()});
    paintIdentityArea(bar, identity, controls);
    const QStringList &choices = tables.gridChoices();
    const int choice = tables.gridChoice();
    applyButtonRules(controls, firmware.FirmwareLoaded(), false,
                     choice >= 0 && choice < choices.size() ? choices.at(choice) : QString());
    if (ecu.IsComConnected.load() != 1)
        timers.engineTimer.stop();
    setStatusBar(bar);
}

void Session::onEngineTick() {
    PressureSensor sensor;
    if (firmware.FirmwareLoaded()) {
        const PressureSensorConstants constants = pressureSensorConstants(firmware.image(), identity.FirmwareFamily());
        sensor = {true, constants.gain, constants.offset};
    }
    const TECUThread &ecu = workers.ecu();
    live.tick(ecu.DiagnosticInfo.load(), ecu.numlog.load(),
              {LiveSettings::from(settings), workers.afrWideband.value(), sensor});
    emit liveUpdated();
}

void Session::onStatisticsTick() {
    StatusBarState bar = m_statusBar;
    bar.panelText[6] = live.statisticsText(workers.ecu().numlog.load(), timers.Timer2.interval());
    setStatusBar(bar);
    autoSave();
}

void Session::onRepaintTick() {
    if (firmware.FirmwareLoaded())
        m_tuningGrid.refresh();
}

bool Session::autoSave() {
    const Outcome<QString> saved = FirmwareSave(firmware, identity, logDirectory);
    if (!saved && firmware.FirmwareLoaded())
        log.append(QStringLiteral("Прошивка не сохранена: ") + saved.error());
    return saved.ok();
}

bool Session::openFirmware(const QString &path) {
    const bool connected = workers.created() && workers.ecu().isConnected();
    if (!korvel::openFirmware(path, firmware, identity, log, &controls))
        return false;
    if (connected)
        log.append(swidLogLine(identity.imageSwid()));
    if (settings.value(setting::Protocol) == setting::FastProtocol)
        identity.CheckSwid();
    tables.reloadFromImage();
    m_tuningGrid.refresh();
    identity.CheckSwid();
    if (connected) {
        const QString ecuComplectation = workers.ecu().komplectecu.load();
        if (const auto message = complectationMismatch(ImageComplectationString(firmware.image()), ecuComplectation,
                                                       identity.swidMatch()))
            emit messageRequested(*message);
    }
    return true;
}

bool Session::openComparison(const QString &path) { return korvel::openComparison(path, firmware, log, &controls); }

QString Session::saveFirmwareAs(const QString &chosenName) {
    if (!firmware.FirmwareLoaded()) {
        log.append(kLogNotLoaded);
        return QString();
    }
    const Outcome<QString> saved = korvel::saveFirmwareAs(chosenName, firmware.image());
    if (!saved) {
        log.append(QStringLiteral("Прошивка не сохранена: ") + saved.error());
        return QString();
    }
    return saved.value();
}

Session::HeldWork Session::holdLiveWork() {
    const HeldWork held{timers.engineTimer.isActive(), timers.Timer2.isActive()};
    timers.engineTimer.stop();
    timers.Timer2.stop();
    return held;
}

void Session::resumeLiveWork(HeldWork held) {
    if (held.engine)
        timers.engineTimer.start();
    if (held.autoSave)
        timers.Timer2.start();
}

void Session::undoFirmware() {
    if (firmware.UndoStep()) {
        tables.reloadFromImage();
        m_tuningGrid.refresh();
    }
}

ScreenshotFiles::Result Session::saveScreenshot(int width, int height, const QByteArray &rgb888) {
    ScreenshotFiles::Result result = screenshots.save(width, height, rgb888);
    if (!result.error.isEmpty())
        log.append(QStringLiteral("Скриншот не сохранён: ") + result.error);
    return result;
}

} // namespace korvel
