#pragma once

namespace korvel {

// How the request for the serial driver's low-latency mode went. USB serial
// adapters otherwise hold each answer back for up to 16 ms, which costs a
// timed half-duplex exchange a third of its speed.
enum class LowLatency {
    Set,        // the driver now hands over every byte at once
    AlreadySet, // it did so already
    Refused,    // no such mode (a pseudo-terminal, another system): nothing changes
};

// Asks the driver behind the open descriptor `fd` for its low-latency mode.
LowLatency requestLowLatency(int fd);

} // namespace korvel
