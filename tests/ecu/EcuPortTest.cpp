// The K-line port over a bare pseudo-terminal: the test holds the device side.
#include "ecu/EcuPort.h"
#include "ecu/LowLatency.h"

#include <QTemporaryFile>
#include <QThread>

#include "QtPrinters.h"

#include <gtest/gtest.h>

#include <asm/termbits.h>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

using namespace korvel;

namespace {

class PseudoTerminalPair {
public:
    PseudoTerminalPair() {
        m_master = posix_openpt(O_RDWR | O_NOCTTY);
        if (m_master >= 0 && grantpt(m_master) == 0 && unlockpt(m_master) == 0)
            m_slave = QString::fromLocal8Bit(ptsname(m_master));
    }
    ~PseudoTerminalPair() { closeMaster(); }
    PseudoTerminalPair(const PseudoTerminalPair &) = delete;
    PseudoTerminalPair &operator=(const PseudoTerminalPair &) = delete;

    QString slave() const { return m_slave; }
    void write(const QByteArray &bytes) const {
        ASSERT_EQ(::write(m_master, bytes.data(), bytes.size()), bytes.size());
    }
    // What the program sent, gathered until `count` bytes or a generous deadline.
    QByteArray read(qsizetype count) const {
        QByteArray bytes;
        pollfd ready{m_master, POLLIN, 0};
        while (bytes.size() < count && poll(&ready, 1, 10000) > 0) {
            char buffer[1024];
            const ssize_t n = ::read(m_master, buffer, sizeof buffer);
            if (n <= 0)
                break;
            bytes.append(buffer, static_cast<qsizetype>(n));
        }
        return bytes;
    }
    // The rate the program set on its side (Linux reports it through the master).
    unsigned programBaud() const {
        termios2 settings{};
        return ioctl(m_master, TCGETS2, &settings) == 0 ? settings.c_ospeed : 0;
    }
    // Waits until the program's side holds `count` unread bytes.
    bool waitQueuedForProgram(int count) const {
        const int fd = ::open(m_slave.toLocal8Bit().constData(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
        int queued = 0;
        for (int i = 0; i < 2000 && fd >= 0 && queued < count; ++i) {
            if (ioctl(fd, FIONREAD, &queued) != 0)
                break;
            if (queued < count)
                QThread::msleep(5);
        }
        if (fd >= 0)
            ::close(fd);
        return queued >= count;
    }
    void closeMaster() {
        if (m_master >= 0)
            ::close(m_master);
        m_master = -1;
    }

private:
    int m_master = -1;
    QString m_slave;
};

// Qt guards a serial device with a lock file named after it, removed just
// after the device closes; another test process that gets the same
// pseudo-terminal number in that instant is refused once.
bool openPort(EcuPort &port, const QString &name) {
    for (int attempt = 0; attempt < 5; ++attempt) {
        if (port.open(name))
            return true;
        QThread::msleep(20);
    }
    return false;
}

} // namespace

TEST(EcuPort, OpensAtTheInitialRateAndSwitchesToTheSessionRate) {
    PseudoTerminalPair pty;
    ASSERT_FALSE(pty.slave().isEmpty());
    EcuPort port;
    ASSERT_TRUE(openPort(port, pty.slave()));
    EXPECT_EQ(pty.programBaud(), 10400U) << "10400 is set as a custom rate";
    EXPECT_TRUE(port.SetEcuBaud(57600));
    EXPECT_EQ(pty.programBaud(), 57600U);
    EXPECT_TRUE(port.SetEcuBaud(10400));
    EXPECT_EQ(pty.programBaud(), 10400U);
    port.close();
    EXPECT_FALSE(port.isOpen());
    EXPECT_FALSE(port.SetEcuBaud(57600));
}

TEST(EcuPort, WritesAFrameAndReadsAtMost256QueuedBytesAtATime) {
    PseudoTerminalPair pty;
    EcuPort port;
    ASSERT_TRUE(openPort(port, pty.slave()));
    EXPECT_TRUE(port.WriteBytes(QByteArray::fromHex("8110F18103")));
    EXPECT_EQ(pty.read(5), QByteArray::fromHex("8110F18103"));

    EXPECT_TRUE(port.ReadAvailable().isEmpty()) << "nothing queued: nothing read, no waiting";
    QByteArray stream;
    for (int i = 0; i < 600; ++i)
        stream.append(static_cast<char>(i));
    pty.write(stream);
    ASSERT_TRUE(pty.waitQueuedForProgram(stream.size()));
    const QByteArray first = port.ReadAvailable();
    const QByteArray second = port.ReadAvailable();
    const QByteArray third = port.ReadAvailable();
    EXPECT_EQ(first, stream.left(256));
    EXPECT_EQ(second, stream.mid(256, 256));
    EXPECT_EQ(third, stream.mid(512));
    EXPECT_FALSE(port.deviceLost());
}

TEST(EcuPort, NoticesADeviceThatDisappears) {
    PseudoTerminalPair pty;
    EcuPort port;
    ASSERT_TRUE(openPort(port, pty.slave()));
    pty.closeMaster();
    EXPECT_TRUE(port.ReadAvailable().isEmpty());
    EXPECT_TRUE(port.deviceLost());
    EXPECT_FALSE(port.WriteBytes(QByteArray::fromHex("81")));
}

// The driver's low-latency mode is asked for where it exists; a descriptor
// without it (a pseudo-terminal, a plain file, none at all) refuses quietly.
TEST(LowLatency, IsRefusedQuietlyWhereTheDriverHasNone) {
    EXPECT_EQ(requestLowLatency(-1), LowLatency::Refused);
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    const int slave = open(ptsname(master), O_RDWR | O_NOCTTY);
    ASSERT_GE(slave, 0);
    EXPECT_EQ(requestLowLatency(slave), LowLatency::Refused);
    close(slave);
    close(master);
    QTemporaryFile file;
    ASSERT_TRUE(file.open());
    EXPECT_EQ(requestLowLatency(static_cast<int>(file.handle())), LowLatency::Refused);
}
