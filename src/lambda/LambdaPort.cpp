#include "lambda/LambdaPort.h"

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
    if (!openDevice(name))
        return false;
    port().setBaudRate(line.baud);
    port().setParity(lambdaParity(line.parity));
    port().setDataBits(static_cast<QSerialPort::DataBits>(line.byteSize));
    port().setStopBits(lambdaStopBits(line.stopBits));
    port().setFlowControl(QSerialPort::NoFlowControl);
    port().clearError(); // settings a device cannot take stay as the system had them
    purge();
    return true;
}

void LambdaPort::purge() {
    if (isOpen())
        port().clear(QSerialPort::AllDirections);
}

} // namespace korvel
