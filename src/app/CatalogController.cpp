#include "app/CatalogController.h"

#include "core/ControlBoard.h"
#include "core/ControlNames.h"
#include "core/ProgramLog.h"
#include "core/SafeFile.h"
#include "core/TextFile.h"
#include "editor/CellText.h"
#include "firmware/FirmwareFiles.h"
#include "firmware/FirmwareIdentity.h"
#include "firmware/FirmwareStore.h"
#include "firmware/KvFile.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace korvel {
namespace {

const QString kNoMap = QStringLiteral("Карта не загружена");
const QString kConfiguredMapLabel = QStringLiteral("Карта прошивки");
const QString kChosenMapLabel = QStringLiteral("Карта прошивки:");

} // namespace

CatalogController::CatalogController(const FirmwareStore &store, const FirmwareIdentity &identity, ProgramLog &log,
                                     ControlBoard &controls, QString workDir)
    : m_store(store), m_identity(identity), m_log(log), m_controls(controls), m_workDir(std::move(workDir)) {}

void CatalogController::loadConfiguredMap(const QString &setting) {
    using namespace control;
    if (!m_mapLoaded)
        m_controls.setText(Label59, kNoMap);
    if (setting.isEmpty())
        return;
    if (!openMap(QDir(m_workDir).filePath(setting)))
        return;
    m_controls.setText(Label59, kConfiguredMapLabel + setting);
    m_controls.setVisible(BitBtn3, false);
}

bool CatalogController::changeMap(const QString &path) {
    if (!openMap(path))
        return false;
    m_controls.setText(control::Label59, kChosenMapLabel + labelName(path));
    return true;
}

bool CatalogController::openMap(const QString &path) {
    const Outcome<CalibrationMap> map = LoadCalibrationMap(path);
    if (!map) {
        m_log.append(
            QStringLiteral("Карта прошивки не загружена: %1 (%2)").arg(QDir::toNativeSeparators(path), map.error()));
        if (m_mapLoaded)
            m_log.append(QStringLiteral("Осталась прежняя карта"));
        return false;
    }
    MapTree tree = BuildMapTree(map.value(), QFileInfo(path).fileName());
    if (!tree.stopReason.isEmpty())
        m_log.append(tree.stopReason);
    // The open table stays chosen only when the new map holds the same entry
    // at the same place; otherwise its offset would name other bytes.
    if (m_selection.isChosen()) {
        const auto same = std::find_if(tree.nodes.begin(), tree.nodes.end(), [this](const MapNode &node) {
            return node.reference == m_selection.reference && node.kind == m_selection.kind &&
                   node.name == m_selection.name;
        });
        if (same == tree.nodes.end())
            m_selection = TableSelection{};
    }
    m_model.setMap(map.value(), std::move(tree));
    m_mapLoaded = true;
    m_controls.setVisible(control::TreeView, true);
    m_controls.setVisible(control::Checkbinpanel, true);
    refreshTable();
    emit mapChanged();
    return true;
}

void CatalogController::selectNode(const QModelIndex &index) {
    const MapNode *node = m_model.node(index);
    if (!node)
        return;
    m_selection = TableSelection{node->kind, node->name, node->reference};
    refreshTable();
    emit tableSelected(m_selection);
}

void CatalogController::refreshTable() {
    m_descriptor = {};
    m_grid = {};
    if (!m_mapLoaded || !m_selection.isChosen() || !isTableKind(m_selection.kind))
        return;
    const Outcome<TableDescriptor> d = readTableDescriptor(m_model.map(), m_selection.kind, m_selection.reference);
    if (!d)
        return;
    m_descriptor = d.value();
    if (const Outcome<TableGrid> grid = readTableGrid(m_store.image(), m_descriptor))
        m_grid = grid.value();
}

bool CatalogController::gridTableOpen() const {
    return (m_descriptor.kind == tablekind::OneDimensional || m_descriptor.kind == tablekind::TwoDimensional) &&
           m_descriptor.kind == m_selection.kind;
}

QString CatalogController::proposedExportName() const {
    return kvProposedFileName(m_controls.text(control::Label60), m_selection.name);
}

bool CatalogController::exportTable(const QString &path) {
    // The file holds what the image holds now, after every edit and undo.
    refreshTable();
    if (!gridTableOpen())
        return false;
    const KvHeader header{m_controls.text(control::Label59), m_controls.text(control::Label60), m_identity.imageSwid(),
                          m_selection.name, m_descriptor.valueName};
    const QString why = writeFileSafely(path, encodeKvFile(kvExportLines(header, m_grid)));
    if (!why.isEmpty()) {
        m_log.append(QStringLiteral("Калибровка не сохранена: ") + why);
        return false;
    }
    m_log.append(kvExportedLine(m_selection.name));
    return true;
}

bool CatalogController::importTable(const QString &path) {
    if (!gridTableOpen())
        return false;
    TextLines file;
    if (!readTextFile(path, file)) {
        m_log.append(kKvImportRefused);
        m_log.append(QStringLiteral("Файл не читается: ") + QDir::toNativeSeparators(path));
        return false;
    }
    const Outcome<TableGrid> grid =
        kvImportGrid(file.lines, m_identity.imageSwid(), m_selection.name, m_grid.columns, m_grid.rows);
    if (!grid) {
        m_log.append(kKvImportRefused);
        m_log.append(QStringLiteral("Причина: ") + grid.error());
        return false;
    }
    // A cell that is not a number refuses the whole file before anything changes.
    for (qsizetype i = 0; i < grid.value().cells.size(); ++i) {
        const Outcome<double> number = StrToFloat(grid.value().cells.at(i));
        if (!number) {
            m_log.append(kKvImportRefused);
            m_log.append(QStringLiteral("Причина: значение %1 (%2)").arg(i + 1).arg(number.error()));
            return false;
        }
    }
    m_grid = grid.value();
    m_log.append(kvImportedLine(m_selection.name));
    emit gridImported(m_grid);
    return true;
}

} // namespace korvel
