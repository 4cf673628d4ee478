// The session's connect and disconnect against the simulated ECU and
// wideband controller on pseudo-terminals: what a user sees in the status
// bar, the log, the buttons and the CSV log.
#include "app/ConnectionSettings.h"
#include "app/Session.h"
#include "core/ControlNames.h"
#include "core/SettingNames.h"
#include "core/SettingsList.h"
#include "ecu/EcuTexts.h"
#include "ecu/EcuWriteCommands.h"
#include "firmware/DemoFirmware.h"
#include "live/CsvLog.h"
#include "sim/RequestKind.h"
#include "sim/Simulator.h"

#include "SessionRig.h"
#include "SimulatedCar.h"
#include "TestSupport.h"
#include "WaitFor.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <memory>

using namespace korvel;
using korvel::test::runEventsFor;
using korvel::test::waitFor;

using korvel::test::kConnectMs;
using korvel::test::kFirmwareFile;
using korvel::test::kMissingAdapter;
using Rig = korvel::test::SessionRig;

namespace {

const QString kDemoSwid = QStringLiteral("AFF68EED");

} // namespace

TEST(SessionConnection, FastConnectPollsShowsTheLinkAndLogsEveryFrame) {
    Rig rig;
    ASSERT_TRUE(rig.started);
    Session &s = *rig.session;
    ASSERT_TRUE(rig.connectAndPoll()) << s.log().lines().join('\n').toStdString();

    // A second press of connect (a double click) changes nothing: the CSV log goes on.
    const int linesBefore = s.live().csv().lineCount();
    s.connectEcu();
    runEventsFor(300);
    EXPECT_GE(s.live().csv().lineCount(), linesBefore);
    EXPECT_EQ(s.log().lines().filter(">> Открытие порта...").size(), 1);

    // The status bar: port, link and wideband green.
    const StatusBarState &bar = s.statusBar();
    EXPECT_EQ(bar.port.background, StatusBarState::kGreen);
    EXPECT_EQ(bar.port.text, QFileInfo(rig.simulator->ecuDevicePath()).fileName()) << "a path shows its last part";
    EXPECT_EQ(bar.link.background, StatusBarState::kGreen);
    ASSERT_TRUE(waitFor([&] { return s.statusBar().lambda.background == StatusBarState::kGreen; }));
    EXPECT_EQ(s.statusBar().lambda.text, "ШДК" + QFileInfo(rig.simulator->lambdaDevicePath()).fileName());
    EXPECT_TRUE(s.log().lines().contains("ECU: >> Диагностика параметров"));

    // The default firmware is the ECU's own: the identity area is green.
    // Label60 names the file as the setting does; its size is right, so no size line.
    EXPECT_EQ(s.controls().text(control::Label60), "Прошивка:" + kFirmwareFile);
    EXPECT_TRUE(s.log().lines().filter("Размер файла:").isEmpty());
    ASSERT_TRUE(waitFor([&] { return s.identity().ecuSwid() == kDemoSwid; }));
    EXPECT_TRUE(s.identity().swidMatch());
    ASSERT_TRUE(waitFor([&] { return s.statusBar().identity.background == StatusBarState::kGreen; }));
    EXPECT_TRUE(s.statusBar().identity.text.endsWith("] [" + kDemoSwid + "]"));
    EXPECT_TRUE(QFile::exists(QDir(s.logDirectory().ensure()).filePath(kFirmwareFile)))
        << "the match saves the image once";

    // The engine values come from the ECU's frames.
    ASSERT_TRUE(waitFor([&] { return s.live().engine().parameters().rpm == 2480; }));
    EXPECT_NEAR(s.live().engine().parameters().coolantTemp, 88, 1);
    ASSERT_TRUE(waitFor([&] { return s.workers().afrWideband.value() > 7; })) << "the wideband value arrives";

    // The post-connect set-up: the tuning grid page, buttons and the equipment in the log.
    ASSERT_TRUE(waitFor([&] { return s.controls().isEnabled(control::TButLoadfirmware); }));
    EXPECT_EQ(s.frontPage(), control::PanelGrid);
    EXPECT_TRUE(s.controls().isEnabled(control::TButshowBiglDia));
    EXPECT_TRUE(s.log().lines().contains("Комплектация:"));
    EXPECT_FALSE(s.settings().isEditable()) << "settings stay as they are while connected";
    ASSERT_TRUE(waitFor([&] { return s.timers().engineTimer.isActive(); }));

    // Disconnect: every processed frame is in the CSV file, the ports close.
    const int framesBefore = s.live().engine().processedFrames();
    ASSERT_TRUE(rig.disconnect());
    // The status timer shows the closed ports at its next tick.
    ASSERT_TRUE(waitFor([&] {
        const StatusBarState &closed = s.statusBar();
        return closed.link.text == QLatin1String("OFFLINE") && closed.port.background == StatusBarState::kYellow &&
               closed.lambda.text == QStringLiteral("УДК");
    }));
    EXPECT_FALSE(s.timers().engineTimer.isActive());
    for (const QString &button : {control::TButDisconnectEcu, control::TButLoadfirmware, control::TButshowgrid})
        EXPECT_FALSE(s.controls().isEnabled(button)) << button.toStdString();
    EXPECT_TRUE(s.settings().isEditable());

    const QStringList csv = test::csvLines(rig.csvPath());
    ASSERT_GE(csv.size(), framesBefore + 1);
    EXPECT_EQ(csv.size(), s.live().engine().processedFrames() + 1) << "the header and one line per processed frame";
    EXPECT_EQ(csv.size(), s.live().csv().lineCount()) << "every line of the connection is on disk";
    const QStringList header = csv.first().split(',');
    EXPECT_EQ(header.first(), "Time");
    const QStringList last = csv.last().split(',');
    EXPECT_EQ(last.size(), 1 + 56 + 8);
    // The engine state the simulator drove, within the frames' resolution.
    const std::pair<const char *, double> expected[] = {{"Скорость вращения двигателя", 2480},
                                                        {"Температура охлаждающей жидкости", 88},
                                                        {"Положение дроссельной заслонки", 18},
                                                        {"Скорость автомобиля", 72}};
    for (const auto &[channel, value] : expected) {
        const qsizetype column = header.indexOf(QString::fromUtf8(channel));
        ASSERT_GT(column, 0) << channel;
        EXPECT_NEAR(last.at(column).toDouble(), value, 1.0) << channel;
    }
}

