#include "app/StatusRules.h"
#include "core/ControlBoard.h"
#include "core/ControlNames.h"

#include <gtest/gtest.h>

using namespace korvel;

TEST(StatusRules, LinkAreasFollowTheWorkersAndTheProtocolSetting) {
    using S = StatusBarState;
    struct Case {
        LinkStatus link;
        QString port;
        int portColour;
        QString linkText;
        int linkColour;
        QString lambdaText;
        int lambdaColour;
    };
    const Case cases[] = {
        {{"COM3", false, false, true, false, "COM4"}, "COM3", S::kYellow, "OFFLINE", S::kYellow, "УДК", S::kOlive},
        {{"COM3", true, false, true, false, "COM4"}, "COM3", S::kGreen, "OFFLINE", S::kYellow, "УДК", S::kOlive},
        {{"COM3", true, true, true, true, "COM4"}, "COM3", S::kGreen, "ONLINE", S::kGreen, "ШДКCOM4", S::kGreen},
        // The setting alone decides between ONLINE and IN DIAG.
        {{"COM3", true, true, false, false, ""}, "COM3", S::kGreen, "IN DIAG", S::kGreen, "УДК", S::kOlive},
        {{"/dev/serial/by-id/usb-FTDI-if00", true, true, true, true, "/dev/ttyUSB1"},
         "usb-FTDI-if00",
         S::kGreen,
         "ONLINE",
         S::kGreen,
         "ШДКttyUSB1",
         S::kGreen},
    };
    for (const Case &c : cases) {
        StatusBarState bar;
        paintLinkAreas(bar, c.link);
        const std::string label = c.link.ecuPortName.toStdString() + "/" + c.linkText.toStdString();
        EXPECT_EQ(bar.panelText[0], c.link.ecuPortName) << label;
        EXPECT_EQ(bar.port.text, c.port) << label;
        EXPECT_EQ(bar.port.background, c.portColour) << label;
        EXPECT_EQ(bar.link.text, c.linkText) << label;
        EXPECT_EQ(bar.link.background, c.linkColour) << label;
        EXPECT_EQ(bar.lambda.text, c.lambdaText) << label;
        EXPECT_EQ(bar.lambda.background, c.lambdaColour) << label;
        EXPECT_EQ(bar.lambda.textX, c.link.lambdaOpen ? 103 : 115) << label;
    }
}

TEST(StatusRules, TuningButtonsFollowTheFactsNotWhatTheButtonsShow) {
    using namespace control;
    ControlBoard controls;
    applyButtonRules(controls, {true, false, QStringLiteral("УОЗ %"), false});
    EXPECT_TRUE(controls.isEnabled(TButTune));
    EXPECT_TRUE(controls.isVisible(BitBtn6)) << "BitBtn6 shows while tuning may start";
    EXPECT_FALSE(controls.isEnabled(TButReTune)) << "re-tuning needs a calibration map";
    EXPECT_TRUE(controls.isVisible(Panel5));
    EXPECT_FALSE(controls.isVisible(BitBtn17)) << "BitBtn17 follows the full-screen button BitBtn9";

    applyButtonRules(controls, {true, true, QStringLiteral("РТ %"), true, 2});
    EXPECT_TRUE(controls.isEnabled(TButReTune));
    EXPECT_TRUE(controls.isEnabled(BitBtn6));
    EXPECT_TRUE(controls.isVisible(BitBtn17));

    applyButtonRules(controls, {false, true, QStringLiteral("УОЗ %"), true});
    EXPECT_FALSE(controls.isEnabled(TButTune));
    EXPECT_FALSE(controls.isVisible(BitBtn6));
    EXPECT_FALSE(controls.isEnabled(TButReTune));
    EXPECT_FALSE(controls.isVisible(Panel5));

    // Tuning allowed again: the button comes back, whatever it showed before.
    applyButtonRules(controls, {true, false, QStringLiteral("РТ %"), true});
    EXPECT_TRUE(controls.isEnabled(TButTune));
}

TEST(StatusRules, TheOpenTablesKindDecidesReTuningOnceAMapIsLoaded) {
    using namespace control;
    struct Case {
        bool tuningAllowed;
        bool mapLoaded;
        int kind;
        bool bitBtn6Shown;
        bool reTuneEnabled;
    };
    const Case cases[] = {
        {true, true, 1, true, true},
        {true, true, 2, true, true},
        {true, true, 3, true, true},
        {true, true, 255, true, true}, // a group announcing a group is not in the list of exceptions
        {true, true, 0, false, false}, // nothing chosen yet, or a node announcing an item
        {true, true, 4, false, false},
        {true, true, 5, false, false},
        {true, false, 4, true, false}, // without a map the kind is not looked at; re-tuning needs a map
        {false, true, 2, false, false},
    };
    for (const Case &c : cases) {
        ControlBoard controls;
        applyButtonRules(controls, {c.tuningAllowed, c.mapLoaded, QStringLiteral("РТ %"), true, c.kind});
        const std::string label =
            std::to_string(c.tuningAllowed) + "/" + std::to_string(c.mapLoaded) + "/kind " + std::to_string(c.kind);
        EXPECT_EQ(controls.isVisible(BitBtn6), c.bitBtn6Shown) << label;
        EXPECT_EQ(controls.isEnabled(BitBtn6), c.reTuneEnabled) << label;
        EXPECT_EQ(controls.isEnabled(TButReTune), c.reTuneEnabled) << label;
        EXPECT_EQ(controls.isEnabled(TButTune), c.tuningAllowed) << label;
    }
}

// A table write in progress takes the progress bar with its block count; none
// running leaves the bar to whatever else it shows.
TEST(StatusRules, ATableWriteShowsItsBlocksWhileItRuns) {
    StatusBarState bar;
    paintWriteProgress(bar, 5, 36);
    EXPECT_EQ(bar.writeBlocksDone, 5);
    EXPECT_EQ(bar.writeBlocksTotal, 36);
    EXPECT_EQ(bar.writeText, QStringLiteral("Запись в ЭБУ: блок 5 из 36"));
    paintWriteProgress(bar, 40, 36); // a count caught between its two fields
    EXPECT_EQ(bar.writeBlocksDone, 36);
    paintWriteProgress(bar, 0, 0);
    EXPECT_EQ(bar.writeBlocksTotal, 0);
    EXPECT_TRUE(bar.writeText.isEmpty());
    EXPECT_EQ(bar, StatusBarState{});
}
