#include "cli/TuneCommand.h"
#include "cli/ClosedLoopHarness.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace korvel::cli;

// A few simulated minutes of tuning against the closed-loop ECU: the error of
// the visited cells falls to half or less with either method, and corrections were written.
TEST(ClosedLoopHarness, TheMixtureErrorFallsWhileTuning) {
    for (const bool fourPoint : {false, true}) {
        HarnessOptions options;
        options.minutes = 5;
        options.seed = 2;
        options.fourPoint = fourPoint;
        const std::vector<MinuteFigures> minutes = runClosedLoopTuning(options);
        ASSERT_EQ(minutes.size(), 6U);
        const MinuteFigures &start = minutes.front();
        const MinuteFigures &end = minutes.back();
        SCOPED_TRACE(fourPoint ? "four points" : "accumulation");
        EXPECT_GT(start.visitedCells, 5);
        EXPECT_EQ(start.cellsCorrected, 0) << "minute 0 is driven before tuning";
        EXPECT_GT(start.rmsErrorPct, 3.0) << "the hidden air error shows before tuning";
        EXPECT_LE(end.rmsErrorPct, start.rmsErrorPct / 2);
        EXPECT_GT(end.within2pct, start.within2pct);
        int corrected = 0;
        for (const MinuteFigures &m : minutes)
            corrected += m.cellsCorrected;
        EXPECT_GT(corrected, 3);
    }
}

TEST(TuneCommand, WritesTheCsvTableAndRefusesABadCommandLine) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("tune.csv"));
    QString outText, errText;
    QTextStream out(&outText), err(&errText);
    ASSERT_EQ(runTuneCommand({"--simulate", "2", "--seed", "3", "--csv", file}, out, err), 0) << errText.toStdString();
    out.flush();
    EXPECT_EQ(outText.count(QStringLiteral("minute")), 3);

    QFile csv(file);
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = csv.readAll().trimmed().split('\n');
    ASSERT_EQ(lines.size(), 4);
    EXPECT_EQ(lines[0], "minute,within_2pct,rms_error_pct,cells_corrected");
    EXPECT_TRUE(lines[1].startsWith("0,")) << lines[1].toStdString();
    for (int i = 1; i < lines.size(); ++i) {
        const QList<QByteArray> fields = lines[i].split(',');
        ASSERT_EQ(fields.size(), 4);
        const double share = fields[1].toDouble();
        EXPECT_GE(share, 0.0);
        EXPECT_LE(share, 1.0) << "shares are fractions";
    }

    const QStringList bad[] = {{},
                               {"--simulate", "0"},
                               {"--simulate", "x"},
                               {"--simulate", "2", "--seed", "-"},
                               {"--simulate", "2", "--air-error", "80"},
                               {"--simulate", "2", "extra"}};
    for (const QStringList &arguments : bad)
        EXPECT_EQ(runTuneCommand(arguments, out, err), 2) << arguments.join(' ').toStdString();
}
