#include "sim/PseudoTerminal.h"

// termios2 (custom rates) comes from the kernel headers; <termios.h> must not
// be included in this file as its struct termios clashes with them.
#include <asm/termbits.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace korvel::sim {

namespace {

QString systemError(const char *what) {
    return QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromLocal8Bit(std::strerror(errno)));
}

// The same changes as cfmakeraw: no line editing, no translation, 8 data bits.
bool makeRaw(int fd) {
    termios2 t{};
    if (::ioctl(fd, TCGETS2, &t) != 0)
        return false;
    t.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON);
    t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB);
    t.c_cflag |= CS8 | CREAD | CLOCAL;
    return ::ioctl(fd, TCSETS2, &t) == 0;
}

} // namespace

PseudoTerminal::~PseudoTerminal() {
    close();
}

bool PseudoTerminal::open(QString *error) {
    close();
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master < 0) {
        if (error)
            *error = systemError("posix_openpt");
        return false;
    }
    std::array<char, 128> name{};
    if (::grantpt(master) != 0 || ::unlockpt(master) != 0 || ::ptsname_r(master, name.data(), name.size()) != 0) {
        if (error)
            *error = systemError("pseudo-terminal set-up");
        ::close(master);
        return false;
    }
    // Opening and closing the slave once sets raw mode and leaves the pair in
    // its "no program attached" state, which the master reports as a hang-up.
    const int slave = ::open(name.data(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (slave < 0 || !makeRaw(slave)) {
        if (error)
            *error = systemError("pseudo-terminal raw mode");
        if (slave >= 0)
            ::close(slave);
        ::close(master);
        return false;
    }
    ::close(slave);
    m_master = master;
    m_slavePath = QString::fromLocal8Bit(name.data());
    return true;
}

void PseudoTerminal::close() {
    if (m_master >= 0)
        ::close(m_master);
    m_master = -1;
}

ProgramLine PseudoTerminal::programLine() const {
    ProgramLine line;
    termios2 t{};
    if (m_master < 0 || ::ioctl(m_master, TCGETS2, &t) != 0)
        return line;
    line.baud = static_cast<int>(t.c_ispeed != 0 ? t.c_ispeed : t.c_ospeed);
    line.input.checkParity = (t.c_iflag & INPCK) != 0;
    line.input.ignoreErrors = (t.c_iflag & IGNPAR) != 0;
    line.input.markErrors = (t.c_iflag & PARMRK) != 0;
    line.input.ignoreBreaks = (t.c_iflag & IGNBRK) != 0;
    return line;
}

bool PseudoTerminal::programAttached() const {
    if (m_master < 0)
        return false;
    pollfd fd{m_master, POLLOUT, 0};
    if (::poll(&fd, 1, 0) < 0)
        return false;
    return (fd.revents & (POLLHUP | POLLERR | POLLNVAL)) == 0;
}

QByteArray PseudoTerminal::readAvailable() {
    QByteArray out;
    if (m_master < 0)
        return out;
    std::array<char, 4096> buffer{};
    for (;;) {
        const ssize_t n = ::read(m_master, buffer.data(), buffer.size());
        if (n > 0) {
            out.append(buffer.data(), n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        return out; // EAGAIN: nothing more; EIO: the program has closed its end
    }
}

void PseudoTerminal::write(const QByteArray &bytes) {
    if (m_master < 0 || bytes.isEmpty() || !programAttached())
        return;
    const char *data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(m_master, data, static_cast<size_t>(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        data += n;
        left -= n;
    }
}

} // namespace korvel::sim
