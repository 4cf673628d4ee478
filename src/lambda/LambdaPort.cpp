#include "lambda/LambdaPort.h"

#include "ecu/SerialQueue.h"

#include <array>

namespace korvel {

QSerialPort::Parity lambdaParity(int code) {
    static constexpr std::array<QSerialPort::Parity, 5> parities{QSerialPort::EvenParity, QSerialPort::OddParity,
                                                                 QSerialPort::NoParity, QSerialPort::MarkParity,
                                                                 QSerialPort::SpaceParity};
    return code >= 0 && code < static_cast<int>(parities.size()) ? parities[static_cast<std::size_t>(code)]
                                                                 : QSerialPort::NoParity;
}

QSerialPort::StopBits lambdaStopBits(int code) {
    static constexpr std::array<QSerialPort::StopBits, 3> stopBits{QSerialPort::OneStop, QSerialPort::OneAndHalfStop,
                                                                   QSerialPort::TwoStop};
    return code >= 0 && code < static_cast<int>(stopBits.size()) ? stopBits[static_cast<std::size_t>(code)]
                                                                 : QSerialPort::OneStop;
}

bool LambdaPort::OpenLambdaPort(const QString &name, const LambdaLine &line) {
    m_lost = false;
    m_port.setPortName(name);
    if (!m_port.open(QIODevice::ReadWrite))
        return false;
    m_port.setBaudRate(line.baud);
    m_port.setParity(lambdaParity(line.parity));
    m_port.setDataBits(static_cast<QSerialPort::DataBits>(line.byteSize));
    m_port.setStopBits(lambdaStopBits(line.stopBits));
    m_port.setFlowControl(QSerialPort::NoFlowControl);
    m_port.clearError(); // settings a device cannot take stay as the system had them
    purge();
    return true;
}

bool LambdaPort::CloseLambdaPort() {
    if (m_port.isOpen())
        m_port.close();
    m_port.clearError();
    return true;
}

void LambdaPort::purge() {
    if (m_port.isOpen())
        m_port.clear(QSerialPort::AllDirections);
}

QByteArray LambdaPort::ReadAvailable() {
    if (!m_port.isOpen() || m_lost)
        return {};
    QByteArray bytes = readQueued(m_port, ReadLimit);
    noteError();
    return bytes;
}

void LambdaPort::noteError() {
    if (takeDeviceLost(m_port))
        m_lost = true;
}

} // namespace korvel
