#pragma once

#include "app/StatusBarState.h"

#include <QString>

namespace korvel {

class ControlBoard;
struct IdentityArea;

// What the status timer reads about the link.
struct LinkStatus {
    QString ecuPortName;       // status panel 0's text
    bool comConnected = false; // the ECU worker's IsComConnected
    bool ecuConnected = false; // the ECU worker's IsECUConnected
    bool fastProtocol = true;  // "Протокол обмена" is kvl (the setting, not the worker)
    bool lambdaOpen = false;   // the lambda worker's port is open
    QString lambdaPortName;
};

inline const QString kOnline = QStringLiteral("ONLINE");
inline const QString kInDiag = QStringLiteral("IN DIAG");
inline const QString kOffline = QStringLiteral("OFFLINE");
inline const QString kWideband = QStringLiteral("ШДК");

// The three painted areas at the left of the status bar.
void paintLinkAreas(StatusBarState &bar, const LinkStatus &link);

// The identity area (red while the two SWIDs differ).
void paintIdentityArea(StatusBarState &bar, const IdentityArea &area);

// A table write in progress: the progress bar shows it with this text.
void paintWriteProgress(StatusBarState &bar, int blocksDone, int blocksTotal);

// What the button rules of the status timer are decided from.
struct ButtonFacts {
    bool tuningAllowed = false;  // tuning offered, an image loaded and the image is the ECU's
    bool mapLoaded = false;      // a calibration map is loaded
    QString selectedGridChoice;  // the item shown by the grid selector
    bool fullScreenShown = true; // the table view offers its full-screen button BitBtn9
    int openTableKind = 0;       // TableKind of the table chosen in the catalogue (0 before any choice)
};

// The button rules: TButTune, the re-tune buttons and the ignition rework panel.
void applyButtonRules(ControlBoard &controls, const ButtonFacts &facts);

} // namespace korvel
