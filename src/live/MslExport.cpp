#include "live/MslExport.h"

#include "core/Numbers.h"
#include "live/FrameLayout.h"

#include <QHash>

namespace korvel {
namespace {

const QString kMslTimeName = QStringLiteral("Time");
const QString kMslTimeUnit = QStringLiteral("s");
constexpr char kMslSeparator = '\t';
constexpr int kMslTimeDecimals = 3;

// Units by channel name: the names are shared by both protocols.
const QHash<QString, QString> &unitsByChannelName() {
    static const QHash<QString, QString> units = [] {
        const std::pair<const char *, const char *> rows[] = {
            {"Температура охлаждающей жидкости", "°C"},
            {"Соотношение воздух/топливо", "AFR"},
            {"AFR LC-1", "AFR"},
            {"Давление", "kPa"},
            {"Положение дроссельной заслонки", "%"},
            {"Скорость вращения двигателя", "rpm"},
            {"Скорость вращения двигателя на ХХ", "rpm"},
            {"Время цикла", "us"},
            {"Желаемое положение РХХ", "step"},
            {"Текущее положение РХХ", "step"},
            {"Фаза впрыска", "°"},
            {"Угол опережения зажигания", "°"},
            {"Коррекция УОЗ цилиндра 1", "°"},
            {"Коррекция УОЗ цилиндра 2", "°"},
            {"Коррекция УОЗ цилиндра 3", "°"},
            {"Коррекция УОЗ цилиндра 4", "°"},
            {"АЦП ДД", "V"},
            {"АЦП ДМРВ", "V"},
            {"АЦП напряжения бортсети", "V"},
            {"АЦП ДПДЗ", "V"},
            {"АЦП ДТОЖ", "V"},
            {"АЦП ДТВ", "V"},
            {"Изменение АЦП ДК", "V"},
            {"Октан Корректор", "°"},
            {"Скорость автомобиля", "km/h"},
            {"Желаемые обороты ХХ", "rpm"},
            {"Температура воздуха", "°C"},
            {"АЦП ДК", "V"},
            {"Длительность импульса впрыска", "ms"},
            {"Массовый расход воздуха", "kg/h"},
            {"Цикловой расход воздуха", "mg"},
            {"Часовой расход топлива", "l/h"},
            {"Путевой расход топлива", "l/100km"},
            {"Загрузка форсунок", "%"},
        };
        QHash<QString, QString> out;
        for (const auto &[name, unit] : rows)
            out.insert(QString::fromUtf8(name), QString::fromUtf8(unit));
        return out;
    }();
    return units;
}

} // namespace

QString channelUnit(Protocol protocol, int channel) {
    return unitsByChannelName().value(channelNames(protocol).value(channel - 1));
}

QByteArray mslOfLog(const CsvLogContents &log) {
    const int channels = log.channelCount();
    QStringList names{kMslTimeName}, units{kMslTimeUnit};
    for (int channel = 1; channel <= channels; ++channel) {
        names += log.channelNames().at(channel - 1);
        units += channelUnit(log.protocol, channel);
    }
    QByteArray out = names.join(QLatin1Char(kMslSeparator)).toUtf8() + '\n';
    out += units.join(QLatin1Char(kMslSeparator)).toUtf8() + '\n';
    out.reserve(out.size() + static_cast<qsizetype>(log.frames.size()) * (channels * 6 + 12));
    for (const LoggedFrame &frame : log.frames) {
        out += fixedDecimal(frame.seconds, kMslTimeDecimals).toLatin1();
        for (int channel = 1; channel <= channels; ++channel) {
            out += kMslSeparator;
            out += shortestDecimal(roundTo(frame.channels.value(channel), 3)).toLatin1();
        }
        out += '\n';
    }
    return out;
}

} // namespace korvel
