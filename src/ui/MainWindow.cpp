#include "ui/MainWindow.h"

#include "app/CatalogController.h"
#include "app/Session.h"
#include "app/TuningController.h"
#include "core/ControlNames.h"
#include "ui/AccelerationPanel.h"
#include "ui/CatalogPanel.h"
#include "ui/ControlBinder.h"
#include "ui/DiagnosticCharts.h"
#include "ui/DiagnosticSidePanel.h"
#include "ui/FirmwareFilesBar.h"
#include "ui/LivePanels.h"
#include "ui/OwnIcons.h"
#include "ui/Screenshot.h"
#include "ui/SettingsPage.h"
#include "ui/StatusPanels.h"
#include "ui/StringGrids.h"
#include "ui/TTHEXeditor.h"
#include "ui/TableViewPage.h"
#include "ui/ToolbarButtons.h"
#include "ui/TuningGridPage.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QSplitter>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTableView>
#include <QToolBar>
#include <QVBoxLayout>

namespace korvel::ui {
namespace {

// The first size keeps the old golden-ratio shape; after that the user sizes
// the window freely, down to what a 1366 x 768 laptop shows with its taskbar.
constexpr int kFirstWidth = 1200;
constexpr int kFirstHeight = 742; // 1200 / 1.618

QWidget *emptyPanel(const QString &name, QWidget *parent) {
    auto *w = new QWidget(parent);
    w->setObjectName(name);
    return w;
}

// The calibration view: the editor's page, with the marks labels the start-up empties.
QWidget *calibrationView(Session &session, QWidget *pageArea, QWidget *parent) {
    using namespace control;
    auto *view = emptyPanel(QStringLiteral("TreeViewPanel"), parent);
    auto *layout = new QVBoxLayout(view);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *tablePage = new TableViewPage(session.editor(), view);
    // "График на весь экран" covers the window's page area.
    tablePage->setFullScreenHost(pageArea);
    layout->addWidget(tablePage, 1);
    auto *marksLabels = new QWidget(view);
    auto *marksLayout = new QHBoxLayout(marksLabels);
    for (const QString &name : {Label42, Label43, Label44}) {
        auto *label = new QLabel(marksLabels);
        label->setObjectName(name);
        marksLayout->addWidget(label);
    }
    marksLabels->hide();
    layout->addWidget(marksLabels);
    return view;
}

} // namespace

MainWindow::MainWindow(Session &session, QWidget *parent) : QMainWindow(parent), m_session(session) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Korvel Online"));
    buildToolbar();
    buildPages();
    buildStatusBar();
    bindProgramLog();
    m_binder = new ControlBinder(session.controls(), this, this);
    m_binder->applyAll();
    connect(&session, &Session::pageRaised, this, &MainWindow::raise);
    connect(&session, &Session::messageRequested, this,
            [this](const QString &text) { QMessageBox::warning(this, windowTitle(), text); });
    connect(&session, &Session::closeRequested, this, &QWidget::close);
    resize(kFirstWidth, kFirstHeight);
}

void MainWindow::buildToolbar() {
    auto *bar = addToolBar(QStringLiteral("Панель инструментов"));
    bar->setObjectName(control::ControlBar1);
    bar->setMovable(false);
    bar->setIconSize(QSize(32, 32));
    for (const ToolbarButton &def : toolbarButtons()) {
        if (def.separatorBefore)
            bar->addSeparator();
        QAction *action = bar->addAction(glyphIcon(def.glyph, def.rgb), def.hint);
        action->setObjectName(def.name);
        action->setToolTip(def.hint);
        bar->widgetForAction(action)->setObjectName(def.name + QStringLiteral("Button"));
        connect(action, &QAction::triggered, this, [this, name = def.name] { onToolbarButton(name); });
    }
}

void MainWindow::onToolbarButton(const QString &name) {
    using namespace control;
    if (name == TButConnectEcu)
        m_session.connectEcu();
    else if (name == TButDisconnectEcu)
        m_session.disconnectEcu();
    else if (name == TButOpenfirmware)
        FirmwareFilesBar::openFirmware(m_session, this);
    else if (name == TButLoadfirmware)
        m_session.readFirmware();
    else if (name == TButExit)
        m_session.exitProgram();
    else if (name == TButTune)
        m_session.tuning().startTuning();
    else if (name == TButStopTune)
        m_session.tuning().stopTuning();
    else if (name == Hexeditor) {
        m_hex->open(m_session.firmware());
        m_session.showPagesFor(name);
    } else
        m_session.showPagesFor(name);
    // Without a catalogue the calibration page starts with the map choice.
    if (name == TButshowcalibr && m_session.catalog().needsMapChoice())
        m_catalog->chooseMap();
}

