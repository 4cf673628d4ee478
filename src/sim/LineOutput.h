#pragma once

#include "sim/PseudoTerminal.h"
#include "sim/StopSignal.h"

#include <QByteArray>

#include <chrono>
#include <functional>

namespace korvel::sim {

// How often a link looks again for a program on a terminal that nobody holds open.
inline constexpr auto kDetachedPollStep = std::chrono::milliseconds(10);

// Puts bytes sent at `senderBaud` on the line towards the program: the program
// gets what its port, at the rate it set, makes of them. With line timing each
// byte arrives ten bit times after the one before, counted from `start`.
// Returns when the line is free again (now, without line timing).
// `beforeLastWrite` runs just before the last bytes go out, so that whatever
// follows the message (a rate change) is in place when the program has it.
Clock::time_point sendToProgram(PseudoTerminal &pty, const StopSignal &stop, const QByteArray &bytes, int senderBaud,
                                Clock::time_point start, bool lineTiming,
                                const std::function<void()> &beforeLastWrite = {});

// As sendToProgram, but the program gets the bytes in `chunks` separate
// writes, as an adapter that buffers its input hands them on: the first chunk
// ends inside the frame's header (after two bytes), the others share the rest.
// With line timing a chunk goes out when its last byte is due; without, the
// chunks are a short gap apart so that no read takes two at once.
Clock::time_point sendInChunks(PseudoTerminal &pty, const StopSignal &stop, const QByteArray &bytes, int senderBaud,
                               Clock::time_point start, bool lineTiming, int chunks,
                               const std::function<void()> &beforeLastWrite = {});

} // namespace korvel::sim
