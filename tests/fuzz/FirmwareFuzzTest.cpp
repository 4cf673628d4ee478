#include "Mutator.h"
#include "core/Cp1251.h"
#include "firmware/CellType.h"
#include "firmware/Conversions.h"
#include "firmware/FirmwareStore.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <limits>

using namespace korvel;
using korvel::fuzz::Mutator;

namespace {

constexpr int kFirmwareTextIterations = 20000;
constexpr int kCellIterations = 5000;

const QString kHexish = QStringLiteral("0123456789ABCDEF0123456789ABCDEFabcdefG x-+ЖЁ\t");

// 0 to 8 upper-case hex digits; their value.
std::optional<std::int64_t> referenceHex(const QString &text) {
    if (text.size() > 8)
        return std::nullopt;
    std::int64_t value = 0;
    for (QChar c : text) {
        const QString digits = QStringLiteral("0123456789ABCDEF");
        const qsizetype digit = digits.indexOf(c);
        if (digit < 0)
            return std::nullopt;
        value = value * 16 + digit;
    }
    return value;
}

QString withoutLeadingZeros(QString text) {
    while (text.startsWith(QLatin1Char('0')))
        text.remove(0, 1);
    return text;
}

std::int64_t interestingInt(Mutator &m) {
    constexpr std::int64_t values[] = {0,         1,         -1,        127,       128,          -128,
                                       -129,      255,       256,       32767,     32768,        -32768,
                                       -32769,    65535,     65536,     65537,     0xFFFFFFFF,   0x100000000,
                                       INT32_MIN, INT32_MAX, INT64_MIN, INT64_MAX, INT64_MIN + 1};
    return m.oneIn(2) ? values[m.below(std::size(values))] : m.between(-100000, 100000);
}

// Address texts: valid ones near the ends of the image, and their mutations.
QString addressText(Mutator &m) {
    QByteArray text = m.next();
    if (m.oneIn(3)) {
        std::string raw = text.toStdString();
        for (char &c : raw)
            c = "0123456789ABCDEFabcdef"[static_cast<unsigned char>(c) % 22];
        text = QByteArray::fromStdString(raw);
    }
    return QString::fromLatin1(text.left(10));
}

int signed8(int b) {
    return b >= 128 ? b - 256 : b;
}
int signed16(int w) {
    return w >= 32768 ? w - 65536 : w;
}

// What ReadCell gives back after WriteCell(raw) for the types that round-trip.
int expectedAfterWrite(std::int64_t raw, int cellType) {
    const int word = static_cast<int>(((raw % 65536) + 65536) % 65536);
    switch (cellType) {
    case celltype::Unsigned8:
        return static_cast<int>(std::clamp<std::int64_t>(raw, 0, 255));
    case celltype::Signed8:
        return signed8(word & 0xFF);
    case celltype::Unsigned16Le:
    case celltype::Unsigned16Be:
        return word;
    default:
        return signed16(word);
    }
}

FirmwareImage randomImage(Mutator &m) {
    return *FirmwareImage::fromBytes(m.randomBytes(kFirmwareSize));
}

} // namespace