TEST(SessionConnection, OpeningFirmwaresWhileConnectedTurnsTheIdentityRedAndGreen) {
    Rig rig;
    ASSERT_TRUE(rig.started);
    Session &s = *rig.session;
    rig.set(setting::LoadDefaultFirmware, setting::No);
    ASSERT_TRUE(rig.connectAndPoll()) << s.log().lines().join('\n').toStdString();
    ASSERT_TRUE(waitFor([&] { return s.identity().ecuSwid() == kDemoSwid; }));
    EXPECT_FALSE(s.firmware().FirmwareLoaded());

    QByteArray other = makeDemoFirmware();
    other[0x10] = static_cast<char>(other[0x10] ^ 0x5A);
    rig.work.write("other.bin", other);
    ASSERT_TRUE(s.openFirmware(rig.work.path("other.bin")));
    ASSERT_TRUE(waitFor([&] { return s.statusBar().identity.background == StatusBarState::kRed; }));
    EXPECT_TRUE(s.log().lines().contains("SWID[ " + s.identity().imageSwid() + "]"));
    EXPECT_FALSE(s.controls().isEnabled(control::TButTune));

    ASSERT_TRUE(s.openFirmware(rig.work.path(kFirmwareFile)));
    ASSERT_TRUE(waitFor([&] { return s.statusBar().identity.background == StatusBarState::kGreen; }));
    EXPECT_TRUE(s.log().lines().contains("SWID[ " + kDemoSwid + "]"));

    rig.work.write("short.bin", QByteArray(65535, '\0'));
    EXPECT_FALSE(s.openFirmware(rig.work.path("short.bin")));
    EXPECT_EQ(s.identity().imageSwid(), kDemoSwid) << "a refused file leaves the image";
    ASSERT_TRUE(rig.disconnect());
}

TEST(SessionConnection, StandardProtocolShowsInDiagAndKeepsFirmwareReadOff) {
    Rig rig(sim::Protocol::Standard, sim::WidebandType::None);
    ASSERT_TRUE(rig.started);
    Session &s = *rig.session;
    rig.set(setting::OxygenSensor, setting::Narrowband);
    // An earlier fast connection to an ECU with this very firmware.
    s.identity().EcuSwid(makeDemoFirmware().left(224));
    ASSERT_TRUE(rig.connectAndPoll()) << s.log().lines().join('\n').toStdString();

    EXPECT_EQ(s.statusBar().link.text, "IN DIAG");
    EXPECT_EQ(s.statusBar().lambda.text, "УДК");
    EXPECT_EQ(s.statisticsRowNames().size(), 36);
    // The standard protocol never reads the ECU's identity, and the earlier
    // ECU's does not count for this one: with an image the area stays red.
    EXPECT_EQ(s.statusBar().identity.background, StatusBarState::kRed);
    EXPECT_FALSE(s.controls().isEnabled(control::TButTune));

    ASSERT_TRUE(waitFor([&] { return s.controls().isEnabled(control::TButshowBiglDia); }));
    runEventsFor(100);
    EXPECT_FALSE(s.controls().isEnabled(control::TButLoadfirmware));
    EXPECT_EQ(s.tables().gridChoices().mid(s.tables().gridChoices().size() - 2),
              QStringList({"Новая Поправка %", "Новое БЦН"}));

    ASSERT_TRUE(rig.disconnect());
    const QStringList csv = test::csvLines(rig.csvPath());
    ASSERT_GE(csv.size(), 2);
    EXPECT_EQ(csv.first().split(',').size(), 1 + 36);
    EXPECT_EQ(csv.last().split(',').size(), 1 + 36 + 8) << "the tuning trace is written without header names";
}

