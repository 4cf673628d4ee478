#include "ecu/EcuPort.h"

namespace korvel {

namespace {
// Each pull takes all the system holds; a few bound the loop on a streaming device.
constexpr int kPullLimit = 4;
} // namespace

bool EcuPort::open(const QString &name) {
    m_lost = false;
    m_port.setPortName(name);
    if (!m_port.open(QIODevice::ReadWrite))
        return false;
    m_port.setDataBits(QSerialPort::Data8);
    m_port.setParity(QSerialPort::NoParity);
    m_port.setStopBits(QSerialPort::OneStop);
    m_port.setFlowControl(QSerialPort::NoFlowControl);
    SetEcuBaud(InitialBaud);
    return true;
}

bool EcuPort::SetEcuBaud(int rate) {
    if (!m_port.isOpen())
        return false;
    // 10400 is not a standard rate; on Linux Qt sets it as a custom rate.
    const bool set = m_port.setBaudRate(rate);
    noteError();
    return set;
}

void EcuPort::close() {
    if (m_port.isOpen())
        m_port.close();
    m_port.clearError();
}

bool EcuPort::WriteBytes(QByteArrayView bytes) {
    bool written = false;
    for (char byte : bytes) {
        if (!m_port.isOpen() || m_lost)
            return false;
        written = m_port.write(&byte, 1) == 1 && m_port.flush();
        noteError();
    }
    return written;
}

QByteArray EcuPort::ReadAvailable() {
    if (!m_port.isOpen() || m_lost)
        return {};
    // Move what the system holds into the port's queue without waiting.
    for (int pull = 0; pull < kPullLimit && m_port.waitForReadyRead(0); ++pull) {
    }
    noteError();
    return m_port.read(ReadLimit);
}

void EcuPort::noteError() {
    switch (m_port.error()) {
    case QSerialPort::NoError:
        return;
    case QSerialPort::ResourceError:
    case QSerialPort::ReadError: // a hung-up device reads as readable yet yields nothing
        m_lost = true;
        break;
    default:
        break;
    }
    m_port.clearError();
}

} // namespace korvel
