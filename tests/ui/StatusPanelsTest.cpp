#include "ui/StatusPanels.h"

#include <QApplication>

#include <gtest/gtest.h>

using namespace korvel;

namespace {

QRect statusPanelRect(const ui::StatusPanels &panels, int panel) {
    int left = 0;
    for (int i = 0; i < panel; ++i)
        left += panels.panelWidth(i);
    return {left, 0, panels.panelWidth(panel), panels.height()};
}

} // namespace

// The lambda area with a port name, the counters of panel 5 and a text too
// long for any panel: the first two widen their panels and show whole; the
// last is cut and its whole text is the tooltip.
TEST(StatusPanels, PanelsGrowToTheirTextsAndCutOnlyWhatCannotFit) {
    ui::StatusPanels panels;
    panels.resize(1300, 22);
    StatusBarState state;
    state.lambda.text = QStringLiteral("ШДК/dev/ttyUSB0");
    state.lambda.background = StatusBarState::kGreen;
    state.panelText[5] = QStringLiteral("GBC//P/A//All:12//345/6789//101112");
    state.panelText[6] = QStringLiteral("S[") + QString(200, QLatin1Char('9')) + QStringLiteral("]");
    panels.show(state);

    for (int i : {0, 3, 4})
        EXPECT_EQ(panels.panelWidth(i), StatusBarState::kPanelWidths[static_cast<std::size_t>(i)]) << i;
    EXPECT_GT(panels.panelWidth(2), StatusBarState::kPanelWidths[2]) << "the lambda port name fits";
    EXPECT_GT(panels.panelWidth(5), StatusBarState::kPanelWidths[5]) << "the counters fit";
    EXPECT_LE(panels.panelWidth(6), 360);
    int total = 0;
    for (int i = 0; i < 7; ++i)
        total += panels.panelWidth(i);
    EXPECT_EQ(panels.minimumWidth(), total);

    EXPECT_EQ(panels.toolTipAt(statusPanelRect(panels, 2).center()), QString()) << "shown whole: no tooltip";
    EXPECT_EQ(panels.toolTipAt(statusPanelRect(panels, 5).center()), QString());
    EXPECT_EQ(panels.toolTipAt(statusPanelRect(panels, 6).center()), state.panelText[6]);

    // A short text again: the panels go back to their laid-down widths.
    panels.show(StatusBarState{});
    EXPECT_EQ(panels.panelWidth(2), StatusBarState::kPanelWidths[2]);
    EXPECT_EQ(panels.panelWidth(6), StatusBarState::kPanelWidths[6]);
}
