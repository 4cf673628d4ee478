#pragma once

#include <QByteArray>
#include <QString>

namespace korvel {

class SwidCrc;

// The SWID of the firmware running in the ECU, from the identification block.
struct EcuIdentity {
    QString swid;
    bool valid = false;

    // Takes the identification block; only a block of exactly 224 bytes is
    // used. True when the SWID was set (the caller then compares identities).
    bool EcuSwid(const QByteArray &block, const SwidCrc &crc);
    void clear() { *this = {}; }
};

} // namespace korvel
