#pragma once

#include <QAbstractTableModel>
#include <QList>
#include <QStringList>

#include <optional>

namespace korvel {

// A cell background as 0xRRGGBB; the live layer knows no colours.
struct Shade {
    int red = 0;
    int green = 0;
    int blue = 0;
    friend bool operator==(const Shade &, const Shade &) = default;
};

// The shading of a run's cell against its row's minimum, mean and maximum:
// green-yellow below the mean, yellow at it, orange to red above it, the
// contrast scaled by `factor`. Nothing when the row has no spread on that side.
std::optional<Shade> runCellShade(double x, double min, double mean, double max, int factor);
// Round(255 / (rows − 4)) for a grid of `rows` rows, the header row included.
int shadeFactor(int rows);

// The acceleration run grid: one row per live channel; column 0 the channel's
// name, columns 1 to 3 minimum, mean and maximum over the run, then one
// column per counted frame headed by its elapsed time in seconds. The header
// of column c is cell(c, 0); rows 1..channelCount are the channels.
class AccelerationRuns : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int kFixedColumns = 5;
    // The cell's background as 0xRRGGBB (uint), when it is shaded.
    static constexpr int ShadeRole = Qt::UserRole + 1;

    using QAbstractTableModel::QAbstractTableModel;

    // A new protocol's channels: the grid starts again with its fixed headers.
    void setChannels(const QStringList &names);
    // Back to five columns, columns 1 to 4 emptied, the headers included.
    void clearRun();
    void addColumn();
    // Shading only applies to a finished run, never while a test is armed.
    void setShading(bool enabled);

    int channelCount() const { return static_cast<int>(m_cells.size()) - 1; }
    int columns() const { return m_columns; }
    QString cell(int column, int row) const;
    void setCell(int column, int row, const QString &text);
    // The cell's text as a number; nothing for an empty cell or other text.
    std::optional<double> number(int column, int row) const;
    std::optional<Shade> shade(int column, int row) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    static QStringList headerRow();
    // m_cells[row][column]; rows shorter than m_columns read as empty.
    // Start-up shape: the header row alone, titled until the first arm empties it.
    QList<QStringList> m_cells{headerRow()};
    int m_columns = kFixedColumns;
    bool m_shading = false;
};

} // namespace korvel
