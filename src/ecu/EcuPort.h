#pragma once

#include "ecu/SerialLink.h"

#include <QByteArrayView>
#include <QString>

namespace korvel {

// The K-line adapter's serial port. Created, used and destroyed by the ECU
// worker's thread only; nothing here waits for bytes.
class EcuPort : public SerialLink {
public:
    static constexpr int InitialBaud = 10400;

    // Opens the device at 10400 baud, 8 data bits, no parity, one stop bit.
    bool open(const QString &name);
    bool SetEcuBaud(int rate);

    // Writes one byte per call; the result is that of the last byte.
    bool WriteBytes(QByteArrayView bytes);
};

} // namespace korvel
