#include "Mutator.h"
#include "lambda/WidebandParsers.h"

#include <QLocale>

#include <gtest/gtest.h>

#include <cmath>

using namespace korvel;
using korvel::fuzz::bytesOf;
using korvel::fuzz::Mutator;

namespace {

constexpr int kLambdaIterations = 8000;

// A lambda packet (function bits 000) carrying `word`.
QByteArray innovatePacket(int word) {
    return bytesOf({0xB2, 0x82, 0x43, 0x13, static_cast<std::uint8_t>((word >> 7) & 0x7F),
                    static_cast<std::uint8_t>(word & 0x7F)});
}

// The stream of each controller type and a valid message that ends it.
struct Stream {
    const char *type;
    std::vector<QByteArray> seeds;
    std::vector<QByteArray> dictionary;
    QByteArray resync;  // a message that must be read after any garbage
    double resyncValue; // its value
};

std::vector<Stream> streams() {
    return {
        {"Innovate",
         {innovatePacket(1000) + innovatePacket(500), innovatePacket(1539) + bytesOf({0xB2, 0x82, 0x5F, 0x13, 0, 0})},
         {bytesOf({0xB2, 0x82}), bytesOf({0xB2})},
         innovatePacket(700) + innovatePacket(500),
         14.7},
        {"AEM", {"14.7\r", "14.7\r\n13.2\r\n", " 9.9\r"}, {"\r", "\n", "."}, "\r12.5\r", 12.5},
        {"Korvel", {"14.70\r", "14.71\r\n13.20\r\n"}, {"\r", "\n", "."}, "\r12.50\r", 12.5},
        {"ALC-1",
         {"\xAA"
          "14.7",
          "\xAA"
          "14.7\xAA"
          "13.3"},
         {"\xAA", "."},
         "\xAA"
         "12.5",
         12.5},
        {"APSX", {bytesOf({147}), bytesOf({0, 255, 147})}, {}, bytesOf({125}), 12.5},
    };
}

// What each parser promises about the values it reports.
void checkReading(const WidebandType &type, const WidebandReading &reading) {
    const std::string what = std::string(type.name.toStdString()) + " '" + reading.afr.toStdString() + "'";
    if (type.name == QLatin1String("Innovate") || type.name == QLatin1String("APSX")) {
        // A converted number, rounded to two decimals, its text the same number.
        const double high = type.name == QLatin1String("Innovate") ? 29.97 : 25.5;
        const double low = type.name == QLatin1String("Innovate") ? 7.35 : 0.0;
        EXPECT_TRUE(reading.afr_float == 0 || (reading.afr_float >= low && reading.afr_float <= high)) << what;
        EXPECT_NEAR(reading.afr_float * 100, std::round(reading.afr_float * 100), 1e-6) << what;
        EXPECT_EQ(QLocale::c().toDouble(reading.afr), reading.afr_float) << what;
        return;
    }
    // The text of a fixed-length message, read as a number.
    EXPECT_EQ(reading.afr.size(), type.valueLength) << what;
    bool ok = false;
    const double value = QLocale::c().toDouble(reading.afr.trimmed(), &ok);
    EXPECT_TRUE(ok) << what;
    if (!std::isnan(value)) {
        EXPECT_EQ(reading.afr_float, value) << what;
    }
}

std::vector<double> numbers(const WidebandReadings &readings) {
    std::vector<double> out;
    for (const WidebandReading &r : readings)
        out.push_back(r.afr_float);
    return out;
}

} // namespace

// Arbitrary chunks: values in the documented range; the stream parsers keep
// their state between reads, so the cut points must not change the values.
TEST(WidebandParsersFuzz, ChunksGiveValuesInRangeWhereverTheyAreCut) {
    std::uint64_t seed = 0x4C41'0001;
    for (const Stream &stream : streams()) {
        const WidebandType *type = widebandType(stream.type);
        ASSERT_NE(type, nullptr) << stream.type;
        const bool perRead = type->name == QLatin1String("APSX"); // the last byte of each read
        Mutator mutator(seed++, stream.seeds, 200);
        mutator.setDictionary(stream.dictionary);
        for (int i = 0; i < kLambdaIterations; ++i) {
            const QByteArray input = mutator.next();
            WidebandState whole;
            const WidebandReadings atOnce = type->parse(whole, input, type->valueLength);
            WidebandState cut;
            std::vector<double> pieces;
            for (QByteArrayView piece : mutator.split(input)) {
                const WidebandReadings readings = type->parse(cut, piece, type->valueLength);
                if (perRead) {
                    EXPECT_EQ(readings.size(), piece.isEmpty() ? 0U : 1U) << stream.type;
                }
                for (const WidebandReading &r : readings) {
                    checkReading(*type, r);
                    pieces.push_back(r.afr_float);
                }
            }
            for (const WidebandReading &r : atOnce)
                checkReading(*type, r);
            if (!perRead) {
                EXPECT_EQ(numbers(atOnce), pieces)
                    << stream.type << " iteration " << i << " " << input.toHex(' ').toStdString();
            }
            ASSERT_GE(whole.buffpoint, 0);
            ASSERT_LT(whole.buffpoint, WidebandState::Slots);
            if (HasFailure())
                return;
        }
    }
}

// Whatever garbage came before, a complete message that follows is read.
TEST(WidebandParsersFuzz, ResynchroniseAfterGarbage) {
    std::uint64_t seed = 0x4C41'0002;
    for (const Stream &stream : streams()) {
        const WidebandType *type = widebandType(stream.type);
        ASSERT_NE(type, nullptr) << stream.type;
        Mutator mutator(seed++, stream.seeds, 100);
        mutator.setDictionary(stream.dictionary);
        for (int i = 0; i < kLambdaIterations / 4; ++i) {
            const QByteArray garbage = mutator.next();
            WidebandState state;
            (void)type->parse(state, garbage, type->valueLength);
            const WidebandReadings readings = type->parse(state, stream.resync, type->valueLength);
            ASSERT_FALSE(readings.empty()) << stream.type << " after " << garbage.toHex(' ').toStdString();
            EXPECT_EQ(readings.back().afr_float, stream.resyncValue)
                << stream.type << " after " << garbage.toHex(' ').toStdString();
        }
    }
}

// A message one character short after a CR gives no value; it never borrows
// a stale byte from the ring ("14.7\r1.2\r" must not give 11.2).
TEST(WidebandParsersFuzz, AsciiValueNeverTakesAByteFromBeforeTheLastCr) {
    const WidebandType *aem = widebandType(QStringLiteral("AEM"));
    ASSERT_NE(aem, nullptr);
    WidebandState state;
    const std::vector<double> values = numbers(aem->parse(state, "14.7\r1.2\r", aem->valueLength));
    EXPECT_EQ(values, std::vector<double>{14.7})
        << values.size() << " values, the last " << (values.empty() ? 0.0 : values.back());
}
