#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace korvel {

// How a text file of ours was stored, so that it can be written back the same way.
enum class TextEncoding { Cp1251, Utf8, Utf8Bom, Utf16LE, Utf16BE };

struct TextLayout {
    TextEncoding encoding = TextEncoding::Cp1251;
    QString lineBreak = QStringLiteral("\r\n");
    bool finalLineBreak = true;
};

struct TextLines {
    QStringList lines;
    TextLayout layout;
};

// Byte-order marks decide first; without one the file is Windows-1251 unless it
// is valid UTF-8 with non-ASCII bytes (the same file saved by a Linux editor).
TextEncoding detectEncoding(const QByteArray &bytes);
TextLines decodeLines(const QByteArray &bytes);
QByteArray encodeLines(const QStringList &lines, const TextLayout &layout);

// Reads a whole file as lines; false when it cannot be opened.
bool readTextFile(const QString &path, TextLines &out);

} // namespace korvel
