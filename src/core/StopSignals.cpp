#include "core/StopSignals.h"

#include <QSocketNotifier>

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace korvel {
namespace {

// The write end of the installed instance's pipe; -1 when none is installed.
std::atomic<int> g_writeEnd{-1};

} // namespace

StopSignals::StopSignals(QObject *parent) : QObject(parent) {
    if (g_writeEnd.load() >= 0 || ::pipe2(m_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    g_writeEnd.store(m_pipe[1]);
    m_notifier = new QSocketNotifier(m_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &StopSignals::readPipe);

    struct sigaction action {};
    action.sa_handler = &StopSignals::handle;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, &m_previousInt);
    ::sigaction(SIGTERM, &action, &m_previousTerm);
}

StopSignals::~StopSignals() {
    if (!m_notifier)
        return;
    ::sigaction(SIGINT, &m_previousInt, nullptr);
    ::sigaction(SIGTERM, &m_previousTerm, nullptr);
    g_writeEnd.store(-1);
    delete m_notifier;
    ::close(m_pipe[0]);
    ::close(m_pipe[1]);
}

void StopSignals::handle(int signal) {
    const int savedErrno = errno;
    const int fd = g_writeEnd.load();
    if (fd >= 0) {
        const char number = static_cast<char>(signal);
        [[maybe_unused]] const ssize_t written = ::write(fd, &number, 1);
    }
    errno = savedErrno;
}

void StopSignals::readPipe() {
    char numbers[16];
    ssize_t count = 0;
    while ((count = ::read(m_pipe[0], numbers, sizeof numbers)) > 0)
        for (ssize_t i = 0; i < count; ++i)
            emit received(numbers[i]);
}

QString StopSignals::name(int signal) {
    switch (signal) {
    case SIGINT:
        return QStringLiteral("SIGINT");
    case SIGTERM:
        return QStringLiteral("SIGTERM");
    default:
        return QString::number(signal);
    }
}

} // namespace korvel
