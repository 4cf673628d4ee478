#include "live/StatisticsModel.h"

namespace korvel {

void StatisticsModel::setChannels(const QStringList &names) {
    beginResetModel();
    m_channels = names;
    endResetModel();
}

int StatisticsModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_channels.size());
}

int StatisticsModel::columnCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : kColumns;
}

QVariant StatisticsModel::data(const QModelIndex &index, int role) const {
    if (!index.isValid() || role != Qt::DisplayRole || index.column() != 0 || index.row() >= m_channels.size())
        return {};
    return m_channels.at(index.row());
}

QVariant StatisticsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    static const QStringList titles = {QStringLiteral("Time"), QStringLiteral("Мин."), QStringLiteral("Ср."),
                                       QStringLiteral("Макс."), QString()};
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= kColumns)
        return QAbstractTableModel::headerData(section, orientation, role);
    return titles.at(section);
}

} // namespace korvel
