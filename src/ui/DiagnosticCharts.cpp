#include "ui/DiagnosticCharts.h"
#include "ui/NamedWidgets.h"

#include "app/ChartsController.h"
#include "ui/OwnIcons.h"

#include <QChart>
#include <QChartView>
#include <QColorDialog>
#include <QFrame>
#include <QLabel>
#include <QLineSeries>
#include <QRandomGenerator>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSlider>
#include <QToolButton>
#include <QValueAxis>

#include <algorithm>

namespace korvel::ui {

namespace {

constexpr int kPanelWidth = 143;
constexpr int kPanelGap = 164; // chart width = area width − this; panel left likewise
constexpr int kBoxPitch = 15;
constexpr int kButton = 22;
constexpr int kTrackHeight = 18;
constexpr int kPlaceholderPoints = 11;

const QString kButtonGlyphs[6] = {QStringLiteral("⤒"), QStringLiteral("▲"), QStringLiteral("▼"),
                                  QStringLiteral("⤓"), QStringLiteral("◐"), QStringLiteral("✕")};
const QString kButtonHints[6] = {QStringLiteral("Наверх"), QStringLiteral("Выше"), QStringLiteral("Ниже"),
                                 QStringLiteral("Вниз"),   QStringLiteral("Цвет"), QStringLiteral("Скрыть")};
constexpr unsigned kButtonTile = 0x546E7A;

constexpr int kChartValuePointSize = 32;
constexpr int kValueMinimumPointSize = 9;
constexpr int kValueSideMargin = 4;

QFont valueFont(int pointSize) {
    return QFont(QStringLiteral("Times New Roman"), pointSize);
}

// The value's font: 32 point, smaller for a long number so that it stays
// whole inside the panel.
QFont fittedValueFont(const QString &text, int width) {
    int size = kChartValuePointSize;
    while (size > kValueMinimumPointSize && QFontMetrics(valueFont(size)).horizontalAdvance(text) > width)
        --size;
    return valueFont(size);
}

} // namespace

DiagnosticCharts::DiagnosticCharts(ChartsController &charts, QScrollArea *channelList, QWidget *parent)
    : QWidget(parent), m_charts(charts), m_list(channelList) {
    setObjectName(QStringLiteral("ScrollBox1"));
    m_height = new QSlider(Qt::Horizontal, this);
    m_height->setObjectName(QStringLiteral("TrackBargraf"));
    m_height->setRange(5, 56);
    m_height->setValue(ChartsController::kInitialHeightPosition);
    m_height->setToolTip(QStringLiteral("Высота графиков"));
    m_history = new QSlider(Qt::Horizontal, this);
    m_history->setObjectName(QStringLiteral("TrackBargraf2"));
    m_history->setRange(0, 36);
    m_history->setValue(ChartsController::kInitialHistoryPosition);
    m_history->setToolTip(QStringLiteral("Длина истории"));
    m_area = new QScrollArea(this);
    m_area->setObjectName(QStringLiteral("ScrollBox3"));
    m_canvas = new QWidget;
    m_area->setWidget(m_canvas);
    m_area->setWidgetResizable(false);

    connect(m_height, &QSlider::valueChanged, &m_charts, &ChartsController::setHeightPosition);
    connect(m_history, &QSlider::valueChanged, &m_charts, &ChartsController::setHistoryPosition);
    m_charts.setHistoryPosition(m_history->value());
    connect(&m_charts, &ChartsController::chartsBuilt, this, &DiagnosticCharts::build);
    connect(&m_charts, &ChartsController::chartsReleased, this, &DiagnosticCharts::release);
    connect(&m_charts, &ChartsController::layoutChanged, this, &DiagnosticCharts::placeAll);
    connect(&m_charts, &ChartsController::heightChanged, this, &DiagnosticCharts::applyHeight);
    connect(&m_charts, &ChartsController::frameUpdated, this, &DiagnosticCharts::scheduleRepaint);

    connect(m_area->verticalScrollBar(), &QScrollBar::valueChanged, this, &DiagnosticCharts::scheduleRepaint);
    m_repaint.setSingleShot(true);
    connect(&m_repaint, &QTimer::timeout, this, &DiagnosticCharts::repaintCharts);
    if (m_charts.built())
        build();
}

DiagnosticCharts::~DiagnosticCharts() {
    release();
}

void DiagnosticCharts::resizeEvent(QResizeEvent *) {
    const int half = qRound(width() / 2.0);
    m_height->setGeometry(0, 0, half, kTrackHeight);
    m_history->setGeometry(half, 0, half, kTrackHeight);
    m_area->setGeometry(4, kTrackHeight, width() - 8, height() - kTrackHeight);
    placeAll();
}

void DiagnosticCharts::build() {
    release();
    auto *listCanvas = new QWidget;
    const int count = m_charts.channelCount();
    const int areaWidth = m_area->viewport()->width();
    m_views.resize(count + 1);
    for (int q = 1; q <= count; ++q) {
        ChannelView &view = m_views[q];
        view.box = new TMyCheckBox(m_charts.names().at(q - 1), listCanvas);
        view.box->setObjectName(QStringLiteral("mdiag%1").arg(q));
        view.box->setProperty("Tag", -1);
        connect(view.box, &QCheckBox::toggled, this, [this, q](bool on) { m_charts.setTicked(q, on); });

        view.panel = new QFrame(m_canvas);
        view.panel->setObjectName(QStringLiteral("mdiagpanel%1").arg(q));
        view.panel->setFrameShape(QFrame::Panel);
        view.panel->setGeometry(areaWidth - kPanelGap, 140 * q - 138, kPanelWidth, ChartsController::kBuiltHeight);
        view.panel->hide();
        auto *name = new QLabel(m_charts.names().at(q - 1), view.panel);
        name->setGeometry(4, 4, 135, 44);
        name->setWordWrap(true);
        name->setAlignment(Qt::AlignTop | Qt::AlignLeft);
        view.value = new QLabel(QStringLiteral("0"), view.panel);
        view.value->setFont(valueFont(kChartValuePointSize));
        QPalette palette = view.value->palette();
        palette.setColor(QPalette::WindowText, colourOf(m_charts.colour(q)));
        view.value->setPalette(palette);
        view.value->move(4, 48);
        view.value->adjustSize();
        for (int s = 0; s < 6; ++s) {
            auto *button = new QToolButton(view.panel);
            button->setIcon(glyphIcon(kButtonGlyphs[s], kButtonTile));
            button->setToolTip(kButtonHints[s]);
            button->setFixedSize(kButton, kButton);
            button->move(s * kButton + 2, view.panel->height() - kButton - 4);
            view.buttons[static_cast<std::size_t>(s)] = button;
            if (s < 4)
                connect(button, &QToolButton::clicked, this,
                        [this, q, s] { m_charts.move(q, static_cast<ChartSlots::Move>(s + 1)); });
            else if (s == 4)
                connect(button, &QToolButton::clicked, this, [this, q] { pickColour(q); });
            else
                connect(button, &QToolButton::clicked, this, [this, q] { m_charts.setTicked(q, false); });
        }
    }
    if (!m_list) {
        delete listCanvas;
        return;
    }
    // Each box as wide as the list allows, and never narrower than its caption:
    // a list laid out while hidden is still narrow, and scrolls sideways instead.
    int canvasWidth = std::max(m_list->viewport()->width(), 120);
    for (int q = 1; q <= count; ++q) {
        TMyCheckBox *box = m_views[q].box;
        const int width = std::max({m_list->viewport()->width() - 26, 100, box->sizeHint().width()});
        box->setGeometry(4, (q - 1) * kBoxPitch, width, kBoxPitch);
        canvasWidth = std::max(canvasWidth, width + 4);
    }
    listCanvas->resize(canvasWidth, count * kBoxPitch);
    m_list->setWidget(listCanvas);
    placeAll();
}

void DiagnosticCharts::release() {
    m_repaint.stop();
    for (ChannelView &view : m_views) {
        delete view.chart;
        delete view.panel;
    }
    m_views.clear();
    if (m_list && m_list->widget())
        delete m_list->takeWidget();
}

void DiagnosticCharts::makeChart(int channel) {
    ChannelView &view = m_views[channel];
    auto *chart = new QChart;
    chart->legend()->hide();
    chart->setBackgroundRoundness(0);
    QMargins margins = chart->margins();
    margins.setLeft(0);
    margins.setTop(0);
    margins.setBottom(0);
    chart->setMargins(margins);
    view.series = new QLineSeries;
    QPen pen(colourOf(m_charts.colour(channel)));
    pen.setWidth(3);
    view.series->setPen(pen);
    // Until the first frame the chart shows a few random points.
    auto *random = QRandomGenerator::global();
    if (m_charts.framesSinceBuild() == 0)
        for (int i = 0; i < kPlaceholderPoints; ++i)
            view.series->append(random->bounded(100), random->bounded(100));
    chart->addSeries(view.series);
    view.axisX = new QValueAxis;
    view.axisY = new QValueAxis;
    view.axisX->setLabelsVisible(false);
    view.axisX->setRange(0, 99);
    view.axisY->setRange(0, 99);
    chart->addAxis(view.axisX, Qt::AlignBottom);
    chart->addAxis(view.axisY, Qt::AlignLeft);
    view.series->attachAxis(view.axisX);
    view.series->attachAxis(view.axisY);
    view.chart = new QChartView(chart, m_canvas);
    view.chart->setObjectName(QStringLiteral("mdiagcharts%1").arg(channel));
    view.chart->setRenderHint(QPainter::Antialiasing, false);
}

void DiagnosticCharts::placeAll() {
    if (m_views.isEmpty())
        return;
    const ChartSlots &slotsOf = m_charts.chartSlots();
    const int height = m_charts.chartHeight();
    const int width = m_area->viewport()->width();
    int lowest = 0;
    for (int q = 1; q < m_views.size(); ++q) {
        ChannelView &view = m_views[q];
        const int slot = slotsOf.slot(q);
        {
            const QSignalBlocker quiet(view.box);
            view.box->setChecked(slotsOf.ticked(q));
        }
        view.box->setProperty("Tag", slot);
        if (slot < 1) {
            view.panel->hide();
            if (view.chart)
                view.chart->hide();
            continue;
        }
        if (!view.chart)
            makeChart(q);
        const int top = (slot - 1) * height;
        view.panel->setGeometry(width - kPanelGap, top, kPanelWidth, height);
        view.chart->setGeometry(0, top, std::max(width - kPanelGap, 0), height);
        view.panel->show();
        view.chart->show();
        lowest = std::max(lowest, top + height);
    }
    m_canvas->resize(width, lowest);
    scheduleRepaint();
}

void DiagnosticCharts::applyHeight() {
    const int height = m_charts.chartHeight();
    for (int q = 1; q < m_views.size(); ++q)
        for (QToolButton *button : m_views[q].buttons)
            button->move(button->x(), height - kButton - 4);
    placeAll();
}

void DiagnosticCharts::scheduleRepaint() {
    if (m_repaint.isActive())
        return;
    const QScreen *shown = screen();
    const double rate = shown && shown->refreshRate() > 1 ? shown->refreshRate() : 60.0;
    m_repaint.start(qRound(1000.0 / rate));
}

void DiagnosticCharts::repaintNow() {
    m_repaint.stop();
    repaintCharts();
}

void DiagnosticCharts::repaintCharts() {
    if (m_charts.framesSinceBuild() == 0)
        return;
    // Only what the scroll box shows is brought up to date; scrolling asks for a repaint.
    const QRect seen(-m_canvas->pos(), m_area->viewport()->size());
    QList<QPointF> points;
    for (int q = 1; q < m_views.size(); ++q) {
        ChannelView &view = m_views[q];
        if (!view.chart || !view.chart->isVisible() || !view.chart->geometry().intersects(seen))
            continue;
        const QColor colour = colourOf(m_charts.colour(q));
        view.value->setText(m_charts.valueText(q));
        if (view.value->palette().color(QPalette::WindowText) != colour) {
            QPalette palette = view.value->palette();
            palette.setColor(QPalette::WindowText, colour);
            view.value->setPalette(palette);
        }
        centreValue(view);

        const QList<float> &samples = m_charts.points(q);
        points.resize(samples.size());
        float low = 0;
        float high = 0;
        for (qsizetype i = 0; i < samples.size(); ++i) {
            points[i] = QPointF(static_cast<double>(i), static_cast<double>(samples[i]));
            low = i == 0 ? samples[i] : std::min(low, samples[i]);
            high = i == 0 ? samples[i] : std::max(high, samples[i]);
        }
        if (view.series->pen().color() != colour) {
            QPen pen = view.series->pen();
            pen.setColor(colour);
            view.series->setPen(pen);
        }
        view.series->replace(points);
        view.axisX->setRange(0, std::max<double>(static_cast<double>(samples.size()) - 1, 1));
        const double pad = high > low ? (high - low) * 0.05 : 1.0;
        view.axisY->setRange(low - pad, high + pad);
    }
}

void DiagnosticCharts::centreValue(const ChannelView &view) const {
    const QWidget *panel = view.panel;
    const QFont font = fittedValueFont(view.value->text(), panel->width() - 2 * kValueSideMargin);
    if (font != view.value->font())
        view.value->setFont(font);
    view.value->adjustSize();
    view.value->move(qRound((panel->width() - view.value->width()) / 2.0),
                     qRound((panel->height() - view.value->height()) / 2.0));
}

void DiagnosticCharts::pickColour(int channel) {
    const QColor chosen = QColorDialog::getColor(colourOf(m_charts.colour(channel)), this);
    if (!chosen.isValid() || channel >= m_views.size())
        return;
    m_charts.setColour(channel, static_cast<int>(chosen.rgb() & 0xFFFFFF));
    QPalette palette = m_views[channel].value->palette();
    palette.setColor(QPalette::WindowText, chosen);
    m_views[channel].value->setPalette(palette);
}

} // namespace korvel::ui
