#pragma once

#include <QAbstractTableModel>
#include <QStringList>

namespace korvel {

// The statistics grid: one row per live channel of the connected protocol.
// Column "Time" holds the channel's name; "Мин.", "Ср.", "Макс." and a fifth,
// untitled column are for the channel's figures, which nothing fills yet.
class StatisticsModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int kColumns = 5;

    using QAbstractTableModel::QAbstractTableModel;

    // A new protocol's channels: the rows start again.
    void setChannels(const QStringList &names);
    const QStringList &channels() const { return m_channels; }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    QStringList m_channels;
};

} // namespace korvel
