#include "core/TextFile.h"

#include "core/Cp1251.h"

#include <QFile>
#include <QStringDecoder>
#include <QStringEncoder>

namespace korvel {
namespace {

const QByteArray kBomUtf8("\xEF\xBB\xBF", 3);
const QByteArray kBomUtf16LE("\xFF\xFE", 2);
const QByteArray kBomUtf16BE("\xFE\xFF", 2);

bool isValidUtf8(const QByteArray &bytes) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    (void)decoder.decode(bytes).operator QString();
    return !decoder.hasError();
}

bool hasNonAscii(const QByteArray &bytes) {
    for (char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80)
            return true;
    return false;
}

QString decodeBody(const QByteArray &bytes, TextEncoding encoding) {
    switch (encoding) {
    case TextEncoding::Cp1251:
        return cp1251::decode(bytes);
    case TextEncoding::Utf8:
        return QString::fromUtf8(bytes);
    case TextEncoding::Utf8Bom:
        return QString::fromUtf8(bytes.mid(3));
    // The byte order mark is already off; a U+FEFF after it is text (kept, not skipped as a second mark).
    case TextEncoding::Utf16LE:
        return QStringDecoder(QStringDecoder::Utf16LE, QStringDecoder::Flag::ConvertInitialBom).decode(bytes.mid(2));
    case TextEncoding::Utf16BE:
        return QStringDecoder(QStringDecoder::Utf16BE, QStringDecoder::Flag::ConvertInitialBom).decode(bytes.mid(2));
    }
    return {};
}

QByteArray encodeBody(const QString &text, TextEncoding encoding) {
    switch (encoding) {
    case TextEncoding::Cp1251:
        return cp1251::encode(text);
    case TextEncoding::Utf8:
        return text.toUtf8();
    case TextEncoding::Utf8Bom:
        return kBomUtf8 + text.toUtf8();
    case TextEncoding::Utf16LE:
        return kBomUtf16LE + QStringEncoder(QStringEncoder::Utf16LE).encode(text);
    case TextEncoding::Utf16BE:
        return kBomUtf16BE + QStringEncoder(QStringEncoder::Utf16BE).encode(text);
    }
    return {};
}

} // namespace

TextEncoding detectEncoding(const QByteArray &bytes) {
    if (bytes.startsWith(kBomUtf8))
        return TextEncoding::Utf8Bom;
    if (bytes.startsWith(kBomUtf16LE))
        return TextEncoding::Utf16LE;
    if (bytes.startsWith(kBomUtf16BE))
        return TextEncoding::Utf16BE;
    if (hasNonAscii(bytes) && isValidUtf8(bytes))
        return TextEncoding::Utf8;
    return TextEncoding::Cp1251;
}

TextLines decodeLines(const QByteArray &bytes) {
    TextLines out;
    out.layout.encoding = detectEncoding(bytes);
    QString text = decodeBody(bytes, out.layout.encoding);
    if (text.isEmpty()) {
        out.layout.finalLineBreak = false;
        return out;
    }
    const bool crlf = text.contains(QStringLiteral("\r\n")) || !text.contains(QLatin1Char('\n'));
    out.layout.lineBreak = crlf ? QStringLiteral("\r\n") : QStringLiteral("\n");
    out.layout.finalLineBreak = text.endsWith(QLatin1Char('\n'));
    if (out.layout.finalLineBreak)
        text.chop(text.endsWith(QStringLiteral("\r\n")) ? 2 : 1);
    // Mixed endings are read as lines either way; a lone CR stays in its line.
    // The last line's break, if any, is gone already: only the lines before
    // it lose the CR of their CR LF.
    out.lines = text.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i + 1 < out.lines.size(); ++i)
        if (out.lines[i].endsWith(QLatin1Char('\r')))
            out.lines[i].chop(1);
    return out;
}

QByteArray encodeLines(const QStringList &lines, const TextLayout &layout) {
    QString text = lines.join(layout.lineBreak);
    if (layout.finalLineBreak && !lines.isEmpty())
        text += layout.lineBreak;
    return encodeBody(text, layout.encoding);
}

bool readTextFile(const QString &path, TextLines &out) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    out = decodeLines(file.readAll());
    return true;
}

} // namespace korvel
