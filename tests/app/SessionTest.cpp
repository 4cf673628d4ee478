#include "app/Session.h"
#include "core/ControlNames.h"

#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QSignalSpy>

#include <gtest/gtest.h>

using namespace korvel;

TEST(SessionStartUp, AnyMissingRequiredFileStopsWithFiveLinesAndNoToolbar) {
    for (const QString &missing : Session::requiredFiles()) {
        test::WorkDir work;
        QFile::remove(work.path(missing));
        Session session(work.path());
        EXPECT_FALSE(session.startUp()) << missing.toStdString();
        EXPECT_EQ(session.log().lines(),
                  (QStringList{"Ошибка: Отсутствуют один или несколько необходимых файлов настроек",
                               "Проверьте файлы: ", "config.ini", "hexdata.cfg", "errors.cfg"}));
        EXPECT_FALSE(session.controls().isVisible(control::ControlBar1));
        EXPECT_FALSE(session.timers().StatusTimerTimerr.isActive()) << "nothing else is initialised";
        EXPECT_EQ(session.settings().value("Протокол обмена"), QString()) << "settings are not loaded";
    }
}

// A config.ini that is there but cannot be read stops start-up like a missing
// one, and says why: running on built-in values would use settings nobody chose.
TEST(SessionStartUp, UnreadableConfigStopsLikeAMissingFile) {
    test::WorkDir work;
    QFile::remove(work.path("config.ini"));
    ASSERT_TRUE(QDir(work.path()).mkdir("config.ini"));
    Session session(work.path());
    EXPECT_FALSE(session.startUp());
    const QStringList lines = session.log().lines();
    ASSERT_EQ(lines.size(), 6) << lines.join('\n').toStdString();
    EXPECT_EQ(lines.mid(0, 5), (QStringList{"Ошибка: Отсутствуют один или несколько необходимых файлов настроек",
                                            "Проверьте файлы: ", "config.ini", "hexdata.cfg", "errors.cfg"}));
    EXPECT_TRUE(lines.last().startsWith("Ошибка: не удаётся прочитать config.ini (")) << lines.last().toStdString();
    EXPECT_FALSE(session.controls().isVisible(control::ControlBar1));
    EXPECT_FALSE(session.timers().StatusTimerTimerr.isActive());
}

TEST(SessionStartUp, NormalStartLeavesTheProgramIdle) {
    test::WorkDir work;
    Session session(work.path());
    ASSERT_TRUE(session.startUp());
    EXPECT_EQ(test::withoutNoPortsLine(session.log().lines()), QStringList{"Korvel Online started..."});
    EXPECT_EQ(session.settings().value("Протокол обмена"), "kvl");
    EXPECT_EQ(session.frontPage(), control::Eculog);

    // Idle means the status bar alone refreshes, every 50 ms; nothing of a
    // connection, tuning or a firmware read runs.
    const QList<QTimer *> timers = session.timers().findChildren<QTimer *>();
    ASSERT_FALSE(timers.isEmpty());
    for (const QTimer *timer : timers)
        EXPECT_EQ(timer->isActive(), timer == &session.timers().StatusTimerTimerr) << timer->objectName().toStdString();
    EXPECT_EQ(session.timers().StatusTimerTimerr.interval(), 50);
    // The engine values refresh 20 times a second once connected, and the
    // post-connect set-up comes half a minute after polling starts.
    EXPECT_EQ(session.timers().engineTimer.interval(), 50);
    EXPECT_EQ(session.timers().Timer5.interval(), 30000);
    using namespace control;
    for (const QString &button : {TButDisconnectEcu, TButLoadfirmware, TButTune, TButStopTune, TButReTune, TButshowgrid,
                                  TButCalibrovka, TButshowSmallDia, TButshowBiglDia})
        EXPECT_FALSE(session.controls().isEnabled(button)) << button.toStdString();
    for (const QString &button : {TButConnectEcu, TButSettings, TButOpenfirmware, TButExit, BitBtn1})
        EXPECT_TRUE(session.controls().isEnabled(button)) << button.toStdString();
}

// The CSV log always writes numbers with "." and separates fields with ",",
// so a comma-decimal system needs no warning at start-up.
TEST(SessionStartUp, CommaDecimalLocaleStartsWithoutAWarning) {
    test::WorkDir work;
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    Session session(work.path());
    QSignalSpy messages(&session, &Session::messageRequested);
    const bool started = session.startUp();
    QLocale::setDefault(previous);
    ASSERT_TRUE(started);
    EXPECT_EQ(messages.size(), 0);
}

TEST(SessionSettings, SavingWritesTheGridAndReinitialisesWithoutDuplicates) {
    test::WorkDir work;
    Session session(work.path());
    ASSERT_TRUE(session.startUp());
    const int childrenBefore = static_cast<int>(session.children().size());
    const TECUThread *ecuWorker = &session.workers().ecu();
    const TLAMBDAThread *lambdaWorker = &session.workers().lambda();
    session.settings().setValue("Таймаут1", "35");
    session.saveSettings();
    session.saveSettings();
    EXPECT_EQ(static_cast<int>(session.children().size()), childrenBefore);
    EXPECT_EQ(&session.workers().ecu(), ecuWorker) << "the running workers stay";
    EXPECT_EQ(&session.workers().lambda(), lambdaWorker);
    EXPECT_TRUE(session.workers().ecu().isRunning());
    EXPECT_EQ(test::withoutNoPortsLine(session.log().lines()), QStringList{"Korvel Online started..."})
        << "start-up ran again, log cleared";
    Session reread(work.path());
    ASSERT_TRUE(reread.startUp());
    EXPECT_EQ(reread.settings().value("Таймаут1"), "35");
}

