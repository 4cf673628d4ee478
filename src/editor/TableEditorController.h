#pragma once

#include "editor/BlockCommands.h"
#include "editor/EntryPanels.h"
#include "editor/PointSelection.h"
#include "editor/TableEdits.h"
#include "editor/TableView.h"
#include "editor/TableWriteScheduler.h"
#include "editor/WorkingPointTrail.h"
#include "tuning/GridAxes.h"

#include <QObject>

#include <functional>
#include <optional>

namespace korvel {

class FirmwareStore;
class ProgramLog;

// The calibration editor without a window: shows one catalogue entry
// (`ShowTable`) and carries out every edit gesture on it. Each gesture changes
// the image as one undo step and ends with the entry shown again from the
// image; the window repaints on viewChanged.
class TableEditorController : public QObject {
    Q_OBJECT
public:
    // The shared axes as the tuning grids build them from the image ("frompc").
    using AxesSource = std::function<GridAxes()>;
    // The three views a map can bring to the front (`DisplayMode` order).
    enum class Front { Chart = 0, Grid = 1, Surface = 2 };

    explicit TableEditorController(FirmwareStore &store, ProgramLog *log = nullptr, QObject *parent = nullptr);

    // Without a source the axes are built from the image as for a J5LS firmware.
    void setAxesSource(AxesSource source) { m_axes = std::move(source); }
    TableWriteScheduler &tableWriter() { return m_writer; }

    // `ShowTable`: the entry at `ref` of `map` (kept for every redisplay).
    // False when its description cannot be read (logged).
    bool showTable(const CalibrationMap &map, const TableRef &ref);
    // No entry open any more (the map it came from was replaced).
    void closeTable();
    // `ShowTable` again with the stored entry, e.g. after a firmware load.
    bool redisplay();
    bool hasTable() const { return m_map.has_value(); }
    const TableRef &current() const { return m_ref; }
    int kind() const { return m_ref.kind; }

    const TableView &view() const { return m_view; }
    const SingleValueView &singleValue() const { return m_single; }
    const FlagPanelView &flags() const { return m_flags; }
    const IdentView &ident() const { return m_ident; }
    // The heat-map fill of data cell (column, row), both from 1.
    std::optional<int> cellColour(int column, int row) const;
    // What the grid shows in the cell: its value, or its difference from the comparison.
    QString shownText(int column, int row) const;
    // The cell differs from the comparison firmware, and the comparison is drawn.
    bool markedDifferent(int column, int row) const;

    // The engine's operating point, while connected: its cell on the open map
    // joins the trail (the clock in milliseconds, any origin).
    void showOperatingPoint(const GridPosition &position, qint64 nowMs);
    // Disconnected: no working point any more.
    void clearOperatingPoint();
    // The strength of the cell's working-point mark, 1 for the current cell,
    // fading with age; nothing when the cell has none.
    std::optional<double> workingPointStrength(int column, int row) const;
    const std::vector<WorkingPointTrail::Mark> &workingPointMarks() const { return m_trailMarks; }

    const DisplayOptions &options() const { return m_options; }
    void setOptions(const DisplayOptions &options); // and redisplay

    int displayMode() const { return m_displayMode; }
    Front front() const { return m_front; }
    // `BitBtn7Click`: ends the selection, brings the next view to the front.
    Front nextDisplay();
    // Whether the full-screen button BitBtn9 is offered (curves and maps); the
    // status timer's button rules show BitBtn17 with it.
    bool fullScreenShown() const { return m_ref.kind == 1 || m_ref.kind == 2; }
    // `BitBtn9Click`: which chart goes full screen.
    Front fullScreenTarget() const { return m_displayMode == 0 ? Front::Surface : Front::Chart; }

    // A point of chart line `line` (from 1) dragged to `value`: the grid cell
    // takes the value snapped to the table's step; nothing is written yet.
    void dragPoint(int line, int index, double value);
    // End of a gesture on the chart: the grid is written back; Shift alone takes a corner.
    void chartReleased(bool shiftOnly, double x, double y, int px, int py);
    void gridReleased(bool shiftOnly, int left, int top, int right, int bottom, int px, int py);
    const PointSelection &selection() const { return m_selection; }

    QString changeText() const { return m_changeText; } // EditChangepoints, "1" at start
    void setChangeText(const QString &text) { m_changeText = text; }
    bool runRangeCommand(RangeCommand command);
    // A block command on the selection's block (the percent from EditChangepoints), as one edit.
    bool runBlockCommand(BlockCommand command);
    // A value typed into a grid cell (column, row from 1).
    bool setCellText(int column, int row, const QString &text);
    // Writes the cells whose value the edit changed (limited to the table's
    // range) and shows the table again.
    bool applyGridEdits();
    // Ctrl+C on the grid: the block's texts (columns and rows from 1, bounds included).
    QString copyBlock(int left, int top, int right, int bottom) const;
    // The same block with the table's breakpoints in its first row and column.
    QString copyBlockWithAxes(int left, int top, int right, int bottom) const;
    // Ctrl+V on the grid: the copied texts from cell (column, row) on, limited
    // and written back as one edit; one value fills the selected block up to
    // (right, bottom). A block copied with its axes leaves them out. What the
    // paste found is logged and announced (pasteReported). False, nothing
    // written, when nothing fits.
    bool pasteBlock(int column, int row, const QString &text, int right = 0, int bottom = 0);
    // Whole-table cell texts from elsewhere (an imported table), applied as one edit.
    bool applyCells(const CellTexts &cells);

    // Enter in `Edit78`: the typed single value is written.
    bool enterSingleValue(const QString &text);
    // `BitBtn8Click`: the value shown when the entry was displayed.
    QString previousValue() const { return m_single.valueText; }
    // A flag box released: all eight flag bytes are written.
    bool setFlag(int boxNumber, bool ticked);

    bool undoStep();
    // `BitBtn6Click`: the shown table (or single value) to the ECU via `TimerRW`.
    bool sendToEcu();

signals:
    void viewChanged();
    void cellsChanged(); // grid texts changed without a redisplay (dragging)
    void selectionChanged();
    // After a send: the tuning grids are reloaded from the image and the save timer started.
    void tableSent();
    // A paste said what it found: a block with or without axes, and where it went.
    void pasteReported(const QString &text);
    // The working point or its trail moved.
    void workingPointChanged();

private:
    void log(const QString &line) const;
    GridAxes axes() const;
    void refreshHeat();

    FirmwareStore &m_store;
    ProgramLog *m_log;
    AxesSource m_axes;
    TableWriteScheduler m_writer;
    std::optional<CalibrationMap> m_map;
    TableRef m_ref;
    DisplayOptions m_options;
    TableView m_view;
    CellTexts m_shown; // the grid as last read from the image: what an edit is measured against
    HeatStats m_heat;
    SingleValueView m_single;
    FlagPanelView m_flags;
    IdentView m_ident;
    PointSelection m_selection;
    WorkingPointTrail m_trail;
    std::vector<WorkingPointTrail::Mark> m_trailMarks; // as of the last operating point
    QString m_changeText = QStringLiteral("1");
    int m_displayMode = 1;
    Front m_front = Front::Grid;
};

} // namespace korvel
