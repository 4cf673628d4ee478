#pragma once

#include "core/Protocol.h"

#include <QString>

#include <optional>

namespace korvel {

class ProgramLog;
class SettingsList;

// The settings a connect reads, once, at the press of the button. A value
// that is empty or not a decimal integer, or a protocol the program does not
// know, stops the connect before anything changes (the log names the setting).
struct ConnectionSettings {
    Protocol protocol = Protocol::Fast; // "Протокол обмена"
    QString ecuPort;                    // "Ecu com"
    QString ecuSpeed;                   // "Скорость ECU COM"
    int portTimeOut = 0;                // "Таймаут1"
    int portReadTimeOut = 0;            // "Таймаут2"
    bool fastExchange = false;          // "Быстрый обмен" = "да"
    QString lambdaPort;                 // "LC-1 Com"
    QString oxygenSensor;               // "Датчик кислорода"
    bool widebandSensor = false;        // a controller, not the ECU's own "УДК"
    bool writeLogs = false;             // "Писать логи"
    bool loadDefaultFirmware = false;   // "Загрузить прошивку по умолчанию"
    QString defaultFirmware;            // "Прошивка по умолчанию", as the user wrote it
    bool verifyWrites = false;          // "Проверять запись"
    // The intervals of the tuning timers; they only have to parse here: the
    // timers start with tuning, which refuses intervals of 0 or less.
    int firmwareSaveMs = 0; // "Время перезаписи прошивки(мс)": Timer2
    int writeBackMs = 0;    // "Интервал коррекции БЦН(мс)": Timer4
    int neighbourMs = 0;    // "Интервал обучения соседних РТ": Timer6
    int minLoadPercent = 0; // "Не настраивать ниже %"

    static std::optional<ConnectionSettings> read(const SettingsList &settings, ProgramLog &log);
};

// The intervals tuning starts its timers with. A timer of 0 ms would fire on
// every pass of the event loop, so 0 or less refuses the start of tuning.
struct TuningTimerSettings {
    int firmwareSaveMs = 0;
    int writeBackMs = 0;
    int neighbourMs = 0;

    static std::optional<TuningTimerSettings> read(const SettingsList &settings, ProgramLog &log);
};

} // namespace korvel
