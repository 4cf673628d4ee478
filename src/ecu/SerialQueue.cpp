#include "ecu/SerialQueue.h"

namespace korvel {
namespace {
// Each pull takes all the system holds; a few bound the loop on a streaming device.
constexpr int kPullLimit = 4;
} // namespace

QByteArray readQueued(QSerialPort &port, qint64 limit) {
    for (int pull = 0; pull < kPullLimit && port.waitForReadyRead(0); ++pull) {
    }
    return port.read(limit);
}

bool takeDeviceLost(QSerialPort &port) {
    const QSerialPort::SerialPortError error = port.error();
    if (error == QSerialPort::NoError)
        return false;
    port.clearError();
    return error == QSerialPort::ResourceError || error == QSerialPort::ReadError;
}

} // namespace korvel
