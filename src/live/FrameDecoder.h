#pragma once

#include "live/LiveParameters.h"
#include "live/PressureSensor.h"

#include <QByteArray>

#include <optional>

namespace korvel {

struct DecodeInputs {
    bool narrowbandSensor = false; // "Датчик кислорода" is "УДК": no wideband controller fitted
    double lambdaAfr = 0;          // the wideband reader's latest air/fuel ratio
    PressureSensor pressureSensor;
};

// Decodes one diagnostic frame into the parameters and the live channels, the
// layout chosen by the frame's length. Returns the protocol decoded; a frame of
// any other length changes nothing and yields nothing.
std::optional<Protocol> decodeFrame(const QByteArray &frame, const DecodeInputs &in, LiveParameters &p,
                                    LiveChannels &channels);

} // namespace korvel
