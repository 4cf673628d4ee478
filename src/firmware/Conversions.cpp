#include "firmware/Conversions.h"

#include <QtEndian>

#include <cstring>

namespace korvel {
namespace {

int hexDigit(QChar c) {
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

bool fits(const QByteArray &map, std::int64_t offset, std::int64_t width) {
    // Written so that no offset, however large, can overflow the sum.
    return offset >= 0 && width >= 0 && width <= map.size() && offset <= map.size() - width;
}

QChar mapChar(unsigned char b) {
    if (b >= 0xC0)
        return QChar(char16_t(0x0410 + (b - 0xC0))); // А..я are contiguous in both tables
    if (b == 0xA8)
        return QChar(char16_t(0x0401)); // Ё
    if (b == 0xB8)
        return QChar(char16_t(0x0451)); // ё
    return QChar(char16_t(b));
}

} // namespace

QString notValidIntegerText(const QString &text) {
    return QStringLiteral("'%1' is not a valid integer value").arg(text);
}

Outcome<std::int64_t> HexToInt(const QString &text) {
    if (text.size() > 8)
        return Outcome<std::int64_t>::failure(notValidIntegerText(text));
    std::int64_t value = 0;
    for (QChar c : text) {
        const int digit = hexDigit(c);
        if (digit < 0)
            return Outcome<std::int64_t>::failure(notValidIntegerText(text));
        value = value * 16 + digit;
    }
    return Outcome<std::int64_t>::success(value);
}

QString IntToHexEven(std::int64_t value) {
    const auto bits = value < 0 ? static_cast<std::uint64_t>(value) & 0xFFFFFFFFU : static_cast<std::uint64_t>(value);
    QString digits = QString::number(bits, 16).toUpper();
    if (digits.size() % 2 != 0)
        digits.prepend(QLatin1Char('0'));
    return digits;
}

std::array<bool, 8> ByteToBits(int value) {
    std::array<bool, 8> bits{};
    for (int j = 0; j < 8; ++j)
        bits[static_cast<std::size_t>(j)] = ((value >> j) & 1) != 0;
    return bits;
}

QString DecodeMapText(QByteArrayView bytes) {
    QString text;
    text.reserve(bytes.size());
    for (char b : bytes)
        text.append(mapChar(static_cast<unsigned char>(b)));
    return text;
}

QString DecodeMapText(const QString &latin1Text) {
    QString text;
    text.reserve(latin1Text.size());
    for (QChar c : latin1Text)
        text.append(c.unicode() <= 0xFF ? mapChar(static_cast<unsigned char>(c.unicode())) : c);
    return text;
}

Outcome<std::uint32_t> ReadMapDword(const QByteArray &map, std::int64_t offset, bool masked) {
    if (!fits(map, offset, 4))
        return Outcome<std::uint32_t>::failure(QStringLiteral("Смещение вне карты: %1").arg(offset));
    const std::uint32_t raw = qFromLittleEndian<quint32>(map.constData() + offset);
    return Outcome<std::uint32_t>::success(masked ? raw ^ kMapAddressMask : raw);
}

Outcome<double> ReadMapDouble(const QByteArray &map, std::int64_t offset) {
    if (!fits(map, offset, 8))
        return Outcome<double>::failure(QStringLiteral("Смещение вне карты: %1").arg(offset));
    const quint64 bits = qFromLittleEndian<quint64>(map.constData() + offset);
    double value = 0;
    std::memcpy(&value, &bits, sizeof value);
    return Outcome<double>::success(value);
}

} // namespace korvel
