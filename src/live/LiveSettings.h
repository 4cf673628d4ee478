#pragma once

#include <QString>

namespace korvel {

class SettingsList;

// "Давлению": the tuning load axis is the manifold pressure ("Настройка по").
inline const QString kTuneByPressure = QStringLiteral("Давлению");

// The settings one engine tick reads, taken from the settings list at the moment of use.
struct LiveSettings {
    bool showErrors = false;       // "Показывать ошибки" is "да"
    bool showKnock = false;        // "Показывать детонацию" is "да"
    bool narrowbandSensor = false; // "Датчик кислорода" is "УДК"
    bool tuneByPressure = false;   // "Настройка по" is "Давлению"

    static LiveSettings from(const SettingsList &settings);
};

} // namespace korvel
