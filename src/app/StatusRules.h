#pragma once

#include "app/StatusBarState.h"

#include <QString>

namespace korvel {

class ControlBoard;
class FirmwareIdentity;

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

// The identity area; the tuning button is disabled while the SWIDs differ.
void paintIdentityArea(StatusBarState &bar, const FirmwareIdentity &identity, ControlBoard &controls);

// The button rules of the status timer. `selectedGridChoice` is the item
// shown by the grid selector.
void applyButtonRules(ControlBoard &controls, bool firmwareLoaded, bool mapLoaded, const QString &selectedGridChoice);

} // namespace korvel
