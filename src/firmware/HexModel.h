#pragma once

#include "firmware/FirmwareImage.h"
#include "firmware/HexSearch.h"

#include <QAbstractTableModel>

namespace korvel {

// The hex view: a snapshot of the firmware image as a read-only grid of
// 4,097 x 18 cells (see HexSearch.h for the layout) and the search over it.
// Cells are computed when asked for, so opening the view costs one copy of
// the image and its hex text. The headers (row 0, column 0) are also offered
// as header data, so a view can keep them in place while it scrolls.
class HexModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // The cell's background as 0xRRGGBB (an int); the selected cell is drawn kSelectedRgb instead.
    static constexpr int BackgroundRgbRole = Qt::UserRole + 1;
    static constexpr int kSelectedRgb = 0xFF0000;
    static constexpr int kZeroByteRgb = 0xCCFF99;
    static constexpr int kByteRgb = 0xFFFF99;
    static constexpr int kHeaderRgb = 0x9999FF;
    static constexpr int kTextRgb = 0xCCE5FF;

    explicit HexModel(QObject *parent = nullptr);

    // Takes a copy of the image; later edits of the image are not shown.
    void takehex(const FirmwareImage &image);
    bool hasSnapshot() const { return !m_copy.isEmpty(); }

    std::optional<HexCell> findhex(const QString &pattern) { return m_search.findhex(pattern); }
    HexSearch::Next findnext() { return m_search.findnext(); }
    QModelIndex indexOf(const HexCell &cell) const { return index(cell.row, cell.column); }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

private:
    QString text(int row, int column) const;

    QByteArray m_copy; // empty until the first snapshot
    HexSearch m_search;
};

} // namespace korvel
