#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>

namespace korvel::sim {

// K-line addresses as the ECU sees them.
inline constexpr std::uint8_t kEcuAddress = 0x10;
inline constexpr std::uint8_t kTesterAddress = 0xF1;

// The two header forms of a KWP2000 frame: the data length in the low six
// bits of the format byte (short), or format 0x80 followed by a length byte.
enum class HeaderForm { Short, LengthByte };

// 8-bit sum of the bytes.
std::uint8_t checksum(const QByteArray &bytes);

// A whole frame from the ECU to the tester. The short form is used only while
// the data fit in six bits (1 to 63 bytes); longer data always get a length byte.
QByteArray encodeAnswerFrame(const QByteArray &data, HeaderForm form);

// A whole frame from the tester to the ECU, in the tester's form: 0x80 + n for
// 1 to 16 data bytes, otherwise 0x80 and a length byte.
QByteArray encodeRequestFrame(const QByteArray &data);

// Bytes as trace and log lines show them: two uppercase hex digits per byte,
// no separators; "null" for none.
QString hexText(const QByteArray &bytes);

struct ParsedFrame {
    std::uint8_t target = 0;
    std::uint8_t source = 0;
    QByteArray data;
    int size = 0;   // bytes on the wire, header and checksum included
    QByteArray raw; // the whole frame as it came
};

// Parses one frame at the start of `bytes` by the general rule (length in the
// low six bits of the format byte, or in the byte after the source address when
// those are 0). Empty when the bytes are incomplete, malformed or the checksum
// is wrong.
std::optional<ParsedFrame> parseFrame(const QByteArray &bytes);

// The ECU's receiver: collects the bytes it understood and yields the requests
// addressed to it. Resynchronises over garbage: the earliest complete frame
// with a good checksum wins and everything before it is discarded, unless a
// request to the ECU is still arriving before it; bytes that can no longer
// start a good frame are dropped as soon as that is certain.
class RequestParser {
public:
    void append(const QByteArray &bytes);
    // The next good request, or nothing yet.
    std::optional<ParsedFrame> next();
    // Bytes dropped as not understood since the last call (for the trace).
    QByteArray takeDiscarded();
    void clear();
    int pending() const { return static_cast<int>(m_buffer.size()); }

private:
    QByteArray m_buffer;
    QByteArray m_discarded;
};

} // namespace korvel::sim
