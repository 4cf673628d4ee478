#pragma once

#include <QString>

#include <optional>

namespace korvel {

class ProgramLog;
class SettingsList;

// The tuning settings as numbers. The accumulation reads them on every tick,
// so a change in the settings page acts on the next tick; starting tuning
// reads them once more and refuses to start on a value that does not parse.
struct TuningSettings {
    double stationaryRpm = 100;  // "Стационарность по RPM", percent of a cell
    double stationaryLoad = 100; // "Стационарность по %"
    int stationaryCycles = 4;    // "Стационарность по циклам"
    int cyclesPerEvaluation = 7; // "Количество циклов для обработки"
    double weight = 70;          // "Весовой коэф. коррекции(%)"
    double minRpm = 0;           // "Не настраивать ниже оборотов"
    int minThrottle = 2;         // "Не настраивать ниже %"
    double corrMin = 0.05;       // "Минимальная поправка" (four-point method)
    double corrMax = 1.95;       // "Максимальная поправка"
    double neighbourFactor = 0;  // "Коэф. обучения соседних РТ", percent; 0 or less: off
    bool byPressure = false;     // "Настройка по" = "Давлению"
    bool fourPoint = false;      // "Метод 4 точек" = "да"
    bool phaseTuning = false;    // "Настройка фазы впрыска" = "да"
    bool phaseOpenValve = true;  // "Метод фазы впрыска" = "В открытый клапан"
    int intakeOpen = 0;          // "Открытие Впускного до ВМТ", degrees before TDC
    int intakeClose = 0;         // "Закрытие Впускного после НМТ", degrees after BDC

    // Every number parses (a decimal point or comma either way), or the first
    // one that does not is named in the log (when one is given) and nothing is
    // returned. The valve timings are only needed with phase tuning.
    static std::optional<TuningSettings> read(const SettingsList &settings, ProgramLog *log);
};

inline const QString kOpenValve = QStringLiteral("В открытый клапан");

} // namespace korvel
