#pragma once

#include "live/LiveParameters.h"

#include <QByteArray>
#include <QString>

#include <array>

namespace korvel {

class ControlBoard;

// errors.cfg as a table: the name of code byte g (1..4, index 0..3) and bit k (0..7).
using ErrorNameTable = std::array<std::array<QString, 8>, 4>;

// What the trouble-code bits of one frame (bytes 3 to 6) come to.
struct TroubleCodeView {
    int count = 0;
    QString list;            // "|[name]| " per active code: the text of Labelerror
    QString summary;         // the text of Label35
    bool panelShown = false; // BitBtn2 and the error panel Panel8
};

// With showErrors off nothing is listed and nothing counted.
TroubleCodeView troubleCodeView(const QByteArray &frame, const ErrorNameTable &names, bool showErrors);
void showTroubleCodes(ControlBoard &board, const TroubleCodeView &view);

// The idle indicator Labelxx (fast protocol): bit 1 of frame byte 0.
void showIdleIndicator(ControlBoard &board, const QByteArray &frame);
// The indicator's text while the engine idles, empty otherwise.
QString idleIndicatorText(bool idle);

// The knock bit: bit 5 of frame byte 1 (fast) or of byte 3 (standard).
bool knockBit(const QByteArray &frame, Protocol protocol);
// The warning picture Image1 (only when "Показывать детонацию" is "да") and the colour of UOZlabel.
void showKnock(ControlBoard &board, bool knock, bool showKnock);

} // namespace korvel
