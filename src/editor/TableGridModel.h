#pragma once

#include <QAbstractTableModel>

namespace korvel {

class TableEditorController;

// The grid of the open curve or map: one row per table row, one column per
// cell, the axis headers as headers. Typing into a cell is an edit of the
// whole table (written back at once).
class TableGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int HeatRole = Qt::UserRole + 1;         // 0xRRGGBB fill, or nothing
    static constexpr int ComparisonRole = Qt::UserRole + 2;   // the comparison firmware's text
    static constexpr int DifferentRole = Qt::UserRole + 3;    // true: differs from the drawn comparison
    static constexpr int WorkingPointRole = Qt::UserRole + 4; // strength of the working-point mark, 0..1

    explicit TableGridModel(TableEditorController &editor, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;

private:
    TableEditorController &m_editor;
    int m_rows = 0; // the shape last announced to the views
    int m_columns = 0;
};

} // namespace korvel
