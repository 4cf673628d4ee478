#pragma once

#include "ecu/SerialLink.h"

#include <QSerialPort>
#include <QString>

namespace korvel {

// Line settings of the lambda port as the window chooses them.
struct LambdaLine {
    int baud = 19200;
    int parity = 2;   // 0 even, 1 odd, 2 none, 3 mark, 4 space
    int byteSize = 8; // data bits
    int stopBits = 0; // 0 one, 1 one and a half, 2 two
};

QSerialPort::Parity lambdaParity(int code);
QSerialPort::StopBits lambdaStopBits(int code);

// The wideband controller's serial port. Owned and used by the lambda
// worker's thread only; reads return at once with what is queued.
class LambdaPort : public SerialLink {
public:
    bool OpenLambdaPort(const QString &name, const LambdaLine &line);
    // Closing a port that is not open succeeds.
    bool CloseLambdaPort() {
        close();
        return true;
    }
    void purge();
};

} // namespace korvel
