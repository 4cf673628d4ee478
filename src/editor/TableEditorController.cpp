#include "editor/TableEditorController.h"

#include "core/ProgramLog.h"
#include "editor/AxisClipboard.h"
#include "editor/CellComparison.h"
#include "editor/CellText.h"
#include "firmware/CellType.h"
#include "firmware/Conversions.h"
#include "firmware/FirmwareFamily.h"
#include "firmware/FirmwareStore.h"

namespace korvel {

TableEditorController::TableEditorController(FirmwareStore &store, ProgramLog *log, QObject *parent)
    : QObject(parent), m_store(store), m_log(log), m_writer(store.image(), this) {}

void TableEditorController::log(const QString &line) const {
    if (m_log)
        m_log->append(line);
}

GridAxes TableEditorController::axes() const {
    return m_axes ? m_axes() : axesFromImage(m_store.image(), 1);
}

bool TableEditorController::showTable(const CalibrationMap &map, const TableRef &ref) {
    if (!m_map || m_ref.reference != ref.reference || m_ref.kind != ref.kind) {
        m_selection.reset();
        // The trail's cells belong to the table it was drawn on.
        m_trail.clear();
        m_trailMarks.clear();
    }
    m_map = map;
    m_ref = ref;
    return redisplay();
}

void TableEditorController::closeTable() {
    m_map.reset();
    m_ref = TableRef{};
    m_view = TableView{};
    m_shown.clear();
    m_single = SingleValueView{};
    m_flags = FlagPanelView{};
    m_ident = IdentView{};
    m_selection.reset();
    refreshHeat();
    emit selectionChanged();
    emit viewChanged();
}

bool TableEditorController::redisplay() {
    if (!m_map)
        return false;
    m_view = TableView{};
    m_view.table.ref = m_ref;
    m_shown.clear();
    m_single = SingleValueView{};
    m_flags = FlagPanelView{};
    m_ident = IdentView{};
    QString error;
    switch (m_ref.kind) {
    case tablekind::OneDimensional:
    case tablekind::TwoDimensional: {
        const Outcome<TableView> built = buildTableView(*m_map, m_ref, m_store, axes(), m_options);
        if (!built) {
            error = built.error();
            break;
        }
        m_view = built.value();
        m_shown = m_view.cells;
        if (m_ref.kind == tablekind::OneDimensional) {
            m_displayMode = 2; // a curve leaves its grid strip in front
            m_front = Front::Grid;
        }
        break;
    }
    case tablekind::SingleValue: {
        const Outcome<SingleValueView> built = buildSingleValueView(*m_map, m_ref, m_store, m_options.compare);
        built ? void(m_single = built.value()) : void(error = built.error());
        break;
    }
    case tablekind::BitFlags: {
        const Outcome<FlagPanelView> built = buildFlagPanelView(*m_map, m_ref, m_store, m_options.compare);
        built ? void(m_flags = built.value()) : void(error = built.error());
        break;
    }
    case tablekind::TextFields: {
        const Outcome<IdentView> built = buildIdentView(*m_map, m_ref, m_store);
        built ? void(m_ident = built.value()) : void(error = built.error());
        break;
    }
    default:
        break; // a group or item node adds nothing
    }
    refreshHeat();
    if (!error.isEmpty())
        log(error);
    emit viewChanged();
    return error.isEmpty();
}

void TableEditorController::refreshHeat() {
    m_heat = heatStats(m_view.cells);
}

std::optional<int> TableEditorController::cellColour(int column, int row) const {
    if (row < 1 || static_cast<std::size_t>(row) > m_view.cells.size() || column < 1 ||
        static_cast<std::size_t>(column) > m_view.cells[static_cast<std::size_t>(row - 1)].size())
        return std::nullopt;
    // The blue row marks the map row drawn flat; a curve has no such row.
    const int flatRow = m_ref.kind == tablekind::TwoDimensional && !m_options.depth ? m_view.flatRow : 0;
    const QString &text = m_view.cells[static_cast<std::size_t>(row - 1)][static_cast<std::size_t>(column - 1)];
    return heatColour(m_heat, StrToFloat(text).valueOr(0), row, flatRow);
}

QString TableEditorController::shownText(int column, int row) const {
    return shownCellText(m_view, m_options, column, row);
}

bool TableEditorController::markedDifferent(int column, int row) const {
    const CellComparison *compared = drawnComparison(m_view, m_options, column, row);
    return compared && compared->differs;
}

void TableEditorController::showOperatingPoint(const GridPosition &position, qint64 nowMs) {
    m_trail.visit(operatingCell(m_view, position), nowMs);
    std::vector<WorkingPointTrail::Mark> marks = m_trail.marks(nowMs);
    if (marks == m_trailMarks)
        return;
    m_trailMarks = std::move(marks);
    emit workingPointChanged();
}

void TableEditorController::clearOperatingPoint() {
    m_trail.clear();
    if (m_trailMarks.empty())
        return;
    m_trailMarks.clear();
    emit workingPointChanged();
}

std::optional<double> TableEditorController::workingPointStrength(int column, int row) const {
    for (const WorkingPointTrail::Mark &m : m_trailMarks)
        if (m.cell == CellPos{column, row})
            return m.strength;
    return std::nullopt;
}

void TableEditorController::setOptions(const DisplayOptions &options) {
    m_options = options;
    redisplay();
}

TableEditorController::Front TableEditorController::nextDisplay() {
    m_selection.reset();
    emit selectionChanged();
    m_front = static_cast<Front>(m_displayMode);
    m_displayMode = (m_displayMode + 1) % 3;
    emit viewChanged();
    return m_front;
}

void TableEditorController::dragPoint(int line, int index, double value) {
    const int row = lineRow(m_view, line);
    if (row < 1 || static_cast<std::size_t>(row) > m_view.cells.size() || index < 0 ||
        static_cast<std::size_t>(index) >= m_view.cells[static_cast<std::size_t>(row - 1)].size())
        return;
    const double y = snapToStep(value, m_view.table.k);
    m_view.cells[static_cast<std::size_t>(row - 1)][static_cast<std::size_t>(index)] = FloatToStr(y);
    if (line >= 1 && line <= kLineSeries) {
        auto &values = m_view.series[static_cast<std::size_t>(line - 1)].values;
        if (static_cast<std::size_t>(index) < values.size())
            values[static_cast<std::size_t>(index)] = y;
    }
    refreshHeat();
    emit cellsChanged();
}

void TableEditorController::chartReleased(bool shiftOnly, double x, double y, int px, int py) {
    applyGridEdits();
    m_selection.chartRelease(shiftOnly, x, y, px, py);
    emit selectionChanged();
}

void TableEditorController::gridReleased(bool shiftOnly, int left, int top, int right, int bottom, int px, int py) {
    m_selection.gridRelease(shiftOnly, left, top, right, bottom, px, py);
    emit selectionChanged();
}

bool TableEditorController::runRangeCommand(RangeCommand command) {
    if (m_ref.kind != tablekind::OneDimensional && m_ref.kind != tablekind::TwoDimensional)
        return false;
    const Outcome<bool> changed =
        applyRangeCommand(m_view.cells, command, chosenCells(m_selection, m_view), m_changeText);
    if (!changed) {
        log(changed.error());
        redisplay();
        return false;
    }
    return applyGridEdits();
}

bool TableEditorController::runBlockCommand(BlockCommand command) {
    if (m_ref.kind != tablekind::OneDimensional && m_ref.kind != tablekind::TwoDimensional)
        return false;
    // Only a complete selection is a block: an ended one keeps its old corners.
    const std::optional<CellBlock> block =
        m_selection.active() ? blockOf(chosenCells(m_selection, m_view)) : std::nullopt;
    if (!block) {
        log(QStringLiteral("Блок не выбран"));
        return false;
    }
    const Outcome<bool> changed = applyBlockCommand(m_view.cells, command, *block, m_changeText);
    if (!changed) {
        log(changed.error());
        redisplay();
        return false;
    }
    return applyGridEdits();
}

bool TableEditorController::setCellText(int column, int row, const QString &text) {
    if (row < 1 || static_cast<std::size_t>(row) > m_view.cells.size() || column < 1 ||
        static_cast<std::size_t>(column) > m_view.cells[static_cast<std::size_t>(row - 1)].size())
        return false;
    m_view.cells[static_cast<std::size_t>(row - 1)][static_cast<std::size_t>(column - 1)] = text;
    return applyGridEdits();
}

bool TableEditorController::applyGridEdits() {
    if (!m_map || (m_ref.kind != tablekind::OneDimensional && m_ref.kind != tablekind::TwoDimensional))
        return false;
    // A refusal writes nothing; the grid is shown again from the image.
    const Outcome<WriteBack> written = writeBackGrid(m_view.cells, m_shown, m_view.table, m_store, m_log);
    if (!written)
        log(written.error());
    redisplay();
    return written.ok();
}

QString TableEditorController::copyBlock(int left, int top, int right, int bottom) const {
    return blockText(m_view.cells, left, top, right, bottom);
}

QString TableEditorController::copyBlockWithAxes(int left, int top, int right, int bottom) const {
    return blockTextWithAxes(m_view, left, top, right, bottom);
}

bool TableEditorController::pasteBlock(int column, int row, const QString &text, int right, int bottom) {
    if (m_ref.kind != tablekind::OneDimensional && m_ref.kind != tablekind::TwoDimensional)
        return false;
    CellTexts cells = m_view.cells;
    const Outcome<PasteReport> laid = pasteBlockWithAxes(cells, CellPos{column, row}, text, CellPos{right, bottom});
    if (!laid) {
        log(laid.error());
        emit pasteReported(laid.error());
        return false;
    }
    m_view.cells = std::move(cells);
    const QString report = pasteReportText(laid.value());
    log(report);
    emit pasteReported(report);
    return applyGridEdits();
}

bool TableEditorController::applyCells(const CellTexts &cells) {
    if (cells.size() != m_view.cells.size())
        return false;
    for (std::size_t j = 0; j < cells.size(); ++j)
        if (cells[j].size() != m_view.cells[j].size())
            return false;
    m_view.cells = cells;
    return applyGridEdits();
}

bool TableEditorController::enterSingleValue(const QString &text) {
    if (m_ref.kind != tablekind::SingleValue || !m_map)
        return false;
    const Outcome<double> typed = StrToFloat(text);
    if (!typed) {
        log(typed.error());
        return false;
    }
    const TableConversion &conversion = m_single.table.descriptor.conversion;
    const std::optional<std::int64_t> raw = singleValueRaw(typed.value(), conversion);
    if (!raw) {
        log(QStringLiteral("Значение %1 не записано: множитель D4 = 0, обратного пересчёта нет").arg(text));
        redisplay();
        return false;
    }
    // A value the cell cannot hold would be stored wrapped (70000 as 4464).
    const RawRange cellRange = rawRange(conversion.cellType);
    if (*raw < cellRange.minimum || *raw > cellRange.maximum) {
        const ValueRange range = PhysicalRange(conversion);
        log(QStringLiteral("Значение %1 не записано: ячейка вмещает от %2 до %3")
                .arg(text, FloatToStr(range.minimum), FloatToStr(range.maximum)));
        redisplay();
        return false;
    }
    bool ok = true;
    // The same raw value again changes nothing and pushes no undo step.
    if (m_store.ReadCell(m_single.table.addressText, conversion.cellType).valueOr(-1) != *raw)
        ok = m_store.WriteCell(*raw, conversion.cellType, m_single.table.addressText);
    redisplay();
    return ok;
}

bool TableEditorController::setFlag(int boxNumber, bool ticked) {
    if (m_ref.kind != tablekind::BitFlags || boxNumber < 7 || boxNumber > 70)
        return false;
    // The panel may be older than the image (an undo, a tuning write): it is
    // read again first, so only the box released changes.
    if (!redisplay())
        return false;
    const int i = (boxNumber - 7) / 8;
    const int j = (boxNumber - 7) % 8;
    FlagByte &byte = m_flags.bytes[static_cast<std::size_t>(i)];
    const auto bit = static_cast<std::uint8_t>(1U << j);
    if ((byte.namedBits & bit) == 0)
        return false; // a bit without a name has no box
    if (((byte.ticked & bit) != 0) == ticked)
        return true; // already so: no write, no undo step
    byte.ticked = static_cast<std::uint8_t>(ticked ? byte.ticked | bit : byte.ticked & ~bit);
    const bool ok = m_store.WriteFlagTable(m_flags.bytes);
    redisplay();
    return ok;
}

bool TableEditorController::undoStep() {
    if (!m_store.UndoStep())
        return false;
    redisplay();
    return true;
}

bool TableEditorController::sendToEcu() {
    int address = 0;
    int size = 0;
    if (m_ref.kind == tablekind::OneDimensional || m_ref.kind == tablekind::TwoDimensional) {
        address = static_cast<int>(m_view.table.descriptor.address & 0xFFFF);
        size = m_view.table.columns * m_view.table.rows * m_view.table.cellWidth;
    } else if (m_ref.kind == tablekind::SingleValue) {
        address = static_cast<int>(m_single.table.descriptor.address & 0xFFFF);
        size = 2;
    } else {
        return false;
    }
    m_writer.schedule(address, size);
    emit tableSent();
    return true;
}

} // namespace korvel
