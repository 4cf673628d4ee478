#pragma once

#include "live/FrameDecoder.h"
#include "live/LiveParameters.h"
#include "live/LiveSettings.h"
#include "live/PressureSensor.h"
#include "live/TroubleCodes.h"

#include <QByteArray>

#include <optional>

namespace korvel {

class ControlBoard;

struct TickInputs {
    LiveSettings settings;
    double lambdaAfr = 0;          // the wideband reader's latest ratio
    PressureSensor pressureSensor; // of the loaded firmware image; none: pressure 0
};

struct TickOutcome {
    std::optional<Protocol> decoded; // the layout decoded; nothing for a frame of any other length
    bool newRequest = false;         // the worker issued a request since the last processed tick
};

// The live state of the engine timer (every 50 ms). One tick, in this order:
//   1. outcome = processFrame(copy of the worker's frame, its numlog, inputs):
//      trouble codes, idle and knock indications, decoding, main panels; and
//      when numlog moved: loadValue, the processed-frame counter, "Скорость Авто:";
//   2. setWorkPoint(working point of the tuning grids);
//   3. fast frame: the actuator feedback display;
//   4. when outcome.newRequest: charts, tuning, cell statistics, acceleration
//      step, then the CSV log line (CsvLog::append with channels()).
class EngineTick {
public:
    explicit EngineTick(ControlBoard &board) : m_board(board) {}

    void setErrorNames(const ErrorNameTable &names) { m_errorNames = names; }
    // A connection starts: its protocol, narrowband cleared, counters back to zero.
    void startConnection(Protocol protocol);

    TickOutcome processFrame(const QByteArray &frame, int numlog, const TickInputs &inputs);
    // Channel 1 of the fast protocol carries the working point once the grids compute it.
    void setWorkPoint(int workPoint);
    // The load value follows the axis of the table being tuned from now on
    // (this tick's value included), whatever "Настройка по" says.
    void setTunedLoadAxis(bool byPressure);

    const LiveParameters &parameters() const { return m_parameters; }
    const LiveChannels &channels() const { return m_channels; }
    Protocol protocol() const { return m_protocol; }
    int channelCount() const { return korvel::channelCount(m_protocol); }
    int processedFrames() const { return m_processedFrames; }

private:
    void showIndications(const QByteArray &frame, Protocol protocol, const LiveSettings &settings);
    bool takeNewRequest(int numlog);

    ControlBoard &m_board;
    ErrorNameTable m_errorNames;
    Protocol m_protocol = Protocol::Fast;
    LiveParameters m_parameters;
    LiveChannels m_channels;
    int m_lastNumlog = 0;
    int m_processedFrames = 0;
    std::optional<bool> m_tunedByPressure;
};

} // namespace korvel
