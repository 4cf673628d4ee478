#include "firmware/PressureSensor.h"

#include "firmware/FirmwareFamily.h"
#include "firmware/FirmwareImage.h"

namespace korvel {

PressureSensorConstants pressureSensorConstants(const FirmwareImage &image, int firmwareFamily) {
    if (firmwareFamily == firmwarefamily::J7esa)
        return {static_cast<float>(image.wordAt(0x6098).value_or(0) / 125.0),
                static_cast<float>(image.wordAt(0x609A).value_or(0) * 5 / 1024.0)};
    return {static_cast<float>(image.wordAt(0x60D2).value_or(0) / 500.0),
            static_cast<float>(image.byteAt(0x60D4).value_or(0) * 5 / 256.0)};
}

} // namespace korvel
