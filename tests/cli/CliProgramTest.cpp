// The built korvel-cli as a user runs it: exit statuses, SIGTERM, the CSV log.
#include "CliRig.h"
#include "WaitFor.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>

#include <gtest/gtest.h>

using namespace korvel;
using korvel::test::csvLines;
using korvel::test::linesStartingWith;
using korvel::test::waitFor;

namespace {

const QString kCli = QStringLiteral(KORVEL_CLI_EXE);
constexpr int kPatienceMs = 120000; // a connect takes some 10 s, more under the sanitizers
const QString kCliConfig = QStringLiteral("config.ini");

} // namespace

TEST(CliProgram, ExitStatusSaysWhetherTheCommandLineWasGoodAndPollingRan) {
    struct Case {
        QStringList arguments;
        int status;
        QString stderrHolds;
        QString stdoutHolds;
    };
    const Case cases[] = {
        {{"monitor", "--seconds", "0"}, 2, "--seconds", {}},
        {{"monitor", "--seconds", "-3"}, 2, "--seconds", {}},
        {{"monitor", "--speed", "abc"}, 2, "--speed", {}},
        {{"monitor", "--set", "Ecu com"}, 2, "--set", {}},
        {{"monitor", "--live", "now"}, 2, "now", {}},
        {{"frobnicate"}, 2, "unknown command 'frobnicate'", {}},
        {{"--bogus", "monitor"}, 2, "bogus", {}},
        {{"monitor", "--help"}, 0, {}, "korvel-sim --ecu-link /tmp/ecu --lambda-link /tmp/lc1"},
        {{"monitor", "--ecu", "/dev/korvel-no-such-adapter", "--sensor", "УДК", "--live"},
         1,
         "/dev/korvel-no-such-adapter",
         "Korvel Online started..."},
    };
    test::WorkDir work;
    const QByteArray config = work.read(kCliConfig);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        QProcess cli;
        cli.start(kCli, QStringList{"-C", work.path()} + c.arguments);
        ASSERT_TRUE(cli.waitForFinished(kPatienceMs));
        const QString out = QString::fromUtf8(cli.readAllStandardOutput());
        const QString err = QString::fromUtf8(cli.readAllStandardError());
        EXPECT_EQ(cli.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(cli.exitCode(), c.status) << err.toStdString();
        EXPECT_TRUE(err.contains(c.stderrHolds)) << err.toStdString();
        EXPECT_TRUE(out.contains(c.stdoutHolds)) << out.toStdString();
        if (c.status == 1) {
            EXPECT_EQ(err.count(QLatin1Char('\n')), 1) << "one line says why: " << err.toStdString();
        }
    }
    EXPECT_EQ(work.read(kCliConfig), config);
}

TEST(CliProgram, SigtermEndsALiveRunWithEveryFrameInTheCsvLog) {
    test::WorkDir work;
    const auto simulator = test::startSimulator();
    const QByteArray config = work.read(kCliConfig);
    QProcess cli;
    cli.start(kCli, {"-C", work.path(), "monitor", "--ecu", simulator->ecuDevicePath(), "--lambda",
                     simulator->lambdaDevicePath(), "--live"});
    ASSERT_TRUE(cli.waitForStarted(kPatienceMs));
    QString out;
    while (linesStartingWith(out, "rpm=").size() < 3 && cli.waitForReadyRead(kPatienceMs))
        out += QString::fromUtf8(cli.readAllStandardOutput());
    ASSERT_GE(linesStartingWith(out, "rpm=").size(), 3) << out.toStdString();

    cli.terminate(); // SIGTERM
    ASSERT_TRUE(cli.waitForFinished(kPatienceMs));
    out += QString::fromUtf8(cli.readAllStandardOutput());
    const QString err = QString::fromUtf8(cli.readAllStandardError());
    EXPECT_EQ(cli.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(cli.exitCode(), 0) << err.toStdString();
    EXPECT_TRUE(err.isEmpty()) << err.toStdString();
    EXPECT_TRUE(out.contains("Stopping: SIGTERM\n"));
    EXPECT_TRUE(waitFor([&] { return !simulator->ecuPortOpen(); }));

    // The summary names the frames and the CSV file, which holds each of them.
    const QRegularExpressionMatch frames = QRegularExpression("\nProcessed frames: (\\d+)\n").match(out);
    const QRegularExpressionMatch csv = QRegularExpression("\nCSV log: (.+) \\((\\d+) lines\\)\n").match(out);
    ASSERT_TRUE(frames.hasMatch() && csv.hasMatch()) << out.toStdString();
    const int processed = frames.captured(1).toInt();
    EXPECT_GE(processed, 3);
    EXPECT_EQ(linesStartingWith(out, "rpm=").size(), processed);
    EXPECT_TRUE(csv.captured(1).startsWith(work.path() + '/'));
    EXPECT_EQ(csvLines(csv.captured(1)).size(), processed + 1);
    EXPECT_EQ(csv.captured(2).toInt(), processed + 1);
    EXPECT_EQ(work.read(kCliConfig), config);
}

namespace {

// korvel-cli read-firmware against `simulator`, answering at once and each
// answer taken as soon as it is in ("Быстрый обмен"), so that the 683 reads
// take seconds; "Таймаут2" only bounds a block that never answers.
void startReadFirmware(QProcess &cli, const test::WorkDir &work, sim::Simulator &simulator, const QString &out) {
    simulator.setLineTiming(false);
    simulator.setLatencyMs(0);
    cli.start(kCli, {"-C", work.path(), "read-firmware", "--ecu", simulator.ecuDevicePath(), "--lambda",
                     simulator.lambdaDevicePath(), "--set", "Таймаут1=0", "--set", "Таймаут2=1000", "--set",
                     "Быстрый обмен=да", out});
}

} // namespace

TEST(CliProgram, ReadFirmwareWritesTheEcuImageOrNoFileAtAll) {
    test::WorkDir work;
    const auto simulator = test::startSimulator();
    const QString out = work.path("read.bin");
    {
        SCOPED_TRACE("every block answers");
        QProcess cli;
        startReadFirmware(cli, work, *simulator, out);
        ASSERT_TRUE(cli.waitForFinished(kPatienceMs * 3));
        const QString err = QString::fromUtf8(cli.readAllStandardError());
        EXPECT_EQ(cli.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(cli.exitCode(), 0) << err.toStdString()
                                     << QString::fromUtf8(cli.readAllStandardOutput()).toStdString();
        EXPECT_EQ(work.read("read.bin"), simulator->memory()) << "the image byte for byte";
    }
    ASSERT_TRUE(QFile::remove(out));
    {
        SCOPED_TRACE("a block never answers");
        QProcess cli;
        simulator->clearRequestLog();
        startReadFirmware(cli, work, *simulator, out);
        const QByteArray firstBlock = QByteArray::fromHex("2300000060");
        ASSERT_TRUE(waitFor([&] { return simulator->requestLog().contains(firstBlock); }, kPatienceMs));
        simulator->injectFault({sim::FaultKind::NoAnswer, sim::RequestKind::ReadMemory, 0});
        ASSERT_TRUE(cli.waitForFinished(kPatienceMs));
        const QString err = QString::fromUtf8(cli.readAllStandardError());
        EXPECT_EQ(cli.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(cli.exitCode(), 1) << err.toStdString();
        EXPECT_TRUE(err.contains("the firmware was not read")) << err.toStdString();
        EXPECT_FALSE(QFile::exists(out));
        simulator->clearFaults();
    }
}
