#pragma once

#include "sim/UartLine.h"

#include <QByteArray>
#include <QString>

namespace korvel::sim {

// The line settings the program has put on its end of the pseudo-terminal.
struct ProgramLine {
    int baud = 0;
    ReceiverInput input;
};

// The device side of a pseudo-terminal pair. The program opens the slave
// (a /dev/pts path) like any serial port; the simulator talks on the master,
// non-blocking. Linux reports the slave's termios through the master, so the
// simulator sees the rate the program set, custom rates such as 10400 included.
class PseudoTerminal {
public:
    PseudoTerminal() = default;
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal &) = delete;
    PseudoTerminal &operator=(const PseudoTerminal &) = delete;

    // Creates the pair and puts the slave into raw mode, so that QSerialPort
    // (or any other program) finds a plain 8-bit line.
    bool open(QString *error);
    void close();
    bool isOpen() const { return m_master >= 0; }
    int masterFd() const { return m_master; }
    QString slavePath() const { return m_slavePath; }

    ProgramLine programLine() const;
    // True while some program holds the slave open.
    bool programAttached() const;
    // Everything the program has sent so far (empty when nothing is queued).
    QByteArray readAvailable();
    // Writes what the line takes now; bytes it cannot take (the program does
    // not read, or has closed its port) are lost, as on a real line.
    void write(const QByteArray &bytes);

private:
    int m_master = -1;
    QString m_slavePath;
};

} // namespace korvel::sim
