#pragma once

#include <QByteArray>

namespace korvel::test {

// Wire bytes written as hex digits ("8110F1..."), as in the protocol's tables.
inline QByteArray hex(const char *text) {
    return QByteArray::fromHex(text);
}

} // namespace korvel::test
