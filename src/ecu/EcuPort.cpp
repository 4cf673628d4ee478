#include "ecu/EcuPort.h"

#include "ecu/SerialQueue.h"

namespace korvel {

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
    QByteArray bytes = readQueued(m_port, ReadLimit);
    noteError();
    return bytes;
}

void EcuPort::noteError() {
    if (takeDeviceLost(m_port))
        m_lost = true;
}

} // namespace korvel
