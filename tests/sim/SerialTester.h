#pragma once

#include <QByteArray>
#include <QSerialPort>
#include <QString>

#include <functional>

namespace korvel::sim::test {

// How long a test waits for bytes that must come; generous, never reached
// when the simulator works.
inline constexpr int kPatienceMs = 10000;
// How long a test listens to be sure that nothing more comes: far above the
// simulator's latency in these tests (5 ms).
inline constexpr int kQuietMs = 400;

// A tester on the program's end of a simulator device: a plain QSerialPort,
// as the program uses it, without an event loop.
class SerialTester {
public:
    SerialTester() = default;
    bool open(const QString &path, int baud);
    void close() { m_port.close(); }
    bool setBaud(int baud) { return m_port.setBaudRate(baud); }
    QSerialPort &port() { return m_port; }

    void write(const QByteArray &bytes);
    // Reads until `enough` holds for what was read, or the time is up.
    QByteArray readUntil(const std::function<bool(const QByteArray &)> &enough, int timeoutMs = kPatienceMs);
    QByteArray readAtLeast(int count, int timeoutMs = kPatienceMs);
    // Everything that arrives within the time.
    QByteArray readFor(int ms);

    // Sends the request frame for `data` and returns every byte that came
    // back: the echo and `answerBytes` more, or, for 0, whatever arrived
    // within the quiet time after the echo.
    QByteArray exchange(const QByteArray &data, int answerBytes);
    // The same for bytes put on the line as they are.
    QByteArray exchangeRaw(const QByteArray &frame, int answerBytes);

private:
    QSerialPort m_port;
};

// A port whose device went away: Qt reports a read or a resource error.
bool portFailed(const QSerialPort &port);

// "80 F1 10 n data checksum": an answer with a length byte, as the ECU sends most.
QByteArray lengthByteAnswer(const QByteArray &data);
QByteArray hex(const char *text);

} // namespace korvel::sim::test
