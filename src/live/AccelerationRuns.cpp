#include "live/AccelerationRuns.h"

#include "core/Numbers.h"

#include <cmath>

namespace korvel {

namespace {
// The low byte of an integer in two's complement, safe for any magnitude.
int lowByte(double rounded) {
    double byte = std::fmod(rounded, 256.0);
    if (byte < 0)
        byte += 256.0;
    return static_cast<int>(byte) & 0xFF;
}
} // namespace

std::optional<Shade> runCellShade(double x, double min, double mean, double max, int factor) {
    const double t = factor;
    if (x < mean) {
        if (mean == min)
            return std::nullopt;
        const double r = roundHalfEven(256.0 - 255.0 * t * (mean - x) / (mean - min));
        return Shade{lowByte(std::fabs(r)), 255, 0};
    }
    if (x == mean)
        return Shade{255, 255, 0};
    if (max == min)
        return std::nullopt;
    return Shade{255, lowByte(roundHalfEven(255.0 * t * (max - x) / (max - min))), 0};
}

int shadeFactor(int rows) {
    return rows > 4 ? static_cast<int>(roundHalfEven(255.0 / (rows - 4))) : 0;
}

QStringList AccelerationRuns::headerRow() {
    return {QStringLiteral("Time"), QStringLiteral("Мин."), QStringLiteral("Ср."), QStringLiteral("Макс."), QString()};
}

void AccelerationRuns::setChannels(const QStringList &names) {
    beginResetModel();
    m_cells.clear();
    m_cells << headerRow();
    for (const QString &name : names)
        m_cells << QStringList{name};
    m_columns = kFixedColumns;
    endResetModel();
}

void AccelerationRuns::clearRun() {
    beginResetModel();
    m_columns = kFixedColumns;
    for (QStringList &row : m_cells)
        row = row.mid(0, 1);
    endResetModel();
}

void AccelerationRuns::addColumn() {
    beginInsertColumns({}, m_columns, m_columns);
    ++m_columns;
    endInsertColumns();
}

void AccelerationRuns::setShading(bool enabled) {
    if (m_shading == enabled)
        return;
    m_shading = enabled;
    if (rowCount() > 0 && m_columns > 1)
        emit dataChanged(index(0, 1), index(rowCount() - 1, m_columns - 1), {ShadeRole});
}

QString AccelerationRuns::cell(int column, int row) const {
    if (row < 0 || row >= m_cells.size())
        return {};
    return m_cells.at(row).value(column);
}

void AccelerationRuns::setCell(int column, int row, const QString &text) {
    if (row < 0 || row >= m_cells.size() || column < 0 || column >= m_columns)
        return;
    QStringList &cells = m_cells[row];
    if (cells.size() <= column)
        cells.resize(column + 1);
    cells[column] = text;
    if (row == 0)
        emit headerDataChanged(Qt::Horizontal, column, column);
    else
        emit dataChanged(index(row - 1, column), index(row - 1, column));
}

std::optional<double> AccelerationRuns::number(int column, int row) const {
    const QString text = cell(column, row);
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok)
        return std::nullopt;
    return value;
}

std::optional<Shade> AccelerationRuns::shade(int column, int row) const {
    if (!m_shading || column < 1 || row < 1 || m_columns <= kFixedColumns)
        return std::nullopt;
    const auto x = number(column, row);
    const auto min = number(1, row);
    const auto mean = number(2, row);
    const auto max = number(3, row);
    // A row without its own figures has nothing to be compared with.
    if (!x || !min || !mean || !max)
        return std::nullopt;
    return runCellShade(*x, *min, *mean, *max, shadeFactor(static_cast<int>(m_cells.size())));
}

int AccelerationRuns::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : channelCount();
}

int AccelerationRuns::columnCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : m_columns;
}

QVariant AccelerationRuns::data(const QModelIndex &index, int role) const {
    if (!index.isValid())
        return {};
    const int row = index.row() + 1;
    if (role == Qt::DisplayRole)
        return cell(index.column(), row);
    if (role == ShadeRole) {
        const auto s = shade(index.column(), row);
        if (!s)
            return {};
        return static_cast<uint>((s->red << 16) | (s->green << 8) | s->blue);
    }
    return {};
}

QVariant AccelerationRuns::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Horizontal)
        return cell(section, 0);
    return section + 1;
}

} // namespace korvel
