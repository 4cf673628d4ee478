#include "ui/StatusPanels.h"

#include <QHelpEvent>
#include <QPainter>
#include <QProgressBar>
#include <QToolTip>

#include <algorithm>

namespace korvel::ui {
namespace {

// A panel grows to its text up to this width; a longer text is cut with "…"
// and shown whole as the panel's tooltip.
constexpr int kWidestStatusPanel = 360;
constexpr int kStatusTextPixels = 11;
constexpr int kStatusTextMargin = 4;

QColor rgb(int value) {
    return QColor::fromRgb(static_cast<QRgb>(value));
}

// Where panel i starts with the laid-down widths.
int laidDownLeft(int panel) {
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
    m_widths = StatusBarState::kPanelWidths;
    setMinimumHeight(20);
    layOutPanels();
}

QFont StatusPanels::textFont() const {
    QFont small = font();
    small.setPixelSize(kStatusTextPixels);
    return small;
}

int StatusPanels::panelLeft(int panel) const {
    int x = 0;
    for (int i = 0; i < panel; ++i)
        x += m_widths[static_cast<std::size_t>(i)];
    return x;
}

std::vector<StatusPanels::Text> StatusPanels::texts() const {
    // The three link areas in panels 0 to 2, the firmware identity at panel 4,
    // the counters and statistics as the texts of panels 4 to 6.
    std::vector<Text> out;
    const std::pair<const StatusBarState::Area *, int> areas[] = {
        {&m_state.port, 0}, {&m_state.link, 1}, {&m_state.lambda, 2}, {&m_state.identity, 4}};
    for (const auto &[area, panel] : areas)
        out.push_back({panel, area->text, area->textX - laidDownLeft(panel), area});
    for (int i : {4, 5, 6})
        out.push_back({i, m_state.panelText[static_cast<std::size_t>(i)], kStatusTextMargin, nullptr});
    return out;
}

void StatusPanels::layOutPanels() {
    const QFontMetrics metrics(textFont());
    std::array<int, 7> widths = StatusBarState::kPanelWidths;
    for (const Text &t : texts()) {
        if (t.text.isEmpty())
            continue;
        // The panel width at which textRect leaves the whole text room (one pixel spare).
        const int room = metrics.horizontalAdvance(t.text) + kStatusTextMargin + 1;
        const int laidDown = StatusBarState::kPanelWidths[static_cast<std::size_t>(t.panel)];
        const int needed =
            t.area ? room + t.offset + laidDown - (t.area->toX - laidDownLeft(t.panel)) : room + 2 * t.offset;
        int &w = widths[static_cast<std::size_t>(t.panel)];
        w = std::max(w, std::min(needed, kWidestStatusPanel));
    }
    if (widths == m_widths && minimumWidth() == panelLeft(7))
        return;
    m_widths = widths;
    setMinimumWidth(panelLeft(7));
    updateGeometry();
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
    layOutPanels();
    update();
}

void StatusPanels::resizeEvent(QResizeEvent *event) {
    QWidget::resizeEvent(event);
    placeProgressBar();
}

void StatusPanels::placeProgressBar() {
    // top 2, left = panels 0 to 2, as high as the bar minus 2, as wide as panel 3
    m_progress->setGeometry(panelLeft(3), 2, m_widths[3], height() - 2);
}

QRect StatusPanels::textRect(const Text &t) const {
    const int left = panelLeft(t.panel);
    const int width = m_widths[static_cast<std::size_t>(t.panel)];
    if (!t.area)
        return {left + t.offset, 0, width - 2 * t.offset, height()};
    // An area keeps its place in its panel and grows with it.
    const int growth = width - StatusBarState::kPanelWidths[static_cast<std::size_t>(t.panel)];
    const int right = left + (t.area->toX - laidDownLeft(t.panel)) + growth;
    return {left + t.offset, 2, right - left - t.offset, 16};
}

QString StatusPanels::shownText(const Text &t) const {
    return QFontMetrics(textFont()).elidedText(t.text, Qt::ElideRight, textRect(t).width() - kStatusTextMargin);
}

QString StatusPanels::toolTipAt(const QPoint &pos) const {
    for (const Text &t : texts())
        if (!t.text.isEmpty() && textRect(t).contains(pos) && shownText(t) != t.text)
            return t.text;
    return {};
}

bool StatusPanels::event(QEvent *event) {
    if (event->type() == QEvent::ToolTip) {
        const auto *help = static_cast<QHelpEvent *>(event);
        const QString text = toolTipAt(help->pos());
        if (text.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), text, this);
        return true;
    }
    return QWidget::event(event);
}

void StatusPanels::paintEvent(QPaintEvent *) {
    QPainter p(this);
    p.setFont(textFont());
    p.setPen(palette().color(QPalette::Mid));
    for (int i = 0; i < 7; ++i)
        p.drawRect(panelLeft(i), 0, m_widths[static_cast<std::size_t>(i)] - 2, height() - 1);
    for (const Text &t : texts()) {
        if (t.area) {
            const int growth = m_widths[static_cast<std::size_t>(t.panel)] -
                               StatusBarState::kPanelWidths[static_cast<std::size_t>(t.panel)];
            const int shift = panelLeft(t.panel) - laidDownLeft(t.panel);
            p.fillRect(QRect(t.area->fromX + shift, 2, t.area->toX - t.area->fromX + growth, 16),
                       rgb(t.area->background));
            p.setPen(t.area->background == StatusBarState::kGreen || t.area->background == StatusBarState::kRed
                         ? Qt::white
                         : Qt::black);
        } else {
            p.setPen(palette().color(QPalette::WindowText));
        }
        if (!t.text.isEmpty())
            p.drawText(textRect(t), Qt::AlignVCenter | Qt::AlignLeft, shownText(t));
    }
}

} // namespace korvel::ui