TEST(SessionSettings, FailedSaveIsLoggedAndKeepsTheFile) {
    test::WorkDir work;
    const QByteArray original = work.read("config.ini");
    Session session(work.path());
    ASSERT_TRUE(session.startUp());
    session.settings().setValue("Таймаут1", "35");
    {
        test::FileSizeLimit fullDisk(32);
        session.saveSettings();
    }
    EXPECT_EQ(work.read("config.ini"), original);
    ASSERT_FALSE(session.log().lines().isEmpty());
    EXPECT_TRUE(session.log().last().contains("config.ini")) << session.log().last().toStdString();
}

TEST(SessionPages, ToolbarButtonsBringTheirPages) {
    test::WorkDir work;
    Session session(work.path());
    ASSERT_TRUE(session.startUp());
    using namespace control;
    const std::pair<QString, QString> cases[] = {{TButSettings, PanelSett},     {TButMemo, Eculog},
                                                 {TButshowBiglDia, Paneldia},   {TButshowgrid, PanelGrid},
                                                 {TButshowcalibr, Calibrpanel}, {TButCalibrovka, PanelChart},
                                                 {TButRazgon, Panelrazgon},     {Hexeditor, Toys},
                                                 {TButshowSmallDia, PanelMain}};
    for (const auto &[button, page] : cases) {
        session.showPagesFor(button);
        EXPECT_EQ(session.frontPage(), page) << button.toStdString();
    }
    session.settings().setValue("Тема ОС", "стандартная");
    session.showPagesFor(TButshowSmallDia);
    EXPECT_EQ(session.frontPage(), PanelMain2);
}

// Saving the settings re-runs the start-up initialisation; the firmware the
// user opened stays, and nothing writes an image that was never loaded.
TEST(SessionSettings, SavingKeepsTheOpenedFirmware) {
    test::WorkDir work;
    Session session(work.path());
    ASSERT_TRUE(session.startUp());
    EXPECT_EQ(session.saveFirmwareAs(work.path("nothing")), QString());
    EXPECT_EQ(session.log().last(), "Прошивка НЕ загружена!");
    EXPECT_FALSE(QFile::exists(work.path("nothing.bin")));

    QByteArray image(65536, '\0');
    image[100] = 0x42;
    work.write("fw.bin", image);
    ASSERT_TRUE(session.openFirmware(work.path("fw.bin")));
    session.saveSettings();
    EXPECT_TRUE(session.firmware().FirmwareLoaded());
    ASSERT_EQ(session.saveFirmwareAs(work.path("copy")), work.path("copy.bin"));
    EXPECT_EQ(work.read("copy.bin"), image);
    EXPECT_FALSE(session.identity().imageSwid().isEmpty()) << "the kept image keeps its identity";
}

namespace {

// Two firmwares with different SWIDs (they differ in the identified first 224 bytes).
struct TwoFirmwares {
    test::WorkDir work;
    Session session{work.path()};
    QString swidA, swidB;

    TwoFirmwares() {
        QByteArray a(65536, '\0');
        QByteArray b = a;
        b[10] = 0x55;
        work.write("a.bin", a);
        work.write("b.bin", b);
        EXPECT_TRUE(session.startUp());
        EXPECT_TRUE(session.openFirmware(work.path("b.bin")));
        swidB = session.identity().imageSwid();
        EXPECT_TRUE(session.openFirmware(work.path("a.bin")));
        swidA = session.identity().imageSwid();
        EXPECT_NE(swidA, swidB);
    }
};

} // namespace

// Undo may bring back an image loaded before the current file: the identity
// must be that image's, or tuning could write it into an ECU it is not for.
TEST(SessionUndo, UndoPastALoadRestoresThatImagesIdentity) {
    TwoFirmwares f;
    ASSERT_TRUE(f.session.firmware().WriteCell(0x33, 0, QStringLiteral("00001000"))); // an undo copy of a.bin
    ASSERT_TRUE(f.session.openFirmware(f.work.path("b.bin")));
    ASSERT_EQ(f.session.identity().imageSwid(), f.swidB);

    f.session.undoFirmware();
    EXPECT_EQ(f.session.firmware().image().bytes().at(0x1000), 0) << "a.bin before the write";
    EXPECT_EQ(f.session.identity().imageSwid(), f.swidA);
}

// Undo restores the image and redraws; what tuning learned per cell stays.
TEST(SessionUndo, UndoKeepsTheTuningGridsState) {
    TwoFirmwares f;
    TuningCell &cell = f.session.tables().grid().at(5, 7);
    cell.sampleCount = 42;
    cell.applied = 1;
    cell.meanCoef = 1.07f;
    ASSERT_TRUE(f.session.firmware().WriteCell(0x33, 0, QStringLiteral("00001000")));
    QSignalSpy repaints(&f.session.tuningGridModel(), &QAbstractItemModel::dataChanged);

    f.session.undoFirmware();
    const TuningCell &after = f.session.tables().grid().at(5, 7);
    EXPECT_EQ(after.sampleCount, 42);
    EXPECT_EQ(after.applied, 1);
    EXPECT_FLOAT_EQ(after.meanCoef, 1.07f);
    EXPECT_EQ(repaints.size(), 1) << "whatever shows the image redraws";
}

// The exit button's wait closes the window even when connect is pressed meanwhile.
TEST(SessionExit, ConnectDuringTheExitWaitDoesNotCancelIt) {
    test::WorkDir work;
    Session session(work.path());
    ASSERT_TRUE(session.startUp());
    QSignalSpy closing(&session, &Session::closeRequested);
    session.exitProgram();
    session.connectEcu();
    EXPECT_TRUE(closing.wait(5000));
    EXPECT_EQ(closing.count(), 1);
    EXPECT_FALSE(session.timers().Timer3.isActive()) << "no connect starts while exiting";
}
