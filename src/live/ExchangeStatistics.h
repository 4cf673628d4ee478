#pragma once

#include <QString>

namespace korvel {

// Status panel 6: "S[" requests per second "//" processed frames per second "]",
// both "0.00", from the counts made during one interval. An interval of 0 or
// less has no rate and shows zeros.
QString exchangeStatisticsText(int requests, int processedFrames, int intervalMs);

// The counters remembered at the previous statistics tick (reset at connect).
class ExchangeStatistics {
public:
    void reset() { m_numlog = m_processedFrames = 0; }
    // The panel text for the counters now; then remembers them.
    QString update(int numlog, int processedFrames, int intervalMs);

private:
    int m_numlog = 0;
    int m_processedFrames = 0;
};

} // namespace korvel
