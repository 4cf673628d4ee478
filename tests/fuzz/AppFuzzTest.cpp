#include "Mutator.h"
#include "TestSupport.h"
#include "core/Cp1251.h"
#include "core/SettingsList.h"
#include "core/TextFile.h"

#include <gtest/gtest.h>

#include <limits>

using namespace korvel;
using korvel::fuzz::Mutator;

namespace {

constexpr int kAppTextIterations = 12000;
constexpr int kFileIterations = 300;
constexpr int kNumberIterations = 20000;

std::vector<QByteArray> configSeeds() {
    return {
        QByteArray("a=1\r\nb=2\r\n"),
        QByteArray("\xD0\xF3\xF1\xF1\xEA\xE8\xE9=\xE4\xE0\r\nx=\r\n"), // Windows-1251
        QByteArray("\xD0\xA0\xD1\x83=\xD0\xB4\xD0\xB0\nport=COM3\n"),  // UTF-8
        QByteArray("\xEF\xBB\xBF"
                   "a=\xD0\xB4\r\n"), // UTF-8 with a mark
        QByteArray("\xFF\xFE"
                   "a\0=\0"
                   "1\0\r\0\n\0",
                   12), // UTF-16LE
        QByteArray("\xFE\xFF\0a\0=\0"
                   "1\0\n",
                   10), // UTF-16BE
        QByteArray("no equals\r\n\r\nk=v=w"),
    };
}

Mutator textMutator(std::uint64_t seed) {
    Mutator mutator(seed, configSeeds(), 200);
    mutator.setDictionary({"\r", "\n", "\r\n", "=", "\xEF\xBB\xBF", "\xFF\xFE", "\xFE\xFF", "\xD0", "\x98"});
    return mutator;
}

std::string shown(const QByteArray &bytes) {
    return bytes.toHex(' ').toStdString();
}

// Optional sign, ASCII digits only, within int.
std::optional<int> referenceInt(const QString &text) {
    qsizetype at = 0;
    const bool negative = text.startsWith(QLatin1Char('-'));
    if (negative || text.startsWith(QLatin1Char('+')))
        at = 1;
    if (at == text.size())
        return std::nullopt;
    long long value = 0;
    for (; at < text.size(); ++at) {
        const char16_t c = text[at].unicode();
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = std::min(value * 10 + (c - u'0'), 1LL << 40);
    }
    value = negative ? -value : value;
    if (value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max())
        return std::nullopt;
    return static_cast<int>(value);
}

} // namespace

// Lines written back in the layout they were read in read back the same.
TEST(TextFileFuzz, DecodeEncodeDecodeKeepsLinesAndLayout) {
    Mutator mutator = textMutator(0x4150'0001);
    for (int i = 0; i < kAppTextIterations; ++i) {
        const QByteArray bytes = mutator.next();
        const TextLines first = decodeLines(bytes);
        // Windows-1251's unassigned byte reads as U+FFFD, which the code page cannot write
        // back; SettingsList::save turns such files into UTF-8 (checked below).
        if (first.layout.encoding == TextEncoding::Cp1251 && !cp1251::canEncode(first.lines.join(QString())))
            continue;
        const TextLines again = decodeLines(encodeLines(first.lines, first.layout));
        EXPECT_EQ(again.lines, first.lines) << shown(bytes);
        EXPECT_EQ(again.layout.encoding, first.layout.encoding) << shown(bytes);
        EXPECT_EQ(again.layout.lineBreak, first.layout.lineBreak) << shown(bytes);
        EXPECT_EQ(again.layout.finalLineBreak, first.layout.finalLineBreak) << shown(bytes);
        if (HasFailure())
            return;
    }
}

// A lone CR ending a file without a final LF stays in its line through a round trip.
TEST(TextFileFuzz, KeepsALoneCrAtTheEndOfTheLastLine) {
    const TextLines first = decodeLines(QByteArray("a=b\r\r"));
    const TextLines again = decodeLines(encodeLines(first.lines, first.layout));
    EXPECT_EQ(again.lines, first.lines);
}

TEST(SettingsListFuzz, LoadSaveLoadKeepsTheEntries) {
    const test::WorkDir dir(false);
    const QString path = dir.path(QStringLiteral("config.ini"));
    Mutator mutator = textMutator(0x4150'0002);
    for (int i = 0; i < kFileIterations; ++i) {
        const QByteArray bytes = mutator.next();
        dir.write(QStringLiteral("config.ini"), bytes);
        SettingsList first;
        ASSERT_TRUE(first.load(path));
        ASSERT_EQ(first.save(path), QString()) << shown(bytes);
        SettingsList again;
        ASSERT_TRUE(again.load(path));
        EXPECT_EQ(again.lines(), first.lines()) << shown(bytes);
        if (HasFailure())
            return;
    }
}

TEST(SettingsListFuzz, ParseDecimalIntAgreesWithTheReference) {
    Mutator mutator(0x4150'0003, {});
    const QString alphabet = QStringLiteral("0123456789012345678901234567890123456789+- \t\n\r.xe٣０");
    const QString edges[] = {"2147483647", "2147483648", "-2147483648", "-2147483649", "+0", "-0", "+", "-", ""};
    for (int i = 0; i < kNumberIterations; ++i) {
        QString text = mutator.randomText(alphabet, 14);
        if (mutator.oneIn(4))
            text.insert(mutator.below(static_cast<int>(text.size()) + 1), edges[mutator.below(std::size(edges))]);
        EXPECT_EQ(parseDecimalInt(text), referenceInt(text)) << "'" << text.toStdString() << "'";
        if (HasFailure())
            return;
    }
}

// A final LF is not part of a number ("$" alone would let "12\n" through).
TEST(SettingsListFuzz, ParseDecimalIntRefusesAFinalLineFeed) {
    EXPECT_EQ(parseDecimalInt(QStringLiteral("12\n")), std::nullopt);
    EXPECT_EQ(parseDecimalInt(QStringLiteral("-7\n")), std::nullopt);
}
