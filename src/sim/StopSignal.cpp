#include "sim/StopSignal.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace korvel::sim {

StopSignal::StopSignal() : m_fd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

StopSignal::~StopSignal() {
    if (m_fd >= 0)
        ::close(m_fd);
}

void StopSignal::raise() {
    m_raised.store(true, std::memory_order_release);
    const std::uint64_t one = 1;
    if (m_fd >= 0) [[maybe_unused]]
        auto written = ::write(m_fd, &one, sizeof one);
}

StopSignal::Wake StopSignal::waitFor(int fd, short events, Clock::time_point deadline) const {
    for (;;) {
        if (raised())
            return Wake::Stopped;
        const auto now = Clock::now();
        const auto left = deadline > now ? deadline - now : Clock::duration::zero();
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
        timespec timeout{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
        pollfd fds[2] = {{m_fd, POLLIN, 0}, {fd, events, 0}};
        const nfds_t count = (fd >= 0 && events != 0) ? 2 : 1;
        const int ready = ::ppoll(fds, count, &timeout, nullptr);
        if (ready < 0 && errno == EINTR)
            continue;
        if (raised())
            return Wake::Stopped;
        if (ready > 0 && count == 2 && fds[1].revents != 0)
            return Wake::Ready;
        if (Clock::now() >= deadline)
            return Wake::Timeout;
    }
}

void StopSignal::preciseWakeUps() {
    ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
}

bool StopSignal::sleepUntil(Clock::time_point deadline) const {
    return waitFor(-1, 0, deadline) != Wake::Stopped;
}

} // namespace korvel::sim