TEST(SessionConnection, AnImageOfAnotherFirmwareStaysRed) {
    Rig rig;
    ASSERT_TRUE(rig.started);
    Session &s = *rig.session;
    QByteArray other = makeDemoFirmware();
    other[0x10] = static_cast<char>(other[0x10] ^ 0x5A);
    rig.work.write(kFirmwareFile, other);
    ASSERT_TRUE(rig.connectAndPoll()) << s.log().lines().join('\n').toStdString();

    ASSERT_TRUE(waitFor([&] { return s.identity().ecuSwid() == kDemoSwid; }));
    EXPECT_FALSE(s.identity().swidMatch());
    ASSERT_TRUE(waitFor([&] { return s.statusBar().identity.background == StatusBarState::kRed; }));
    EXPECT_EQ(s.statusBar().identity.text, "[" + s.identity().imageSwid() + "]/[" + kDemoSwid + "]");
    EXPECT_FALSE(s.controls().isEnabled(control::TButTune));
    EXPECT_FALSE(QFile::exists(QDir(s.logDirectory().ensure()).filePath(kFirmwareFile)))
        << "an image that is not the ECU's is never saved automatically";
    ASSERT_TRUE(rig.disconnect());
}

TEST(SessionConnection, BadSettingsStopTheConnectBeforeAnythingChanges) {
    const std::pair<QString, QString> cases[] = {
        {setting::Timeout1, QStringLiteral("20ms")},
        {setting::FirmwareSaveInterval, QString()},
        {setting::WriteBackInterval, QStringLiteral("1 000")},
        {setting::Protocol, QStringLiteral("быстрый")},
    };
    for (const auto &[name, value] : cases) {
        test::WorkDir work;
        Session session(work.path());
        ASSERT_TRUE(session.startUp());
        session.settings().setValue(name, value);
        session.log().clear();
        session.connectEcu();
        runEventsFor(300);
        ASSERT_EQ(session.log().lines().size(), 1) << name.toStdString();
        EXPECT_TRUE(session.log().lines().first().contains(name)) << session.log().lines().first().toStdString();
        EXPECT_FALSE(session.controls().isEnabled(control::TButDisconnectEcu));
        EXPECT_FALSE(session.workers().ecu().Command.pending());
        EXPECT_FALSE(session.timers().Timer3.isActive());
    }
}

// A settings save runs start-up again; the kept image is still the same image,
// so the identity area judges it as before: green against its own ECU in the
// fast protocol, red in the standard protocol, which never reads the ECU's.
TEST(SessionConnection, SettingsSaveKeepsTheImagesIdentity) {
    for (const sim::Protocol protocol : {sim::Protocol::Fast, sim::Protocol::Standard}) {
        const bool fast = protocol == sim::Protocol::Fast;
        Rig rig(protocol, sim::WidebandType::None);
        ASSERT_TRUE(rig.started);
        Session &s = *rig.session;
        rig.set(setting::OxygenSensor, setting::Narrowband);
        rig.set(setting::LoadDefaultFirmware, setting::No);
        ASSERT_TRUE(s.openFirmware(rig.work.path(kFirmwareFile)));
        s.saveSettings();
        EXPECT_EQ(s.identity().imageSwid(), kDemoSwid) << fast;
        ASSERT_TRUE(rig.connectAndPoll()) << s.log().lines().join('\n').toStdString();
        if (fast) {
            ASSERT_TRUE(waitFor([&] { return s.identity().ecuSwid() == kDemoSwid; }));
            EXPECT_TRUE(s.identity().swidMatch());
        }
        const int colour = fast ? StatusBarState::kGreen : StatusBarState::kRed;
        EXPECT_TRUE(waitFor([&] { return s.statusBar().identity.background == colour; }))
            << fast << " " << s.statusBar().identity.text.toStdString();
        ASSERT_TRUE(rig.disconnect());
    }
}

