#include "Frames.h"
#include "core/ControlBoard.h"
#include "core/ControlNames.h"
#include "live/FrameDecoder.h"
#include "live/MainPanel.h"
#include "live/TroubleCodes.h"

#include <gtest/gtest.h>

using namespace korvel;
using korvel::test::fastFrame;
using korvel::test::standardFrame;

namespace {

ErrorNameTable numberedNames() {
    ErrorNameTable names;
    for (int g = 0; g < 4; ++g)
        for (int k = 0; k < 8; ++k)
            names[g][k] = QStringLiteral("E%1").arg(g * 8 + k + 1);
    return names;
}

} // namespace

TEST(TroubleCodes, ListsTwoCodesOnTheBottomLine) {
    ControlBoard board;
    const TroubleCodeView view = troubleCodeView(fastFrame({{3, 0x05}}), numberedNames(), true);
    showTroubleCodes(board, view);
    EXPECT_EQ(view.count, 2);
    EXPECT_EQ(board.text(control::Label35), "Ошибок=2:|[E1]| |[E3]| ");
    EXPECT_EQ(board.text(control::Labelerror), "|[E1]| |[E3]| ");
    EXPECT_FALSE(board.isVisible(control::BitBtn2));
    EXPECT_FALSE(board.isVisible(control::Panel8));
}

TEST(TroubleCodes, MovesThreeCodesToTheErrorPanel) {
    ControlBoard board;
    // Code byte 1 bit 0, code byte 4 (frame byte 6) bits 0 and 7; the standard frame carries them at the same bytes.
    for (const QByteArray &frame : {fastFrame({{3, 0x01}, {6, 0x81}}), standardFrame({{3, 0x01}, {6, 0x81}})}) {
        showTroubleCodes(board, troubleCodeView(frame, numberedNames(), true));
        EXPECT_EQ(board.text(control::Label35), "Количество ошибок=3:");
        EXPECT_EQ(board.text(control::Labelerror), "|[E1]| |[E25]| |[E32]| ");
        EXPECT_TRUE(board.isVisible(control::BitBtn2));
        EXPECT_TRUE(board.isVisible(control::Panel8));
    }
    showTroubleCodes(board, troubleCodeView(fastFrame(), numberedNames(), true));
    EXPECT_EQ(board.text(control::Label35), "");
    EXPECT_FALSE(board.isVisible(control::Panel8)) << "the panel goes when the codes go";
}

TEST(TroubleCodes, ShowErrorsOffListsNothing) {
    ControlBoard board;
    const TroubleCodeView view = troubleCodeView(fastFrame({{3, 0xFF}, {4, 0xFF}}), numberedNames(), false);
    showTroubleCodes(board, view);
    EXPECT_EQ(view.count, 0);
    EXPECT_EQ(board.text(control::Label35), "");
    EXPECT_EQ(board.text(control::Labelerror), "");
    EXPECT_FALSE(board.isVisible(control::BitBtn2));
    EXPECT_FALSE(board.isVisible(control::Panel8));
}

TEST(TroubleCodes, AnEmptyNameStillCounts) {
    ErrorNameTable names; // errors.cfg without lines
    const TroubleCodeView view = troubleCodeView(fastFrame({{5, 0x10}}), names, true);
    EXPECT_EQ(view.count, 1);
    EXPECT_EQ(view.summary, "Ошибок=1:|[]| ");
}

TEST(Indications, IdleAndKnock) {
    ControlBoard board;
    showIdleIndicator(board, fastFrame({{0, 0x02}}));
    EXPECT_EQ(board.text(control::Labelxx), "Холостой ход");
    EXPECT_TRUE(board.isVisible(control::Labelxx));
    showIdleIndicator(board, fastFrame({{0, 0xFD}}));
    EXPECT_EQ(board.text(control::Labelxx), "");

    struct Case {
        QByteArray frame;
        Protocol protocol;
        bool showKnockSetting;
        bool picture;
        int colour;
    };
    const Case cases[] = {
        {fastFrame({{1, 0x20}}), Protocol::Fast, true, true, control::kRed},
        {fastFrame({{1, 0x20}}), Protocol::Fast, false, false, control::kRed},
        {fastFrame({{1, 0xDF}}), Protocol::Fast, true, false, control::kGreen},
        {standardFrame({{3, 0x20}}), Protocol::Standard, true, true, control::kRed},
        {standardFrame({{1, 0x20}}), Protocol::Standard, true, false, control::kGreen},
    };
    for (const Case &c : cases) {
        showKnock(board, knockBit(c.frame, c.protocol), c.showKnockSetting);
        EXPECT_EQ(board.isVisible(control::Image1), c.picture);
        EXPECT_EQ(board.color(control::UOZlabel), c.colour);
    }
}

TEST(MainPanel, BatteryColourFollowsTheShownValue) {
    const std::pair<double, int> byVolts[] = {
        {13, control::kGreen},   {14.2, control::kGreen}, {12.9, control::kOlive},
        {12.5, control::kOlive}, {12.49, control::kRed},  {12.4, control::kRed},
    };
    for (auto [volts, colour] : byVolts)
        EXPECT_EQ(batteryColor(volts), colour) << volts;

    // Standard scaling x × 0.05 + 5.2: 156 is 13 up to binary noise, shown and coloured as 13.
    const std::tuple<int, const char *, int> byByte[] = {
        {154, "12.9", control::kOlive}, {144, "12.4", control::kRed}, {156, "13", control::kGreen}};
    for (auto [byte, text, colour] : byByte) {
        LiveParameters p;
        LiveChannels channels;
        ASSERT_TRUE(decodeFrame(standardFrame({{18, byte}}), {}, p, channels));
        ControlBoard board;
        showMainPanel(board, p, Protocol::Standard, false);
        EXPECT_EQ(board.text(control::ULabel), text);
        EXPECT_EQ(board.color(control::ULabel), colour) << text;
    }
}

