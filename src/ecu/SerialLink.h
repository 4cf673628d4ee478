#pragma once

#include <QByteArray>
#include <QSerialPort>
#include <QString>

namespace korvel {

// What the K-line port and the lambda port do alike: open the device, take
// what the system has queued without waiting, notice a device that went away
// and close. Created, used and destroyed by one worker thread.
class SerialLink {
public:
    static constexpr int ReadLimit = 256; // bytes taken per read; more stay queued

    bool isOpen() const { return m_port.isOpen(); }
    // Closing a port that is not open is fine.
    void close();

    // The bytes queued at this moment, at most ReadLimit; empty when none.
    QByteArray ReadAvailable();
    // Waits at most `ms` for bytes to read; true when some are there.
    bool waitForBytes(int ms);
    // Reads and drops whatever is queued now (bytes left over from an
    // exchange that ended early).
    void discardQueued();

    // The device went away while open (unplugged, closed pseudo-terminal):
    // the port can no longer be used and should be closed.
    bool deviceLost() const { return m_lost; }

protected:
    SerialLink() = default;
    ~SerialLink() = default;
    SerialLink(const SerialLink &) = delete;
    SerialLink &operator=(const SerialLink &) = delete;

    // Opens `name` for reading and writing; the line settings are the caller's.
    bool openDevice(const QString &name);
    QSerialPort &port() { return m_port; }
    // Takes the port's error; remembers a device that went away.
    void noteError();

private:
    QSerialPort m_port;
    bool m_lost = false;
};

} // namespace korvel
