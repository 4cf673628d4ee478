#pragma once

#include <QObject>

#include <csignal>

class QSocketNotifier;

namespace korvel {

// SIGINT and SIGTERM, turned into a Qt signal on the thread that created this
// object. The handler only writes the signal number into a pipe, which is
// safe in a signal handler; the event loop reads it. One instance at a time;
// the previous handlers come back when it is destroyed.
class StopSignals : public QObject {
    Q_OBJECT
public:
    explicit StopSignals(QObject *parent = nullptr);
    ~StopSignals() override;
    StopSignals(const StopSignals &) = delete;
    StopSignals &operator=(const StopSignals &) = delete;

    // "SIGINT", "SIGTERM" or the number.
    static QString name(int signal);

signals:
    void received(int signal);

private:
    static void handle(int signal);
    void readPipe();

    int m_pipe[2] = {-1, -1};
    QSocketNotifier *m_notifier = nullptr;
    struct sigaction m_previousInt {};
    struct sigaction m_previousTerm {};
};

} // namespace korvel
