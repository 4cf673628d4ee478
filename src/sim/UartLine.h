#pragma once

#include <QByteArray>

#include <cstdint>
#include <vector>

namespace korvel::sim {

// One byte as a receiving UART assembles it from the line.
struct LineByte {
    std::uint8_t value = 0;
    bool framingError = false; // the stop bit was low
    bool isBreak = false;      // all bits low, stop bit included
    double endBit = 0;         // when the stop bit was sampled, in bit times of the sender
};

// What a serial line does to bytes sent back to back at `senderBaud` and
// received at `receiverBaud`: the receiver waits for a falling edge, samples
// eight data bits and the stop bit in the middle of its own bit times. Equal
// rates give the bytes unchanged; other rates give the garbage a real UART
// reads (other values, framing errors, more or fewer bytes). A rate of 0 or
// less receives nothing.
std::vector<LineByte> transmitOverLine(const QByteArray &bytes, int senderBaud, int receiverBaud);

// How a receiver hands bytes with framing errors and breaks to its reader
// (the termios input flags INPCK, IGNPAR, PARMRK, IGNBRK of Linux).
struct ReceiverInput {
    bool checkParity = false;  // INPCK
    bool ignoreErrors = false; // IGNPAR
    bool markErrors = false;   // PARMRK
    bool ignoreBreaks = false; // IGNBRK

    // The ECU's own receiver throws away every byte it could not frame.
    static ReceiverInput discardingErrors();
};

QByteArray receivedBytes(const std::vector<LineByte> &line, const ReceiverInput &input);

// Seconds per byte (start bit, eight data bits, stop bit) at a rate.
double byteSeconds(int baud);

} // namespace korvel::sim
