// Online tuning against the simulated car over the serial path: the cells are
// evaluated from the wideband's mixture, the corrections land in the ECU's RAM
// byte by byte, Timer4 writes the learned cycle filling, and neither stopping
// nor an undo loses what was learned.
#include "app/TuningController.h"
#include "core/SettingNames.h"
#include "firmware/FirmwareStore.h"
#include "tuning/TuningGrid.h"
#include "tuning/TuningTables.h"

#include "SessionRig.h"

#include <gtest/gtest.h>

#include <vector>

using namespace korvel;
using korvel::test::runEventsFor;
using korvel::test::waitFor;

namespace {

constexpr int kTuningMs = 120000;
constexpr double kLeanBy = 0.08; // the wideband measures the target mixture 8 % lean

// What tuning learned of one cell.
struct Learned {
    int applied = 0;
    float corrCurrent = 0;
    float meanCoef = 0;
    float learned = 0;
    int sampleCount = 0;
    friend bool operator==(const Learned &, const Learned &) = default;
};

std::vector<Learned> learnedCells(const TuningGrid &grid) {
    std::vector<Learned> cells;
    for (const TuningCell &c : grid.cells)
        cells.push_back({c.applied, c.corrCurrent, c.meanCoef, c.learned, c.sampleCount});
    return cells;
}

int evaluatedCells(const TuningGrid &grid) {
    int n = 0;
    for (const TuningCell &c : grid.cells)
        n += c.applied > 0 ? 1 : 0;
    return n;
}

struct TuningRig : test::SessionRig {
    TuningRig() { prepareLeanTuning(kLeanBy); }

    QByteArray ecuTable(std::int64_t address) const { return simulator->readMemory(static_cast<int>(address), 256); }
    QByteArray imageTable(std::int64_t address) const {
        return session->firmware().image().slice(static_cast<int>(address), 256);
    }
    const TuningGrid &grid() const { return session->tables().grid(); }
};

} // namespace

TEST(TuningOverSim, CorrectionsAndCycleFillingReachTheEcuAndSurviveStopAndUndo) {
    TuningRig rig;
    ASSERT_TRUE(rig.started);
    Session &s = *rig.session;
    const QByteArray demo = makeDemoFirmware();
    // Opening the firmware while connected writes its tables into the ECU's RAM and offers tuning.
    ASSERT_TRUE(rig.connectForTuning()) << s.log().lines().join('\n').toStdString();
    const std::int64_t correction = s.tables().addressSets().air().correctionTable;
    const std::int64_t gbc = s.tables().addressSets().air().gbcTable;
    ASSERT_GT(correction, 0);
    ASSERT_GT(gbc, 0);

    // An edit before tuning, so that an undo during tuning has something to take back.
    ASSERT_TRUE(s.firmware().WriteCell(0x33, 0, QStringLiteral("00001000")));
    ASSERT_TRUE(s.tuning().startTuning()) << s.log().lines().join('\n').toStdString();
    ASSERT_TRUE(waitFor([&] { return s.tuning().accumulator().counters().evaluations >= 2; }, kTuningMs))
        << s.log().lines().join('\n').toStdString();
    EXPECT_GE(evaluatedCells(rig.grid()), 1);

    // A lean mixture raises the correction, and each new byte is in the ECU's RAM at its cell.
    EXPECT_NE(rig.imageTable(correction), demo.mid(static_cast<int>(correction), 256));
    EXPECT_TRUE(waitFor([&] { return rig.ecuTable(correction) == rig.imageTable(correction); }, kTuningMs))
        << "the ECU runs the corrections the image holds";
    for (int i = 0; i < 256; ++i) {
        const auto before = static_cast<std::uint8_t>(demo[static_cast<int>(correction) + i]);
        const auto now = static_cast<std::uint8_t>(rig.imageTable(correction)[i]);
        EXPECT_GE(now, before) << "cell " << i << " leaner than the target must not lose fuel";
    }

    // Timer4 hands the learned cycle filling over as one table.
    EXPECT_TRUE(waitFor([&] { return s.log().lines().join('\n').contains(kGbcWrite); }, kTuningMs));
    EXPECT_TRUE(waitFor(
        [&] {
            return rig.ecuTable(gbc) == rig.imageTable(gbc) &&
                   rig.imageTable(gbc) != demo.mid(static_cast<int>(gbc), 256);
        },
        kTuningMs))
        << "the written cycle filling is in the ECU's RAM";

    // An undo restores the image; what each cell learned stays.
    const std::vector<Learned> beforeUndo = learnedCells(rig.grid());
    s.undoFirmware();
    EXPECT_EQ(learnedCells(rig.grid()), beforeUndo);
    EXPECT_TRUE(s.tuning().tuningOn());

    // Stopping keeps the samples and the evaluations, and nothing is added afterwards.
    s.tuning().stopTuning();
    const std::vector<Learned> atStop = learnedCells(rig.grid());
    runEventsFor(1500);
    EXPECT_EQ(learnedCells(rig.grid()), atStop);
    EXPECT_FALSE(s.tuning().tuningOn());
}
