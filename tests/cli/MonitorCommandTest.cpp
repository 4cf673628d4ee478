// `korvel-cli monitor` in-process against the simulated car on
// pseudo-terminals: what it prints, how it ends, the CSV log it leaves and
// the config.ini it must leave alone.
#include "cli/MonitorCommand.h"
#include "app/Session.h"
#include "core/SettingNames.h"
#include "ecu/EcuTexts.h"
#include "firmware/DemoFirmware.h"

#include "CliRig.h"
#include "WaitFor.h"

#include <QTextStream>
#include <QTimer>

#include <memory>

using namespace korvel;
using namespace korvel::cli;
using korvel::test::csvLines;
using korvel::test::linesStartingWith;
using korvel::test::waitFor;

namespace {

const QString kNoSuchPort = QStringLiteral("/dev/korvel-no-such-adapter");
const QString kConfig = QStringLiteral("config.ini");

// One monitor run with its output captured.
struct MonitorRun {
    MonitorRun(const QString &workDir, const MonitorOptions &options)
        : command(std::make_unique<MonitorCommand>(workDir, options, outStream, errStream)) {}

    int run() { return command->run(); }
    QStringList errLines() const { return err.split(QLatin1Char('\n'), Qt::SkipEmptyParts); }

    QString out;
    QString err;
    QTextStream outStream{&out};
    QTextStream errStream{&err};
    std::unique_ptr<MonitorCommand> command;
};

MonitorOptions onSimulator(const sim::Simulator &simulator) {
    MonitorOptions options;
    options.overrides = {{setting::EcuCom, simulator.ecuDevicePath()},
                         {setting::LambdaCom, simulator.lambdaDevicePath()}};
    return options;
}

// Every processed frame has its line in the CSV file, after the header.
void expectCompleteCsv(MonitorCommand &command) {
    const int frames = command.processedFrames();
    ASSERT_GE(frames, 1);
    ASSERT_FALSE(command.csvPath().isEmpty());
    const QStringList csv = csvLines(command.csvPath());
    EXPECT_EQ(csv.size(), frames + 1);
    EXPECT_TRUE(csv.value(0).startsWith(QStringLiteral("Time,")));
    EXPECT_EQ(csv.value(csv.size() - 1).split(QLatin1Char(',')).value(2), QStringLiteral("88"))
        << "channel 2 is the coolant temperature";
}

} // namespace

TEST(MonitorCommand, PollsForTheGivenSecondsPrintingTheLogAndEveryFrameThenClosesWithTheCsvOnDisk) {
    test::WorkDir work;
    const auto simulator = test::startSimulator();
    const QByteArray config = work.read(kConfig);
    MonitorOptions options = onSimulator(*simulator);
    options.seconds = 2;
    options.live = true;
    MonitorRun monitor(work.path(), options);

    ASSERT_EQ(monitor.run(), kExitPolled) << monitor.err.toStdString() << monitor.out.toStdString();
    EXPECT_TRUE(monitor.err.isEmpty()) << monitor.err.toStdString();

    // The connect's log lines as they came, then one live line per processed frame.
    const QString &out = monitor.out;
    EXPECT_TRUE(out.contains(QStringLiteral("\n") + ecutext::StartingCommunication + '\n'));
    EXPECT_TRUE(out.contains(ecutext::DiagnosticPolling + '\n'));
    const QStringList live = linesStartingWith(out, QStringLiteral("rpm="));
    const int frames = monitor.command->processedFrames();
    EXPECT_EQ(live.size(), frames);
    ASSERT_FALSE(live.isEmpty());
    EXPECT_TRUE(live.last().startsWith(QStringLiteral("rpm=2480 thr=18 ect=88 "))) << live.last().toStdString();
    EXPECT_LT(out.indexOf(ecutext::DiagnosticPolling), out.indexOf(live.first()));
    EXPECT_LT(out.indexOf(live.last()), out.indexOf(QStringLiteral("Stopping: 2 s of polling")));

    // Disconnected and shut down: the ports are free and the CSV log holds every frame.
    EXPECT_TRUE(out.contains(ecutext::StopCommunication));
    EXPECT_TRUE(waitFor([&] { return !simulator->ecuPortOpen() && !simulator->lambdaPortOpen(); }));
    expectCompleteCsv(*monitor.command);
    EXPECT_TRUE(out.contains(QStringLiteral("Processed frames: %1\n").arg(frames)));
    EXPECT_TRUE(
        out.contains(QStringLiteral("CSV log: %1 (%2 lines)\n").arg(monitor.command->csvPath()).arg(frames + 1)));

    EXPECT_EQ(work.read(kConfig), config) << "the ports were set for the run only";
}

