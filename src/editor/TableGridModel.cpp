#include "editor/TableGridModel.h"

#include "editor/TableEditorController.h"

namespace korvel {

TableGridModel::TableGridModel(TableEditorController &editor, QObject *parent)
    : QAbstractTableModel(parent), m_editor(editor) {
    connect(&editor, &TableEditorController::viewChanged, this, [this] {
        // The same shape again (an edit, an undo, a correction): the cells and
        // headers change in place, so the current cell and the selection stay.
        const int rows = rowCount();
        const int columns = columnCount();
        if (rows == m_rows && columns == m_columns) {
            if (rows > 0 && columns > 0)
                emit dataChanged(index(0, 0), index(rows - 1, columns - 1));
            if (columns > 0)
                emit headerDataChanged(Qt::Horizontal, 0, columns - 1);
            if (rows > 0)
                emit headerDataChanged(Qt::Vertical, 0, rows - 1);
            return;
        }
        beginResetModel();
        m_rows = rows;
        m_columns = columns;
        endResetModel();
    });
    connect(&editor, &TableEditorController::workingPointChanged, this, [this] {
        if (rowCount() > 0 && columnCount() > 0)
            emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1), {WorkingPointRole});
    });
    connect(&editor, &TableEditorController::cellsChanged, this, [this] {
        if (rowCount() > 0 && columnCount() > 0)
            emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
    });
}

int TableGridModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_editor.view().cells.size());
}

int TableGridModel::columnCount(const QModelIndex &parent) const {
    return parent.isValid() || m_editor.view().cells.empty() ? 0
                                                             : static_cast<int>(m_editor.view().cells.front().size());
}

QVariant TableGridModel::data(const QModelIndex &index, int role) const {
    if (!index.isValid())
        return {};
    const auto r = static_cast<std::size_t>(index.row());
    const auto c = static_cast<std::size_t>(index.column());
    const TableView &view = m_editor.view();
    switch (role) {
    case Qt::DisplayRole:
        return m_editor.shownText(index.column() + 1, index.row() + 1);
    case Qt::EditRole:
        return view.cells[r][c];
    case DifferentRole:
        return m_editor.markedDifferent(index.column() + 1, index.row() + 1);
    case WorkingPointRole: {
        const std::optional<double> strength = m_editor.workingPointStrength(index.column() + 1, index.row() + 1);
        return strength ? QVariant(*strength) : QVariant();
    }
    case HeatRole: {
        const std::optional<int> colour = m_editor.cellColour(index.column() + 1, index.row() + 1);
        return colour ? QVariant(*colour) : QVariant();
    }
    case ComparisonRole:
    case Qt::ToolTipRole:
        return r < view.comparison.size() ? QVariant(view.comparison[r][c]) : QVariant();
    default:
        return {};
    }
}

QVariant TableGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole)
        return {};
    const TableView &view = m_editor.view();
    if (orientation == Qt::Horizontal)
        return view.columnHeaders.value(section);
    // A curve's one row is titled with its value name.
    return view.rowHeaders.isEmpty() ? view.valueTitle : view.rowHeaders.value(section);
}

Qt::ItemFlags TableGridModel::flags(const QModelIndex &index) const {
    return QAbstractTableModel::flags(index) | Qt::ItemIsEditable;
}

bool TableGridModel::setData(const QModelIndex &index, const QVariant &value, int role) {
    if (!index.isValid() || role != Qt::EditRole)
        return false;
    return m_editor.setCellText(index.column() + 1, index.row() + 1, value.toString());
}

} // namespace korvel
