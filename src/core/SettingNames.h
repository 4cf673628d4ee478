#pragma once

#include <QString>
#include <QStringList>

#include <vector>

namespace korvel {

// Every setting the program reads, in the order of the settings page.
namespace setting {
inline const QString EcuCom = QStringLiteral("Ecu com");
inline const QString EcuComPickList = QStringLiteral("Ecu Com");
inline const QString EcuSpeed = QStringLiteral("Скорость ECU COM");
inline const QString Timeout1 = QStringLiteral("Таймаут1");
inline const QString Timeout2 = QStringLiteral("Таймаут2");
inline const QString Protocol = QStringLiteral("Протокол обмена");
inline const QString LambdaCom = QStringLiteral("LC-1 Com");
inline const QString OxygenSensor = QStringLiteral("Датчик кислорода");
inline const QString LoadDefaultFirmware = QStringLiteral("Загрузить прошивку по умолчанию");
inline const QString DefaultFirmware = QStringLiteral("Прошивка по умолчанию");
inline const QString FirmwareMap = QStringLiteral("Карта прошивки");
inline const QString WriteLogs = QStringLiteral("Писать логи");
inline const QString FirmwareType = QStringLiteral("Тип прошивки");
inline const QString ShowErrors = QStringLiteral("Показывать ошибки");
inline const QString ShowKnock = QStringLiteral("Показывать детонацию");
inline const QString ShowMinMax = QStringLiteral("Показывать min/max");
inline const QString OsTheme = QStringLiteral("Тема ОС");
inline const QString TuneBy = QStringLiteral("Настройка по");
inline const QString PhaseTuning = QStringLiteral("Настройка фазы впрыска");
inline const QString PhaseMethod = QStringLiteral("Метод фазы впрыска");
inline const QString IntakeOpen = QStringLiteral("Открытие Впускного до ВМТ");
inline const QString IntakeClose = QStringLiteral("Закрытие Впускного после НМТ");
inline const QString FourPoints = QStringLiteral("Метод 4 точек");
inline const QString ConstantFuel = QStringLiteral("Постаянная подача топлива");
inline const QString StationaryRpm = QStringLiteral("Стационарность по RPM");
inline const QString StationaryLoad = QStringLiteral("Стационарность по %");
inline const QString StationaryCycles = QStringLiteral("Стационарность по циклам");
inline const QString MinLoad = QStringLiteral("Не настраивать ниже %");
inline const QString MinRpm = QStringLiteral("Не настраивать ниже оборотов");
inline const QString CyclesPerEvaluation = QStringLiteral("Количество циклов для обработки");
inline const QString CorrectionWeight = QStringLiteral("Весовой коэф. коррекции(%)");
inline const QString MinCorrection = QStringLiteral("Минимальная поправка");
inline const QString MaxCorrection = QStringLiteral("Максимальная поправка");
inline const QString WriteBackInterval = QStringLiteral("Интервал коррекции БЦН(мс)");
inline const QString NeighbourInterval = QStringLiteral("Интервал обучения соседних РТ");
inline const QString NeighbourFactor = QStringLiteral("Коэф. обучения соседних РТ");
inline const QString FirmwareSaveInterval = QStringLiteral("Время перезаписи прошивки(мс)");
// "да": every block written into the ECU's RAM is read back and compared.
inline const QString VerifyWrites = QStringLiteral("Проверять запись");
inline const QString FastExchange = QStringLiteral("Быстрый обмен");
// The extended tuning: sample filters, the wideband's delay, authority limits.
// A config.ini without the master setting reads "нет": the plain rules.
inline const QString ExtendedTuning = QStringLiteral("Расширенная автонастройка");
inline const QString WidebandStateFilter = QStringLiteral("Фильтр состояния ШДК");
inline const QString MinCoolant = QStringLiteral("Не настраивать ниже температуры ОЖ");
inline const QString FuelCutHoldOff = QStringLiteral("Пауза после отсечки топлива(мс)");
inline const QString EnrichmentHoldOff = QStringLiteral("Пауза после обогащения по мощности(мс)");
inline const QString MaxThrottleRate = QStringLiteral("Макс. скорость дросселя(%/с)");
inline const QString MaxRpm = QStringLiteral("Не настраивать выше оборотов");
inline const QString MaxLoad = QStringLiteral("Не настраивать выше %");
inline const QString CentreZone = QStringLiteral("Зона центра ячейки(%)");
inline const QString WidebandDelay = QStringLiteral("Задержка ШДК(об/мин:мс)");
inline const QString EcuTrimOut = QStringLiteral("Исключать коррекцию ЭБУ");
inline const QString MaxCorrectionStep = QStringLiteral("Макс. шаг поправки(%)");
inline const QString MaxCorrectionBand = QStringLiteral("Макс. отклонение поправки(%)");

inline const QString Yes = QStringLiteral("да");
inline const QString No = QStringLiteral("нет");
inline const QString FastProtocol = QStringLiteral("kvl");
inline const QString StandardProtocol = QStringLiteral("стандартный");
inline const QString Narrowband = QStringLiteral("УДК");
// "Настройка по" = "Давлению": the tuning load axis is the manifold pressure.
inline const QString TuneByPressure = QStringLiteral("Давлению");
} // namespace setting

struct SettingDefinition {
    QString name;
    QString initial;      // the built-in value shown before config.ini is loaded
    QStringList pickList; // offered values, in the order offered
};

// The built-in list, in display order.
const std::vector<SettingDefinition> &settingDefinitions();

// The order in which the drop-down lists are installed after loading.
const QStringList &pickListOrder();

} // namespace korvel
