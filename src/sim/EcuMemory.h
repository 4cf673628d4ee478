#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <mutex>

namespace korvel::sim {

inline constexpr int kMemorySize = 0x10000;
// The ECU's mixture bytes (the target table, the frame's target): (x + 128) x 14.7 / 256.
inline constexpr double kAfrStep = 14.7 / 256;

// Supplies the image the ECU runs when no firmware file is given. The demo
// firmware generator plugs in here; until then `builtInImage` serves.
using FirmwareFactory = std::function<QByteArray()>;

// A deterministic 64 KB image made in code: repeatable filler with the few
// areas the program reads at connect made plausible (identification block,
// complectation bytes, axis tables, pressure sensor constants, neutral
// correction tables).
QByteArray builtInImage();

// Reads a firmware file; it must hold exactly 65536 bytes.
bool loadFirmwareFile(const QString &path, QByteArray *image, QString *error);

// The ECU's 64 KB address space. Reads come from it and writes change it, so
// whatever the program writes can be read back. Safe to use from any thread.
class EcuMemory {
public:
    EcuMemory();
    explicit EcuMemory(const QByteArray &image);

    QByteArray image() const;
    // Replaces the whole image; anything but 65536 bytes is refused.
    bool setImage(const QByteArray &image);
    // Empty when the range runs past 0xFFFF.
    QByteArray read(int address, int length) const;
    bool write(int address, const QByteArray &bytes);

private:
    mutable std::mutex m_mutex;
    QByteArray m_bytes;
};

} // namespace korvel::sim
