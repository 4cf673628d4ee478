#pragma once

#include <QCheckBox>
#include <QList>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <array>

class QChart;
class QChartView;
class QFrame;
class QLabel;
class QLineSeries;
class QScrollArea;
class QSlider;
class QToolButton;
class QValueAxis;

namespace korvel {
class ChartsController;
}

namespace korvel::ui {

// A channel's check box in the channel list; its Tag property is the slot.
class TMyCheckBox : public QCheckBox {
    Q_OBJECT
public:
    using QCheckBox::QCheckBox;
};

// The chart area of the full diagnostic view (ScrollBox3 under the two track
// bars) and the channel check boxes of the list ScrollBox2. It paints what
// the charts controller holds; frames arrive faster than a screen shows them,
// so repaints are gathered and done at the screen's pace, shown charts only.
class DiagnosticCharts : public QWidget {
    Q_OBJECT
public:
    DiagnosticCharts(ChartsController &charts, QScrollArea *channelList, QWidget *parent = nullptr);
    ~DiagnosticCharts() override;

    // A repaint that is waiting for the screen runs now (screenshots, benchmarks).
    void repaintNow();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    struct ChannelView {
        TMyCheckBox *box = nullptr;
        QFrame *panel = nullptr;
        QLabel *value = nullptr;
        std::array<QToolButton *, 6> buttons{};
        QChartView *chart = nullptr; // made when first shown
        QLineSeries *series = nullptr;
        QValueAxis *axisX = nullptr;
        QValueAxis *axisY = nullptr;
    };

    void build();
    void release();
    void makeChart(int channel);
    void placeAll();
    void applyHeight();
    void scheduleRepaint();
    void repaintCharts();
    void centreValue(const ChannelView &view) const;
    void pickColour(int channel);

    ChartsController &m_charts;
    QPointer<QScrollArea> m_list; // belongs to the list panel, which may go first
    QSlider *m_height = nullptr;
    QSlider *m_history = nullptr;
    QScrollArea *m_area = nullptr;
    QWidget *m_canvas = nullptr;
    QList<ChannelView> m_views; // index 1..count
    QTimer m_repaint;
};

} // namespace korvel::ui
