#pragma once

#include <QByteArray>
#include <QString>

#include <ostream>

// Readable failure messages for Qt strings and byte strings.
inline void PrintTo(const QString &text, std::ostream *os) {
    *os << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QByteArray &bytes, std::ostream *os) {
    *os << bytes.toHex(' ').toUpper().toStdString();
}
