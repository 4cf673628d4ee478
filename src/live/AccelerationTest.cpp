#include "live/AccelerationTest.h"

#include "core/Numbers.h"
#include "live/LiveParameters.h"

#include <optional>

namespace korvel {

namespace {

// A typed speed; the comma of a Russian keyboard counts as the decimal point.
std::optional<double> speedLimit(const QString &text) {
    QString normal = text.trimmed();
    normal.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    const double value = normal.toDouble(&ok);
    if (!ok)
        return std::nullopt;
    return value;
}

} // namespace

void AccelerationTest::startConnection() {
    m_armed = false;
    m_running = false;
    m_elapsedMs = 0;
    m_runNumber = 1;
    m_finishedRuns.clear();
    m_runs.setShading(true);
}

void AccelerationTest::timerTick(qint64 clockMs) {
    if (m_running && m_firstRecorded)
        m_elapsedMs = static_cast<double>(clockMs - m_startMs);
}

void AccelerationTest::toggleArmed() {
    m_running = false;
    m_elapsedMs = 0;
    m_armed = !m_armed;
    if (m_armed)
        m_firstRecorded = false;
    m_runs.clearRun();
    m_runs.setShading(!m_armed);
}

void AccelerationTest::stop() {
    m_running = false;
    m_armed = false;
    m_elapsedMs = 0;
    m_runs.setShading(true);
}

AccelerationOutcome AccelerationTest::step(const AccelerationFrame &frame) {
    AccelerationOutcome out;
    if (!m_armed)
        return out;

    if (!m_running) {
        const auto start = speedLimit(frame.startText);
        if (!start) {
            out.invalidLimit = frame.startText;
            stop();
            return out;
        }
        if (frame.speed > *start) {
            m_running = true;
            m_firstRecorded = false;
            out.started = true;
        }
    }
    if (m_running) {
        const auto end = speedLimit(frame.endText);
        if (!end) {
            out.invalidLimit = frame.endText;
            stop();
            return out;
        }
        if (frame.speed > *end) {
            if (m_firstRecorded)
                m_elapsedMs = static_cast<double>(frame.clockMs - m_startMs);
            out.finished = true;
            out.result = QStringLiteral("Время разгона:") + shortestDecimal(m_elapsedMs / 1000.0);
            m_finishedRuns << QStringLiteral("Разгон = ") + QString::number(m_runNumber++);
            stop();
            return out;
        }
    }
    // A run ends after 20000 frames counted from its first one.
    if (m_running && m_firstRecorded && frame.frameCounter - m_startMark > kFrameLimit) {
        out.abandoned = true;
        stop();
        return out;
    }
    if (m_running)
        record(frame);
    return out;
}

// The first frame of a run gives every channel's minimum, mean and maximum;
// every later frame gets a column, its header the seconds since the first.
void AccelerationTest::record(const AccelerationFrame &frame) {
    const int channels = m_runs.channelCount();
    const auto value = [&](int q) {
        return roundTo(static_cast<double>(frame.channels ? frame.channels->value(q) : 0.f), 3);
    };
    if (!m_firstRecorded) {
        m_sums.assign(static_cast<std::size_t>(channels) + 1, 0.0);
        for (int q = 1; q <= channels; ++q) {
            const QString text = shortestDecimal(value(q));
            for (int column = 1; column <= 3; ++column)
                m_runs.setCell(column, q, text);
            m_sums[static_cast<std::size_t>(q)] = value(q);
        }
        m_runs.setCell(3, 0, shortestDecimal(0));
        m_firstRecorded = true;
        m_startMark = frame.frameCounter;
        m_lastCounter = frame.frameCounter;
        m_startMs = frame.clockMs;
        m_elapsedMs = 0;
        m_recorded = 1;
        return;
    }
    if (frame.frameCounter <= m_lastCounter)
        return; // no new frame since the last one recorded
    m_lastCounter = frame.frameCounter;
    m_elapsedMs = static_cast<double>(frame.clockMs - m_startMs);
    ++m_recorded;
    const int c = m_runs.columns() - 1;
    m_runs.setCell(c, 0, shortestDecimal(m_elapsedMs / 1000.0));
    for (int q = 1; q <= channels; ++q) {
        const double x = value(q);
        m_runs.setCell(c, q, shortestDecimal(x));
        const auto min = m_runs.number(1, q);
        if (!min || *min > x)
            m_runs.setCell(1, q, m_runs.cell(c, q));
        const auto max = m_runs.number(3, q);
        if (!max || !(*max >= x))
            m_runs.setCell(3, q, m_runs.cell(c, q));
        double &sum = m_sums[static_cast<std::size_t>(q)];
        sum += x;
        m_runs.setCell(2, q, shortestDecimal(roundTo(sum / m_recorded, 3)));
    }
    m_runs.addColumn();
}

} // namespace korvel
