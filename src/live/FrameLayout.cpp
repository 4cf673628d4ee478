#include "live/FrameLayout.h"

#include "core/Numbers.h"

namespace korvel {
namespace {

template <double LiveParameters::*Member> double &field(LiveParameters &p) {
    return p.*Member;
}

template <std::size_t Cylinder> double &ignitionCorrOf(LiveParameters &p) {
    return p.ignitionCorr[Cylinder - 1];
}

// One scaling per line, as the tables below use them.
// clang-format off
// Sensor bytes are 8-bit conversions of a 5 V range.
constexpr double kAdcVolts = 0.01953125;

double asIs(int x) { return x; }
double minus40(int x) { return x - 40.0; }
// Round((x + 128) × 14.7 × 100 / 256) / 100, with the product kept exact so
// that the halves (x = 64 gives 1102.5) round to even as intended.
double afr(int x) { return roundHalfEven((x + 128) * 1470.0 / 256.0) / 100.0; }
double over256(int x) { return x / 256.0; }
double times40(int x) { return x * 40.0; }
double times10(int x) { return x * 10.0; }
double times3(int x) { return x * 3.0; }
double half(int x) { return x / 2.0; }
double correction(int x) { return (x + 128) / 256.0; }
double adcVolts(int x) { return x * kAdcVolts; }
double fastBattery(int x) { return x * 0.093; }
double standardBattery(int x) { return x * 0.05 + 5.2; }
// x / 2 rounded up in integer arithmetic, then volts.
double halfAdcVolts(int x) { return (((x * 128 + 128) >> 8) & 0xFF) * kAdcVolts; }
double standardO2(int x) { return x * 0.0048828125; }
double over125(int x) { return x / 125.0; }
double over10(int x) { return x / 10.0; }
double over6(int x) { return x / 6.0; }
double over50(int x) { return x / 50.0; }
double over128(int x) { return x / 128.0; }
// clang-format on

using P = LiveParameters;
constexpr int D = LayoutRow::kDerived;
constexpr auto U8 = ByteType::U8;
constexpr auto S8 = ByteType::S8;
constexpr auto U16 = ByteType::U16;

const LayoutRow kFastLayout[] = {
    {7, U8, asIs, field<&P::ecuWorkPoint>, 1, "Рабочая точка RPM_GBC_3D"},
    {8, U8, minus40, field<&P::coolantTemp>, 2, "Температура охлаждающей жидкости"},
    {9, U8, afr, field<&P::afrEcu>, 3, "Соотношение воздух/топливо"},
    {D, U8, nullptr, field<&P::afrWideband>, 4, "AFR LC-1", ChannelForm::Hundredths},
    {D, U8, nullptr, nullptr, 5, "Давление", ChannelForm::WholeKpa},
    {18, U8, correction, field<&P::injCorrection>, 6, "Коэф. коррекции времени впрыска", ChannelForm::Thousandths},
    {11, U8, asIs, field<&P::throttle>, 7, "Положение дроссельной заслонки"},
    {12, U8, times40, field<&P::rpm>, 8, "Скорость вращения двигателя"},
    {13, U8, times40, field<&P::idleRpm>, 9, "Скорость вращения двигателя на ХХ"},
    {14, U16, asIs, field<&P::cycleTime>, 10, "Время цикла"},
    {16, U8, asIs, field<&P::idleValveDesired>, 11, "Желаемое положение РХХ"},
    {17, U8, asIs, field<&P::idleValveCurrent>, 12, "Текущее положение РХХ"},
    {10, S8, over256, field<&P::rco>, 13, "Коэффициент коррекции(RCO)"},
    {19, S8, times3, field<&P::injPhase>, 14, "Фаза впрыска"},
    {20, S8, half, field<&P::ignition>, 15, "Угол опережения зажигания"},
    {21, S8, half, ignitionCorrOf<1>, 16, "Коррекция УОЗ цилиндра 1"},
    {22, S8, half, ignitionCorrOf<2>, 17, "Коррекция УОЗ цилиндра 2"},
    {23, S8, half, ignitionCorrOf<3>, 18, "Коррекция УОЗ цилиндра 3"},
    {24, S8, half, ignitionCorrOf<4>, 19, "Коррекция УОЗ цилиндра 4"},
    {25, U8, adcVolts, field<&P::adcKnock>, 20, "АЦП ДД"},
    {26, U8, adcVolts, field<&P::adcMaf>, 21, "АЦП ДМРВ"},
    {27, U8, fastBattery, field<&P::batteryU>, 22, "АЦП напряжения бортсети"},
    {28, S8, asIs, field<&P::adcRco>, 23, "АЦП RCO"},
    {29, U8, adcVolts, field<&P::adcTps>, 24, "АЦП ДПДЗ"},
    {30, U8, adcVolts, field<&P::adcCoolant>, 25, "АЦП ДТОЖ"},
    {31, U8, adcVolts, field<&P::adcAirTemp>, 26, "АЦП ДТВ"},
    {32, U8, halfAdcVolts, field<&P::adcO2Change>, 27, "Изменение АЦП ДК"},
    {34, S8, half, field<&P::octaneCorr>, 28, "Октан Корректор"},
    {35, U8, asIs, field<&P::vehicleSpeed>, 29, "Скорость автомобиля"},
    {36, U8, times10, field<&P::desiredIdleRpm>, 30, "Желаемые обороты ХХ"},
    {37, U8, minus40, field<&P::airTemp>, 31, "Температура воздуха"},
    {38, U8, halfAdcVolts, field<&P::adcO2>, 32, "АЦП ДК"},
    {39, U16, over256, field<&P::gtcRich>, 33, "Коэф. коррекции GTC при обогащении"},
    {41, U16, over256, field<&P::gtcLean>, 34, "Коэф. коррекции GTC при обеднении"},
    {43, U16, over125, field<&P::injPulse>, 35, "Длительность импульса впрыска"},
    {45, U16, over10, field<&P::airMass>, 36, "Массовый расход воздуха"},
    {47, U16, over6, field<&P::cyclicAir>, 37, "Цикловой расход воздуха"},
    {49, U16, over50, field<&P::fuelPerHour>, 38, "Часовой расход топлива"},
    {D, U8, nullptr, field<&P::injectorLoad>, 39, "Загрузка форсунок"},
};

// Channel 2 carries the wideband ratio here; the ECU's own ratio has no channel.
const LayoutRow kStandardLayout[] = {
    {8, U8, minus40, field<&P::coolantTemp>, 1, "Температура охлаждающей жидкости"},
    {D, U8, nullptr, field<&P::afrWideband>, 2, "Соотношение воздух/топливо", ChannelForm::Hundredths},
    {9, U8, afr, field<&P::afrEcu>, 0, nullptr},
    {10, U8, asIs, field<&P::throttle>, 3, "Положение дроссельной заслонки"},
    {11, U8, times40, field<&P::rpm>, 4, "Скорость вращения двигателя"},
    {12, U8, times10, field<&P::idleRpm>, 5, "Скорость вращения двигателя на ХХ"},
    {13, U8, asIs, field<&P::idleValveDesired>, 6, "Желаемое положение РХХ"},
    {14, U8, asIs, field<&P::idleValveCurrent>, 7, "Текущее положение РХХ"},
    {15, U8, correction, field<&P::injCorrection>, 8, "Коэф. коррекции времени впрыска", ChannelForm::Thousandths},
    {16, S8, half, field<&P::ignition>, 9, "Угол опережения зажигания"},
    {17, U8, asIs, field<&P::vehicleSpeed>, 10, "Скорость автомобиля"},
    {18, U8, standardBattery, field<&P::batteryU>, 11, "АЦП напряжения бортсети"},
    {19, U8, times10, field<&P::desiredIdleRpm>, 12, "Желаемые обороты ХХ"},
    {20, U8, standardO2, field<&P::adcO2>, 13, "АЦП ДК"},
    {22, U16, over125, field<&P::injPulse>, 14, "Длительность импульса впрыска"},
    {24, U16, over10, field<&P::airMass>, 15, "Массовый расход воздуха"},
    {26, U16, over6, field<&P::cyclicAir>, 16, "Цикловой расход воздуха"},
    {28, U16, over50, field<&P::fuelPerHour>, 17, "Часовой расход топлива"},
    {30, U16, over128, field<&P::fuelPerDistance>, 18, "Путевой расход топлива"},
    {D, U8, nullptr, field<&P::injectorLoad>, 19, "Загрузка форсунок"},
};

// Bit 0 of the second flag byte is not used.
const FlagRow kFlags[] = {
    {1, "признак выключения двигателя", 0, 0, 2, 0},
    {2, "признак холостого хода", 0, 1, 2, 1},
    {3, "признак обогащения по мощности", 0, 2, 2, 2},
    {4, "признак блокировки подачи топлива", 0, 3, 2, 3},
    {5, "признак зоны регулирования по датчику кислорода", 0, 4, 2, 4},
    {6, "признак попадания в зону детонации", 0, 5, 2, 5},
    {7, "признак разрешения продувки адсорбера", 0, 6, 2, 6},
    {8, "признак сохранения результатов обучения по датчику кислорода", 0, 7, 2, 7},
    {9, "признак наличия холостого хода в прошлом цикле вычислений", 1, 1, 3, 1},
    {10, "разрешение блокировки выхода из режима холостого хода", 1, 2, 3, 2},
    {11, "признак попадания в зону детонации в прошлом цикле вычислений", 1, 3, 3, 3},
    {12, "признак наличия продувки адсорбера в прошлом цикле вычислений", 1, 4, 3, 4},
    {13, "признак обнаружения детонации", 1, 5, 3, 5},
    {14, "признак прошлого состояния датчика кислорода", 1, 6, 3, 6},
    {15, "признак текущего состояния датчика кислорода", 1, 7, 3, 7},
    {16, "флаг готовности датчика кислорода", 33, 0, 21, 0},
    {17, "флаг разрешения нагрева датчика кислород", 33, 1, 21, 1},
};

QStringList buildChannelNames(Protocol protocol) {
    QStringList names(channelCount(protocol));
    for (const LayoutRow &row : frameLayout(protocol))
        if (row.channel > 0)
            names[row.channel - 1] = QString::fromUtf8(row.name);
    for (const FlagRow &flag : kFlags)
        names[flagChannel(protocol, flag.number) - 1] = QString::fromUtf8(flag.name);
    return names;
}

} // namespace

std::optional<Protocol> protocolOfFrame(qsizetype length) {
    if (length == kFastFrameLength)
        return Protocol::Fast;
    if (length == kStandardFrameLength)
        return Protocol::Standard;
    return std::nullopt;
}

int frameLength(Protocol protocol) {
    return protocol == Protocol::Fast ? kFastFrameLength : kStandardFrameLength;
}

int channelCount(Protocol protocol) {
    return protocol == Protocol::Fast ? kFastChannelCount : kStandardChannelCount;
}

std::span<const LayoutRow> frameLayout(Protocol protocol) {
    if (protocol == Protocol::Fast)
        return kFastLayout;
    return kStandardLayout;
}

std::span<const FlagRow> flagTable() {
    return kFlags;
}

int flagChannel(Protocol protocol, int flagNumber) {
    return channelCount(protocol) - kFlagCount + flagNumber;
}

const QStringList &channelNames(Protocol protocol) {
    static const QStringList fast = buildChannelNames(Protocol::Fast);
    static const QStringList standard = buildChannelNames(Protocol::Standard);
    return protocol == Protocol::Fast ? fast : standard;
}

} // namespace korvel
