#include "live/PressureSensor.h"

namespace korvel {

float PressureSensor::kpa(int sensorByte) const {
    if (!known)
        return 0;
    return static_cast<float>((sensorByte * 5 / 256.0 + offset) * gain);
}

} // namespace korvel
