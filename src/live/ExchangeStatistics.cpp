#include "live/ExchangeStatistics.h"

#include "core/Numbers.h"

namespace korvel {
namespace {

double perSecond(int count, int intervalMs) {
    return intervalMs > 0 ? count * 1000.0 / intervalMs : 0.0;
}

} // namespace

QString exchangeStatisticsText(int requests, int processedFrames, int intervalMs) {
    return QStringLiteral("S[") + fixedDecimal(perSecond(requests, intervalMs), 2) + QStringLiteral("//") +
           fixedDecimal(perSecond(processedFrames, intervalMs), 2) + QStringLiteral("]");
}

QString ExchangeStatistics::update(int numlog, int processedFrames, int intervalMs) {
    const QString text = exchangeStatisticsText(numlog - m_numlog, processedFrames - m_processedFrames, intervalMs);
    m_numlog = numlog;
    m_processedFrames = processedFrames;
    return text;
}

} // namespace korvel
