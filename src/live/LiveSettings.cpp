#include "live/LiveSettings.h"

#include "core/SettingNames.h"
#include "core/SettingsList.h"

namespace korvel {

LiveSettings LiveSettings::from(const SettingsList &settings) {
    LiveSettings s;
    s.showErrors = settings.value(setting::ShowErrors) == setting::Yes;
    s.showKnock = settings.value(setting::ShowKnock) == setting::Yes;
    s.narrowbandSensor = settings.value(setting::OxygenSensor) == setting::Narrowband;
    s.tuneByPressure = settings.value(setting::TuneBy) == setting::TuneByPressure;
    return s;
}

} // namespace korvel
