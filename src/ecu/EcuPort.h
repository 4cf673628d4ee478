#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QSerialPort>
#include <QString>

namespace korvel {

// The K-line adapter's serial port. Created, used and destroyed by the ECU
// worker's thread only; nothing here waits for bytes.
class EcuPort {
public:
    static constexpr int InitialBaud = 10400;
    static constexpr int ReadLimit = 256; // bytes taken per read; more stay queued

    // Opens the device at 10400 baud, 8 data bits, no parity, one stop bit.
    bool open(const QString &name);
    bool isOpen() const { return m_port.isOpen(); }
    bool SetEcuBaud(int rate);
    void close();

    // Writes one byte per call; the result is that of the last byte.
    bool WriteBytes(QByteArrayView bytes);
    // The bytes queued at this moment, at most ReadLimit; empty when none.
    QByteArray ReadAvailable();

    // The device went away while open (unplugged, closed pseudo-terminal):
    // the port can no longer be used and should be closed.
    bool deviceLost() const { return m_lost; }

private:
    void noteError();

    QSerialPort m_port;
    bool m_lost = false;
};

} // namespace korvel
