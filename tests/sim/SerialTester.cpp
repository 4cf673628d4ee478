#include "SerialTester.h"
#include "Hex.h"

#include "sim/SimFrame.h"

#include <QElapsedTimer>

namespace korvel::sim::test {

bool SerialTester::open(const QString &path, int baud) {
    m_port.setPortName(path);
    m_port.setBaudRate(baud);
    m_port.setDataBits(QSerialPort::Data8);
    m_port.setParity(QSerialPort::NoParity);
    m_port.setStopBits(QSerialPort::OneStop);
    m_port.setFlowControl(QSerialPort::NoFlowControl);
    return m_port.open(QIODevice::ReadWrite) && m_port.setBaudRate(baud);
}

void SerialTester::write(const QByteArray &bytes) {
    m_port.write(bytes);
    m_port.waitForBytesWritten(kPatienceMs);
}

QByteArray SerialTester::readUntil(const std::function<bool(const QByteArray &)> &enough, int timeoutMs) {
    QByteArray got = m_port.readAll();
    QElapsedTimer timer;
    timer.start();
    while (!enough(got) && timer.elapsed() < timeoutMs) {
        if (m_port.waitForReadyRead(static_cast<int>(std::max<qint64>(1, timeoutMs - timer.elapsed()))))
            got += m_port.readAll();
        else if (m_port.error() != QSerialPort::NoError && m_port.error() != QSerialPort::TimeoutError)
            break;
    }
    return got;
}

QByteArray SerialTester::readAtLeast(int count, int timeoutMs) {
    return readUntil([count](const QByteArray &b) { return b.size() >= count; }, timeoutMs);
}

QByteArray SerialTester::readFor(int ms) {
    return readUntil([](const QByteArray &) { return false; }, ms);
}

QByteArray SerialTester::exchange(const QByteArray &data, int answerBytes) {
    return exchangeRaw(encodeRequestFrame(data), answerBytes);
}

QByteArray SerialTester::exchangeRaw(const QByteArray &frame, int answerBytes) {
    write(frame);
    QByteArray got = readAtLeast(static_cast<int>(frame.size()) + answerBytes);
    if (answerBytes == 0)
        got += readFor(kQuietMs);
    return got;
}

QByteArray lengthByteAnswer(const QByteArray &data) {
    QByteArray frame = QByteArray::fromHex("80F110");
    frame.append(static_cast<char>(data.size()));
    frame.append(data);
    unsigned sum = 0;
    for (char c : frame)
        sum += static_cast<std::uint8_t>(c);
    frame.append(static_cast<char>(sum & 0xFF));
    return frame;
}

bool portFailed(const QSerialPort &port) {
    return port.error() == QSerialPort::ReadError || port.error() == QSerialPort::ResourceError;
}

QByteArray hex(const char *text) {
    return korvel::test::hex(text);
}

} // namespace korvel::sim::test
