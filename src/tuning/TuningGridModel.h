#pragma once

#include "tuning/GridView.h"
#include "tuning/TuningGrid.h"

#include <QAbstractTableModel>
#include <QString>

#include <array>
#include <optional>

namespace korvel {

class TuningTables;

// What one cell of the tuning grid shows for a grid choice: the number behind
// it (for painters that colour by value) and its text.
struct TuningCellView {
    double value = 0;
    QString text;
};
// `choiceIndex` is the choice's place in the selector: entries 0 and 1 ("РТ …",
// "Коррекция …") are told apart by place, the rest by name. An unknown choice
// shows the cell like entry 0.
TuningCellView tuningCellView(const TuningCell &cell, int choiceIndex, const QString &choice);

// The 16 x 16 tuning grid as a table: columns are the engine speed
// breakpoints, rows the load breakpoints of the selected grid choice (throttle,
// pressure or cyclic air), cells the selected quantity of each working point.
// It reads the tables live; refresh() tells the views that the cells changed.
class TuningGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // The cell's number as a double (Qt::DisplayRole holds its text).
    static constexpr int ValueRole = Qt::UserRole + 1;
    // The cell's colour as 0xRRGGBB; nothing for the grid's default.
    static constexpr int ColourRole = Qt::UserRole + 2;
    // True for a cell a tuner locked: tuning leaves it as it is.
    static constexpr int LockedRole = Qt::UserRole + 3;

    // What the colours are decided from besides the cells: the highlighted
    // cell or block, the load mode of tuning, the scale of the shown values
    // and whether CheckBoxcolodgrid asks for the gradient.
    struct Marking {
        std::optional<GridHighlight> highlight;
        bool byPressure = false;
        GridValueScale range;
    };

    // Values shown in place of the cells' own (a logged drive's table, the
    // corrections a replay proposes). With a colour of its own every shown
    // cell takes it; without, the shown values are coloured on the gradient
    // of their own scale, as the live values are. Cells without a value are blank.
    struct Overlay {
        std::array<std::optional<TuningCellView>, TuningGrid::kCells> cells{};
        std::optional<CellColour> colour;
    };

    explicit TuningGridModel(const TuningTables &tables, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // Every cell may have changed (a repaint tick, a reloaded image); the
    // headers are announced only when the axes or the load axis changed.
    void refresh();
    void setMarking(const Marking &marking);
    const Marking &marking() const { return m_marking; }
    void setGradient(bool on);
    bool gradient() const { return m_gradient; }
    // Nothing: the cells show their own values again.
    void setOverlay(std::optional<Overlay> overlay);
    const std::optional<Overlay> &overlay() const { return m_overlay; }

private:
    using Titles = std::array<int, TuningGrid::kSize>;
    Titles columnTitles() const;
    Titles rowTitles() const;
    QString choice() const;
    QVariant overlayData(const QModelIndex &index, int role) const;

    const TuningTables &m_tables;
    Titles m_shownColumns{};
    Titles m_shownRows{};
    Marking m_marking;
    bool m_gradient = false;
    std::optional<Overlay> m_overlay;
    GridValueScale m_overlayRange;
};

} // namespace korvel
