#pragma once

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>

namespace korvel {

// Firmware identity: a CRC-32 without the final inversion (JAMCRC) over the
// first 224 bytes of a firmware, written as 8 uppercase hex digits.
inline constexpr int kSwidBlockSize = 224;

class SwidCrc {
public:
    SwidCrc(); // builds the 256-entry table of the reflected polynomial 0xEDB88320
    std::uint32_t crc(const QByteArray &bytes) const;
    // The SWID text of the first 224 bytes; empty when fewer are given.
    QString swid(const QByteArray &bytes) const;

private:
    std::array<std::uint32_t, 256> m_table{};
};

} // namespace korvel
