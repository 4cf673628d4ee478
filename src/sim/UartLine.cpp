#include "sim/UartLine.h"

#include <algorithm>
#include <cmath>

namespace korvel::sim {

namespace {

constexpr int kBitsPerByte = 10;

// The line level in sender bit k: idle high outside the bytes, then per byte a
// low start bit, eight data bits (least significant first) and a high stop bit.
class LineLevels {
public:
    explicit LineLevels(const QByteArray &bytes) : m_bytes(bytes) {}

    bool level(long long bit) const {
        if (bit < 0 || bit >= totalBits())
            return true;
        const long long index = bit / kBitsPerByte;
        const int position = static_cast<int>(bit % kBitsPerByte);
        if (position == 0)
            return false;
        if (position == kBitsPerByte - 1)
            return true;
        return ((static_cast<std::uint8_t>(m_bytes[index]) >> (position - 1)) & 1U) != 0;
    }
    long long totalBits() const { return static_cast<long long>(m_bytes.size()) * kBitsPerByte; }

    // The first bit boundary at or after `from` where the line falls from high to low.
    long long nextFallingEdge(long long from) const {
        for (long long bit = std::max(from, 0LL); bit < totalBits(); ++bit)
            if (!level(bit) && level(bit - 1))
                return bit;
        return -1;
    }

private:
    const QByteArray &m_bytes;
};

} // namespace

std::vector<LineByte> transmitOverLine(const QByteArray &bytes, int senderBaud, int receiverBaud) {
    std::vector<LineByte> out;
    if (senderBaud <= 0 || receiverBaud <= 0)
        return out;
    if (senderBaud == receiverBaud) {
        for (qsizetype i = 0; i < bytes.size(); ++i)
            out.push_back({static_cast<std::uint8_t>(bytes[i]), false, false, double((i + 1) * kBitsPerByte)});
        return out;
    }
    const LineLevels line(bytes);
    const double ratio = double(senderBaud) / double(receiverBaud); // sender bits per receiver bit
    long long edge = line.nextFallingEdge(0);
    while (edge >= 0) {
        LineByte received;
        auto sample = [&](int receiverBit) {
            return line.level(static_cast<long long>(std::floor(double(edge) + (receiverBit + 0.5) * ratio)));
        };
        for (int bit = 0; bit < 8; ++bit)
            if (sample(bit + 1))
                received.value = static_cast<std::uint8_t>(received.value | (1U << bit));
        const bool stop = sample(kBitsPerByte - 1);
        received.framingError = !stop;
        received.isBreak = !stop && received.value == 0;
        const double stopAt = double(edge) + (kBitsPerByte - 0.5) * ratio;
        received.endBit = stopAt;
        out.push_back(received);
        edge = line.nextFallingEdge(static_cast<long long>(std::ceil(stopAt)));
    }
    return out;
}

ReceiverInput ReceiverInput::discardingErrors() {
    ReceiverInput input;
    input.checkParity = true;
    input.ignoreErrors = true;
    input.ignoreBreaks = true;
    return input;
}

QByteArray receivedBytes(const std::vector<LineByte> &line, const ReceiverInput &input) {
    QByteArray out;
    for (const LineByte &b : line) {
        if (b.isBreak) {
            if (input.ignoreBreaks)
                continue;
            if (input.markErrors)
                out.append("\xFF\x00", 2);
            out.append('\0');
        } else if (b.framingError && input.checkParity) {
            if (input.ignoreErrors)
                continue;
            if (input.markErrors) {
                out.append("\xFF\x00", 2);
                out.append(static_cast<char>(b.value));
            } else {
                out.append('\0');
            }
        } else {
            out.append(static_cast<char>(b.value));
        }
    }
    return out;
}

double byteSeconds(int baud) {
    return baud > 0 ? double(kBitsPerByte) / double(baud) : 0.0;
}

} // namespace korvel::sim
