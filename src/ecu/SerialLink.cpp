#include "ecu/SerialLink.h"

#include "ecu/LowLatency.h"

namespace korvel {
namespace {
// Each pull takes all the system holds; a few bound the loop on a streaming device.
constexpr int kPullLimit = 4;
} // namespace

bool SerialLink::openDevice(const QString &name) {
    m_lost = false;
    m_port.setPortName(name);
    if (!m_port.open(QIODevice::ReadWrite))
        return false;
    // Where the driver refuses (a pseudo-terminal), the port works as it is.
    requestLowLatency(static_cast<int>(m_port.handle()));
    return true;
}

void SerialLink::close() {
    if (m_port.isOpen())
        m_port.close();
    m_port.clearError();
}

QByteArray SerialLink::ReadAvailable() {
    if (!m_port.isOpen() || m_lost)
        return {};
    for (int pull = 0; pull < kPullLimit && m_port.waitForReadyRead(0); ++pull) {
    }
    QByteArray bytes = m_port.read(ReadLimit);
    noteError();
    return bytes;
}

bool SerialLink::waitForBytes(int ms) {
    if (!m_port.isOpen() || m_lost)
        return false;
    if (m_port.bytesAvailable() > 0)
        return true;
    const bool ready = m_port.waitForReadyRead(ms);
    noteError();
    return ready;
}

void SerialLink::discardQueued() {
    for (int pull = 0; pull < kPullLimit && !ReadAvailable().isEmpty(); ++pull) {
    }
}

// A device that went away reads as readable yet yields nothing; Qt reports it
// as a resource or read error.
void SerialLink::noteError() {
    const QSerialPort::SerialPortError error = m_port.error();
    if (error == QSerialPort::NoError)
        return;
    m_port.clearError();
    if (error == QSerialPort::ResourceError || error == QSerialPort::ReadError)
        m_lost = true;
}

} // namespace korvel
