#include "ui/Gauges.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace korvel::ui {
namespace {

double fraction(const QString &text, double lo, double hi) {
    const double v = text.toDouble();
    return hi > lo ? std::clamp((v - lo) / (hi - lo), 0.0, 1.0) : 0.0;
}

constexpr double kStartDeg = 225; // dial runs clockwise from lower left to lower right
constexpr double kSweepDeg = 270;

} // namespace

DialGauge::DialGauge(double minimum, double maximum, QWidget *parent)
    : QWidget(parent), m_min(minimum), m_max(maximum) {
    setMinimumSize(160, 160);
}

void DialGauge::setText(const QString &text) {
    if (text == m_text)
        return;
    m_text = text;
    update();
}

void DialGauge::paintEvent(QPaintEvent *) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const double side = std::min(width(), height()) - 10.0;
    const QRectF dial((width() - side) / 2, (height() - side) / 2, side, side);
    p.setPen(QPen(palette().color(QPalette::Mid), side / 18, Qt::SolidLine, Qt::FlatCap));
    p.drawArc(dial.adjusted(side / 18, side / 18, -side / 18, -side / 18), int(kStartDeg * 16), int(-kSweepDeg * 16));
    // Red zone over the last sixth of the scale.
    p.setPen(QPen(QColor(200, 40, 40), side / 18, Qt::SolidLine, Qt::FlatCap));
    p.drawArc(dial.adjusted(side / 18, side / 18, -side / 18, -side / 18), int((kStartDeg - kSweepDeg * 5 / 6) * 16),
              int(-kSweepDeg / 6 * 16));

    p.setPen(palette().color(QPalette::WindowText));
    QFont ticks = font();
    ticks.setPixelSize(std::max(9, int(side / 16)));
    p.setFont(ticks);
    const QPointF centre = dial.center();
    const double r = side / 2;
    for (int i = 0; i <= 10; ++i) {
        const double a = qDegreesToRadians(kStartDeg - kSweepDeg * i / 10);
        const QPointF dir(std::cos(a), -std::sin(a));
        p.drawLine(centre + dir * (r * 0.78), centre + dir * (r * 0.86));
        const double value = m_min + (m_max - m_min) * i / 10;
        const QString label = QString::number(value >= 1000 ? value / 1000 : value, 'g', 3);
        p.drawText(QRectF(centre + dir * (r * 0.65) - QPointF(15, 8), QSizeF(30, 16)), Qt::AlignCenter, label);
    }

    const double a = qDegreesToRadians(kStartDeg - kSweepDeg * fraction(m_text, m_min, m_max));
    p.setPen(QPen(QColor(220, 60, 20), side / 45, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(centre, centre + QPointF(std::cos(a), -std::sin(a)) * (r * 0.8));
    p.setBrush(palette().color(QPalette::WindowText));
    p.drawEllipse(centre, side / 30, side / 30);

    QFont big = font();
    big.setPixelSize(std::max(12, int(side / 7)));
    big.setBold(true);
    p.setFont(big);
    p.setPen(palette().color(QPalette::WindowText));
    // Below the tick labels of the lower arc.
    p.drawText(QRectF(dial.left(), centre.y() + r * 0.55, side, r * 0.4), Qt::AlignCenter, m_text);
}

BarGauge::BarGauge(double minimum, double maximum, QWidget *parent) : QWidget(parent), m_min(minimum), m_max(maximum) {
    setMinimumHeight(36);
}

void BarGauge::setText(const QString &text) {
    if (text == m_text)
        return;
    m_text = text;
    update();
}

void BarGauge::paintEvent(QPaintEvent *) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF frame = QRectF(rect()).adjusted(2, 2, -2, -2);
    p.setPen(palette().color(QPalette::Mid));
    p.setBrush(palette().color(QPalette::Base));
    p.drawRoundedRect(frame, 6, 6);
    QRectF fill = frame.adjusted(3, 3, -3, -3);
    fill.setWidth(fill.width() * fraction(m_text, m_min, m_max));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(40, 120, 200));
    p.drawRoundedRect(fill, 4, 4);
    QFont bold = font();
    bold.setBold(true);
    bold.setPixelSize(std::max(12, int(frame.height() / 2)));
    p.setFont(bold);
    p.setPen(palette().color(QPalette::WindowText));
    p.drawText(frame, Qt::AlignCenter, m_text.isEmpty() ? QString() : m_text + QStringLiteral(" %"));
}

} // namespace korvel::ui
