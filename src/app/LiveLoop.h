#pragma once

#include "live/CsvLog.h"
#include "live/EngineTick.h"
#include "live/ExchangeStatistics.h"
#include "live/TuningTrace.h"

#include <QByteArray>

#include <functional>

namespace korvel {

class ControlBoard;
class LogDirectory;
class ProgramLog;

// The per-frame work of a connection: the engine tick's decoding and
// indications, the CSV log of processed frames and the exchange statistics.
class LiveLoop {
public:
    LiveLoop(ControlBoard &board, LogDirectory &directory, ProgramLog &log);

    // Connect: the protocol's channels, counters at zero, and the CSV log when
    // "Писать логи" is "да".
    void startConnection(Protocol protocol, bool writeCsv);
    // Disconnect (or the window closing): the CSV log keeps every line. The
    // drive is over, so this waits for its last batch to be on disk.
    void stopConnection();

    // One engine tick on the worker's latest frame; true when the worker had
    // issued a new request (the frame's per-request work ran).
    bool tick(const QByteArray &frame, int numlog, const TickInputs &inputs);

    // Status panel 6 for the counters now, over the statistics interval.
    QString statisticsText(int numlog, int intervalMs) {
        return m_statistics.update(numlog, m_engine.processedFrames(), intervalMs);
    }

    EngineTick &engine() { return m_engine; }
    const EngineTick &engine() const { return m_engine; }
    const CsvLog &csv() const { return m_csv; }
    // The tuning fills the trace; until it runs every value is zero.
    TuningTrace trace;
    // Runs after the frame is decoded and before the CSV line is written: the
    // working point on every tick, the tuning when the worker made a new request.
    using TuningStep = std::function<void(EngineTick &engine, bool newRequest, TuningTrace &trace)>;
    void setTuningStep(TuningStep step) { m_tuningStep = std::move(step); }

private:
    EngineTick m_engine;
    CsvLog m_csv;
    ExchangeStatistics m_statistics;
    TuningStep m_tuningStep;
};

} // namespace korvel
