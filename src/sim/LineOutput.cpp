#include "sim/LineOutput.h"

#include "sim/UartLine.h"

#include <algorithm>

namespace korvel::sim {

namespace {

constexpr auto kChunkGap = std::chrono::milliseconds(1);
constexpr std::size_t kFirstChunk = 2; // format and target byte: the header is still incomplete

Clock::duration seconds(double s) {
    return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(s));
}

// Where each chunk ends, as indexes one past its last byte.
std::vector<std::size_t> chunkEnds(std::size_t size, int chunks) {
    std::vector<std::size_t> ends;
    if (chunks > 1 && size > kFirstChunk) {
        ends.push_back(kFirstChunk);
        const std::size_t rest = size - kFirstChunk;
        const auto others = static_cast<std::size_t>(chunks - 1);
        for (std::size_t i = 1; i < others; ++i)
            ends.push_back(std::max(ends.back(), kFirstChunk + rest * i / others));
    }
    ends.push_back(size);
    return ends;
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

Clock::time_point sendInChunks(PseudoTerminal &pty, const StopSignal &stop, const QByteArray &bytes, int senderBaud,
                               Clock::time_point start, bool lineTiming, int chunks,
                               const std::function<void()> &beforeLastWrite) {
    const ProgramLine line = pty.programLine();
    const std::vector<LineByte> received = transmitOverLine(bytes, senderBaud, line.baud);
    const bool timed = lineTiming && senderBaud > 0;
    const double bitSeconds = timed ? 1.0 / senderBaud : 0.0;
    std::size_t from = 0;
    for (const std::size_t end : chunkEnds(received.size(), chunks)) {
        if (end == from)
            continue;
        const Clock::time_point due = timed ? start + seconds(received[end - 1].endBit * bitSeconds)
                                            : Clock::now() + (from > 0 ? kChunkGap : Clock::duration{});
        if (!stop.sleepUntil(due))
            return Clock::now();
        if (end == received.size() && beforeLastWrite)
            beforeLastWrite();
        const std::vector<LineByte> chunk(received.begin() + static_cast<std::ptrdiff_t>(from),
                                          received.begin() + static_cast<std::ptrdiff_t>(end));
        pty.write(receivedBytes(chunk, line.input));
        from = end;
    }
    if (received.empty() && beforeLastWrite)
        beforeLastWrite();
    return timed ? start + seconds(double(bytes.size()) * byteSeconds(senderBaud)) : Clock::now();
}

} // namespace korvel::sim
