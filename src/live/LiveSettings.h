#pragma once

#include <QString>

namespace korvel {

class SettingsList;

// The settings one engine tick reads, taken from the settings list at the moment of use.
struct LiveSettings {
    bool showErrors = false;       // "Показывать ошибки" is "да"
    bool showKnock = false;        // "Показывать детонацию" is "да"
    bool narrowbandSensor = false; // "Датчик кислорода" is "УДК"
    bool tuneByPressure = false;   // "Настройка по" is "Давлению"

    static LiveSettings from(const SettingsList &settings);
};

} // namespace korvel
