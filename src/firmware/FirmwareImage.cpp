#include "firmware/FirmwareImage.h"

namespace korvel {

FirmwareImage::FirmwareImage() : m_bytes(kFirmwareSize, '\0') {}

std::optional<FirmwareImage> FirmwareImage::fromBytes(const QByteArray &bytes) {
    if (bytes.size() != kFirmwareSize)
        return std::nullopt;
    return FirmwareImage(bytes);
}

std::optional<std::uint8_t> FirmwareImage::byteAt(std::int64_t address) const {
    if (!contains(address))
        return std::nullopt;
    return static_cast<std::uint8_t>(m_bytes.at(address));
}

std::optional<std::uint16_t> FirmwareImage::wordAt(std::int64_t address) const {
    if (!contains(address, 2))
        return std::nullopt;
    return static_cast<std::uint16_t>(static_cast<std::uint8_t>(m_bytes.at(address)) |
                                      static_cast<std::uint8_t>(m_bytes.at(address + 1)) << 8);
}

QByteArray FirmwareImage::slice(std::int64_t address, int count) const {
    return contains(address, count) ? m_bytes.mid(address, count) : QByteArray();
}

bool FirmwareImage::setByte(std::int64_t address, std::uint8_t value) {
    if (!contains(address))
        return false;
    m_bytes[static_cast<qsizetype>(address)] = static_cast<char>(value);
    return true;
}

bool FirmwareImage::setBytes(std::int64_t address, const QByteArray &bytes) {
    if (!contains(address, bytes.size()))
        return false;
    m_bytes.replace(address, bytes.size(), bytes);
    return true;
}

} // namespace korvel
