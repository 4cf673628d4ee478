#include "app/StatusRules.h"

#include "core/ControlBoard.h"
#include "core/ControlNames.h"
#include "firmware/FirmwareIdentity.h"

#include <algorithm>

namespace korvel {
namespace {
const QString kIgnitionChoice = QStringLiteral("УОЗ %");

// The areas are a few characters wide, as for "COM3": a device path shows
// its last part ("/dev/ttyUSB0" shows "ttyUSB0").
QString shortPortName(const QString &port) {
    return port.mid(port.lastIndexOf(QLatin1Char('/')) + 1);
}
} // namespace

void paintLinkAreas(StatusBarState &bar, const LinkStatus &link) {
    using State = StatusBarState;
    bar.panelText[0] = link.ecuPortName;
    bar.port.text = shortPortName(link.ecuPortName);
    bar.port.background = link.comConnected ? State::kGreen : State::kYellow;

    if (link.ecuConnected) {
        bar.link.text = link.fastProtocol ? kOnline : kInDiag;
        bar.link.background = State::kGreen;
    } else {
        bar.link.text = kOffline;
        bar.link.background = State::kYellow;
    }

    if (link.lambdaOpen) {
        bar.lambda.text = kWideband + shortPortName(link.lambdaPortName);
        bar.lambda.background = State::kGreen;
        bar.lambda.textX = 103;
    } else {
        bar.lambda.text = QStringLiteral("УДК");
        bar.lambda.background = State::kOlive;
        bar.lambda.textX = 115;
    }
}

void paintIdentityArea(StatusBarState &bar, const IdentityArea &area) {
    bar.identity.text = area.text;
    bar.identity.background = area.rgb;
}

void applyButtonRules(ControlBoard &controls, const ButtonFacts &facts) {
    using namespace control;
    controls.setVisible(BitBtn17, facts.fullScreenShown);
    const bool tuneEnabled = facts.tuningAllowed;
    controls.setEnabled(TButTune, tuneEnabled);
    // With a map loaded, the chosen catalogue node decides: single values,
    // flags, texts and nodes that are no table cannot be re-tuned.
    const int kind = facts.openTableKind;
    const bool notRetunable = kind == 0 || kind == 4 || kind == 5;
    const bool hideRetune = facts.mapLoaded && notRetunable;
    controls.setVisible(BitBtn6, tuneEnabled && !hideRetune);
    const bool retune = tuneEnabled && facts.mapLoaded && !notRetunable;
    controls.setEnabled(TButReTune, retune);
    controls.setEnabled(BitBtn6, retune);
    if (facts.selectedGridChoice == kIgnitionChoice)
        controls.setVisible(Panel5, tuneEnabled);
}

void paintWriteProgress(StatusBarState &bar, int blocksDone, int blocksTotal) {
    if (blocksTotal <= 0) {
        bar.writeBlocksDone = 0;
        bar.writeBlocksTotal = 0;
        bar.writeText.clear();
        return;
    }
    bar.writeBlocksTotal = blocksTotal;
    bar.writeBlocksDone = std::clamp(blocksDone, 0, blocksTotal);
    bar.writeText = QStringLiteral("Запись в ЭБУ: блок %1 из %2").arg(bar.writeBlocksDone).arg(blocksTotal);
}

} // namespace korvel
