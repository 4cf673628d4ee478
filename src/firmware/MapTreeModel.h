#pragma once

#include "firmware/CalibrationMap.h"

#include <QAbstractItemModel>

#include <vector>

namespace korvel {

// The catalogue tree over a loaded map: one root row (the map's file name)
// and under it one row per node record, nested by level. The window picks a
// node's icon by its kind and opens a table with its description.
class MapTreeModel : public QAbstractItemModel {
    Q_OBJECT
public:
    enum Role {
        KindRole = Qt::UserRole + 1, // the node's TableKind byte; -1 for the root
        IconIndexRole,               // kind + 1; 0 for the root
        ReferenceRole,               // offset of the node in the map; -1 for the root
        LevelRole,                   // the level byte as stored
    };

    explicit MapTreeModel(QObject *parent = nullptr);

    // Replaces the whole tree (and the map its descriptions are read from).
    void setMap(CalibrationMap map, MapTree tree);
    void clear();

    const CalibrationMap &map() const { return m_map; }
    const MapTree &tree() const { return m_tree; }

    // The node behind an index; nullptr for the root or an invalid index.
    const MapNode *node(const QModelIndex &index) const;
    // The description of a table node; refused for the root, groups, items
    // and descriptions that do not lie inside the map.
    Outcome<TableDescriptor> descriptor(const QModelIndex &index) const;
    QModelIndex rootIndex() const;
    QModelIndex indexOfNode(int nodeIndex) const;

    QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QHash<int, QByteArray> roleNames() const override;

private:
    // Ids: 0 is the root, node i has id i + 1 (kept in the index's internal id).
    static quintptr idOf(int nodeIndex) { return static_cast<quintptr>(nodeIndex + 1); }
    int parentId(quintptr id) const;
    void rebuildChildren();

    CalibrationMap m_map;
    MapTree m_tree;
    bool m_loaded = false;
    std::vector<std::vector<int>> m_children; // by id: the children's node indices
    std::vector<int> m_rowOf;                 // by node index: its row under its parent
};

} // namespace korvel
