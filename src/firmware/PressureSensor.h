#pragma once

namespace korvel {

class FirmwareImage;

// The manifold pressure sensor's calibration in the firmware: the frame
// decoder turns the sensor byte into kPa as (byte * 5 / 256 + offset) * gain.
struct PressureSensorConstants {
    float gain = 0;   // kPa per volt
    float offset = 0; // volts
    friend bool operator==(const PressureSensorConstants &, const PressureSensorConstants &) = default;
};

// J7ESA keeps them at 6098 (gain word / 125) and 609A (offset word * 5 / 1024);
// the other families at 60D2 (gain word / 500) and 60D4 (offset byte * 5 / 256).
PressureSensorConstants pressureSensorConstants(const FirmwareImage &image, int firmwareFamily);

} // namespace korvel