TEST(ConversionsFuzz, HexToIntAcceptsExactlyUpperCaseHexThatFits) {
    Mutator mutator(0x4657'0001, {});
    for (int i = 0; i < kFirmwareTextIterations; ++i) {
        const QString text = mutator.randomText(kHexish, 11);
        const Outcome<std::int64_t> parsed = HexToInt(text);
        const auto expected = referenceHex(text);
        ASSERT_EQ(parsed.ok(), expected.has_value()) << "'" << text.toStdString() << "'";
        if (!expected) {
            EXPECT_EQ(parsed.error(), notValidIntegerText(text));
            continue;
        }
        ASSERT_EQ(parsed.value(), *expected) << text.toStdString();
        // Back to text: the same digits without leading zeros, padded to an even count.
        QString digits = withoutLeadingZeros(text);
        if (digits.isEmpty())
            digits = QStringLiteral("00");
        else if (digits.size() % 2 != 0)
            digits.prepend(QLatin1Char('0'));
        EXPECT_EQ(IntToHexEven(parsed.value()), digits) << text.toStdString();
    }
}

TEST(ConversionsFuzz, IntToHexEvenReadsBackThroughHexToInt) {
    Mutator mutator(0x4657'0002, {});
    for (int i = 0; i < kFirmwareTextIterations; ++i) {
        const std::int64_t value =
            mutator.oneIn(2) ? mutator.between(INT32_MIN, 0x1FFFFFFFFLL) : interestingInt(mutator);
        const QString text = IntToHexEven(value);
        EXPECT_EQ(text.size() % 2, 0) << value;
        EXPECT_EQ(text, text.toUpper()) << value;
        // Negative values are written as their 32-bit two's complement.
        const Outcome<std::int64_t> back = HexToInt(text);
        ASSERT_EQ(back.ok(), value <= 0xFFFFFFFFLL) << value << " " << text.toStdString();
        if (back) {
            EXPECT_EQ(back.value(), value & 0xFFFFFFFFLL) << value;
        }
        const std::array<bool, 8> bits = ByteToBits(static_cast<int>(value));
        int byte = 0;
        for (int j = 0; j < 8; ++j)
            byte |= bits[static_cast<std::size_t>(j)] ? 1 << j : 0;
        EXPECT_EQ(byte, static_cast<int>(value) & 0xFF) << value;
    }
}

TEST(ConversionsFuzz, DecodeMapTextPutsCyrillicInPlaceAndLeavesTheRest) {
    Mutator mutator(0x4657'0003, {});
    for (int i = 0; i < kFirmwareTextIterations / 4; ++i) {
        const QByteArray bytes = mutator.randomBytes(mutator.below(40));
        const QString text = DecodeMapText(QByteArrayView(bytes));
        ASSERT_EQ(text.size(), bytes.size());
        EXPECT_EQ(DecodeMapText(QString::fromLatin1(bytes)), text);
        const QString cp1251 = cp1251::decode(bytes);
        for (qsizetype j = 0; j < bytes.size(); ++j) {
            const auto b = static_cast<unsigned char>(bytes[j]);
            const bool letter = b >= 0xC0 || b == 0xA8 || b == 0xB8;
            EXPECT_EQ(text[j], letter ? cp1251[j] : QChar(b)) << "byte " << int(b);
        }
        const QString wide = QStringLiteral("Ω") + QString::fromLatin1(bytes) + QStringLiteral("€");
        EXPECT_EQ(DecodeMapText(wide), QStringLiteral("Ω") + text + QStringLiteral("€"));
    }
}

TEST(ConversionsFuzz, MapReadsStayInsideTheMap) {
    Mutator mutator(0x4657'0004, {});
    for (int i = 0; i < kFirmwareTextIterations; ++i) {
        const QByteArray map = mutator.randomBytes(mutator.below(24));
        constexpr std::int64_t kTop = std::numeric_limits<std::int64_t>::max();
        const std::int64_t offset = mutator.oneIn(16)  ? kTop - mutator.below(9)
                                    : mutator.oneIn(8) ? mutator.between(-1'000'000'000'000LL, 1'000'000'000'000LL)
                                                       : mutator.between(-10, map.size() + 2);
        const bool masked = mutator.oneIn(2);
        const Outcome<std::uint32_t> dword = ReadMapDword(map, offset, masked);
        ASSERT_EQ(dword.ok(), offset >= 0 && map.size() >= 4 && offset <= map.size() - 4)
            << offset << " in " << map.size();
        if (dword) {
            std::uint32_t raw = 0;
            for (int j = 3; j >= 0; --j)
                raw = raw << 8 | static_cast<std::uint8_t>(map.at(static_cast<qsizetype>(offset + j)));
            EXPECT_EQ(dword.value(), masked ? raw ^ kMapAddressMask : raw);
        }
        const Outcome<double> real = ReadMapDouble(map, offset);
        ASSERT_EQ(real.ok(), offset >= 0 && map.size() >= 8 && offset <= map.size() - 8)
            << offset << " in " << map.size();
        if (real) {
            double expected = 0;
            // The host is little-endian, as the map.
            std::memcpy(&expected, map.constData() + static_cast<qsizetype>(offset), sizeof expected);
            EXPECT_EQ(std::memcmp(&expected, &real.value(), sizeof expected), 0);
        }
    }
}

// An offset near INT64_MAX is refused; the bounds check itself must not overflow.
TEST(ConversionsFuzz, MapReadsRefuseOffsetsNearTheTopOfTheRange) {
    const QByteArray map(16, '\x11');
    EXPECT_FALSE(ReadMapDword(map, std::numeric_limits<std::int64_t>::max() - 1, false));
    EXPECT_FALSE(ReadMapDouble(map, std::numeric_limits<std::int64_t>::max() - 3));
}

// Cell reads and writes with arbitrary address texts and cell types: refusals
// change nothing, accepted writes touch only the cell's bytes and read back.
TEST(FirmwareStoreFuzz, CellAccessStaysInsideTheImage) {
    Mutator mutator(0x4657'0005, {"0", "00", "FFFF", "FFFE", "FFFD", "10000", "8000", "7FFF", "", "0FFFF", "FFFFFFFF"},
                    10);
    FirmwareStore store;
    store.loadImage(randomImage(mutator));
    store.loadComparison(randomImage(mutator));
    int written = 0;
    for (int i = 0; i < kCellIterations; ++i) {
        const QString address = addressText(mutator);
        const int cellType = mutator.oneIn(3) ? mutator.between(-300, 300) : mutator.below(celltype::LastKnown + 1);
        const auto parsed = referenceHex(address);
        const bool valid = parsed && isKnownCellType(cellType) && *parsed + cellWidth(cellType) <= kFirmwareSize;
        // Built by QString: GCC 12's -Wrestrict misreads "literal" + std::string in a Release build.
        const std::string what = QStringLiteral("'%1' type %2").arg(address, QString::number(cellType)).toStdString();

        const int source = mutator.below(4);
        const Outcome<int> read = store.ReadCell(address, cellType, source);
        ASSERT_EQ(read.ok(), valid) << what;
        if (valid) {
            const RawRange range = rawRange(cellType);
            EXPECT_GE(read.value(), range.minimum) << what;
            EXPECT_LE(read.value(), range.maximum) << what;
            if (source != imagesource::Firmware && source != imagesource::Comparison) {
                EXPECT_EQ(read.value(), 0) << what;
            }
        }

        const FirmwareImage before = store.image();
        const int undoBefore = store.undoCount();
        const std::int64_t raw = interestingInt(mutator);
        ASSERT_EQ(store.WriteCell(raw, cellType, address), valid) << what;
        if (!valid) {
            EXPECT_TRUE(store.image() == before) << "a refused write changed the image: " << what;
            EXPECT_EQ(store.undoCount(), undoBefore) << what;
            continue;
        }
        ++written;
        EXPECT_EQ(store.undoCount(), std::min(undoBefore + 1, UndoHistory::kSlots)) << what;
        const auto a = static_cast<qsizetype>(*parsed);
        QByteArray onlyTheCell = before.bytes();
        onlyTheCell[a] = store.image().bytes()[a];
        if (cellWidth(cellType) == 2)
            onlyTheCell[a + 1] = store.image().bytes()[a + 1];
        EXPECT_TRUE(store.image().bytes() == onlyTheCell) << "a byte outside the cell changed: " << what;
        if (cellType == celltype::HighByteOnly) {
            const int word = static_cast<int>(((raw % 65536) + 65536) % 65536);
            const auto lowByte = [](int w) { return static_cast<int>(w & 0xFF); };
            EXPECT_EQ(*store.image().byteAt(a), word < 256 ? lowByte(word) : word >> 8) << what << " raw " << raw;
            EXPECT_EQ(*store.image().byteAt(a + 1), word < 256 ? 0 : lowByte(word)) << what << " raw " << raw;
        }
        if (cellType != celltype::HighByteOnly) {
            EXPECT_EQ(store.ReadCell(address, cellType).value(), expectedAfterWrite(raw, cellType))
                << what << " raw " << raw;
        }
        if (HasFailure())
            return;
    }
    EXPECT_GT(written, kCellIterations / 10) << "the inputs must reach the write path";
}

// Tuning's direct stores: a run is written whole or not at all, and only inside the image.
TEST(FirmwareStoreFuzz, DirectStoresStayInsideTheImage) {
    Mutator mutator(0x4657'0006, {});
    FirmwareStore store;
    store.loadImage(randomImage(mutator));
    int stored = 0;
    for (int i = 0; i < kCellIterations; ++i) {
        const std::int64_t address = mutator.oneIn(4) ? mutator.between(-1'000'000'000'000LL, 1'000'000'000'000LL)
                                                      : mutator.between(-10, kFirmwareSize + 2);
        const QByteArray run = mutator.randomBytes(mutator.below(9));
        const bool fits = address >= 0 && address + run.size() <= kFirmwareSize;
        const QByteArray before = store.image().bytes();
        const bool single = run.size() == 1 && mutator.oneIn(2);
        const bool done =
            single ? store.storeByte(address, static_cast<std::uint8_t>(run[0])) : store.storeBytes(address, run);
        ASSERT_EQ(done, fits) << address << " + " << run.size();
        QByteArray expected = before;
        if (fits)
            expected.replace(static_cast<qsizetype>(address), run.size(), run);
        ASSERT_TRUE(store.image().bytes() == expected) << address << " + " << run.size();
        EXPECT_EQ(store.undoCount(), 0) << "direct stores push no undo copy";
        stored += done ? 1 : 0;
    }
    EXPECT_GT(stored, kCellIterations / 10);
}

// Addresses near INT64_MAX are refused without overflowing the bounds check.
TEST(FirmwareStoreFuzz, StoresRefuseAddressesNearTheTopOfTheRange) {
    FirmwareStore store;
    EXPECT_FALSE(store.storeByte(std::numeric_limits<std::int64_t>::max(), 1));
    EXPECT_FALSE(store.storeBytes(std::numeric_limits<std::int64_t>::max() - 1, QByteArray(4, '\1')));
    EXPECT_TRUE(store.image() == FirmwareImage());
}
