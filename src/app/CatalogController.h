#pragma once

#include "firmware/CalibrationMap.h"
#include "firmware/MapTreeModel.h"
#include "firmware/TableGrid.h"
#include "firmware/TableSelection.h"

#include <QObject>
#include <QString>

namespace korvel {

class ControlBoard;
class FirmwareIdentity;
class FirmwareStore;
class ProgramLog;

// The calibration catalogue of the session: the map loaded at connect (the
// setting "Карта прошивки") or chosen with BitBtn3, its tree, the node chosen
// in it, and the export and import of one table as a .kv file. The window
// asks for the paths. A map that cannot be read is reported and the previous
// catalogue stays.
class CatalogController : public QObject {
    Q_OBJECT
public:
    CatalogController(const FirmwareStore &store, const FirmwareIdentity &identity, ProgramLog &log,
                      ControlBoard &controls, QString workDir);

    MapTreeModel &model() { return m_model; }
    const MapTreeModel &model() const { return m_model; }
    bool mapLoaded() const { return m_mapLoaded; }

    // The connect's step: Label59 names the map of the setting (a path
    // relative to the working folder or absolute), the map is loaded and
    // BitBtn3 is hidden. An empty setting leaves the catalogue as it is.
    void loadConfiguredMap(const QString &setting);
    // BitBtn3 once the user chose a file: Label59 reads "Карта прошивки:" and
    // the file's cut name. False when the file could not be read.
    bool changeMap(const QString &path);
    // TButshowcalibr offers the map choice while there is no catalogue.
    bool needsMapChoice() const { return !m_mapLoaded; }

    // TreeViewChange: the node at `index` of model() becomes the open table.
    // The root is no table and changes nothing.
    void selectNode(const QModelIndex &index);
    const TableSelection &selection() const { return m_selection; }
    // The open curve or map as its grid shows it; empty for other kinds. An
    // import replaces it; an export, a new image or map reads it again.
    const TableGrid &grid() const { return m_grid; }
    const TableDescriptor &descriptor() const { return m_descriptor; }
    // Reads the open table again from the map and the image.
    void refreshTable();

    // BitBtn19 / BitBtn20, curves and maps only (false for other kinds). The
    // export writes the image's cells as they are now; an import whose cells
    // are not all numbers is refused and changes nothing.
    bool exportTable(const QString &path);
    bool importTable(const QString &path);
    // What the export dialog proposes as the file name.
    QString proposedExportName() const;

signals:
    // A new map was loaded; the chosen node was kept when the new map holds
    // the same entry at the same place, and dropped otherwise.
    void mapChanged();
    // The catalogue node chosen in the tree: what the table view opens.
    void tableSelected(const korvel::TableSelection &table);
    // An accepted import put these texts into the open table's grid.
    void gridImported(const korvel::TableGrid &grid);

private:
    bool openMap(const QString &path);
    bool gridTableOpen() const;

    const FirmwareStore &m_store;
    const FirmwareIdentity &m_identity;
    ProgramLog &m_log;
    ControlBoard &m_controls;
    QString m_workDir;
    MapTreeModel m_model;
    bool m_mapLoaded = false;
    TableSelection m_selection;
    TableDescriptor m_descriptor;
    TableGrid m_grid;
};

} // namespace korvel
