#pragma once

namespace korvel {

// The manifold pressure sensor's constants as the loaded firmware image holds
// them (gain in kPa per volt, offset in volts). Without an image there are none
// and the pressure reads 0.
struct PressureSensor {
    bool known = false;
    double gain = 0;
    double offset = 0;

    // kPa from the sensor byte (frame byte 26 of the fast protocol), single precision.
    float kpa(int sensorByte) const;
};

} // namespace korvel
