#pragma once

#include "firmware/FirmwareFamily.h"
#include "firmware/Swid.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <functional>

namespace korvel {

class FirmwareImage;

// Who the loaded image and the connected ECU are: the two SWIDs and their
// match, and the firmware type chosen by identification. The match decides
// whether tuning may write the image into the ECU, so a match also asks for
// an automatic save of the image (the callback given to setAutoSave).
class FirmwareIdentity {
public:
    FirmwareIdentity() = default;

    // Both SWIDs empty, both valid flags and the match cleared (start-up).
    void ClearIdentity();
    // A new connection: the ECU side is unknown until it is read again.
    void clearEcuSwid();
    // The image's SWID over its first 224 bytes, then CheckSwid.
    void ImageSwid(const FirmwareImage &image);
    // The ECU's SWID from its identification block; a block of any size other
    // than 224 bytes is ignored. Runs CheckSwid when the image has a SWID.
    void EcuSwid(const QByteArray &block);
    // Recomputes the match (image SWID not empty and equal to the ECU's) and
    // returns it. The automatic save is asked for once when ImageSwid or
    // EcuSwid brings a match, never by a mere recheck.
    bool CheckSwid();
    void setAutoSave(std::function<void()> save) { m_autoSave = std::move(save); }

    // Identification after connecting, from the setting "Тип прошивки": "авто"
    // looks the ECU SWID up, "j7es"/"j5ls"/"vrk"/"стандартная" force the type,
    // "ручной режим" keeps the previous one. Sets the automatic save name to
    // type name + "_" + dd.MM.yy-hh.mm.ss + ".bin". Returns the address-set row
    // to load (family + 1).
    int checkbin(const QString &firmwareTypeSetting, const QDateTime &now = QDateTime::currentDateTime());

    const QString &imageSwid() const { return m_imageSwid; }
    const QString &ecuSwid() const { return m_ecuSwid; }
    bool imageSwidValid() const { return m_imageSwidValid; }
    bool ecuSwidValid() const { return m_ecuSwidValid; }
    bool swidMatch() const { return m_match; }

    int FirmwareFamily() const { return m_type.family; }
    const QString &FirmwareTypeName() const { return m_type.name; }
    // The file name of the automatic saves (set at connect from "Прошивка по
    // умолчанию", replaced by identification, filled by the first save).
    const QString &DefaultFirmwareFileName() const { return m_defaultFileName; }
    void setDefaultFirmwareFileName(const QString &name) { m_defaultFileName = name; }

private:
    void checkAfterNewIdentity();

    SwidCrc m_crc;
    QString m_imageSwid;
    QString m_ecuSwid;
    bool m_imageSwidValid = false;
    bool m_ecuSwidValid = false;
    bool m_match = false;
    FirmwareType m_type{QString(), firmwarefamily::Standard};
    QString m_defaultFileName;
    std::function<void()> m_autoSave;
};

// The automatic save name for a firmware type at a moment: "VRK239_05.03.14-17.42.09.bin".
QString automaticSaveName(const QString &firmwareTypeName, const QDateTime &when);

// The identity area of the status bar.
struct IdentityArea {
    QString text;
    int rgb = 0;                // background, 0xRRGGBB
    bool tuningAllowed = false; // false: the tuning button is disabled
};

inline constexpr int kIdentityRed = 0xFF0000;
inline constexpr int kIdentityGreen = 0x008000;

// Red "[image]/[ECU]" while the two SWIDs differ (tuning disabled), otherwise
// green "[firmware:<type>] [<ECU SWID>]".
IdentityArea identityArea(const FirmwareIdentity &identity);

} // namespace korvel
