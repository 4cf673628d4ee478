#pragma once

#include <QHash>
#include <QIcon>
#include <QIdentityProxyModel>

namespace korvel::ui {

// The catalogue tree's icons, drawn by us: by the node's icon index (kind + 1):
// 0 the map itself, 1 a node announcing an item, 2 curve, 3 map, 4 single
// value, 5 bit flags, 6 texts, anything else a group folder.
QIcon catalogIcon(int iconIndex);

// The catalogue model with those icons as decoration.
class CatalogIconModel : public QIdentityProxyModel {
    Q_OBJECT
public:
    using QIdentityProxyModel::QIdentityProxyModel;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

private:
    mutable QHash<int, QIcon> m_icons; // drawn once per icon index
};

} // namespace korvel::ui
