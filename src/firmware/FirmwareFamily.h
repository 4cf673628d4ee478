#pragma once

#include <QString>
#include <QStringList>

#include <vector>

namespace korvel {

// Firmware families: 0 not identified or standard, 1 J5LS, 2 VRK, 3 J7ESA.
namespace firmwarefamily {
inline constexpr int Standard = 0;
inline constexpr int J5ls = 1;
inline constexpr int Vrk = 2;
inline constexpr int J7esa = 3;
} // namespace firmwarefamily

struct FirmwareType {
    QString name;
    int family = firmwarefamily::Standard;
};

// One row of the identification table: the ECU SWIDs of one firmware version.
struct SwidRow {
    QStringList swids;
    FirmwareType type;
};

// Every known firmware version, tried in this order.
const std::vector<SwidRow> &swidTable();

inline const QString kUnknownFirmware = QStringLiteral("Unknown");

// The row whose SWID equals the text exactly (case-sensitive); "Unknown" and
// family 0 otherwise, an empty SWID included.
FirmwareType firmwareTypeOfSwid(const QString &swid);

// The values of the setting "Тип прошивки".
namespace firmwaretype {
inline const QString J7es = QStringLiteral("j7es");
inline const QString J5ls = QStringLiteral("j5ls");
inline const QString Vrk = QStringLiteral("vrk");
inline const QString Standard = QStringLiteral("стандартная");
inline const QString Auto = QStringLiteral("авто");
inline const QString Manual = QStringLiteral("ручной режим");
} // namespace firmwaretype

} // namespace korvel
