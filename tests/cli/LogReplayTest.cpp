#include "app/LogReplay.h"
#include "TestSupport.h"
#include "cli/LogCommand.h"
#include "cli/ReplayCommand.h"
#include "cli/TuneCommand.h"
#include "core/Cp1251.h"
#include "core/Numbers.h"
#include "core/SettingNames.h"
#include "core/SettingsList.h"
#include "firmware/DemoFirmware.h"
#include "firmware/FirmwareImage.h"
#include "live/CsvLog.h"
#include "tuning/GridAxes.h"

#include <QFile>

#include <gtest/gtest.h>

#include <iostream>

using namespace korvel;
using namespace korvel::cli;

namespace {

// The demo firmware is a J5LS one; the shipped config.ini leaves the type to the SWID.
void useDemoFirmwareType(const test::WorkDir &work) {
    const QString text = cp1251::decode(work.read(QStringLiteral("config.ini")))
                             .replace(QStringLiteral("Тип прошивки=авто"), QStringLiteral("Тип прошивки=j5ls"));
    work.write(QStringLiteral("config.ini"), cp1251::encode(text));
}

// The fast protocol's channels of a warm engine held at one operating point,
// the wideband reading `lean` leaner than the ECU's target.
LiveChannels steadyChannels(double rpm, double throttle, double lean) {
    LiveChannels c;
    c.set(2, 90);                                                // coolant
    c.set(3, 14.7f);                                             // the ECU's target ratio
    c.set(4, static_cast<float>(roundTo(14.7 * (1 + lean), 2))); // wideband
    c.set(6, 1.0f);                                              // the ECU's own trim, at rest
    c.set(7, static_cast<float>(throttle));
    c.set(8, static_cast<float>(rpm));
    c.set(35, 3.2f);   // injection pulse, ms
    c.set(37, 180.5f); // cyclic air
    return c;
}

CsvLogContents steadyDrive(double rpm, double throttle, double lean, double seconds) {
    CsvLogContents log;
    log.recognised = true;
    log.protocol = Protocol::Fast;
    const int frames = static_cast<int>(seconds * 20);
    for (int i = 0; i < frames; ++i)
        log.frames.push_back({i * 0.05, steadyChannels(rpm, throttle, lean)});
    return log;
}

double rmsAtMinute0(const QString &csvFile) {
    QFile f(csvFile);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = f.readAll().split('\n');
    EXPECT_GE(lines.size(), 2);
    const QList<QByteArray> fields = lines.value(1).split(',');
    EXPECT_EQ(fields.value(0), "0");
    return fields.value(2).toDouble();
}

} // namespace

// The logged mixture was made with the drive's table. Once the replay has
// corrected a cell, the ECU would have fuelled differently there; a replay
// that took every logged sample at face value would correct the same error
// again at every evaluation and run the cell into its limit.
TEST(LogReplay, ACellHeldLeanIsCorrectedByItsErrorOnceAndNoMore) {
    test::WorkDir work;
    useDemoFirmwareType(work);
    SettingsList settings;
    ASSERT_TRUE(settings.load(work.path(QStringLiteral("config.ini"))));
    const QByteArray image = makeDemoFirmware();
    const GridAxes axes = axesFromImage(*FirmwareImage::fromBytes(image), 1);
    const int row = 5, col = 6;
    // At the breakpoints the ECU fuels from this one cell.
    const double lean = 0.08;
    const ReplayOutcome outcome =
        replayCsvLog(steadyDrive(axes.rpm[col], axes.throttle[row], lean, 120), image, settings, work.path());
    ASSERT_TRUE(outcome.started) << outcome.log.join('\n').toStdString();
    ASSERT_FALSE(outcome.tables.empty());
    const ReplayedTable &correction = outcome.tables.front();
    EXPECT_EQ(correction.table, ReplayTable::Correction);
    ASSERT_EQ(correction.cells.size(), 1u) << "only the cell driven in";
    const ReplayedCell &cell = correction.cells.front();
    EXPECT_EQ(cell.index, row * 16 + col);
    const double factor = double(cell.after) / double(cell.before);
    EXPECT_NEAR(factor, 1 + lean, 0.02) << int(cell.before) << " -> " << int(cell.after);
    EXPECT_GT(cell.hits, 100);
    EXPECT_NEAR(cell.meanErrorPct, 100 * lean, 0.2) << "the error the drive showed there";
    // Everything else in the image is as the drive found it.
    int differing = 0;
    for (qsizetype i = 0; i < image.size(); ++i)
        differing += image[i] != outcome.image[i] ? 1 : 0;
    EXPECT_EQ(differing, outcome.correctedCells());
}

