#include "ecu/KwpFrame.h"
#include "core/Bytes.h"

namespace korvel {

namespace {
constexpr int kFormatLengthLimit = 16;
constexpr std::uint8_t kFormatBase = 0x80;
constexpr std::uint8_t kLengthMask = 0x3F;

} // namespace

std::uint8_t KwpFrame::checksum(QByteArrayView bytes) {
    unsigned sum = 0;
    for (char byte : bytes)
        sum += static_cast<std::uint8_t>(byte);
    return static_cast<std::uint8_t>(sum & 0xFFU);
}

QByteArray KwpFrame::build(QByteArrayView data) {
    const auto length = data.size();
    QByteArray frame;
    frame.reserve(length + 5);
    if (length >= 1 && length <= kFormatLengthLimit) {
        frame.append(static_cast<char>(kFormatBase + length));
        frame.append(static_cast<char>(EcuAddress));
        frame.append(static_cast<char>(TesterAddress));
    } else {
        frame.append(static_cast<char>(kFormatBase));
        frame.append(static_cast<char>(EcuAddress));
        frame.append(static_cast<char>(TesterAddress));
        frame.append(static_cast<char>(length & 0xFF));
    }
    frame.append(data.data(), length);
    frame.append(static_cast<char>(checksum(frame)));
    return frame;
}

QByteArray KwpFrame::parse(QByteArrayView bytes) {
    if (bytes.size() < 3)
        return {};
    qsizetype length = byteAt(bytes, 0) & kLengthMask;
    qsizetype header = 3;
    if (length == 0) {
        if (bytes.size() < 4)
            return {};
        length = byteAt(bytes, 3);
        header = 4;
    }
    const qsizetype total = header + length + 1;
    if (bytes.size() < total || checksum(bytes.first(total - 1)) != byteAt(bytes, total - 1))
        return {};
    return bytes.sliced(header, length).toByteArray();
}

QString hexText(QByteArrayView bytes) {
    if (bytes.isEmpty())
        return QStringLiteral("null");
    return QString::fromLatin1(bytes.toByteArray().toHex().toUpper());
}

} // namespace korvel
