#include "firmware/FirmwareIdentity.h"

#include "core/LogDirectory.h"
#include "firmware/FirmwareImage.h"

namespace korvel {

void FirmwareIdentity::ClearIdentity() {
    m_imageSwid.clear();
    m_ecuSwid.clear();
    m_imageSwidValid = false;
    m_ecuSwidValid = false;
    m_match = false;
}

void FirmwareIdentity::clearEcuSwid() {
    m_ecuSwid.clear();
    m_ecuSwidValid = false;
    m_match = false;
}

void FirmwareIdentity::ImageSwid(const FirmwareImage &image) {
    m_imageSwid = m_crc.swid(image.bytes());
    m_imageSwidValid = !m_imageSwid.isEmpty();
    checkAfterNewIdentity();
}

void FirmwareIdentity::EcuSwid(const QByteArray &block) {
    if (block.size() != kSwidBlockSize)
        return;
    m_ecuSwid = m_crc.swid(block);
    m_ecuSwidValid = true;
    if (!m_imageSwid.isEmpty())
        checkAfterNewIdentity();
}

bool FirmwareIdentity::CheckSwid() {
    m_match = !m_imageSwid.isEmpty() && m_imageSwid == m_ecuSwid;
    return m_match;
}

void FirmwareIdentity::checkAfterNewIdentity() {
    // One save per new identity that matches; a mere recheck saves nothing.
    if (CheckSwid() && m_autoSave)
        m_autoSave();
}

int FirmwareIdentity::checkbin(const QString &firmwareTypeSetting, const QDateTime &now) {
    if (firmwareTypeSetting == firmwaretype::Auto)
        m_type = firmwareTypeOfSwid(m_ecuSwid);
    struct Override {
        const QString &setting;
        FirmwareType type;
    };
    const Override overrides[] = {
        {firmwaretype::J7es, {QStringLiteral("J7ESA"), firmwarefamily::J7esa}},
        {firmwaretype::J5ls, {QStringLiteral("J5LS"), firmwarefamily::J5ls}},
        {firmwaretype::Vrk, {QStringLiteral("VRK"), firmwarefamily::Vrk}},
        {firmwaretype::Standard, {firmwaretype::Standard, firmwarefamily::Standard}},
    };
    for (const Override &o : overrides)
        if (firmwareTypeSetting == o.setting)
            m_type = o.type;
    m_defaultFileName = automaticSaveName(m_type.name, now);
    return m_type.family + 1;
}

QString automaticSaveName(const QString &firmwareTypeName, const QDateTime &when) {
    return firmwareTypeName + QLatin1Char('_') + LogDirectory::nameFor(when) + QStringLiteral(".bin");
}

IdentityArea identityArea(const FirmwareIdentity &identity) {
    if (identity.imageSwid() != identity.ecuSwid())
        return {QStringLiteral("[%1]/[%2]").arg(identity.imageSwid(), identity.ecuSwid()), kIdentityRed, false};
    return {QStringLiteral("[firmware:%1] [%2]").arg(identity.FirmwareTypeName(), identity.ecuSwid()), kIdentityGreen,
            true};
}

} // namespace korvel
