#include "app/ActuatorLayout.h"

#include "core/Numbers.h"

#include <algorithm>

namespace korvel {
namespace {

constexpr int kBesideList = 4;        // check box below an unticked list, and after a resize
constexpr int kBesideTickedList = 20; // check box below the list when the box gets ticked
constexpr int kListTopBand = 18;      // the chart track bars above the list
constexpr int kTickedListShrink = 50;
constexpr int kListBottomMargin = 28;
constexpr int kCheckBoxLeft = 6;
constexpr int kLeft = 4;
constexpr int kSideMargins = 8;
constexpr int kComboGap = 20;
constexpr int kGap = 10;
constexpr int kValueHeight = 80;
constexpr int kValueNarrowing = 60;
constexpr int kValueShift = 10;
constexpr int kRowPitch = 15;
constexpr int kRowLift = 5;
constexpr int kIndicatorRightGap = 20;

int rounded(double value) {
    return static_cast<int>(roundHalfEven(value));
}

} // namespace

ActuatorLayoutResult actuatorLayout(const ActuatorLayoutInput &in) {
    ActuatorLayoutResult out;
    const int width = in.panelWidth - kSideMargins;
    const int listHeight = in.checked ? rounded((in.panelHeight - kListTopBand) / 2.0) - kTickedListShrink
                                      : in.panelHeight - in.listTop - kListBottomMargin;
    out.list = QRect(0, in.listTop, in.panelWidth, listHeight);
    const int gap = in.checked && in.justChecked ? kBesideTickedList : kBesideList;
    out.checkBox = QRect(kCheckBoxLeft, out.list.y() + listHeight + gap, width, in.checkBoxHeight);
    out.combo = QRect(kLeft, out.checkBox.y() + in.checkBoxHeight + kComboGap, width, in.comboHeight);
    out.trackBar = QRect(kLeft, out.combo.y() + in.comboHeight + kGap, width, in.comboHeight);
    const int valueWidth = in.panelWidth - kValueNarrowing;
    out.value = QRect(rounded((in.panelWidth - valueWidth - kValueShift) / 2.0),
                      out.trackBar.y() + in.comboHeight + kGap, valueWidth, kValueHeight);
    const int side = in.rowLabelHeight;
    const int indicatorLeft = in.panelWidth - kIndicatorRightGap - side;
    for (int row = 0; row < kActuatorCount; ++row) {
        const int top = out.value.y() + kValueHeight + kRowPitch * (row + 1) - kRowLift;
        out.names[row] = QRect(kLeft, top, std::max(0, indicatorLeft - kLeft - kLeft), in.rowLabelHeight);
        out.indicators[row] = QRect(indicatorLeft, top, side, side);
    }
    return out;
}

} // namespace korvel
