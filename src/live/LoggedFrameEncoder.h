#pragma once

#include "core/Protocol.h"
#include "live/LiveParameters.h"

#include <QByteArray>

namespace korvel {

// A CSV log keeps the decoded channels, not the frames. To run a logged drive
// through the engine tick and the tuner as a live one, each line becomes the
// diagnostic frame whose decoding gives its channels back: every channel that
// comes from a frame byte is turned back into the raw byte (or word) nearest
// to it, and the flags into their bits. The wideband ratio is no frame byte:
// it goes beside the frame, as the lambda worker's reading does.
//
// The standard protocol logs no channel of the ECU's own ratio; with a
// wideband controller it is its ratio over the logged injection coefficient
// (which is then wideband over ECU), with the narrowband sensor the logged
// ratio itself.
QByteArray frameOfLoggedChannels(Protocol protocol, const LiveChannels &channels, bool narrowbandSensor);

// The wideband ratio of a logged line: channel 4 (fast) or 2 (standard).
double widebandOfLoggedChannels(Protocol protocol, const LiveChannels &channels);

} // namespace korvel
