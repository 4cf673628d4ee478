#include "tuning/GridView.h"
#include "tuning/GridAxes.h"
#include "tuning/TuningGrid.h"
#include "tuning/TuningSettings.h"

#include <gtest/gtest.h>

using namespace korvel;

namespace {

// Speed breakpoints 1000 + 100 i, throttle 5 i, pressure 200 + 100 i, air 100 (i + 1).
GridAxes axes() {
    GridAxes a;
    for (int i = 0; i < 16; ++i) {
        a.rpm[static_cast<std::size_t>(i)] = 1000 + 100 * i;
        a.throttle[static_cast<std::size_t>(i)] = 5 * i;
        a.pressure[static_cast<std::size_t>(i)] = 200 + 100 * i;
    }
    a.rpm[16] = 12000;
    a.throttle[16] = 120;
    a.pressure[16] = 1800;
    for (int k = 0; k < GridAxes::kAirPoints; ++k)
        a.air[static_cast<std::size_t>(k)] = 100 * (k + 1);
    a.rpmBounds = cellBoundaries(a.rpm, -1, 10201);
    a.throttleBounds = cellBoundaries(a.throttle, -1, 101);
    a.pressureBounds = cellBoundaries(a.pressure, 0, 2 * 1600 - 1500);
    return a;
}

} // namespace

TEST(GridView, TheHighlightedCellFollowsTheLoadAxisOfTheGrid) {
    const GridAxes a = axes();
    TuningSettings s;
    struct Case {
        int kind;
        GridPosition at;
        double stationarity;
        std::optional<GridHighlight> expected;
    } cases[] = {
        {1, {1250, 12, 0, 0}, 100, GridHighlight{2, 2, 1, 1}}, // rpm on a boundary: the lower cell
        {2, {1300, 12, 640, 0}, 100, GridHighlight{4, 3, 1, 1}},
        {3, {1300, 12, 640, 250}, 100, GridHighlight{2, 3, 1, 1}},
        {1, {1320, 12, 0, 0}, 50, std::nullopt}, // outside the central half
        {1, {20000, 12, 0, 0}, 100, std::nullopt},
    };
    for (const Case &c : cases) {
        s.stationaryRpm = s.stationaryLoad = c.stationarity;
        EXPECT_EQ(highlightedCell(a, c.kind, c.at, s), c.expected) << c.kind << " " << c.at.rpm;
    }
}

TEST(GridView, TheFourPointBlockSpansTheBreakpointsAroundThePoint) {
    const GridAxes a = axes();
    struct Case {
        int kind;
        GridPosition at;
        GridHighlight expected;
    } cases[] = {
        {1, {1250, 12, 0, 0}, {2, 2, 2, 2}},   // between breakpoints 2 and 3 on both axes
        {1, {1200, 10, 0, 0}, {2, 2, 2, 2}},   // on a breakpoint, kind 1: lower inclusive
        {2, {1200, 0, 400, 0}, {1, 1, 2, 2}},  // kind 2: upper inclusive
        {1, {900, 7, 0, 0}, {1, 0, 2, 1}},     // before the first speed breakpoint: one column
        {1, {2600, 90, 0, 0}, {15, 15, 1, 1}}, // beyond the last: clipped to the grid
        {3, {1050, 0, 0, 150}, {0, 0, 2, 2}},  {1, {1250, 0, 0, 0}, {0, 2, 2, 2}}, // throttle 0 lies on breakpoint 0
    };
    for (const Case &c : cases) {
        const auto block = fourPointBlock(a, c.kind, c.at);
        ASSERT_TRUE(block) << c.at.rpm;
        EXPECT_EQ(*block, c.expected) << c.kind << " " << c.at.rpm;
    }
    EXPECT_FALSE(fourPointBlock(a, 1, {13000, 10, 0, 0}));
}

TEST(GridView, CellColours) {
    struct Case {
        int kind;
        bool byPressure;
        int applied;
        float meanCoef;
        int phaseCount;
        std::optional<CellColour> expected;
    } cases[] = {
        {1, false, 0, 3.0f, 0, std::nullopt}, // never evaluated: default
        {1, false, 1, 1.1f, 0, kPaleGreen},
        {1, false, 1, 1.0f, 0, kPaleGreen}, // one evaluation is not enough for green
        {1, false, 2, 1.005f, 0, kGreen},
        {1, false, 8, 1.1f, 0, kGreen},
        {1, false, 9, 3.0f, 0, kPaleYellow},  // counted without a mean (neighbours' learning)
        {2, false, 8, 1.0f, 0, std::nullopt}, // another load axis than tuning's
        {2, true, 8, 1.0f, 0, kGreen},
        {3, false, 8, 1.0f, 1, kPaleGreen},
        {3, false, 0, 3.0f, 8, kGreen},
    };
    for (const Case &c : cases) {
        TuningCell cell;
        cell.applied = c.applied;
        cell.meanCoef = c.meanCoef;
        cell.phaseCount = c.phaseCount;
        CellColourInputs in;
        in.gridKind = c.kind;
        in.byPressure = c.byPressure;
        EXPECT_EQ(cellColour(cell, in), c.expected) << c.kind << " applied " << c.applied << " mean " << c.meanCoef;
        in.selected = true;
        EXPECT_EQ(cellColour(cell, in), kSelectedColour);
    }
}

TEST(GridView, GradientAndScaleLabels) {
    std::array<double, 256> values{};
    values.fill(4);
    values[0] = 10;
    values[77] = 0;
    const GridValueScale range = valueRange(values, false);
    EXPECT_EQ(range.max, 10);
    EXPECT_EQ(range.min, 0);
    EXPECT_EQ(range.avg, 5);
    values[0] = 0;
    EXPECT_EQ(valueRange(values, true).max, 4) << "a first cell showing 0 starts the scale at 0";

    struct Case {
        double value;
        CellColour expected;
    } cases[] = {{10, {255, 0, 0}}, {7.5, {255, 128, 0}}, {5, {255, 255, 0}}, {2.5, {128, 255, 0}}, {0, {0, 255, 0}}};
    TuningCell cell;
    cell.applied = 8;
    cell.meanCoef = 1.1f;
    for (const Case &c : cases) {
        CellColourInputs in;
        in.gradient = true;
        in.range = range;
        in.value = c.value;
        EXPECT_EQ(cellColour(cell, in), c.expected) << c.value;
    }
    CellColourInputs flat;
    flat.gradient = true;
    flat.range = {4, 4, 4};
    EXPECT_EQ(cellColour(cell, flat), kGreen) << "no gradient over equal values";

    EXPECT_EQ(minMaxLabels(range, true),
              (QStringList{" Максимум:[ 10.00 ]", " Среднее :[ 5.00 ]", " Минимум  :[ 0.00 ]"}));
    EXPECT_FALSE(minMaxLabels(range, false));
    EXPECT_FALSE(minMaxLabels({4, 4, 4}, true));
}