// A lost adapter ends a run that would otherwise wait for Ctrl+C; what was
// polled until then is kept.
TEST(MonitorCommand, EndsByItselfWhenTheEcuPortVanishes) {
    test::WorkDir work;
    const auto simulator = test::startSimulator();
    MonitorRun monitor(work.path(), onSimulator(*simulator));
    QTimer unplug;
    unplug.setInterval(20);
    QObject::connect(&unplug, &QTimer::timeout, [&] {
        if (monitor.command->processedFrames() >= 3) {
            unplug.stop();
            simulator->vanish();
        }
    });
    unplug.start();

    ASSERT_EQ(monitor.run(), kExitPolled) << monitor.err.toStdString() << monitor.out.toStdString();
    const QString port = simulator->ecuDevicePath();
    EXPECT_TRUE(monitor.out.contains(ecutext::PortLost + port + ecutext::PortLostTail));
    EXPECT_TRUE(monitor.out.contains(QStringLiteral("Stopping: the ECU port closed")));
    EXPECT_TRUE(linesStartingWith(monitor.out, QStringLiteral("rpm=")).isEmpty()) << "no live lines without --live";
    expectCompleteCsv(*monitor.command);
}

TEST(MonitorCommand, RunsThatNeverPollExitOneWithOneLineSayingWhy) {
    struct Case {
        const char *what;
        std::vector<std::pair<QString, QString>> overrides;
        QStringList reasonHolds;
    };
    const Case cases[] = {
        {"missing adapter", {{setting::EcuCom, kNoSuchPort}}, {kNoSuchPort}},
        {"bad timeout", {{setting::Timeout1, "20ms"}}, {"the connect did not start", setting::Timeout1, "20ms"}},
        {"unknown protocol", {{setting::Protocol, "быстрый"}}, {"the connect did not start", setting::Protocol}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        test::WorkDir work;
        const QByteArray config = work.read(kConfig);
        MonitorOptions options;
        options.overrides = c.overrides;
        options.overrides.emplace_back(setting::OxygenSensor, setting::Narrowband);
        options.live = true;
        MonitorRun monitor(work.path(), options);

        EXPECT_EQ(monitor.run(), kExitNotPolled);
        ASSERT_EQ(monitor.errLines().size(), 1) << monitor.err.toStdString();
        const QString reason = monitor.errLines().first();
        EXPECT_TRUE(reason.startsWith(QStringLiteral("korvel-cli: ")));
        for (const QString &part : c.reasonHolds)
            EXPECT_TRUE(reason.contains(part)) << reason.toStdString();
        EXPECT_EQ(monitor.command->processedFrames(), 0);
        EXPECT_TRUE(linesStartingWith(monitor.out, QStringLiteral("rpm=")).isEmpty());
        EXPECT_FALSE(monitor.out.contains(QStringLiteral("Processed frames")));
        EXPECT_EQ(work.read(kConfig), config);
    }
}

TEST(MonitorCommand, GivesUpWhenTheEcuNeverAnswers) {
    test::WorkDir work;
    sim::FaultRule silent;
    silent.kind = sim::FaultKind::NoAnswer;
    silent.count = 0; // every request
    const auto simulator = test::startSimulator({silent});
    MonitorOptions options = onSimulator(*simulator);
    options.connectTimeoutSeconds = 2;
    MonitorRun monitor(work.path(), options);

    EXPECT_EQ(monitor.run(), kExitNotPolled);
    ASSERT_EQ(monitor.errLines().size(), 1) << monitor.err.toStdString();
    const QString reason = monitor.errLines().first();
    EXPECT_TRUE(reason.startsWith(QStringLiteral("korvel-cli: no diagnostic polling 2 s after the connect began on ") +
                                  simulator->ecuDevicePath()))
        << reason.toStdString();
    EXPECT_TRUE(monitor.out.contains(ecutext::StartingCommunication));
    EXPECT_TRUE(waitFor([&] { return !simulator->ecuPortOpen(); })) << "the run closes the port it opened";
}

// The worker's typed outcome ends the wait at once; the reason is the line it
// logged, never the timeout's.
TEST(MonitorCommand, ARateTheEcuDoesNotOfferEndsTheConnectWithoutWaiting) {
    test::WorkDir work;
    const auto simulator = test::startSimulator();
    MonitorOptions options = onSimulator(*simulator);
    options.overrides.emplace_back(setting::EcuSpeed, QStringLiteral("19200"));
    options.connectTimeoutSeconds = 600;
    MonitorRun monitor(work.path(), options);

    EXPECT_EQ(monitor.run(), kExitNotPolled);
    EXPECT_EQ(monitor.errLines(), QStringList{QStringLiteral("korvel-cli: ") + ecutext::BadSpeed});
    EXPECT_TRUE(monitor.out.contains(QStringLiteral("Stopping: polling never started")));
    EXPECT_TRUE(waitFor([&] { return !simulator->ecuPortOpen(); }));
}

// Ctrl+C during the connect waits for the link to close; a second one does
// not wait for the worker to finish its connect first.
TEST(MonitorCommand, ASecondStopDuringTheConnectEndsAtOnceAndFreesThePort) {
    test::WorkDir work;
    const auto simulator = test::startSimulator();
    MonitorRun monitor(work.path(), onSimulator(*simulator));
    QObject::connect(&monitor.command->session().log(), &ProgramLog::appended, [&](const QString &line) {
        if (line == ecutext::StartingCommunication) {
            monitor.command->requestStop(QStringLiteral("first"));
            QTimer::singleShot(100, [&] { monitor.command->requestStop(QStringLiteral("second")); });
        }
    });

    EXPECT_EQ(monitor.run(), kExitNotPolled);
    EXPECT_EQ(monitor.errLines(), QStringList{"korvel-cli: stopped (first) before diagnostic polling started"});
    EXPECT_TRUE(monitor.out.contains(QStringLiteral("Stopping: first\n")));
    EXPECT_TRUE(monitor.out.contains(QStringLiteral("Stopping now (second)\n")));
    EXPECT_FALSE(monitor.out.contains(ecutext::DiagnosticPolling));
    // The simulator notices a closed device on its next look.
    EXPECT_TRUE(waitFor([&] { return !simulator->ecuPortOpen() && !simulator->lambdaPortOpen(); }));
}

TEST(MonitorCommand, OverridesChangeTheRunsSettingsAndNeverConfigIni) {
    test::WorkDir work;
    const QByteArray config = work.read(kConfig);
    MonitorOptions options;
    options.overrides = {
        {"Писать логи", "нет"},         {"Своя настройка", "42"},           {setting::EcuCom, kNoSuchPort},
        {setting::LambdaCom, "/dev/x"}, {setting::Protocol, "стандартный"}, {setting::EcuSpeed, "38400"},
        {setting::OxygenSensor, "AEM"},
    };
    MonitorRun monitor(work.path(), options);

    EXPECT_EQ(monitor.run(), kExitNotPolled);
    const SettingsList &settings = monitor.command->session().settings();
    for (const auto &[name, value] : options.overrides) {
        EXPECT_EQ(settings.value(name), value) << name.toStdString();
        EXPECT_TRUE(monitor.out.contains(QStringLiteral("For this run: %1=%2\n").arg(name, value)));
    }
    EXPECT_TRUE(monitor.out.contains(QStringLiteral("\"Своя настройка\" is not in config.ini")));
    EXPECT_TRUE(monitor.command->csvPath().isEmpty()) << "\"Писать логи\" = \"нет\" writes no CSV log";
    EXPECT_EQ(work.read(kConfig), config);
}

TEST(MonitorCommand, MissingWorkingFilesAreListedOnStderr) {
    test::WorkDir work(false);
    work.write(kConfig, QByteArray("Ecu com=COM1\r\n"));
    MonitorRun monitor(work.path(), MonitorOptions{});

    EXPECT_EQ(monitor.run(), kExitNotPolled);
    EXPECT_TRUE(monitor.out.isEmpty()) << monitor.out.toStdString();
    EXPECT_TRUE(monitor.err.contains(QStringLiteral("Проверьте файлы: \nconfig.ini\nhexdata.cfg\nerrors.cfg\n")))
        << monitor.err.toStdString();
    const QStringList err = monitor.errLines();
    EXPECT_TRUE(err.last().startsWith(QStringLiteral("korvel-cli: the working folder ")));
    EXPECT_EQ(work.read(kConfig), QByteArray("Ecu com=COM1\r\n"));
}

// A CSV log that did not reach the disk is not a successful run.
TEST(MonitorCommand, ACsvLogThatCannotBeWrittenFailsTheRun) {
    test::WorkDir work;
    const auto simulator = test::startSimulator();
    MonitorOptions options = onSimulator(*simulator);
    options.seconds = 2;
    MonitorRun monitor(work.path(), options);
    int status = -1;
    {
        test::FileSizeLimit fullDisk(600); // less than the header and a few lines
        status = monitor.run();
    }

    EXPECT_EQ(status, kExitNotPolled);
    EXPECT_GE(monitor.command->processedFrames(), 1);
    EXPECT_TRUE(monitor.out.contains(QStringLiteral("Не удалось записать лог"))) << monitor.out.toStdString();
    ASSERT_EQ(monitor.errLines().size(), 1) << monitor.err.toStdString();
    EXPECT_TRUE(monitor.errLines().first().startsWith(QStringLiteral("korvel-cli: the CSV log is incomplete: 0 of ")));
    EXPECT_TRUE(monitor.command->csvPath().isEmpty());
}

// --tune: once the post-connect set-up has named the ECU's tables, the loaded
// firmware's tables go into its RAM and tuning starts, as the toolbar would.
TEST(MonitorCommand, TuneWritesTheTablesThenStartsTuning) {
    test::WorkDir work;
    const auto simulator = test::startSimulator();
    simulator->setAfrError(0.05);
    work.write(QStringLiteral("demo.bin"), makeDemoFirmware());
    MonitorOptions options = onSimulator(*simulator);
    options.overrides.emplace_back(setting::LoadDefaultFirmware, setting::Yes);
    options.overrides.emplace_back(setting::DefaultFirmware, QStringLiteral("demo.bin"));
    options.seconds = 40; // the set-up comes 30 s after the connect
    options.tune = true;
    MonitorRun monitor(work.path(), options);

    ASSERT_EQ(monitor.run(), kExitPolled) << monitor.err.toStdString() << monitor.out.toStdString();
    const QString &out = monitor.out;
    const qsizetype rewrite = out.indexOf(QStringLiteral("PC>>ECU:Поправка дроссель\""));
    const qsizetype started = out.indexOf(QStringLiteral("Tuning started\n"));
    ASSERT_GE(rewrite, 0) << out.toStdString();
    ASSERT_GE(started, 0) << out.toStdString();
    EXPECT_LT(out.indexOf(QStringLiteral("Комплектация:")), rewrite) << "after the ECU's tables were known";
    EXPECT_LT(rewrite, started);
    EXPECT_EQ(out.count(QStringLiteral("Tuning started")), 1);
}
