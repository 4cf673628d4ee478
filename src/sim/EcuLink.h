#pragma once

#include "sim/EcuModel.h"
#include "sim/Faults.h"
#include "sim/PseudoTerminal.h"
#include "sim/RequestKind.h"
#include "sim/SimFrame.h"
#include "sim/StopSignal.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <algorithm>
#include <array>
#include <atomic>
#include <functional>
#include <mutex>
#include <thread>

namespace korvel::sim {

// Receives one line of trace text; called from the device threads.
using TraceSink = std::function<void(const QString &)>;

// The K-line between the program and the simulated ECU, on a pseudo-terminal,
// run by a thread of its own. It echoes every byte the program sends, hands
// the ECU only what a receiver at the ECU's own rate makes of those bytes,
// answers each request after the latency at the ECU's rate (the program reads
// garbage if its port is set to another), and switches rate after 10 81 xx.
// With line timing on, every byte takes ten bit times on the line.
class EcuLink {
public:
    EcuLink(EcuModel &model, FaultBoard &faults, TraceSink trace);
    ~EcuLink();
    EcuLink(const EcuLink &) = delete;
    EcuLink &operator=(const EcuLink &) = delete;

    bool open(QString *error);
    void start();
    // Ends the thread and closes the device; never blocks for long.
    void stop();
    // The device disappears mid-session, as an unplugged adapter does.
    void vanish();
    bool vanished() const { return m_vanished.load(); }

    QString devicePath() const { return m_path; }
    int baud() const { return m_baud.load(); }
    bool programAttached() const { return m_attached.load(); }

    void setLatencyMs(int ms) { m_latencyMs.store(ms); }
    void setLineTiming(bool on) { m_lineTiming.store(on); }
    // Answers reach the program in this many pieces (1: as the line carries them).
    void setAnswerChunks(int chunks) { m_answerChunks.store(std::max(chunks, 1)); }
    void setSessionTimeoutMs(int ms) { m_sessionTimeoutMs.store(ms); }
    void setInterByteTimeoutMs(int ms) { m_interByteTimeoutMs.store(ms); }
    void setAnswerForm(RequestKind kind, HeaderForm form);
    HeaderForm answerForm(RequestKind kind) const;

    QList<QByteArray> requestLog() const;
    void clearRequestLog();

private:
    void run();
    void receive(const QByteArray &chunk, Clock::time_point arrival);
    void answer(const ParsedFrame &request, Clock::time_point requestEnd);
    // The rate after an answer; applied as its last byte goes out.
    void switchRate(std::optional<int> baud);
    void checkSessionTimeout(Clock::time_point now);
    void traceDiscarded();
    void trace(const QString &line) const;

    EcuModel &m_model;
    FaultBoard &m_faults;
    TraceSink m_trace;
    PseudoTerminal m_pty;
    QString m_path;
    StopSignal m_end;
    std::thread m_thread;
    std::atomic<bool> m_vanishRequested{false};
    std::atomic<bool> m_vanished{false};
    std::atomic<bool> m_attached{false};
    std::atomic<int> m_baud{kInitialBaud};
    std::atomic<int> m_latencyMs{25};
    std::atomic<int> m_sessionTimeoutMs{5000};
    std::atomic<int> m_interByteTimeoutMs{100};
    std::atomic<bool> m_lineTiming{true};
    std::atomic<int> m_answerChunks{1};
    std::array<std::atomic<int>, kRequestKindCount> m_forms{};
    mutable std::mutex m_logMutex;
    QList<QByteArray> m_log;

    // Owned by the link's thread.
    RequestParser m_parser;
    Clock::time_point m_lineFreeAt{};
    Clock::time_point m_lastByteAt{};
    Clock::time_point m_lastRequestAt{};
};

} // namespace korvel::sim
