#include "core/TextFile.h"
#include "core/Cp1251.h"

#include <gtest/gtest.h>

using namespace korvel;

TEST(TextFile, DetectsEncodings) {
    struct Case {
        QByteArray bytes;
        TextEncoding expected;
    };
    const Case cases[] = {
        {QByteArray("a=b\r\n"), TextEncoding::Cp1251},
        {QByteArray("\xD2\xE0\xE9=1\r\n"), TextEncoding::Cp1251}, // "Тай" in 1251
        {QString::fromUtf8("Таймаут1=20\n").toUtf8(), TextEncoding::Utf8},
        {QByteArray("\xEF\xBB\xBF") + QString::fromUtf8("Тип=авто").toUtf8(), TextEncoding::Utf8Bom},
        {QByteArray("\xFF\xFE"
                    "a\0=\0",
                    6),
         TextEncoding::Utf16LE},
        {QByteArray("\xFE\xFF\0a\0=", 6), TextEncoding::Utf16BE},
    };
    for (const Case &c : cases)
        EXPECT_EQ(detectEncoding(c.bytes), c.expected) << c.bytes.toHex().constData();
}

TEST(TextFile, Cp1251RoundTripsEveryAssignedByte) {
    QByteArray all;
    for (int b = 1; b < 256; ++b)
        if (b != 0x98)
            all.append(static_cast<char>(b));
    EXPECT_EQ(cp1251::encode(cp1251::decode(all)), all);
    EXPECT_EQ(cp1251::decode("\xCA\xEE\xF0\xE2\xE5\xEB"), QString::fromUtf8("Корвел"));
    EXPECT_FALSE(cp1251::canEncode(QString::fromUtf8("日本")));
}

TEST(TextFile, LinesKeepTheirLayout) {
    // The last two: a zero-width no-break space (U+FEFF) right after the byte order mark is text, not a second mark.
    for (const QByteArray &bytes : {QByteArray("a=1\r\nb=2\r\n"), QByteArray("a=1\nb=2"),
                                    QByteArray("a=1\r\n\r\nb=\r\n"), QByteArray("\xFE\xFF\xFE\xFF\0a", 6),
                                    QByteArray("\xFF\xFE\xFF\xFE"
                                               "a\0",
                                               6)}) {
        const TextLines text = decodeLines(bytes);
        EXPECT_EQ(encodeLines(text.lines, text.layout), bytes);
    }
    EXPECT_EQ(decodeLines("a=1\r\nb=2\r\n").lines, (QStringList{"a=1", "b=2"}));
}
