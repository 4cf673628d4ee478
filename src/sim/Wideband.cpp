#include "sim/Wideband.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace korvel::sim {

namespace {

constexpr double kStoichiometric = 14.7;
constexpr int kInnovateAfrMultiplier = 147; // AF in the packet: AFR = lambda x 14.7
constexpr int kInnovateMaxL = 0x1FFF;       // 13 bits

constexpr std::array kProfiles{
    WidebandProfile{WidebandType::None, "none", 0, 0},
    WidebandProfile{WidebandType::Innovate, "Innovate", 19200, 81.92},
    WidebandProfile{WidebandType::Aem, "AEM", 9600, 100},
    WidebandProfile{WidebandType::Korvel, "Korvel", 9600, 100},
    WidebandProfile{WidebandType::Alc1, "ALC-1", 9600, 100},
    WidebandProfile{WidebandType::Apsx, "APSX", 9600, 100},
};

// Innovate MTS: header word B2 82, then 0 1 0 F2 F1 F0 1 AF7 | 0 AF6..AF0, then
// 0 0 L12..L7 | 0 L6..L0. Function F: 000 valid, 100 warming up (L = heater
// temperature in 0.1 %), 110 error.
QByteArray innovatePacket(double afr, WidebandStatus status, double warmupFraction) {
    int function = 0;
    int l = innovateLambdaWord(afr);
    if (status == WidebandStatus::WarmingUp) {
        function = 0b100;
        l = static_cast<int>(std::lround(std::clamp(warmupFraction, 0.0, 1.0) * 1000));
    } else if (status == WidebandStatus::Error) {
        function = 0b110;
        l = 0;
    }
    QByteArray packet("\xB2\x82", 2);
    packet.append(static_cast<char>(0x40 | (function << 2) | 0x02 | ((kInnovateAfrMultiplier >> 7) & 1)));
    packet.append(static_cast<char>(kInnovateAfrMultiplier & 0x7F));
    packet.append(static_cast<char>((l >> 7) & 0x3F));
    packet.append(static_cast<char>(l & 0x7F));
    return packet;
}

// A fixed number of characters: as many decimals as fit.
QByteArray fixedWidth(double afr, int width) {
    afr = std::clamp(afr, 0.0, width == 4 ? 99.9 : 99.99);
    const int integerDigits = afr >= 10 ? 2 : 1;
    const int decimals = std::max(0, width - integerDigits - 1);
    return QByteArray::number(afr, 'f', decimals).left(width);
}

} // namespace

const WidebandProfile &widebandProfile(WidebandType type) {
    for (const WidebandProfile &profile : kProfiles)
        if (profile.type == type)
            return profile;
    return kProfiles[0];
}

std::optional<WidebandType> widebandTypeFromName(const QString &name) {
    for (const WidebandProfile &profile : kProfiles)
        if (name.compare(QLatin1String(profile.name), Qt::CaseInsensitive) == 0)
            return profile.type;
    return std::nullopt;
}

QString widebandTypeName(WidebandType type) {
    return QString::fromLatin1(widebandProfile(type).name);
}

int innovateLambdaWord(double afr) {
    const double lambda = afr / kStoichiometric;
    return static_cast<int>(std::clamp(std::lround((lambda - 0.5) * 1000), 0L, long(kInnovateMaxL)));
}

QByteArray encodeWidebandMessage(WidebandType type, double afr, WidebandStatus status, double warmupFraction) {
    if (type == WidebandType::Innovate)
        return innovatePacket(afr, status, warmupFraction);
    if (status != WidebandStatus::Valid)
        return {};
    switch (type) {
    case WidebandType::Aem:
        return fixedWidth(afr, 4) + '\r';
    case WidebandType::Korvel:
        return fixedWidth(afr, 5) + '\r';
    case WidebandType::Alc1:
        return QByteArray(1, '\xAA') + fixedWidth(afr, 4);
    case WidebandType::Apsx:
        return QByteArray(1, static_cast<char>(std::clamp(std::lround(afr * 10), 0L, 255L)));
    default:
        return {};
    }
}

} // namespace korvel::sim