// The image is saved once per match: at connect when the ECU turns out to run
// it, and once more when the same file is opened again while connected.
TEST(SessionConnection, AMatchSavesTheImageOnce) {
    Rig rig(sim::Protocol::Fast, sim::WidebandType::None);
    ASSERT_TRUE(rig.started);
    Session &s = *rig.session;
    rig.set(setting::OxygenSensor, setting::Narrowband);
    QSignalSpy saves(&s, &Session::firmwareSaved);
    ASSERT_TRUE(rig.connectAndPoll());
    ASSERT_TRUE(waitFor([&] { return s.identity().swidMatch(); }));
    runEventsFor(300);
    EXPECT_EQ(saves.size(), 1);

    ASSERT_TRUE(s.openFirmware(rig.work.path(kFirmwareFile)));
    runEventsFor(300);
    EXPECT_EQ(saves.size(), 2);
    ASSERT_TRUE(rig.disconnect());
}

// A disconnect while the worker is still inside the fast connect's reads: the
// close waits for the worker, and connect stays off until both ports are
// closed, so a new connect cannot overwrite the pending close and starts
// from a closed port with its own settings.
TEST(SessionConnection, ConnectStaysOffUntilTheDisconnectHasClosedThePorts) {
    Rig rig(sim::Protocol::Fast, sim::WidebandType::None);
    ASSERT_TRUE(rig.started);
    Session &s = *rig.session;
    rig.set(setting::OxygenSensor, setting::Narrowband);
    rig.simulator->setLatencyMs(120); // the identification reads take seconds
    s.connectEcu();
    ASSERT_TRUE(waitFor([&] { return s.log().lines().contains(ecutext::SomeSettings); }));
    s.disconnectEcu();
    s.connectEcu(); // pressed at once: ignored, the old connection is not closed yet
    ASSERT_TRUE(waitFor([&] { return s.controls().isEnabled(control::TButConnectEcu); }, 30000));
    EXPECT_EQ(s.workers().ecu().IsComConnected.load(), 0) << "connect came back before the port was closed";
    EXPECT_FALSE(s.isConnecting());

    rig.simulator->setLatencyMs(5);
    rig.simulator->clearRequestLog();
    rig.set(setting::EcuSpeed, QStringLiteral("38400"));
    ASSERT_TRUE(rig.connectAndPoll()) << s.log().lines().join('\n').toStdString();
    const QList<QByteArray> requests = rig.simulator->requestLog();
    ASSERT_FALSE(requests.isEmpty());
    EXPECT_EQ(sim::classifyRequest(requests.first()), sim::RequestKind::StartCommunication)
        << "the new connect starts a session of its own";
    EXPECT_EQ(rig.simulator->ecuBaud(), 38400);
    ASSERT_TRUE(rig.disconnect());
}

// The tuning timers only run while tuning: an interval of 0 refuses the start
// of tuning, never plain diagnostics.
TEST(SessionConnection, ZeroTuningIntervalsStillConnect) {
    Rig rig;
    ASSERT_TRUE(rig.started);
    Session &session = *rig.session;
    for (const QString &name : {setting::FirmwareSaveInterval, setting::WriteBackInterval, setting::NeighbourInterval})
        rig.set(name, QStringLiteral("0"));
    rig.connectToMissingAdapter();
    EXPECT_TRUE(session.controls().isEnabled(control::TButDisconnectEcu));
    ASSERT_TRUE(waitFor([&] { return session.timers().Timer3.isActive(); }));

    session.log().clear();
    EXPECT_FALSE(TuningTimerSettings::read(session.settings(), session.log()));
    ASSERT_EQ(session.log().lines().size(), 1);
    EXPECT_TRUE(session.log().lines().first().contains(setting::FirmwareSaveInterval));
    session.disconnectEcu();
    ASSERT_TRUE(waitFor([&] { return session.controls().isEnabled(control::TButConnectEcu); }));
}

// "Быстрый обмен" = "да" reaches the ECU link: with a "Таймаут2" of 4 s the
// connect's two dozen exchanges would take minutes if each waited it out.
TEST(SessionConnection, FastExchangeDoesNotWaitOutTheReadTimeOut) {
    Rig rig(sim::Protocol::Fast, sim::WidebandType::None);
    ASSERT_TRUE(rig.started);
    Session &session = *rig.session;
    rig.set(setting::OxygenSensor, setting::Narrowband);
    rig.set(setting::Timeout1, QStringLiteral("0"));
    rig.set(setting::Timeout2, QStringLiteral("4000"));
    rig.set(setting::FastExchange, setting::Yes);
    ASSERT_TRUE(rig.connectAndPoll()) << session.log().lines().join('\n').toStdString();
    EXPECT_EQ(session.workers().ecu().error.load(), 0) << session.log().lines().join('\n').toStdString();
    EXPECT_TRUE(rig.disconnect());
}

