#pragma once

#include <QImage>
#include <QWidget>

#include <functional>

class QAction;
class QCheckBox;
class QComboBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollArea;
class QSlider;
class QStackedWidget;
class QTableView;

namespace korvel {
class TableEditorController;
class TableGridModel;
struct DisplayOptions;
} // namespace korvel

namespace korvel::ui {

class FullScreenPanel;
class TableChartView;
class TableSurface;
class SingleValuePanel;
class FlagPanel;
class IdentPanel;

// The calibration editor's page: the open entry as a grid, a line chart and a
// 3-D surface (curves and maps) or as its own panel (single value, flags,
// texts), with the display, marks and range controls. It paints what the
// editor says and hands every gesture to it.
class TableViewPage : public QWidget {
    Q_OBJECT
public:
    explicit TableViewPage(TableEditorController &editor, QWidget *parent = nullptr);

    // `vs`: the comparison line on or off (the check box lives with the firmware files).
    void setCompare(bool on);
    // The area "График на весь экран" covers: the window's page area. Without
    // one, the chart covers this page.
    void setFullScreenHost(QWidget *host) { m_fullScreenHost = host; }
    // The chart or surface shown over the page area, or null.
    QWidget *fullScreenPanel() const;

    QTableView *grid() const { return m_grid; }
    TableChartView *chart() const { return m_chart; }
    TableSurface *surface() const { return m_surface; }
    // The widget in front of the entry area (gr2d, gr1d, flags, ident or unknow).
    QWidget *frontPanel() const;
    // The page as shown, the 3-D surface included (a GL window that widget grabs miss).
    QImage snapshot();

private:
    void buildBars();
    void buildMarksPanel();
    void refresh();
    void refreshSelection();
    void placeTableViews();
    void changeOptions(const std::function<void(DisplayOptions &)> &change);
    void buildBlockCommands(QWidget *bars, QLayout *row);
    void showFullScreen(QWidget *target);
    void leaveFullScreen();
    void hideEvent(QHideEvent *event) override;
    // The grid's selected block as columns and rows from 1; null when nothing is selected.
    QRect selectedBlock() const;
    // Enter outside an edit, and after one: the cell below becomes current.
    void moveCurrentDown();
    // The grid's selected block becomes the range of the range commands.
    void takeSelectedBlock();
    // Ctrl+C / Ctrl+V and Enter on the grid; true when the key was taken.
    bool gridKey(const QKeyEvent *key);
    bool eventFilter(QObject *watched, QEvent *event) override;

    TableEditorController &m_editor;
    TableGridModel *m_model = nullptr;
    QLabel *m_title = nullptr;
    QLabel *m_diff = nullptr;
    QPushButton *m_displayMode = nullptr;
    QPushButton *m_fullScreen = nullptr;
    QPushButton *m_marksButton = nullptr;
    QPushButton *m_send = nullptr;
    QCheckBox *m_depth = nullptr;
    QSlider *m_row = nullptr;
    QLabel *m_selectionLabel = nullptr;
    QLineEdit *m_step = nullptr;
    QList<QPushButton *> m_rangeButtons;
    QList<QAction *> m_blockActions;
    QComboBox *m_cellShow = nullptr;
    QLabel *m_pasteNote = nullptr;
    QWidget *m_marks = nullptr;
    QCheckBox *m_marksOn = nullptr;
    QSlider *m_angle = nullptr;
    QSlider *m_every = nullptr;
    QSlider *m_fontSize = nullptr;
    QLabel *m_angleText = nullptr;
    QLabel *m_everyText = nullptr;
    QLabel *m_fontText = nullptr;
    QLabel *m_colourText = nullptr;
    QStackedWidget *m_stack = nullptr;
    QWidget *m_empty = nullptr;
    QWidget *m_tables = nullptr; // gr2d
    QTableView *m_grid = nullptr;
    TableChartView *m_chart = nullptr;
    TableSurface *m_surface = nullptr;
    SingleValuePanel *m_single = nullptr;
    FlagPanel *m_flags = nullptr;
    QScrollArea *m_flagsScroll = nullptr; // holds m_flags
    IdentPanel *m_ident = nullptr;
    QWidget *m_unknown = nullptr;
    QWidget *m_fullScreenHost = nullptr;
    FullScreenPanel *m_fullScreenPanel = nullptr;
    int m_fullScreenIndex = -1;
    bool m_updating = false;
    bool m_selectingByKeys = false; // a Shift+arrow key is being handled by the grid
};

} // namespace korvel::ui
