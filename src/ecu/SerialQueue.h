#pragma once

#include <QByteArray>
#include <QSerialPort>

namespace korvel {

// What both serial ports do alike: take what the system has queued without
// waiting, and notice a device that went away.

// The bytes queued at this moment, at most `limit`; empty when none.
QByteArray readQueued(QSerialPort &port, qint64 limit);

// Clears the port's error; true when it says the device went away (unplugged,
// a closed pseudo-terminal: such a device reads as readable yet yields nothing).
bool takeDeviceLost(QSerialPort &port);

} // namespace korvel