// Disconnecting before polling started must not let the post-connect set-up
// run later and enable buttons of a connection that is gone.
TEST(SessionConnection, DisconnectBeforePollingCancelsTheSetUp) {
    Rig rig;
    ASSERT_TRUE(rig.started);
    Session &session = *rig.session;
    rig.connectToMissingAdapter();
    ASSERT_TRUE(waitFor([&] { return session.timers().Timer5.isActive(); }));
    session.disconnectEcu();
    runEventsFor(1500);
    EXPECT_FALSE(session.controls().isEnabled(control::TButLoadfirmware));
    EXPECT_FALSE(session.timers().Timer3.isActive());
    EXPECT_FALSE(session.timers().Timer5.isActive());
    EXPECT_NE(session.frontPage(), control::PanelGrid);
    EXPECT_TRUE(session.log().lines().contains("ОШИБКА: Не удаётся открыть порт " + kMissingAdapter + " !"));
}

// A connect that never polls still gets its post-connect set-up once, not
// again after every later Timer3 tick.
TEST(SessionConnection, PostConnectSetUpRunsOncePerConnection) {
    Rig rig;
    ASSERT_TRUE(rig.started);
    Session &session = *rig.session;
    rig.connectToMissingAdapter();
    ASSERT_TRUE(waitFor([&] { return session.controls().isEnabled(control::TButshowBiglDia); }));
    runEventsFor(1000);
    EXPECT_EQ(session.log().lines().count("Комплектация:"), 1);
    EXPECT_TRUE(session.timers().Timer3.isActive()) << "Timer3 still waits for polling";
    ASSERT_TRUE(rig.disconnect());
}

// The window closing while connected (a crash of the car's power, a click on
// the close box) keeps every CSV line.
TEST(SessionConnection, ClosingWhileConnectedWritesTheCsvLog) {
    Rig rig;
    ASSERT_TRUE(rig.started);
    Session &s = *rig.session;
    ASSERT_TRUE(rig.connectAndPoll());
    const QString csvPath = rig.csvPath();
    s.shutDown();
    EXPECT_TRUE(s.workers().ecu().isFinished());
    const QStringList csv = test::csvLines(csvPath);
    ASSERT_GE(csv.size(), 4);
    EXPECT_EQ(csv.size(), s.live().engine().processedFrames() + 1) << "the header and one line per processed frame";
    EXPECT_EQ(csv.size(), s.live().csv().lineCount());
}

