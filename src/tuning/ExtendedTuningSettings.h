#pragma once

#include "tuning/DelayCurve.h"

#include <optional>

namespace korvel {

class ProgramLog;
class SettingsList;

// The settings of the extended tuning. "Расширенная автонастройка" = "да"
// turns it on; an empty setting takes its default (a config.ini written
// before the setting existed), one that does not parse stops tuning from
// starting and is named in the log.
struct ExtendedTuningSettings {
    bool on = false;                // "Расширенная автонастройка"
    bool widebandState = true;      // "Фильтр состояния ШДК"
    double minCoolant = 70;         // "Не настраивать ниже температуры ОЖ", °C
    double fuelCutHoldMs = 2000;    // "Пауза после отсечки топлива(мс)"
    double enrichmentHoldMs = 2000; // "Пауза после обогащения по мощности(мс)"
    double maxThrottleRate = 10;    // "Макс. скорость дросселя(%/с)"; 0 or less: no limit
    double maxRpm = 6500;           // "Не настраивать выше оборотов"
    double maxLoad = 100;           // "Не настраивать выше %", throttle percent
    double centreZonePct = 100;     // "Зона центра ячейки(%)", of its half width; 100: the whole cell
    DelayCurve delay = DelayCurve::standard(); // "Задержка ШДК(об/мин:мс)"
    bool ecuTrimOut = true;                    // "Исключать коррекцию ЭБУ"
    double stepPct = 5;  // "Макс. шаг поправки(%)", points of the correction per evaluation
    double bandPct = 25; // "Макс. отклонение поправки(%)", points from the value at the start

    static std::optional<ExtendedTuningSettings> read(const SettingsList &settings, ProgramLog *log);
};

} // namespace korvel
