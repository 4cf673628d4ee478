#include "app/Session.h"

#include "app/SettingNames.h"
#include "app/WindowNames.h"

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
    using namespace ui_name;
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
    : QObject(parent), logDirectory(QDir(workDir).absolutePath()), m_workDir(QDir(workDir).absolutePath()) {
    settings.setParent(this);
    log.setParent(this);
    controls.setParent(this);
    timers.setParent(this);
    connect(&timers.StatusTimerTimerr, &QTimer::timeout, this, &Session::onStatusTick);
}

Session::~Session() = default;

QString Session::pathInWorkDir(const QString &name) const { return QDir(m_workDir).filePath(name); }

bool Session::startUp() {
    raisePage(ui_name::Eculog);
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
            controls.setVisible(ui_name::ControlBar1, false);
            return false;
        }
    return true;
}

void Session::initialise() {
    chooseLogFieldSeparator();
    if (!settings.load(pathInWorkDir(QStringLiteral("config.ini"))))
        log.append(QStringLiteral("Ошибка: не удаётся прочитать config.ini"));
    putWindowIntoInitialState();
    resetWorkingState();
}

void Session::chooseLogFieldSeparator() {
    m_logFieldSeparator = logFieldSeparatorFor(QLocale().decimalPoint().at(0));
    if (m_logFieldSeparator == QLatin1Char('.'))
        emit messageRequested(kSeparatorWarning);
}

void Session::putWindowIntoInitialState() {
    using namespace ui_name;
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
    using namespace ui_name;
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

void Session::exitProgram() { emit closeRequested(); }

void Session::shutDown() { timers.stopAll(); }

void Session::onStatusTick() {}

} // namespace korvel
