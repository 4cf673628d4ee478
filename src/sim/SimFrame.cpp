#include "sim/SimFrame.h"

namespace korvel::sim {

namespace {

constexpr int kMaxFrameSize = 4 + 255 + 1;
constexpr int kShortFormMax = 63;
constexpr int kTesterShortFormMax = 16;

enum class Scan { Good, BadOrForeign, Incomplete, Invalid };

std::uint8_t byteAt(const QByteArray &bytes, qsizetype i) {
    return static_cast<std::uint8_t>(bytes[i]);
}

// Looks at a frame starting at `offset` without consuming anything.
Scan scanFrame(const QByteArray &bytes, qsizetype offset, ParsedFrame *frame) {
    const qsizetype available = bytes.size() - offset;
    if (available < 1)
        return Scan::Incomplete;
    const std::uint8_t format = byteAt(bytes, offset);
    if ((format & 0x80U) == 0) // frames without address information are not for the ECU
        return Scan::Invalid;
    if (available < 3)
        return Scan::Incomplete;
    int length = format & 0x3F;
    int header = 3;
    if (length == 0) {
        if (available < 4)
            return Scan::Incomplete;
        length = byteAt(bytes, offset + 3);
        header = 4;
        if (length == 0)
            return Scan::Invalid;
    }
    const int size = header + length + 1;
    if (available < size)
        return Scan::Incomplete;
    const QByteArray whole = bytes.mid(offset, size);
    if (checksum(whole.left(size - 1)) != byteAt(whole, size - 1))
        return Scan::BadOrForeign;
    if (frame) {
        frame->target = byteAt(whole, 1);
        frame->source = byteAt(whole, 2);
        frame->data = whole.mid(header, length);
        frame->size = size;
        frame->raw = whole;
    }
    return Scan::Good;
}

QByteArray withChecksum(QByteArray frame) {
    frame.append(static_cast<char>(checksum(frame)));
    return frame;
}

} // namespace

std::uint8_t checksum(const QByteArray &bytes) {
    unsigned sum = 0;
    for (char c : bytes)
        sum += static_cast<std::uint8_t>(c);
    return static_cast<std::uint8_t>(sum & 0xFFU);
}

QByteArray encodeAnswerFrame(const QByteArray &data, HeaderForm form) {
    const auto n = static_cast<int>(data.size());
    QByteArray frame;
    if (form == HeaderForm::Short && n >= 1 && n <= kShortFormMax) {
        frame.append(static_cast<char>(0x80 | n));
        frame.append(static_cast<char>(kTesterAddress));
        frame.append(static_cast<char>(kEcuAddress));
    } else {
        frame.append(static_cast<char>(0x80));
        frame.append(static_cast<char>(kTesterAddress));
        frame.append(static_cast<char>(kEcuAddress));
        frame.append(static_cast<char>(n & 0xFF));
    }
    frame.append(data);
    return withChecksum(frame);
}

QByteArray encodeRequestFrame(const QByteArray &data) {
    const auto n = static_cast<int>(data.size());
    QByteArray frame;
    frame.append(static_cast<char>(n <= kTesterShortFormMax ? 0x80 | n : 0x80));
    frame.append(static_cast<char>(kEcuAddress));
    frame.append(static_cast<char>(kTesterAddress));
    if (n > kTesterShortFormMax)
        frame.append(static_cast<char>(n & 0xFF));
    frame.append(data);
    return withChecksum(frame);
}

QString hexText(const QByteArray &bytes) {
    if (bytes.isEmpty())
        return QStringLiteral("null");
    return QString::fromLatin1(bytes.toHex().toUpper());
}

std::optional<ParsedFrame> parseFrame(const QByteArray &bytes) {
    ParsedFrame frame;
    if (scanFrame(bytes, 0, &frame) != Scan::Good)
        return std::nullopt;
    return frame;
}

void RequestParser::append(const QByteArray &bytes) {
    m_buffer.append(bytes);
    if (m_buffer.size() > 2 * kMaxFrameSize) {
        const qsizetype excess = m_buffer.size() - kMaxFrameSize;
        m_discarded.append(m_buffer.left(excess));
        m_buffer.remove(0, excess);
    }
}

namespace {
// The bytes from `offset` on may begin a request from the tester to the ECU.
bool requestHeaderAt(const QByteArray &bytes, qsizetype offset) {
    const qsizetype available = bytes.size() - offset;
    return (available < 2 || byteAt(bytes, offset + 1) == kEcuAddress) &&
           (available < 3 || byteAt(bytes, offset + 2) == kTesterAddress);
}
} // namespace

std::optional<ParsedFrame> RequestParser::next() {
    qsizetype firstIncomplete = -1;
    for (qsizetype offset = 0; offset < m_buffer.size(); ++offset) {
        ParsedFrame frame;
        const Scan scan = scanFrame(m_buffer, offset, &frame);
        if (scan == Scan::Incomplete && firstIncomplete < 0)
            firstIncomplete = offset;
        // A request to the ECU still arriving: a frame-like run inside its data must not cut it.
        if (scan == Scan::Incomplete && requestHeaderAt(m_buffer, offset))
            break;
        if (scan != Scan::Good)
            continue;
        m_discarded.append(m_buffer.left(offset));
        m_buffer.remove(0, offset + frame.size);
        if (frame.target != kEcuAddress) // a frame for another unit on the line
            return next();
        return frame;
    }
    // Nothing before the first incomplete candidate can still become a good frame.
    const qsizetype keepFrom = firstIncomplete < 0 ? m_buffer.size() : firstIncomplete;
    m_discarded.append(m_buffer.left(keepFrom));
    m_buffer.remove(0, keepFrom);
    return std::nullopt;
}

QByteArray RequestParser::takeDiscarded() {
    QByteArray out;
    out.swap(m_discarded);
    return out;
}

void RequestParser::clear() {
    m_discarded.append(m_buffer);
    m_buffer.clear();
}

} // namespace korvel::sim