namespace {

constexpr int kFirmwareReadMs = 300000; // 683 exchanges, each ending when its answer is in
// With the fast exchange the read timeout only bounds a block that never
// answers, so a loaded machine never loses a block to it.
constexpr int kQuickReadTimeOut = 1000;

// Connected and polling, set up, and an ECU that answers at once to a worker
// that takes each answer as soon as it is in: a firmware read then takes
// seconds, not minutes.
// The ECU's image differs from the session's beyond the identification block.
bool connectForQuickReads(Rig &rig) {
    Session &s = *rig.session;
    rig.set(setting::OxygenSensor, setting::Narrowband);
    rig.set(setting::FastExchange, setting::Yes);
    if (!rig.connectAndPoll())
        return false;
    if (!waitFor([&] { return s.controls().isEnabled(control::TButLoadfirmware); }, kConnectMs))
        return false;
    rig.simulator->setLineTiming(false);
    rig.simulator->setLatencyMs(0);
    s.workers().ecu().PortTimeOut = 0;
    s.workers().ecu().PortReadTimeOut = kQuickReadTimeOut;
    return rig.simulator->writeMemory(0x9000, QByteArray::fromHex("0102030405060708"));
}

QByteArray fileBytes(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

// The toolbar's read: the ECU's image replaces the one in work, the window
// comes back, and every completed read saves under one more "ECU_" prefix.
TEST(SessionFirmwareRead, ReadsTheEcuImageAndSavesItUnderEcuPrefixEachTime) {
    Rig rig(sim::Protocol::Fast, sim::WidebandType::None);
    ASSERT_TRUE(rig.started);
    Session &s = *rig.session;
    ASSERT_TRUE(connectForQuickReads(rig)) << s.log().lines().join('\n').toStdString();
    const QByteArray ecuImage = rig.simulator->memory();
    ASSERT_NE(s.firmware().image().bytes(), ecuImage);
    QSignalSpy finished(&s, &Session::firmwareReadFinished);
    EXPECT_EQ(s.timers().ReadFWTimer.objectName(), QStringLiteral("ReadFWTimer"));

    QStringList names;
    for (int read = 1; read <= 2; ++read) {
        SCOPED_TRACE(read);
        s.readFirmware();
        EXPECT_FALSE(s.controls().isEnabled(control::TButOpenfirmware));
        EXPECT_FALSE(s.tuningAllowed()) << "no tuning while the image is being read";
        ASSERT_TRUE(waitFor([&] { return s.timers().ReadFWTimer.isActive(); }));
        EXPECT_TRUE(s.statusBar().progressVisible);
        ASSERT_TRUE(waitFor([&] { return finished.size() == read; }, kFirmwareReadMs))
            << s.log().lines().join('\n').toStdString();
        EXPECT_TRUE(finished.last().at(0).toBool()) << s.log().lines().join('\n').toStdString();

        EXPECT_EQ(s.firmware().image().bytes(), ecuImage) << "the image byte for byte";
        EXPECT_TRUE(s.firmware().FirmwareLoaded());
        EXPECT_EQ(s.identity().imageSwid(), kDemoSwid);
        EXPECT_TRUE(s.identity().swidMatch());
        const QStringList lines = s.log().lines();
        EXPECT_TRUE(lines.contains(QStringLiteral("Читаем прошивку из ECU")));
        EXPECT_TRUE(lines.contains(QStringLiteral("Прошивка считана из ECU")));
        EXPECT_EQ(lines.last(), QStringLiteral("Прошивка сохранена"));
        names.append(s.identity().DefaultFirmwareFileName());
        EXPECT_EQ(fileBytes(s.logDirectory().ensure() + QLatin1Char('/') + names.last()), ecuImage)
            << "in the run's folder";

        EXPECT_FALSE(s.statusBar().progressVisible);
        EXPECT_EQ(s.statusBar().progressPosition, 0);
        EXPECT_FALSE(s.timers().ReadFWTimer.isActive());
        EXPECT_TRUE(s.timers().engineTimer.isActive());
        EXPECT_TRUE(s.controls().isEnabled(control::TButOpenfirmware));
        // The ECU's own image is in work: tuning is offered, and the status
        // timer shows it on the button.
        EXPECT_TRUE(s.tuningAllowed());
        EXPECT_TRUE(waitFor([&] { return s.controls().isEnabled(control::TButTune); }));
    }
    ASSERT_EQ(names.size(), 2);
    EXPECT_TRUE(names[0].startsWith(QStringLiteral("ECU_"))) << names[0].toStdString();
    EXPECT_FALSE(names[0].startsWith(QStringLiteral("ECU_ECU_"))) << names[0].toStdString();
    EXPECT_EQ(names[1], QStringLiteral("ECU_") + names[0]);
    EXPECT_TRUE(rig.disconnect());
}

// A block that never answers: the image in work stays, the log says which
// block failed, polling and the window's controls come back.
TEST(SessionFirmwareRead, ALostBlockLeavesTheImageAndResumesPolling) {
    Rig rig(sim::Protocol::Fast, sim::WidebandType::None);
    ASSERT_TRUE(rig.started);
    Session &s = *rig.session;
    ASSERT_TRUE(connectForQuickReads(rig)) << s.log().lines().join('\n').toStdString();
    const QByteArray before = s.firmware().image().bytes();
    const QString saveName = s.identity().DefaultFirmwareFileName();
    QSignalSpy finished(&s, &Session::firmwareReadFinished);

    rig.simulator->clearRequestLog();
    s.readFirmware();
    const QByteArray tenthBlock = QByteArray::fromHex("2300036060");
    ASSERT_TRUE(waitFor([&] { return rig.simulator->requestLog().contains(tenthBlock); }, kFirmwareReadMs));
    rig.simulator->injectFault({sim::FaultKind::NoAnswer, sim::RequestKind::ReadMemory, 0});
    ASSERT_TRUE(waitFor([&] { return finished.size() == 1; }, kFirmwareReadMs))
        << s.log().lines().join('\n').toStdString();
    rig.simulator->clearFaults();
    EXPECT_FALSE(finished.last().at(0).toBool());

    EXPECT_EQ(s.firmware().image().bytes(), before);
    EXPECT_EQ(s.identity().DefaultFirmwareFileName(), saveName) << "nothing saved";
    const QStringList failures =
        s.log().lines().filter(QStringLiteral("ECU: << Прошивка не считана: нет ответа на чтение адреса "));
    EXPECT_EQ(failures.size(), 1) << s.log().lines().join('\n').toStdString();
    EXPECT_FALSE(s.log().lines().contains(QStringLiteral("Прошивка считана из ECU")));
    EXPECT_FALSE(s.statusBar().progressVisible);
    EXPECT_FALSE(s.timers().ReadFWTimer.isActive());
    EXPECT_TRUE(s.timers().engineTimer.isActive());
    EXPECT_TRUE(s.controls().isEnabled(control::TButOpenfirmware));
    const int frames = s.live().engine().processedFrames();
    EXPECT_TRUE(waitFor([&] { return s.live().engine().processedFrames() > frames + 2; })) << "polling resumes";
    EXPECT_TRUE(rig.disconnect());
}

// "Проверять запись" reaches the worker with the connect: the rewrite of the
// tuning tables reads every block back and reports the one the ECU keeps
// spoiling; the firmware buttons wait for the rewrite and come back after it.
TEST(SessionEcuWrite, ARewriteWithReadBackReportsTheBlockTheEcuSpoilt) {
    Rig rig(sim::Protocol::Fast, sim::WidebandType::None);
    ASSERT_TRUE(rig.started);
    Session &s = *rig.session;
    rig.set(setting::VerifyWrites, setting::Yes);
    ASSERT_TRUE(connectForQuickReads(rig)) << s.log().lines().join('\n').toStdString();
    QList<EcuWriteResult> results;
    QObject::connect(&s, &Session::ecuWriteFinished, [&](const EcuWriteResult &result) { results.append(result); });
    sim::FaultRule corrupt{sim::FaultKind::CorruptWrite, sim::RequestKind::WriteMemory, 2}; // the write and its retry
    rig.simulator->injectFault(corrupt);

    ASSERT_TRUE(s.rewriteTablesToEcu());
    EXPECT_FALSE(s.submitEcuWrite(ecuwrite::singleCell(0x7D00, 1))) << "one command at a time";
    // The status bar shows the write's blocks while it runs.
    EXPECT_TRUE(waitFor([&] { return s.statusBar().writeBlocksTotal > 0; }));
    EXPECT_TRUE(s.statusBar().writeText.startsWith(QStringLiteral("Запись в ЭБУ: блок ")));
    ASSERT_TRUE(waitFor([&] { return !s.controls().isEnabled(control::TButOpenfirmware); }));
    EXPECT_FALSE(s.controls().isEnabled(control::TButLoadfirmware));
    ASSERT_TRUE(waitFor([&] { return !results.isEmpty(); }, kConnectMs)) << s.log().lines().join('\n').toStdString();

    ASSERT_EQ(results.size(), 1);
    EXPECT_EQ(results[0].command, EcuCommandKind::rewritetabl);
    EXPECT_TRUE(results[0].verified);
    EXPECT_EQ(results[0].failedAddresses, QList<int>{0x7CF7});
    const QStringList lines = s.log().lines();
    EXPECT_TRUE(lines.contains(QStringLiteral("PC>>ECU:Поправка дроссель\"")));
    EXPECT_TRUE(lines.contains(QStringLiteral("ECU: << ОШИБКА ЗАПИСИ: блок не записан по адресу 7CF7")))
        << lines.join('\n').toStdString();
    const FirmwareImage &image = s.firmware().image();
    EXPECT_NE(rig.simulator->readMemory(0x7CF7, 64), image.slice(0x7CF7, 64));
    EXPECT_EQ(rig.simulator->readMemory(0x7D37, 192), image.slice(0x7D37, 192));
    EXPECT_EQ(rig.simulator->readMemory(0x75EF, 256), image.slice(0x75EF, 256));
    EXPECT_TRUE(s.controls().isEnabled(control::TButOpenfirmware));
    EXPECT_TRUE(s.controls().isEnabled(control::TButLoadfirmware));
    // Tuning is not offered against a RAM table unlike the image; the
    // rewrite is made again, and once every block landed tuning is offered.
    EXPECT_FALSE(s.tuningAllowed());
    EXPECT_TRUE(lines.contains(QStringLiteral("ECU: << ОШИБКА ЗАПИСИ: таблица не записана в ЭБУ: Поправка дроссель")));
    EXPECT_TRUE(lines.filter(QStringLiteral("Таблицы не записаны в ЭБУ полностью (Поправка дроссель)")).size() == 1)
        << lines.join('\n').toStdString();
    ASSERT_TRUE(waitFor([&] { return results.size() == 2; }, kConnectMs)) << s.log().lines().join('\n').toStdString();
    EXPECT_FALSE(results[1].failed());
    EXPECT_EQ(rig.simulator->readMemory(0x7CF7, 64), image.slice(0x7CF7, 64));
    EXPECT_TRUE(waitFor([&] { return s.tuningAllowed(); }));
    EXPECT_TRUE(waitFor([&] { return s.statusBar().writeBlocksTotal == 0; }));

    // The editor's table write names the blocks that did not land.
    EcuCommand blocks(EcuCommandKind::correct23DF);
    blocks.adressdata = 0x7FC0;
    blocks.plusrw = 2;
    blocks.data2 = QByteArray(128, '\x11');
    rig.simulator->injectFault(corrupt);
    ASSERT_TRUE(s.submitEcuWrite(blocks));
    ASSERT_TRUE(waitFor([&] { return results.size() == 3; }, kConnectMs)) << s.log().lines().join('\n').toStdString();
    EXPECT_TRUE(s.log().lines().contains(QStringLiteral("Перезапись калибровки: не записаны блоки по адресам 7FC0")))
        << s.log().lines().join('\n').toStdString();
    EXPECT_TRUE(rig.disconnect());
}

// A firmware read pressed while a table write runs waits for the write to
// end: every block of the table lands and the read follows whole.
TEST(SessionEcuWrite, AFirmwareReadWaitsForTheTableWriteInProgress) {
    Rig rig(sim::Protocol::Fast, sim::WidebandType::None);
    ASSERT_TRUE(rig.started);
    Session &s = *rig.session;
    ASSERT_TRUE(connectForQuickReads(rig)) << s.log().lines().join('\n').toStdString();
    QList<EcuWriteResult> results;
    QObject::connect(&s, &Session::ecuWriteFinished, [&](const EcuWriteResult &result) { results.append(result); });
    QSignalSpy finished(&s, &Session::firmwareReadFinished);
    QByteArray table(256, '\0');
    for (int i = 0; i < table.size(); ++i)
        table[i] = static_cast<char>(255 - i);

    ASSERT_TRUE(s.submitEcuWrite(ecuwrite::correctionTable(0x7CF7, table)));
    ASSERT_TRUE(waitFor(
        [&] { return rig.simulator->requestLog().contains(QByteArray::fromHex("3D007CF740") + table.left(64)); }));
    s.readFirmware();
    ASSERT_TRUE(waitFor([&] { return finished.size() == 1; }, kFirmwareReadMs))
        << s.log().lines().join('\n').toStdString();
    ASSERT_EQ(results.size(), 1);
    EXPECT_EQ(results[0].command, EcuCommandKind::remakepopr);
    EXPECT_FALSE(results[0].failed());
    EXPECT_EQ(rig.simulator->readMemory(0x7CF7, 256), table);
    EXPECT_TRUE(finished.first().at(0).toBool());
    EXPECT_EQ(s.firmware().image().slice(0x7CF7, 256), table) << "the read image holds the table written";
    EXPECT_TRUE(rig.disconnect());
}

// A connect whose identification read keeps failing ends by itself, with a
// line naming the step; connect can be pressed again and then succeeds.
TEST(SessionConnection, AConnectThatCannotIdentifyTheEcuEndsAndCanBeRepeated) {
    Rig rig(sim::Protocol::Fast, sim::WidebandType::None);
    ASSERT_TRUE(rig.started);
    Session &s = *rig.session;
    rig.set(setting::OxygenSensor, setting::Narrowband);
    s.timers().Timer3.setInterval(50);
    s.connectEcu();
    ASSERT_TRUE(
        waitFor([&] { return rig.simulator->requestLog().contains(QByteArray::fromHex("230072C840")); }, kConnectMs));
    rig.simulator->injectFault({sim::FaultKind::NegativeResponse, sim::RequestKind::ReadMemory, 0});
    ASSERT_TRUE(
        waitFor([&] { return s.controls().isEnabled(control::TButConnectEcu) && !s.isConnecting(); }, kConnectMs))
        << s.log().lines().join('\n').toStdString();
    rig.simulator->clearFaults();
    EXPECT_TRUE(s.log().lines().contains(ecutext::IdentificationGaveUp));
    EXPECT_EQ(s.workers().ecu().IsComConnected.load(), 0);
    EXPECT_TRUE(waitFor([&] { return s.statusBar().link.text == QLatin1String("OFFLINE"); }));
    EXPECT_TRUE(waitFor([&] { return !rig.simulator->ecuPortOpen(); }));

    ASSERT_TRUE(rig.connectAndPoll()) << s.log().lines().join('\n').toStdString();
    EXPECT_TRUE(rig.disconnect());
}
