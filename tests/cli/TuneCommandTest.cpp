#include "cli/TuneCommand.h"
#include "cli/ClosedLoopHarness.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <iostream>
#include <string>

using namespace korvel::cli;

namespace {

// One set-up a tuner can choose, tuned for a few simulated minutes.
struct MatrixCase {
    const char *name;
    korvel::Protocol protocol;
    bool fourPoint;
    int neighbourPercent;
    double busyShare;
    bool byPressure; // on the demo firmware without the air-flow sensor
    // Empty: the case must pass. Otherwise the tuning fault that makes it fail
    // today; clear it once that fault is mended (a case that passes while
    // marked fails, so the table stays true).
    const char *knownFault;
};

using korvel::Protocol;
const MatrixCase kMatrix[] = {
    {"fast, accumulation", Protocol::Fast, false, 0, 0, false, ""},
    {"fast, four points", Protocol::Fast, true, 0, 0, false, ""},
    {"standard, accumulation", Protocol::Standard, false, 0, 0, false, ""},
    {"fast, accumulation, neighbours 30 %", Protocol::Fast, false, 30, 0, false, ""},
    {"fast, accumulation, worker busy 25 %", Protocol::Fast, false, 0, 0.25, false, ""},
    {"fast, four points, worker busy 25 %", Protocol::Fast, true, 0, 0.25, false, ""},
    {"fast, accumulation, by pressure", Protocol::Fast, false, 0, 0, true, ""},
    {"fast, four points, by pressure", Protocol::Fast, true, 0, 0, true, ""},
};

constexpr int kMatrixMinutes = 4;

// What a tuner needs from a run: the error falls, and once tuning has stopped
// and the last write-back ran, the ECU holds what the image holds. Empty when met.
std::vector<std::string> shortfalls(const std::vector<MinuteFigures> &minutes) {
    std::vector<std::string> out;
    if (minutes.size() != kMatrixMinutes + 1U)
        return {"tuning did not start"};
    const MinuteFigures &start = minutes.front();
    const MinuteFigures &end = minutes.back();
    if (end.rmsErrorPct > 0.5 * start.rmsErrorPct)
        out.push_back("RMS error " + std::to_string(start.rmsErrorPct) + " % -> " + std::to_string(end.rmsErrorPct) +
                      " %: not halved");
    if (end.within2pct <= start.within2pct)
        out.push_back("within ±2 % did not grow: " + std::to_string(start.within2pct) + " -> " +
                      std::to_string(end.within2pct));
    if (end.imageRamDiffBytes != 0)
        out.push_back(std::to_string(end.imageRamDiffBytes) + " bytes differ between the image and the ECU after stop");
    return out;
}

// The same for the longer drive of the extended tuning.
std::vector<std::string> shortfalls10(const std::vector<MinuteFigures> &minutes) {
    std::vector<std::string> out;
    const MinuteFigures &start = minutes.front();
    const MinuteFigures &end = minutes.back();
    if (end.rmsErrorPct > 0.75 * start.rmsErrorPct)
        out.push_back("RMS error " + std::to_string(start.rmsErrorPct) + " % -> " + std::to_string(end.rmsErrorPct) +
                      " %: not down by a quarter");
    if (end.within2pct <= start.within2pct)
        out.push_back("within ±2 % did not grow");
    if (end.imageRamDiffBytes != 0)
        out.push_back(std::to_string(end.imageRamDiffBytes) + " bytes differ between the image and the ECU after stop");
    return out;
}

} // namespace

// Before tuning starts, the judge sees the hidden air error on every firmware.
TEST(ClosedLoopHarness, TheAirErrorShowsBeforeTuning) {
    for (const bool byPressure : {false, true}) {
        HarnessOptions options;
        options.minutes = 2;
        options.seed = 2;
        options.byPressure = byPressure;
        const std::vector<MinuteFigures> minutes = runClosedLoopTuning(options);
        ASSERT_EQ(minutes.size(), 3U);
        SCOPED_TRACE(byPressure ? "pressure firmware" : "air-flow firmware");
        EXPECT_GT(minutes[0].visitedCells, 5);
        EXPECT_EQ(minutes[0].cellsCorrected, 0) << "minute 0 is driven before tuning";
        EXPECT_GT(minutes[0].rmsErrorPct, 2.0);
        EXPECT_GT(minutes[0].tableRmsPct, 2.0);
        EXPECT_EQ(minutes[0].imageRamDiffBytes, 0);
    }
}

