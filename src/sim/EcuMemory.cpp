#include "sim/EcuMemory.h"

#include <QFile>

#include <algorithm>
#include <cstdint>

namespace korvel::sim {

namespace {

void putWord(QByteArray &image, int at, int value) {
    image[at] = static_cast<char>(value & 0xFF);
    image[at + 1] = static_cast<char>((value >> 8) & 0xFF);
}

void fill(QByteArray &image, int at, int length, char value) {
    for (int i = 0; i < length; ++i)
        image[at + i] = value;
}

bool inRange(int address, qsizetype length) {
    return address >= 0 && length >= 0 && address + length <= kMemorySize;
}

} // namespace

QByteArray builtInImage() {
    QByteArray image(kMemorySize, '\0');
    std::uint32_t x = 0x4B4F5256; // any fixed seed: the filler must never change
    for (int i = 0; i < kMemorySize; ++i) {
        x = x * 1664525U + 1013904223U;
        image[i] = static_cast<char>(x >> 24);
    }
    const QByteArray name("KORVEL-SIM built-in image");
    image.replace(0x20, name.size(), name);
    // Complectation bytes read at connect.
    const QByteArray complectation = QByteArray::fromHex("0A41"
                                                         "03"
                                                         "1122334455667788");
    image.replace(0x6051, 2, complectation.left(2));
    image.replace(0x60DE, 1, complectation.mid(2, 1));
    image.replace(0x5F00, 8, complectation.mid(3));
    // Engine speed axis (grid position in sixteenths for each 40 rpm step) and
    // the second axis table after it in the map.
    for (int i = 0; i < 256; ++i) {
        image[0x613C + i] = static_cast<char>(std::min(255, i * 240 / 255));
        image[0x7208 + i] = static_cast<char>(std::min(255, i * 240 / 255));
    }
    // Pressure sensor constants, for both places a firmware family keeps them:
    // gain 22.222 kPa/V and offset 0.475 V.
    putWord(image, 0x60D2, 11111);
    image[0x60D4] = static_cast<char>(24);
    putWord(image, 0x6098, 2778);
    putWord(image, 0x609A, 97);
    // Pressure axis base and divisor.
    putWord(image, 0x5EF2, 1200);
    image[0x5EF4] = static_cast<char>(100);
    // Correction marker area, cleared by the program at connect.
    fill(image, 0xFD00, 0x100, static_cast<char>(0x80));
    return image;
}

bool loadFirmwareFile(const QString &path, QByteArray *image, QString *error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("cannot open firmware file %1: %2").arg(path, file.errorString());
        return false;
    }
    const QByteArray bytes = file.read(kMemorySize + 1);
    if (bytes.size() != kMemorySize) {
        if (error)
            *error =
                QStringLiteral("firmware file %1 holds %2 bytes, not %3").arg(path).arg(bytes.size()).arg(kMemorySize);
        return false;
    }
    *image = bytes;
    return true;
}

EcuMemory::EcuMemory() : m_bytes(builtInImage()) {}

EcuMemory::EcuMemory(const QByteArray &image) : m_bytes(image.size() == kMemorySize ? image : builtInImage()) {}

QByteArray EcuMemory::image() const {
    std::lock_guard lock(m_mutex);
    return m_bytes;
}

bool EcuMemory::setImage(const QByteArray &image) {
    if (image.size() != kMemorySize)
        return false;
    std::lock_guard lock(m_mutex);
    m_bytes = image;
    return true;
}

QByteArray EcuMemory::read(int address, int length) const {
    if (!inRange(address, length))
        return {};
    std::lock_guard lock(m_mutex);
    return m_bytes.mid(address, length);
}

bool EcuMemory::write(int address, const QByteArray &bytes) {
    if (!inRange(address, bytes.size()))
        return false;
    std::lock_guard lock(m_mutex);
    m_bytes.replace(address, bytes.size(), bytes);
    return true;
}

} // namespace korvel::sim