QWidget *MainWindow::page(const QString &name, QWidget *content) {
    QWidget *w = content ? content : emptyPanel(name, m_pages);
    w->setObjectName(name);
    w->setProperty(kMainAreaPage, true);
    // A page that needs more room than the window has scrolls; it never
    // makes the window larger than a small laptop's screen.
    auto *scroll = new QScrollArea(m_pages);
    scroll->setObjectName(name + QStringLiteral("Scroll"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setWidget(w);
    m_pages->addWidget(scroll);
    m_pageByName.insert(name, scroll);
    return w;
}

void MainWindow::buildPages() {
    using namespace control;
    m_pages = new QStackedWidget(this);
    m_pages->setObjectName(QStringLiteral("MainArea"));
    setCentralWidget(m_pages);

    auto *logPage = new QWidget(m_pages);
    m_memo = new QPlainTextEdit(logPage);
    m_memo->setObjectName(QStringLiteral("Memo1"));
    m_memo->setReadOnly(true);
    m_memo->setToolTip(QStringLiteral("Лог программы"));
    auto *clear = new QPushButton(QStringLiteral("Очистить"), logPage);
    clear->setObjectName(BitBtn16);
    clear->setToolTip(QStringLiteral("Очистить лог "));
    connect(clear, &QPushButton::clicked, &m_session.log(), &ProgramLog::clear);
    auto *logLayout = new QVBoxLayout(logPage);
    logLayout->addWidget(m_memo);
    logLayout->addWidget(clear, 0, Qt::AlignRight);
    page(Eculog, logPage);

    page(PanelSett, new SettingsPage(m_session, m_pages));
    page(PanelMain, makePanelMain(m_pages));
    page(PanelMain2, makePanelMain2(m_pages));

    auto *dia = new QSplitter(m_pages);
    auto *side = new DiagnosticSidePanel(m_session.actuators(), &m_session.charts(), dia);
    dia->addWidget(side);
    dia->insertWidget(0, new DiagnosticCharts(m_session.charts(), side->channelList(), dia));
    dia->setStretchFactor(0, 3);
    page(Paneldia, dia);

    page(PanelGrid, new TuningGridPage(m_session, m_pages));

    auto *calibr = new QSplitter(m_pages);
    m_catalog = new CatalogPanel(m_session, calibr);
    calibr->addWidget(m_catalog);
    calibr->addWidget(calibrationView(m_session, m_pages, calibr));
    calibr->addWidget(new FirmwareFilesBar(m_session, calibr));
    calibr->widget(2)->setObjectName(Checkbinpanel);
    // The table takes the room the catalogue and the files bar do not need:
    // a 16-column map stays readable on a 1366-pixel screen.
    calibr->setStretchFactor(0, 0);
    calibr->setStretchFactor(1, 1);
    calibr->setStretchFactor(2, 0);
    page(Calibrpanel, calibr);

    auto *chart = new QSplitter(m_pages);
    auto *logsBox = new QWidget(chart);
    auto *logsLayout = new QVBoxLayout(logsBox);
    logsLayout->addWidget(makeStatisticsGrid(QStringLiteral("StringGridlogs"), &m_session.statisticsModel(), logsBox));
    logsLayout->addWidget(new QCheckBox(QStringLiteral("Отобразить лог"), logsBox));
    chart->addWidget(logsBox);
    auto *settCharts = emptyPanel(Panelsettcharts, chart);
    auto *notice = new QLabel(QStringLiteral("Это тестовый функционал и все его \"фишки\" сейчас еще в разработке... "),
                              settCharts);
    QFont bold = notice->font();
    bold.setBold(true);
    notice->setFont(bold);
    notice->setWordWrap(true);
    (new QVBoxLayout(settCharts))->addWidget(notice, 0, Qt::AlignTop);
    chart->addWidget(settCharts);
    page(PanelChart, chart);

    page(Panelrazgon, new AccelerationPanel(m_session, m_pages));

    m_hex = new TTHEXeditor(m_pages);
    page(Toys, m_hex);
}

void MainWindow::buildStatusBar() {
    m_status = new StatusPanels(statusBar());
    statusBar()->addWidget(m_status, 1);
    statusBar()->setSizeGripEnabled(false);
    auto *shot = new QPushButton(QStringLiteral("Скриншот"), statusBar());
    shot->setObjectName(control::BitBtn1);
    shot->setToolTip(QStringLiteral("Скриншот"));
    statusBar()->addPermanentWidget(shot);
    connect(shot, &QPushButton::clicked, this, [this] { takeScreenshot(m_session, this); });
    connect(&m_session, &Session::statusBarChanged, this, [this] { m_status->show(m_session.statusBar()); });
    m_status->show(m_session.statusBar());
}

void MainWindow::bindProgramLog() {
    ProgramLog &log = m_session.log();
    for (const QString &line : log.lines())
        m_memo->appendPlainText(line);
    connect(&log, &ProgramLog::appended, m_memo, &QPlainTextEdit::appendPlainText);
    connect(&log, &ProgramLog::cleared, m_memo, &QPlainTextEdit::clear);
    connect(&log, &ProgramLog::lastReplaced, m_memo, [this](const QString &line) {
        if (m_memo->document()->blockCount() == 1) { // the only block has no line break before it to take along
            m_memo->setPlainText(line);
            return;
        }
        QTextCursor cursor = m_memo->textCursor();
        cursor.movePosition(QTextCursor::End);
        cursor.select(QTextCursor::BlockUnderCursor);
        cursor.removeSelectedText();
        m_memo->appendPlainText(line);
    });
}

void MainWindow::raise(const QString &name) {
    if (QScrollArea *scroll = m_pageByName.value(name))
        m_pages->setCurrentWidget(scroll);
}

QWidget *MainWindow::frontPage() const {
    const auto *scroll = qobject_cast<const QScrollArea *>(m_pages->currentWidget());
    return scroll ? scroll->widget() : m_pages->currentWidget();
}

const QStringList &MainWindow::unboundControlNames() const {
    return m_binder->unboundNames();
}

void MainWindow::closeEvent(QCloseEvent *event) {
    m_session.shutDown();
    event->accept();
}

} // namespace korvel::ui
