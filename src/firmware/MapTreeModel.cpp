#include "firmware/MapTreeModel.h"

namespace korvel {

MapTreeModel::MapTreeModel(QObject *parent) : QAbstractItemModel(parent) {}

void MapTreeModel::setMap(CalibrationMap map, MapTree tree) {
    beginResetModel();
    m_map = std::move(map);
    m_tree = std::move(tree);
    m_loaded = true;
    rebuildChildren();
    endResetModel();
}

void MapTreeModel::clear() {
    beginResetModel();
    m_map = {};
    m_tree = {};
    m_loaded = false;
    rebuildChildren();
    endResetModel();
}

void MapTreeModel::rebuildChildren() {
    m_children.assign(m_tree.nodes.size() + 1, {});
    m_rowOf.assign(m_tree.nodes.size(), 0);
    for (std::size_t i = 0; i < m_tree.nodes.size(); ++i) {
        auto &siblings = m_children[static_cast<std::size_t>(m_tree.nodes[i].parent + 1)];
        m_rowOf[i] = static_cast<int>(siblings.size());
        siblings.push_back(static_cast<int>(i));
    }
}

int MapTreeModel::parentId(quintptr id) const {
    return m_tree.nodes[id - 1].parent + 1;
}

const MapNode *MapTreeModel::node(const QModelIndex &index) const {
    if (!index.isValid() || index.model() != this || index.internalId() == 0)
        return nullptr;
    return &m_tree.nodes[index.internalId() - 1];
}

Outcome<TableDescriptor> MapTreeModel::descriptor(const QModelIndex &index) const {
    const MapNode *n = node(index);
    if (!n)
        return Outcome<TableDescriptor>::failure(QStringLiteral("Не выбрана таблица"));
    return readTableDescriptor(m_map, n->kind, n->reference);
}

QModelIndex MapTreeModel::rootIndex() const {
    return m_loaded ? createIndex(0, 0, quintptr{0}) : QModelIndex();
}

QModelIndex MapTreeModel::indexOfNode(int nodeIndex) const {
    if (nodeIndex < 0 || nodeIndex >= static_cast<int>(m_tree.nodes.size()))
        return {};
    return createIndex(m_rowOf[static_cast<std::size_t>(nodeIndex)], 0, idOf(nodeIndex));
}

QModelIndex MapTreeModel::index(int row, int column, const QModelIndex &parent) const {
    if (column != 0 || row < 0 || !m_loaded)
        return {};
    if (!parent.isValid())
        return row == 0 ? rootIndex() : QModelIndex();
    const auto &children = m_children[parent.internalId()];
    if (row >= static_cast<int>(children.size()))
        return {};
    return createIndex(row, 0, idOf(children[static_cast<std::size_t>(row)]));
}

QModelIndex MapTreeModel::parent(const QModelIndex &child) const {
    if (!child.isValid() || child.internalId() == 0)
        return {};
    const int id = parentId(child.internalId());
    return id == 0 ? rootIndex() : indexOfNode(id - 1);
}

int MapTreeModel::rowCount(const QModelIndex &parent) const {
    if (!m_loaded)
        return 0;
    if (!parent.isValid())
        return 1;
    if (parent.column() != 0)
        return 0;
    return static_cast<int>(m_children[parent.internalId()].size());
}

int MapTreeModel::columnCount(const QModelIndex &) const {
    return 1;
}

QVariant MapTreeModel::data(const QModelIndex &index, int role) const {
    if (!index.isValid())
        return {};
    const MapNode *n = node(index);
    switch (role) {
    case Qt::DisplayRole:
        return n ? n->name : m_tree.rootText;
    case KindRole:
        return n ? n->kind : -1;
    case IconIndexRole:
        return n ? n->iconIndex() : 0;
    case ReferenceRole:
        return n ? n->reference : qint64{-1};
    case LevelRole:
        return n ? n->level : 0;
    default:
        return {};
    }
}

QHash<int, QByteArray> MapTreeModel::roleNames() const {
    QHash<int, QByteArray> names = QAbstractItemModel::roleNames();
    names.insert(KindRole, "kind");
    names.insert(IconIndexRole, "iconIndex");
    names.insert(ReferenceRole, "reference");
    names.insert(LevelRole, "level");
    return names;
}

} // namespace korvel
