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

QString cellText(float value) {
    return shortestDecimal(roundTo(static_cast<double>(value), 3));
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

void AccelerationTest::toggleArmed() {
    m_running = false;
    m_elapsedMs = 0;
    m_armed = !m_armed;
    if (m_armed)
        m_startMark = 0;
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
            out.finished = true;
            out.result = QStringLiteral("Время разгона:") + shortestDecimal(m_elapsedMs / 1000.0);
            m_finishedRuns << QStringLiteral("Разгон = ") + QString::number(m_runNumber++);
            stop();
            return out;
        }
    }
    // A run that has recorded its first frame ends after 20000 counted frames.
    // Before that the mark is 0 and the counter alone would disarm a test
    // armed long after the counter was last cleared.
    if (m_running && m_startMark != 0 && frame.frameCounter - m_startMark > kFrameLimit) {
        out.abandoned = true;
        stop();
        return out;
    }
    if (m_running)
        record(frame);
    return out;
}

void AccelerationTest::record(const AccelerationFrame &frame) {
    const int channels = m_runs.channelCount();
    if (m_startMark == 0) {
        for (int q = 1; q <= channels; ++q) {
            const QString text = cellText(frame.channels ? frame.channels->value(q) : 0.f);
            for (int column = 1; column <= 3; ++column)
                m_runs.setCell(column, q, text);
        }
        m_runs.setCell(3, 0, QStringLiteral("%1").arg(frame.secondOfMinute, 2, 10, QLatin1Char('0')));
        m_startMark = frame.frameCounter;
        m_elapsedMs = frame.secondOfMinute;
        return;
    }
    const int n = frame.frameCounter - m_startMark;
    if (n <= 1)
        return;
    const int c = m_runs.columns() - 1;
    m_runs.setCell(c, 0, shortestDecimal(m_elapsedMs / 1000.0));
    for (int q = 1; q <= channels; ++q) {
        m_runs.setCell(c, q, cellText(frame.channels ? frame.channels->value(q) : 0.f));
        const double x = m_runs.number(c, q).value_or(0);
        const auto min = m_runs.number(1, q);
        if (!min || *min > x)
            m_runs.setCell(1, q, m_runs.cell(c, q));
        const auto max = m_runs.number(3, q);
        if (!max || !(*max >= x))
            m_runs.setCell(3, q, m_runs.cell(c, q));
        const double mean = m_runs.number(2, q).value_or(0);
        m_runs.setCell(2, q, shortestDecimal(((n - 2) * mean + x) / (n - 1)));
    }
    m_runs.addColumn();
}

} // namespace korvel