// Every tuning mode, a few simulated minutes each, through the session's own
// tuning path with its write-back timers and the worker's busy answers.
TEST(ClosedLoopHarness, EveryTuningModeBringsTheMixtureCloserAndTheEcuInStep) {
    for (const MatrixCase &c : kMatrix) {
        SCOPED_TRACE(c.name);
        HarnessOptions options;
        options.minutes = kMatrixMinutes;
        options.seed = 2;
        options.protocol = c.protocol;
        options.fourPoint = c.fourPoint;
        options.neighbourPercent = c.neighbourPercent;
        options.busyShare = c.busyShare;
        options.byPressure = c.byPressure;
        options.extended = false; // the plain rules of each mode; the extended tuning has its own drive below
        const std::vector<std::string> missed = shortfalls(runClosedLoopTuning(options));
        const std::string fault = c.knownFault;
        if (fault.empty()) {
            for (const std::string &m : missed)
                ADD_FAILURE() << m;
        } else if (missed.empty()) {
            ADD_FAILURE() << "passes now: clear its known fault (" << fault << ")";
        } else {
            std::cout << "[ expected failure ] " << c.name << ": " << fault << "\n";
            for (const std::string &m : missed)
                std::cout << "    " << m << "\n";
        }
    }
}

// The extended tuning learns nothing while the engine is cold, then brings
// the mixture closer like the plain rules, ends with the ECU in step, and
// says why it refused what it refused.
TEST(ClosedLoopHarness, TheExtendedTuningWaitsForAWarmEngineThenTunes) {
    HarnessOptions options;
    options.minutes = 10;
    options.seed = 2;
    QString delay;
    const std::vector<MinuteFigures> minutes = runClosedLoopTuning(options, {}, &delay);
    ASSERT_EQ(minutes.size(), 11U);
    EXPECT_EQ(minutes[2].cellsCorrected, 0) << "minute 2: the coolant is still below 70 °C";
    const auto refused = [&](korvel::SampleRefusal reason) {
        return minutes.back().refused[static_cast<std::size_t>(reason)];
    };
    using korvel::SampleRefusal;
    for (SampleRefusal reason : {SampleRefusal::ColdEngine, SampleRefusal::FuelCut, SampleRefusal::WidebandQuiet,
                                 SampleRefusal::PowerEnrichment, SampleRefusal::Transition})
        EXPECT_GT(refused(reason), 0) << korvel::refusalName(reason).toStdString();
    for (const std::string &m : shortfalls10(minutes))
        ADD_FAILURE() << m;
    EXPECT_TRUE(delay.contains(QStringLiteral("медиана"))) << delay.toStdString();
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
    EXPECT_EQ(lines[0], "minute,within_2pct,rms_error_pct,cells_corrected,table_rms_pct,image_ram_diff_bytes");
    EXPECT_TRUE(lines[1].startsWith("0,")) << lines[1].toStdString();
    for (int i = 1; i < lines.size(); ++i) {
        const QList<QByteArray> fields = lines[i].split(',');
        ASSERT_EQ(fields.size(), 6);
        const double share = fields[1].toDouble();
        EXPECT_GE(share, 0.0);
        EXPECT_LE(share, 1.0) << "shares are fractions";
    }

    const QStringList bad[] = {{},
                               {"--simulate", "0"},
                               {"--simulate", "x"},
                               {"--simulate", "2", "--seed", "-"},
                               {"--simulate", "2", "--air-error", "80"},
                               {"--simulate", "2", "--protocol", "slow"},
                               {"--simulate", "2", "--load", "air"},
                               {"--simulate", "2", "--neighbour", "101"},
                               {"--simulate", "2", "--busy", "95"},
                               {"--simulate", "2", "extra"}};
    for (const QStringList &arguments : bad)
        EXPECT_EQ(runTuneCommand(arguments, out, err), 2) << arguments.join(' ').toStdString();
}
