#include "live/TroubleCodes.h"
#include "core/Bytes.h"

#include "core/ControlBoard.h"
#include "core/ControlNames.h"

namespace korvel {
namespace {

constexpr int kFirstCodeByte = 3;
// From three codes on, the bottom line only counts them and the list moves to its own panel.
constexpr int kCodesForPanel = 3;
const QString kIdleText = QStringLiteral("Холостой ход");

} // namespace

TroubleCodeView troubleCodeView(const QByteArray &frame, const ErrorNameTable &names, bool showErrors) {
    TroubleCodeView view;
    if (showErrors) {
        for (std::size_t g = 0; g < names.size(); ++g) {
            const int codes = byteAt(frame, kFirstCodeByte + static_cast<int>(g));
            for (std::size_t k = 0; k < names[g].size(); ++k) {
                if ((codes >> k & 1) == 0)
                    continue;
                view.list += QStringLiteral("|[") + names[g][k] + QStringLiteral("]| ");
                ++view.count;
            }
        }
    }
    view.summary = view.list;
    if (view.count > 0)
        view.summary = QStringLiteral("Ошибок=%1:").arg(view.count) + view.list;
    if (view.count >= kCodesForPanel) {
        view.summary = QStringLiteral("Количество ошибок=%1:").arg(view.count);
        view.panelShown = true;
    }
    return view;
}

void showTroubleCodes(ControlBoard &board, const TroubleCodeView &view) {
    board.setText(control::Label35, view.summary);
    board.setText(control::Labelerror, view.list);
    board.setVisible(control::BitBtn2, view.panelShown);
    board.setVisible(control::Panel8, view.panelShown);
}

void showIdleIndicator(ControlBoard &board, const QByteArray &frame) {
    board.setVisible(control::Labelxx, true);
    board.setText(control::Labelxx, idleIndicatorText((byteAt(frame, 0) >> 1 & 1) != 0));
}

QString idleIndicatorText(bool idle) {
    return idle ? kIdleText : QString();
}

bool knockBit(const QByteArray &frame, Protocol protocol) {
    return (byteAt(frame, protocol == Protocol::Fast ? 1 : 3) >> 5 & 1) != 0;
}

void showKnock(ControlBoard &board, bool knock, bool showKnock) {
    board.setVisible(control::Image1, knock && showKnock);
    board.setColor(control::UOZlabel, knock ? control::kRed : control::kGreen);
}

} // namespace korvel
