#include "ecu/LowLatency.h"

#if defined(__linux__)
#include <linux/serial.h>
#include <sys/ioctl.h>
#endif

namespace korvel {

LowLatency requestLowLatency(int fd) {
#if defined(__linux__)
    if (fd < 0)
        return LowLatency::Refused;
    serial_struct serial{};
    if (ioctl(fd, TIOCGSERIAL, &serial) != 0)
        return LowLatency::Refused;
    if ((serial.flags & ASYNC_LOW_LATENCY) != 0)
        return LowLatency::AlreadySet;
    serial.flags |= ASYNC_LOW_LATENCY;
    return ioctl(fd, TIOCSSERIAL, &serial) == 0 ? LowLatency::Set : LowLatency::Refused;
#else
    (void)fd;
    return LowLatency::Refused;
#endif
}

} // namespace korvel
