#include "sim/LineOutput.h"

#include "sim/UartLine.h"

namespace korvel::sim {

namespace {

Clock::duration seconds(double s) {
    return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(s));
}

} // namespace

Clock::time_point sendToProgram(PseudoTerminal &pty, const StopSignal &stop, const QByteArray &bytes, int senderBaud,
                                Clock::time_point start, bool lineTiming,
                                const std::function<void()> &beforeLastWrite) {
    const ProgramLine line = pty.programLine();
    const std::vector<LineByte> received = transmitOverLine(bytes, senderBaud, line.baud);
    auto lastWrite = [&](const QByteArray &last) {
        if (beforeLastWrite)
            beforeLastWrite();
        pty.write(last);
    };
    if (!lineTiming || senderBaud <= 0) {
        lastWrite(receivedBytes(received, line.input));
        return Clock::now();
    }
    const double bitSeconds = 1.0 / senderBaud;
    QByteArray due;
    for (const LineByte &b : received) {
        const Clock::time_point at = start + seconds(b.endBit * bitSeconds);
        if (Clock::now() < at) {
            pty.write(due);
            due.clear();
            if (!stop.sleepUntil(at))
                return Clock::now();
        }
        due.append(receivedBytes({b}, line.input));
    }
    lastWrite(due);
    return start + seconds(double(bytes.size()) * byteSeconds(senderBaud));
}

} // namespace korvel::sim
