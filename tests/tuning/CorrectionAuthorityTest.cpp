#include "tuning/CorrectionAuthority.h"
#include "tuning/DelayCurve.h"
#include "tuning/TuningGrid.h"

#include <gtest/gtest.h>

using namespace korvel;

TEST(CorrectionAuthority, AStepPerEvaluationAndABandAroundTheStartInsideTheSettingLimits) {
    const AuthorityLimits shipped{0.05, 0.25, 0.7, 1.3};
    struct Case {
        double proposed, current, start;
        AuthorityLimits limits;
        double expected;
    } cases[] = {
        {1.03, 1.00, 1.00, shipped, 1.03}, // within the step
        {1.12, 1.00, 1.00, shipped, 1.05}, // one step up
        {0.80, 1.00, 1.00, shipped, 0.95}, // one step down
        {1.30, 1.22, 1.00, shipped, 1.25}, // the band stops it short of the step
        {0.60, 0.78, 1.00, shipped, 0.75}, // the band's lower edge
        {1.40, 1.28, 1.20, shipped, 1.30}, // the band reaches past "Максимальная поправка": the setting wins
        {0.60, 0.72, 0.80, shipped, 0.70},               // and past "Минимальная поправка"
        {1.00, 1.40, 1.40, shipped, 1.35},               // a cell above the limits walks back one step at a time
        {1.10, 1.00, 1.00, {0.0, 0.25, 0.7, 1.3}, 1.00}, // a step of 0 changes nothing
    };
    for (const Case &c : cases)
        EXPECT_NEAR(limitedCorrection(c.proposed, c.current, c.start, c.limits), c.expected, 1e-12)
            << c.proposed << " from " << c.current << ", started at " << c.start;
}

TEST(CorrectionAuthority, TheBandCountsFromEachCellsValueWhenTuningStarted) {
    TuningGrid grid;
    for (TuningCell &c : grid.cells)
        c.corrCurrent = 1.0f;
    grid.cells[5].corrCurrent = 1.2f;
    CorrectionAuthority authority;
    authority.start(grid, {0.05, 0.25, 0.5, 1.5});
    grid.cells[5].corrCurrent = 1.4f; // tuning moved on; the start stays
    EXPECT_NEAR(authority.limit(5, 1.43, 1.5), 1.45, 1e-6);
    EXPECT_NEAR(authority.limit(0, 1.23, 1.5), 1.25, 1e-6);
    EXPECT_EQ(authority.limit(-1, 1.0, 1.5), 1.0) << "no cell: no change";
}

TEST(DelayCurve, ReadsPairsAndInterpolatesOverEngineSpeed) {
    const std::optional<DelayCurve> curve = DelayCurve::parse(" 800:200; 2000:140 4000:90,5 6000:50 ");
    ASSERT_TRUE(curve);
    struct Case {
        double rpm, ms;
    } cases[] = {{0, 200}, {800, 200}, {1400, 170}, {2000, 140}, {3000, 115.25}, {6000, 50}, {9000, 50}};
    for (const Case &c : cases)
        EXPECT_NEAR(curve->delayMs(c.rpm), c.ms, 1e-9) << c.rpm << " rpm";
    EXPECT_EQ(curve->text(), "800:200 2000:140 4000:91 6000:50") << "90.5 rounds to 91 when printed";
    EXPECT_EQ(DelayCurve::standard().text(), "800:200 2000:140 4000:90 6000:50");
    EXPECT_EQ(DelayCurve().delayMs(3000), 0) << "no curve: no delay";

    for (const char *bad : {"", "800", "800:200 700:100", "800:-5", "x:100", "800:200:3", "800:200 800:100"})
        EXPECT_FALSE(DelayCurve::parse(QString::fromUtf8(bad))) << bad;
}
