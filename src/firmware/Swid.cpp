#include "firmware/Swid.h"

namespace korvel {

SwidCrc::SwidCrc() {
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t c = i;
        for (int bit = 0; bit < 8; ++bit)
            c = (c & 1U) ? (c >> 1) ^ 0xEDB88320U : c >> 1;
        m_table[i] = c;
    }
}

std::uint32_t SwidCrc::crc(const QByteArray &bytes) const {
    std::uint32_t c = 0xFFFFFFFFU;
    for (char ch : bytes)
        c = m_table[(c ^ static_cast<unsigned char>(ch)) & 0xFFU] ^ (c >> 8);
    return c; // no final inversion
}

QString SwidCrc::swid(const QByteArray &bytes) const {
    if (bytes.size() < kSwidBlockSize)
        return {};
    return QStringLiteral("%1").arg(crc(bytes.left(kSwidBlockSize)), 8, 16, QLatin1Char('0')).toUpper();
}

} // namespace korvel
