#include "SerialTester.h"

#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace korvel::sim::test;

namespace {

const QString kTool = QStringLiteral(KORVEL_SIM_EXE);

} // namespace

TEST(SimulatorTool, HelpAndBadArguments) {
    QProcess help;
    help.start(kTool, {QStringLiteral("--help")});
    ASSERT_TRUE(help.waitForFinished(kPatienceMs));
    EXPECT_EQ(help.exitCode(), 0);
    const QString text = QString::fromUtf8(help.readAllStandardOutput());
    EXPECT_TRUE(text.contains(QStringLiteral("\"Ecu com\""))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("\"LC-1 Com\"")));

    QProcess bad;
    bad.start(kTool, {QStringLiteral("--wideband"), QStringLiteral("LC-9")});
    ASSERT_TRUE(bad.waitForFinished(kPatienceMs));
    EXPECT_EQ(bad.exitCode(), 2);
    EXPECT_TRUE(bad.readAllStandardError().contains("--wideband"));
}

TEST(SimulatorTool, ServesTheProgramUntilSigtermThenRemovesItsLinks) {
    QTemporaryDir dir;
    const QString ecuLink = dir.filePath(QStringLiteral("ecu"));
    const QString lambdaLink = dir.filePath(QStringLiteral("lc1"));
    QProcess tool;
    tool.start(kTool, {QStringLiteral("--ecu-link"), ecuLink, QStringLiteral("--lambda-link"), lambdaLink,
                       QStringLiteral("--latency"), QStringLiteral("5"), QStringLiteral("-v")});
    ASSERT_TRUE(tool.waitForStarted(kPatienceMs));
    QByteArray out;
    while (!out.contains("Stop with Ctrl+C") && tool.waitForReadyRead(kPatienceMs))
        out += tool.readAllStandardOutput();
    ASSERT_TRUE(out.contains("ECU device:")) << out.constData();
    EXPECT_TRUE(out.contains(ecuLink.toUtf8()));
    EXPECT_TRUE(out.contains("Innovate, 19200 baud"));
    EXPECT_TRUE(QFileInfo(ecuLink).isSymLink());
    EXPECT_TRUE(QFileInfo(lambdaLink).isSymLink());

    SerialTester tester;
    ASSERT_TRUE(tester.open(ecuLink, 10400));
    EXPECT_EQ(tester.exchange(hex("81"), 7), hex("8110F18103"
                                                 "83F110C16B8F3F"));
    tester.close();

    tool.terminate(); // SIGTERM
    ASSERT_TRUE(tool.waitForFinished(kPatienceMs));
    EXPECT_EQ(tool.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(tool.exitCode(), 0);
    out += tool.readAllStandardOutput();
    EXPECT_TRUE(out.contains("ECU <- 8110F18103")) << out.constData();
    EXPECT_TRUE(out.contains("ECU -> 83F110C16B8F3F"));
    EXPECT_TRUE(out.contains("stopped (SIGTERM)"));
    EXPECT_FALSE(QFileInfo(ecuLink).isSymLink());
    EXPECT_FALSE(QFileInfo(lambdaLink).isSymLink());
}
