#pragma once

#include "firmware/Outcome.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <array>
#include <cstdint>

namespace korvel {

// The small conversions every firmware reader shares. Addresses travel as
// upper-case hexadecimal text; lower case is refused, as the ECU tools we
// exchange files with never write it.

// The conversion error text of a refused number, e.g. "'6dc8' is not a valid integer value".
QString notValidIntegerText(const QString &text);

// 0 to 8 characters "0"-"9", "A"-"F", most significant first; "" gives 0.
// Anything else is refused with notValidIntegerText.
Outcome<std::int64_t> HexToInt(const QString &text);

// Upper-case hex digits without leading zeros, one "0" in front when their
// count is odd: 0 -> "00", 10 -> "0A", 256 -> "0100". A negative value is
// written as its 32-bit two's complement.
QString IntToHexEven(std::int64_t value);

// Element j is bit j of the low byte (bit 0 least significant).
std::array<bool, 8> ByteToBits(int value);

// Map texts are single bytes of Windows-1251: the 66 Cyrillic letters are put
// in place, every other byte stays its Latin-1 character.
QString DecodeMapText(QByteArrayView bytes);
// The same for text whose characters each hold one map byte (Latin-1 widened).
QString DecodeMapText(const QString &latin1Text);

// The fixed mask of the map's masked addresses.
inline constexpr std::uint32_t kMapAddressMask = 0x5A3C96E1U;

// The 32-bit little-endian value at offset (XOR-ed with the mask when
// masked); refused when the four bytes do not lie inside the map.
Outcome<std::uint32_t> ReadMapDword(const QByteArray &map, std::int64_t offset, bool masked);
// The little-endian IEEE-754 double at offset; refused outside the map.
Outcome<double> ReadMapDouble(const QByteArray &map, std::int64_t offset);

} // namespace korvel
