#include "tuning/TuningGridModel.h"

#include "core/Numbers.h"
#include "tuning/TuningTables.h"

#include <algorithm>

namespace korvel {
namespace {

enum class Format { General, Whole, OneDecimal, ThreeDecimals };

// A choice shown by name: which field of the cell, in which format.
struct NamedChoice {
    const char16_t *name;
    double (*value)(const TuningCell &);
    Format format;
};

const NamedChoice kNamedChoices[] = {
    {u"Поправка %", [](const TuningCell &c) -> double { return c.corrThr; }, Format::ThreeDecimals},
    {u"Поправка кПа", [](const TuningCell &c) -> double { return c.corrKpa; }, Format::ThreeDecimals},
    {u"БЦН %", [](const TuningCell &c) -> double { return c.gbcThr; }, Format::Whole},
    {u"БЦН кПа", [](const TuningCell &c) -> double { return c.gbcKpa; }, Format::Whole},
    {u"Поправка 32-1ч", [](const TuningCell &c) -> double { return c.corr32a; }, Format::General},
    {u"Поправка 32-2ч", [](const TuningCell &c) -> double { return c.corr32b; }, Format::General},
    {u"УОЗ %", [](const TuningCell &c) -> double { return c.ignThr; }, Format::OneDecimal},
    {u"УОЗ кПа", [](const TuningCell &c) -> double { return c.ignKpa; }, Format::OneDecimal},
    {u"ALF %", [](const TuningCell &c) -> double { return c.alfThr; }, Format::OneDecimal},
    {u"ALF кПа", [](const TuningCell &c) -> double { return c.alfKpa; }, Format::OneDecimal},
    {u"Фаза", [](const TuningCell &c) -> double { return c.phase; }, Format::Whole},
    {u"Детонация %", [](const TuningCell &c) { return c.knockThr; }, Format::Whole},
    {u"Детонация кПа", [](const TuningCell &c) { return c.knockKpa; }, Format::Whole},
    {u"Загрузка форсунок %", [](const TuningCell &c) { return c.injLoadThr; }, Format::Whole},
    {u"Загрузка форсунок кПа", [](const TuningCell &c) { return c.injLoadKpa; }, Format::Whole},
    {u"Новая Поправка %", [](const TuningCell &c) -> double { return c.newCorr; }, Format::ThreeDecimals},
    {u"Новое БЦН", [](const TuningCell &c) -> double { return c.newGbc; }, Format::Whole},
};

// Up to 15 significant digits, so a float's binary tail never reaches the grid.
QString generalNumber(double value) {
    return value == 0.0 ? QStringLiteral("0") : QString::number(value, 'g', 15);
}

QString formatted(double value, Format format) {
    switch (format) {
    case Format::Whole:
        return fixedDecimal(value, 0);
    case Format::OneDecimal:
        return fixedDecimal(value, 1);
    case Format::ThreeDecimals:
        return fixedDecimal(value, 3);
    case Format::General:
        break;
    }
    return generalNumber(value);
}

bool validCell(const QModelIndex &index) {
    return index.isValid() && index.row() < TuningGrid::kSize && index.column() < TuningGrid::kSize;
}

} // namespace

TuningCellView tuningCellView(const TuningCell &cell, int choiceIndex, const QString &choice) {
    if (choiceIndex == 1)
        return {cell.meanCoef, generalNumber(cell.meanCoef)};
    for (const NamedChoice &named : kNamedChoices)
        if (choiceIndex > 1 && choice == QStringView(named.name)) {
            const double value = named.value(cell);
            return {value, formatted(value, named.format)};
        }
    // Entry 0: completed evaluations, and the samples waiting as tenths (2.7).
    const double progress = cell.applied + cell.sampleCount / 10.0;
    return {progress, generalNumber(progress)};
}

TuningGridModel::TuningGridModel(const TuningTables &tables, QObject *parent)
    : QAbstractTableModel(parent), m_tables(tables), m_shownColumns(columnTitles()), m_shownRows(rowTitles()) {}

int TuningGridModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : TuningGrid::kSize;
}

int TuningGridModel::columnCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : TuningGrid::kSize;
}

QString TuningGridModel::choice() const {
    const QStringList &choices = m_tables.gridChoices();
    const int index = m_tables.gridChoice();
    return index >= 0 && index < choices.size() ? choices.at(index) : QString();
}

