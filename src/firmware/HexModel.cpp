#include "firmware/HexModel.h"

#include "firmware/Conversions.h"

namespace korvel {

HexModel::HexModel(QObject *parent) : QAbstractTableModel(parent) {}

void HexModel::takehex(const FirmwareImage &image) {
    beginResetModel();
    m_copy = image.bytes(); // shared until either side is written: a write to the image detaches it
    m_search.reset(hexSearchText(m_copy));
    endResetModel();
}

int HexModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : kHexGridRows;
}

int HexModel::columnCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : kHexGridColumns;
}

QString HexModel::text(int row, int column) const {
    if (row == 0)
        return column >= 1 && column <= kHexBytesPerRow ? IntToHexEven(column - 1) : QString();
    if (column == 0)
        return IntToHexEven(row - 1);
    if (m_copy.isEmpty())
        return {};
    const qsizetype start = qsizetype(row - 1) * kHexBytesPerRow;
    if (column == kHexTextColumn) {
        QByteArray line = m_copy.mid(start, kHexBytesPerRow);
        line.replace('\0', ' ');
        return QString::fromLatin1(line);
    }
    return QString::fromLatin1(m_copy.mid(start + column - 1, 1).toHex().toUpper());
}

QVariant HexModel::data(const QModelIndex &index, int role) const {
    if (!index.isValid() || index.row() >= kHexGridRows || index.column() >= kHexGridColumns)
        return {};
    const int row = index.row();
    const int column = index.column();
    if (role == Qt::DisplayRole)
        return text(row, column);
    if (role == BackgroundRgbRole) {
        if (row == 0 || column == 0)
            return kHeaderRgb;
        if (column == kHexTextColumn)
            return kTextRgb;
        return text(row, column) == QLatin1String("00") ? kZeroByteRgb : kByteRgb;
    }
    return {};
}

QVariant HexModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal)
        return data(index(0, section), role);
    return data(index(section, 0), role);
}

Qt::ItemFlags HexModel::flags(const QModelIndex &index) const {
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

} // namespace korvel
