#include "ecu/EcuPort.h"

namespace korvel {

bool EcuPort::open(const QString &name) {
    if (!openDevice(name))
        return false;
    port().setDataBits(QSerialPort::Data8);
    port().setParity(QSerialPort::NoParity);
    port().setStopBits(QSerialPort::OneStop);
    port().setFlowControl(QSerialPort::NoFlowControl);
    SetEcuBaud(InitialBaud);
    return true;
}

bool EcuPort::SetEcuBaud(int rate) {
    if (!isOpen())
        return false;
    // 10400 is not a standard rate; on Linux Qt sets it as a custom rate.
    const bool set = port().setBaudRate(rate);
    noteError();
    return set;
}

bool EcuPort::WriteBytes(QByteArrayView bytes) {
    bool written = false;
    for (char byte : bytes) {
        if (!isOpen() || deviceLost())
            return false;
        written = port().write(&byte, 1) == 1 && port().flush();
        noteError();
    }
    return written;
}

} // namespace korvel
