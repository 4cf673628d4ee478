#pragma once

#include <QByteArray>

#include <cstdint>
#include <optional>

namespace korvel {

// The ECU's 64 KB address space: byte a is the content of ECU address a.
inline constexpr int kFirmwareSize = 65536;

// A firmware image of exactly 65,536 bytes. Every access is bounds-checked:
// an address outside the image reads nothing and writes nothing.
// Copies share their bytes until one of them is written (Qt's implicit sharing),
// so the undo history's whole-image copies are cheap until a write detaches them.
class FirmwareImage {
public:
    FirmwareImage(); // all zero
    // Only a byte string of exactly 65,536 bytes makes an image.
    static std::optional<FirmwareImage> fromBytes(const QByteArray &bytes);

    const QByteArray &bytes() const { return m_bytes; }

    static bool contains(std::int64_t address, std::int64_t count = 1) {
        // Written so that no address, however large, can overflow the sum.
        return address >= 0 && count >= 0 && count <= kFirmwareSize && address <= kFirmwareSize - count;
    }
    std::optional<std::uint8_t> byteAt(std::int64_t address) const;
    // Little-endian: the byte at the address is the low byte.
    std::optional<std::uint16_t> wordAt(std::int64_t address) const;
    // `count` bytes from the address; empty when they do not all lie inside.
    QByteArray slice(std::int64_t address, int count) const;

    bool setByte(std::int64_t address, std::uint8_t value);
    // Writes the bytes from the address; refused (nothing written) unless all fit.
    bool setBytes(std::int64_t address, const QByteArray &bytes);

    friend bool operator==(const FirmwareImage &a, const FirmwareImage &b) { return a.m_bytes == b.m_bytes; }

private:
    explicit FirmwareImage(QByteArray bytes) : m_bytes(std::move(bytes)) {}
    QByteArray m_bytes;
};

} // namespace korvel
