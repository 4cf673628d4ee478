#include "app/ChartsController.h"

#include "core/ProgramLog.h"
#include "live/ChartLayoutFile.h"
#include "live/LiveParameters.h"

#include <QDir>
#include <QRandomGenerator>

#include <algorithm>

namespace korvel {

ChartsController::ChartsController(const LiveChannels &channels, ProgramLog &log, QString workDir, QObject *parent)
    : QObject(parent), m_channels(channels), m_log(log),
      m_layoutPath(QDir(workDir).filePath(QString::fromLatin1(chartlayout::kFileName))) {}

void ChartsController::startDiagnostics(const QStringList &channelNames) {
    if (!m_slots.built()) {
        m_names = channelNames;
        const int count = channelCount();
        m_slots.build(count);
        m_history.reset(count);
        m_points = QList<QList<float>>(count + 1);
        m_texts = QStringList(count + 1, QStringLiteral("0"));
        m_colours = QList<int>(count + 1, 0);
        // A colour of its own for every value; 255 stays out so no value is pure white.
        auto *random = QRandomGenerator::global();
        for (int q = 1; q <= count; ++q)
            m_colours[q] = (random->bounded(255) << 16) | (random->bounded(255) << 8) | random->bounded(255);
        m_height = kBuiltHeight;
        m_frames = 0;
        emit chartsBuilt();
    }
    // Every line of the file is read, also those of channels this protocol
    // does not have: writing back keeps them for the next fast connection.
    const auto read = chartlayout::read(m_layoutPath, std::max(channelCount(), kMaxChannelCount));
    if (m_slots.restore(read ? &*read : nullptr) > 0)
        writeLayout();
    m_slots.finishBuild();
    emit layoutChanged();
}

void ChartsController::release() {
    if (!m_slots.built())
        return;
    m_slots.release();
    emit chartsReleased();
}

void ChartsController::setTicked(int channel, bool ticked) {
    if (channel < 1 || channel > channelCount() || !m_slots.setTicked(channel, ticked))
        return;
    writeLayout();
    emit layoutChanged();
}

void ChartsController::move(int channel, ChartSlots::Move move) {
    if (channel < 1 || channel > channelCount())
        return;
    if (!m_slots.move(channel, move))
        return;
    writeLayout();
    emit layoutChanged();
}

void ChartsController::setColour(int channel, int rgb) {
    if (channel >= 1 && channel <= channelCount())
        m_colours[channel] = rgb;
}

void ChartsController::setHeightPosition(int position) {
    m_height = position * kHeightStep;
    emit heightChanged();
}

void ChartsController::updateFrame() {
    if (!m_slots.built())
        return;
    for (int q = 1; q <= channelCount(); ++q) {
        const float value = m_channels.value(q);
        m_history.setCurrent(q, value);
        m_texts[q] = chartValueText(value);
        m_history.advance(q, m_historyPosition, m_points[q]);
    }
    ++m_frames;
    emit frameUpdated();
}

void ChartsController::writeLayout() {
    const QString error = chartlayout::write(m_layoutPath, m_slots.savedLayout());
    if (!error.isEmpty())
        m_log.append(QStringLiteral("Ошибка записи %1: %2").arg(QString::fromLatin1(chartlayout::kFileName), error));
}

} // namespace korvel