QVariant TuningGridModel::data(const QModelIndex &index, int role) const {
    if (!validCell(index))
        return {};
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::Alignment(Qt::AlignCenter));
    if (role == LockedRole)
        return m_tables.locks().locked(index.row() * TuningGrid::kSize + index.column());
    if (role != Qt::DisplayRole && role != ValueRole && role != ColourRole)
        return {};
    if (m_overlay)
        return overlayData(index, role);
    const TuningCell &cell = m_tables.grid().at(index.row(), index.column());
    const TuningCellView view = tuningCellView(cell, m_tables.gridChoice(), choice());
    if (role == ColourRole) {
        const QString shown = choice();
        CellColourInputs in;
        in.gridKind = shown.isEmpty() ? 1 : gridKindOf(shown);
        in.byPressure = m_marking.byPressure;
        in.gradient = m_gradient;
        in.range = m_marking.range;
        in.value = view.value;
        in.selected = m_marking.highlight && m_marking.highlight->contains(index.row(), index.column());
        const std::optional<CellColour> colour = cellColour(cell, in);
        return colour ? QVariant(colour->r << 16 | colour->g << 8 | colour->b) : QVariant();
    }
    return role == ValueRole ? QVariant(view.value) : QVariant(view.text);
}

QVariant TuningGridModel::overlayData(const QModelIndex &index, int role) const {
    const std::optional<TuningCellView> &shown =
        m_overlay->cells[static_cast<std::size_t>(index.row() * TuningGrid::kSize + index.column())];
    if (!shown)
        return role == Qt::DisplayRole ? QVariant(QString()) : QVariant();
    if (role == Qt::DisplayRole)
        return shown->text;
    if (role == ValueRole)
        return shown->value;
    if (m_overlay->colour)
        return m_overlay->colour->r << 16 | m_overlay->colour->g << 8 | m_overlay->colour->b;
    CellColourInputs in;
    in.gradient = true;
    in.range = m_overlayRange;
    in.value = shown->value;
    in.gridKind = 0; // no tuning state behind the values: the gradient alone
    const std::optional<CellColour> colour = cellColour(TuningCell{}, in);
    return colour ? QVariant(colour->r << 16 | colour->g << 8 | colour->b) : QVariant();
}

TuningGridModel::Titles TuningGridModel::columnTitles() const {
    Titles titles{};
    std::copy_n(m_tables.axes().rpm.begin(), TuningGrid::kSize, titles.begin());
    return titles;
}

TuningGridModel::Titles TuningGridModel::rowTitles() const {
    const GridAxes &axes = m_tables.axes();
    // Before the selector is filled the grid stands for entry 0, "РТ %".
    const QString shown = choice();
    const int kind = shown.isEmpty() ? 1 : gridKindOf(shown);
    Titles titles{};
    if (kind == 3)
        std::copy_n(axes.air.begin(), TuningGrid::kSize, titles.begin());
    else
        std::copy_n((kind == 1 ? axes.throttle : axes.pressure).begin(), TuningGrid::kSize, titles.begin());
    return titles;
}

QVariant TuningGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || section < 0 || section >= TuningGrid::kSize)
        return QAbstractTableModel::headerData(section, orientation, role);
    const Titles titles = orientation == Qt::Horizontal ? columnTitles() : rowTitles();
    return QString::number(titles[static_cast<std::size_t>(section)]);
}

void TuningGridModel::setMarking(const Marking &marking) {
    m_marking = marking;
    const int last = TuningGrid::kSize - 1;
    emit dataChanged(index(0, 0), index(last, last), {ColourRole});
}

void TuningGridModel::setGradient(bool on) {
    m_gradient = on;
    const int last = TuningGrid::kSize - 1;
    emit dataChanged(index(0, 0), index(last, last), {ColourRole});
}

void TuningGridModel::setOverlay(std::optional<Overlay> overlay) {
    m_overlay = std::move(overlay);
    m_overlayRange = {};
    if (m_overlay) {
        double sum = 0;
        int count = 0;
        for (const std::optional<TuningCellView> &cell : m_overlay->cells) {
            if (!cell)
                continue;
            m_overlayRange.max = count == 0 ? cell->value : std::max(m_overlayRange.max, cell->value);
            m_overlayRange.min = count == 0 ? cell->value : std::min(m_overlayRange.min, cell->value);
            sum += cell->value;
            ++count;
        }
        if (count > 0)
            m_overlayRange.avg = sum / count;
    }
    const int last = TuningGrid::kSize - 1;
    emit dataChanged(index(0, 0), index(last, last), {Qt::DisplayRole, ValueRole, ColourRole});
}

void TuningGridModel::refresh() {
    const int last = TuningGrid::kSize - 1;
    emit dataChanged(index(0, 0), index(last, last), {Qt::DisplayRole, ValueRole, ColourRole, LockedRole});
    if (const Titles columns = columnTitles(); columns != m_shownColumns) {
        m_shownColumns = columns;
        emit headerDataChanged(Qt::Horizontal, 0, last);
    }
    if (const Titles rows = rowTitles(); rows != m_shownRows) {
        m_shownRows = rows;
        emit headerDataChanged(Qt::Vertical, 0, last);
    }
}

} // namespace korvel
