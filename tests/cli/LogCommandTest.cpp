#include "cli/LogCommand.h"
#include "TestSupport.h"
#include "core/Cp1251.h"
#include "live/CsvLog.h"
#include "live/FrameLayout.h"

#include <QStringList>

#include <gtest/gtest.h>

using namespace korvel;
using namespace korvel::cli;

namespace {

// A fast-protocol line at working point `cell` with the given ratios and ignition.
QString pointLine(int cell, double wideband, double target, double ignition, bool knock, const QTime &at) {
    LiveChannels c;
    c.set(1, static_cast<float>(cell));
    c.set(3, static_cast<float>(target));
    c.set(4, static_cast<float>(wideband));
    c.set(8, 2000);
    c.set(15, static_cast<float>(ignition));
    c.set(flagChannel(Protocol::Fast, kKnockFlag), knock ? 1.0f : 0.0f);
    return CsvLog::line(c, kFastChannelCount, {}, at, QLatin1Char(','));
}

QByteArray fastLog(const QStringList &lines) {
    QByteArray bytes = cp1251::encode(CsvLog::header(Protocol::Fast, QLatin1Char(','))) + "\r\n";
    for (const QString &line : lines)
        bytes += cp1251::encode(line) + "\r\n";
    return bytes;
}

// The printed means table: the value in row `row`, column `col`.
QString printedCell(const QString &text, int row, int col) {
    const QStringList lines = text.split(QLatin1Char('\n'));
    const QStringList fields = lines.value(2 + row).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    return fields.value(1 + col);
}

// A reader of the .msl text written only from its description: tab-separated
// rows, the first the channel names beginning with "Time", the second their
// units, then one row per sample with the time in seconds first.
struct MslFile {
    QStringList names, units;
    QList<QList<double>> rows;
};
MslFile readMsl(const QByteArray &bytes) {
    MslFile f;
    const QStringList lines = QString::fromUtf8(bytes).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    f.names = lines.value(0).split(QLatin1Char('\t'));
    f.units = lines.value(1).split(QLatin1Char('\t'));
    for (int i = 2; i < lines.size(); ++i) {
        QList<double> row;
        for (const QString &field : lines.at(i).split(QLatin1Char('\t'))) {
            bool ok = false;
            row += field.toDouble(&ok);
            EXPECT_TRUE(ok) << field.toStdString();
        }
        f.rows += row;
    }
    return f;
}

} // namespace

TEST(LogCommand, PrintsAQuantityPerCellAsItsMeanAndCount) {
    test::WorkDir work(false);
    const QTime t(8, 0, 0);
    // Cell 0x23 (row 2, column 3): two frames, 10 % and 2 % lean; cell 0x41 one, 10 % rich, and
    // one with a silent wideband, which carries no ratio; both knock.
    work.write(QStringLiteral("лог.csv"),
               fastLog({pointLine(0x23, 13.75, 12.5, 12, false, t), pointLine(0x23, 12.75, 12.5, 14, false, t),
                        pointLine(0x41, 11.25, 12.5, 20, true, t.addSecs(1)),
                        pointLine(0x41, 0, 12.5, 22, true, t.addSecs(1))}));
    const QString log = work.path(QStringLiteral("лог.csv"));
    struct Case {
        const char *quantity;
        QString at23, at41;
    };
    const Case cases[] = {
        {"afr-error", "6.00", "-10.00"},
        {"afr", "13.25", "11.25"},
        {"ignition", "13.00", "21.00"},
        {"knock", "0", "2"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.quantity);
        QString outText, errText;
        QTextStream out(&outText), err(&errText);
        ASSERT_EQ(runLogCommand({"table", log, "--quantity", c.quantity}, out, err), 0) << errText.toStdString();
        out.flush();
        EXPECT_EQ(printedCell(outText, 2, 3), c.at23) << outText.toStdString();
        EXPECT_EQ(printedCell(outText, 4, 1), c.at41) << outText.toStdString();
        EXPECT_EQ(printedCell(outText, 0, 0), QStringLiteral("."));
    }
    QString outText, errText;
    QTextStream out(&outText), err(&errText);
    EXPECT_EQ(runLogCommand({"table", log, "--quantity", "boost"}, out, err), 2);
    EXPECT_EQ(runLogCommand({"table", log}, out, err), 2);
    EXPECT_EQ(runLogCommand({"export", log, "--format", "csv", work.path("o")}, out, err), 2);
}

TEST(LogCommand, ExportsTheLogForLogViewers) {
    test::WorkDir work(false);
    const QTime t(23, 59, 59);
    work.write(QStringLiteral("лог.csv"),
               fastLog({pointLine(1, 14.0, 14.7, 10, false, t), pointLine(2, 14.5, 14.7, 11, false, t),
                        pointLine(3, 15.0, 14.7, 12, true, t.addSecs(1)), QStringLiteral("torn,1")}));
    QString outText, errText;
    QTextStream out(&outText), err(&errText);
    const QString msl = work.path(QStringLiteral("drive.msl"));
    ASSERT_EQ(runLogCommand({"export", work.path("лог.csv"), "--format", "msl", msl}, out, err), 0);
    err.flush();
    EXPECT_TRUE(errText.contains(QStringLiteral("line 5"))) << "the torn line is named: " << errText.toStdString();

    const MslFile f = readMsl(work.read(QStringLiteral("drive.msl")));
    ASSERT_EQ(f.names.size(), 1 + kFastChannelCount);
    EXPECT_EQ(f.names.front(), QStringLiteral("Time"));
    EXPECT_EQ(f.names.mid(1), channelNames(Protocol::Fast)) << "the names of the log, in its language";
    ASSERT_EQ(f.units.size(), f.names.size());
    EXPECT_EQ(f.units.front(), QStringLiteral("s"));
    EXPECT_EQ(f.units.at(8), QStringLiteral("rpm"));
    ASSERT_EQ(f.rows.size(), 3);
    const double times[] = {0, 0.5, 1};
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(f.rows[i].size(), f.names.size());
        EXPECT_DOUBLE_EQ(f.rows[i][0], times[i]);
        EXPECT_DOUBLE_EQ(f.rows[i][4], 14.0 + 0.5 * i) << "wideband";
        EXPECT_DOUBLE_EQ(f.rows[i][15], 10.0 + i) << "ignition";
    }
    EXPECT_EQ(f.rows[2][flagChannel(Protocol::Fast, kKnockFlag)], 1.0);
}