// Drive untuned with the log written, replay the log against the same
// firmware, and drive the replayed image untuned: the judge's error at
// minute 0 must be at most half the untuned image's.
TEST(LogReplay, ADriveReplayedFromItsLogHalvesTheMixtureErrorOfTheImage) {
    test::WorkDir work;
    useDemoFirmwareType(work);
    const QString firmware = work.path(QStringLiteral("demo.bin"));
    const QByteArray image = makeDemoFirmware();
    work.write(QStringLiteral("demo.bin"), image);
    const QString log = work.path(QStringLiteral("лог.csv"));
    const QString untuned = work.path(QStringLiteral("untuned.csv"));
    const QString tuned = work.path(QStringLiteral("tuned.csv"));
    const QString corrected = work.path(QStringLiteral("corrected.bin"));
    const QString cells = work.path(QStringLiteral("cells.csv"));
    QString outText, errText;
    QTextStream out(&outText), err(&errText);
    const QString minutes = QStringLiteral("6");
    // The simulated drive starts cold and passes 70 °C only after some five
    // minutes: a short drive is tuned from as a tuner who knows that would.
    SettingsList settings;
    ASSERT_TRUE(settings.load(work.path(QStringLiteral("config.ini"))));
    settings.setValue(setting::MinCoolant, QStringLiteral("0"));
    ASSERT_EQ(settings.save(work.path(QStringLiteral("config.ini"))), QString());

    ASSERT_EQ(runTuneCommand({"--simulate", minutes, "--seed", "2", "--no-tune", "--firmware", firmware, "--log", log,
                              "--csv", untuned},
                             out, err),
              0)
        << errText.toStdString();
    ASSERT_EQ(runTuneCommand({"--replay", log, "--firmware", firmware, "--out", corrected, "--csv", cells}, out, err,
                             work.path()),
              0)
        << errText.toStdString();
    // The same drive again, so that the judge looks at the same cells.
    ASSERT_EQ(
        runTuneCommand({"--simulate", minutes, "--seed", "2", "--no-tune", "--firmware", corrected, "--csv", tuned},
                       out, err),
        0)
        << errText.toStdString();
    out.flush();

    EXPECT_EQ(work.read(QStringLiteral("demo.bin")), image) << "the firmware replayed against is never changed";
    const double before = rmsAtMinute0(untuned), after = rmsAtMinute0(tuned);
    std::cout << "RMS error at minute 0: untuned " << before << " %, replayed " << after << " %\n";
    EXPECT_LE(after, 0.5 * before) << outText.toStdString();
    const QList<QByteArray> cellLines = work.read(QStringLiteral("cells.csv")).trimmed().split('\n');
    EXPECT_EQ(cellLines.front(), "table,row,column,before,after,hits,mean_error_pct");
    EXPECT_GT(cellLines.size(), 5);
    EXPECT_TRUE(outText.contains(QStringLiteral("correction table at"))) << outText.toStdString();
}

TEST(LogReplay, RefusesWhatItCannotReplay) {
    test::WorkDir work;
    useDemoFirmwareType(work);
    work.write(QStringLiteral("demo.bin"), makeDemoFirmware());
    work.write(QStringLiteral("foreign.csv"), "time,rpm\r\n1,800\r\n");
    work.write(QStringLiteral("short.bin"), QByteArray(100, '\0'));
    const QString fw = work.path(QStringLiteral("demo.bin"));
    QString outText, errText;
    QTextStream out(&outText), err(&errText);
    struct Case {
        const char *what;
        QStringList arguments;
        int exit;
    };
    const Case cases[] = {
        {"no --out", {"--replay", work.path("foreign.csv"), "--firmware", fw}, 2},
        {"--replay with --simulate", {"--replay", "x", "--simulate", "2", "--firmware", fw, "--out", "y"}, 2},
        {"a foreign log", {"--replay", work.path("foreign.csv"), "--firmware", fw, "--out", work.path("o.bin")}, 1},
        {"a missing log", {"--replay", work.path("none.csv"), "--firmware", fw, "--out", work.path("o.bin")}, 1},
        {"a short firmware",
         {"--replay", work.path("foreign.csv"), "--firmware", work.path("short.bin"), "--out", work.path("o.bin")},
         1},
        {"the firmware as --out", {"--replay", work.path("foreign.csv"), "--firmware", fw, "--out", fw}, 1},
    };
    for (const Case &c : cases)
        EXPECT_EQ(runTuneCommand(c.arguments, out, err, work.path()), c.exit) << c.what;
    EXPECT_EQ(work.read(QStringLiteral("demo.bin")), makeDemoFirmware());
    EXPECT_FALSE(QFile::exists(work.path(QStringLiteral("o.bin"))));
}
