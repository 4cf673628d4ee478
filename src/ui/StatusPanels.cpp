#include "ui/StatusPanels.h"

#include <QPainter>
#include <QProgressBar>

namespace korvel::ui {
namespace {

QColor rgb(int value) {
    return QColor::fromRgb(static_cast<QRgb>(value));
}

int panelLeft(int panel) {
    int x = 0;
    for (int i = 0; i < panel; ++i)
        x += StatusBarState::kPanelWidths[static_cast<std::size_t>(i)];
    return x;
}

} // namespace

StatusPanels::StatusPanels(QWidget *parent) : QWidget(parent), m_progress(new QProgressBar(this)) {
    setObjectName(QStringLiteral("StatusBar"));
    m_progress->setObjectName(QStringLiteral("StatusProgressBar"));
    m_progress->setTextVisible(false);
    setMinimumHeight(20);
    setMinimumWidth(panelLeft(7));
    placeProgressBar();
}

void StatusPanels::show(const StatusBarState &state) {
    if (state == m_state)
        return;
    m_state = state;
    // A table write going into ECU RAM takes the bar, with its text, until it ends.
    const bool writing = state.writeBlocksTotal > 0;
    m_progress->setVisible(writing || state.progressVisible);
    m_progress->setMaximum(writing ? state.writeBlocksTotal : state.progressMaximum);
    m_progress->setValue(writing ? state.writeBlocksDone : state.progressPosition);
    m_progress->setTextVisible(writing);
    m_progress->setFormat(writing ? state.writeText : QString());
    update();
}

void StatusPanels::resizeEvent(QResizeEvent *event) {
    QWidget::resizeEvent(event);
    placeProgressBar();
}

void StatusPanels::placeProgressBar() {
    // top 2, left = panels 0 to 2, as high as the bar minus 2, as wide as panel 3
    m_progress->setGeometry(panelLeft(3), 2, StatusBarState::kPanelWidths[3], height() - 2);
}

void StatusPanels::paintEvent(QPaintEvent *) {
    QPainter p(this);
    QFont small = font();
    small.setPixelSize(11);
    p.setFont(small);
    p.setPen(palette().color(QPalette::Mid));
    for (int i = 0; i < 7; ++i)
        p.drawRect(panelLeft(i), 0, StatusBarState::kPanelWidths[static_cast<std::size_t>(i)] - 2, height() - 1);
    p.setPen(palette().color(QPalette::WindowText));
    for (int i : {4, 5, 6})
        if (!m_state.panelText[static_cast<std::size_t>(i)].isEmpty())
            p.drawText(
                QRect(panelLeft(i) + 4, 0, StatusBarState::kPanelWidths[static_cast<std::size_t>(i)] - 8, height()),
                Qt::AlignVCenter | Qt::AlignLeft, m_state.panelText[static_cast<std::size_t>(i)]);
    for (const StatusBarState::Area *area : {&m_state.port, &m_state.link, &m_state.lambda, &m_state.identity}) {
        const QRect rect(area->fromX, 2, area->toX - area->fromX, 16);
        p.fillRect(rect, rgb(area->background));
        p.setPen(area->background == StatusBarState::kGreen || area->background == StatusBarState::kRed ? Qt::white
                                                                                                        : Qt::black);
        p.drawText(QRect(area->textX, 2, area->toX - area->textX, 16), Qt::AlignVCenter | Qt::AlignLeft, area->text);
    }
}

} // namespace korvel::ui
