#include "firmware/Complectation.h"

#include "core/ProgramLog.h"
#include "firmware/Conversions.h"
#include "firmware/FirmwareFamily.h"
#include "firmware/FirmwareImage.h"
#include "firmware/TuningAddressSets.h"

namespace korvel {
namespace {

struct BitLine {
    int byteIndex;
    int bit;
    const char16_t *line;
};

// Lines for every firmware family.
constexpr BitLine kCommonLines[] = {
    {0, 0, u"Датчик кислорода"},
    {0, 1, u"Адсорбер"},
    {0, 2, u"Соленойд наддува"},
    {0, 3, u"Датчик детонации"},
    {0, 4, u"ДТВ"},
    {0, 5, u"ДФ"},
    {0, 6, u"Постоянная подача топлива"},
    {1, 4, u"Датчик скорости"},
};

// Lines of families 0 to 2; J7ESA keeps other things in these bytes.
constexpr BitLine kJ5VrkLines[] = {
    {7, 0, u"Зажигание по дад"},
    {7, 1, u"Таблица попавки 32 на 32"},
    {7, 2, u"ALF от давления"},
    {7, 3, u"БЦН от давления"},
    {7, 5, u"УОЗ из таблицы по давлению"},
    {7, 6, u"Таблица поправка ЦН 32 на 32 по давлению"},
    {10, 5, u"Выбирать уоз и alf по давлению( turbo)"},
    {8, 1, u"Наполнение по БЦН"},
};

struct AirBit {
    int byteIndex;
    int bit;
};
constexpr AirBit kAirBitJ5Vrk{8, 2};
constexpr AirBit kAirBitJ7{5, 0};

bool bitOf(const std::array<int, kComplectationBytes> &bytes, int byteIndex, int bit) {
    return ByteToBits(bytes[static_cast<std::size_t>(byteIndex)])[static_cast<std::size_t>(bit)];
}

} // namespace

const std::array<std::uint16_t, kComplectationBytes> &complectationAddresses() {
    static const std::array<std::uint16_t, kComplectationBytes> addresses = {
        0x6051, 0x6052, 0x60DE, 0x5F00, 0x5F01, 0x5F02, 0x5F03, 0x5F04, 0x5F05, 0x5F06, 0x5F07};
    return addresses;
}

QString ImageComplectationString(const FirmwareImage &image) {
    QString text;
    for (std::uint16_t address : complectationAddresses())
        text += IntToHexEven(image.byteAt(address).value_or(0));
    return text;
}

Outcome<ComplectationReading> readComplectation(const QStringList &texts, int firmwareFamily) {
    std::array<int, kComplectationBytes> bytes{};
    for (int i = 0; i < kComplectationBytes && i < texts.size(); ++i) {
        const Outcome<std::int64_t> value = HexToInt(texts.at(i));
        if (!value)
            return Outcome<ComplectationReading>::failure(value.error());
        bytes[static_cast<std::size_t>(i)] = static_cast<int>(value.value() & 0xFF);
    }

    ComplectationReading reading;
    reading.lines.append(kComplectationTitle);
    for (const BitLine &b : kCommonLines)
        if (bitOf(bytes, b.byteIndex, b.bit))
            reading.lines.append(QString::fromUtf16(b.line));
    reading.phaseSensor = bitOf(bytes, 0, 5);

    const bool j7 = firmwareFamily == firmwarefamily::J7esa;
    if (!j7)
        for (const BitLine &b : kJ5VrkLines)
            if (bitOf(bytes, b.byteIndex, b.bit))
                reading.lines.append(QString::fromUtf16(b.line));
    const AirBit air = j7 ? kAirBitJ7 : kAirBitJ5Vrk;
    reading.airBit = bitOf(bytes, air.byteIndex, air.bit) ? QStringLiteral("1") : QStringLiteral("0");
    return Outcome<ComplectationReading>::success(reading);
}

Outcome<TuningTargets> DecodeComplectation(const QStringList &texts, int firmwareFamily, TuningAddressSets &sets,
                                           const QString &tuneBy, ProgramLog &log, ControlBoard *board) {
    const Outcome<ComplectationReading> reading = readComplectation(texts, firmwareFamily);
    if (!reading) {
        log.append(reading.error());
        return Outcome<TuningTargets>::failure(reading.error());
    }
    for (const QString &line : reading.value().lines)
        log.append(line);
    sets.setPhaseSensor(reading.value().phaseSensor);
    sets.selectAirMeasurement(reading.value().airBit, tuneBy, log, board);
    return Outcome<TuningTargets>::success({sets.air().correctionTable, sets.air().gbcTable});
}

} // namespace korvel