TEST(MainPanel, FastProtocolFillsBothPanels) {
    LiveParameters p;
    LiveChannels channels;
    DecodeInputs in;
    in.lambdaAfr = 16.17;
    in.pressureSensor = {true, 2.0, 0.5};
    // Idle, 3000 rpm, 50 %, 103 °C, afr 14.7, battery 137 × 0.093, ignition −5, 6 kPa, air 20 °C.
    ASSERT_TRUE(decodeFrame(
        fastFrame(
            {{0, 0x02}, {12, 75}, {11, 50}, {8, 143}, {9, 128}, {27, 137}, {20, 0xF6}, {26, 128}, {37, 60}, {47, 60}}),
        in, p, channels));
    ControlBoard board;
    showMainPanel(board, p, Protocol::Fast, false);
    const std::pair<const QString &, const char *> texts[] = {
        {control::RPMlabel, "3000"},    {control::EditRPM, "3000"},      {control::DRLabel, "50"},
        {control::EditDr, "50"},        {control::TWLabel, "103"},       {control::AFRlabel, "14.7"},
        {control::ULabel, "12.741"},    {control::EditU, "12.741"},      {control::UOZlabel, "-5"},
        {control::labelpress, "6"},     {control::EditPress, "6"},       {control::Labeldtv, "20"},
        {control::EditAirZicl, "10"},   {control::AFRLClabel, "16.17"},  {control::COEFlabel, "1.100"},
        {control::EditAFRLC1, "16.17"}, {control::EditKoefKor, "1.100"}, {control::LabelXX2, "Холостой ход"},
    };
    for (const auto &[name, text] : texts)
        EXPECT_EQ(board.text(name), QString::fromUtf8(text)) << name.toStdString();
    EXPECT_EQ(board.color(control::TWLabel), control::kRed) << "above 102";
    EXPECT_EQ(board.color(control::EditTemp), control::kRed);
    EXPECT_EQ(board.color(control::AFRlabel), control::kGreen);
    EXPECT_EQ(board.color(control::ULabel), control::kOlive);
    EXPECT_EQ(board.color(control::EditU), control::kOlive);
}

TEST(MainPanel, StandardProtocolFillsTheLabelsOnly) {
    LiveParameters p;
    LiveChannels channels;
    DecodeInputs in;
    in.narrowbandSensor = true;
    ASSERT_TRUE(decodeFrame(standardFrame({{11, 75}, {8, 142}, {9, 40}, {15, 0x80}}), in, p, channels));
    ControlBoard board;
    board.setText(control::EditRPM, QStringLiteral("old"));
    board.setText(control::labelpress, QStringLiteral("101"));
    board.setText(control::EditAirZicl, QStringLiteral("old"));
    showMainPanel(board, p, Protocol::Standard, true);
    EXPECT_EQ(board.text(control::RPMlabel), "3000");
    EXPECT_EQ(board.text(control::EditRPM), "old");
    EXPECT_EQ(board.text(control::EditAirZicl), "old");
    EXPECT_EQ(board.text(control::labelpress), "") << "no pressure in the standard protocol";
    EXPECT_EQ(board.text(control::AFRLClabel), "УДК");
    EXPECT_EQ(board.text(control::COEFlabel), "1.000");
    EXPECT_EQ(board.color(control::TWLabel), control::kGreen) << "102 is not above 102";
    EXPECT_EQ(board.color(control::AFRlabel), control::kRed) << "afr 9.65 is below 12.4";
}

// The second panel follows the frame's values and flags, whatever the first panel shows.
TEST(MainPanel, TheSecondPanelNeverReadsTheFirstBack) {
    LiveParameters p; // not idling, the ECU reports no ratio
    p.afrWideband = 14.1;
    p.injCorrection = 1.02;
    ControlBoard board;
    board.setText(control::Labelxx, QStringLiteral("Холостой ход"));
    board.setText(control::COEFlabel, QStringLiteral("0.970"));
    board.setText(control::EditKoefKor, QStringLiteral("0.985"));
    board.setVisible(control::labelpress, false);
    board.setVisible(control::Labeldtv, false);
    showMainPanel(board, p, Protocol::Fast, false);
    EXPECT_EQ(board.text(control::LabelXX2), "") << "the idle flag is clear in this frame";
    EXPECT_TRUE(board.isVisible(control::LabelXX2));
    EXPECT_EQ(board.text(control::EditKoefKor), "0.985") << "no coefficient without the ECU ratio: both keep theirs";
    EXPECT_EQ(board.text(control::COEFlabel), "0.970");
    EXPECT_EQ(board.text(control::EditAFRLC1), "14.10");
    // The ECU's equipment shows or hides the pressure fields of both panels at connect.
    EXPECT_TRUE(board.isVisible(control::EditPress));
    EXPECT_TRUE(board.isVisible(control::EditTempDTV));
}

TEST(MainPanel, ListsEveryControlItFills) {
    ControlBoard board;
    LiveParameters p;
    showMainPanel(board, p, Protocol::Fast, false);
    QStringList listed;
    for (const PanelControl &c : mainPanelControls())
        listed.append(QString::fromLatin1(c.name));
    for (const QString &name : board.names())
        EXPECT_TRUE(listed.contains(name)) << name.toStdString();
}
