#pragma once

#include "core/ControlNames.h"
#include "firmware/Complectation.h"
#include "firmware/Outcome.h"
#include "firmware/TuningAddressSets.h"
#include "tuning/CellLocks.h"
#include "tuning/GridAxes.h"
#include "tuning/TuningGrid.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

namespace korvel {

class ControlBoard;
class FirmwareIdentity;
class FirmwareStore;
class ProgramLog;
class SettingsList;

// The tuning tables of the loaded firmware: the address sets of the identified
// family, the grid axes, the 16 x 16 grid of working points and the grid
// selector's items. It ties identification, the complectation and the image
// together in the order the post-connect set-up needs them.
class TuningTables {
public:
    static inline const QString &kGridSelector = control::Maingridchange_CBOX;
    static inline const QString &kFirmwareNameEdit = control::firmwarenameEdit;

    TuningTables(const FirmwareStore &store, FirmwareIdentity &identity, ProgramLog &log,
                 ControlBoard *board = nullptr);

    // Start-up: the first built-in set, hexdata.cfg and errors.cfg from the working folder.
    void startUp(const QString &workDir);

    // The post-connect set-up after the ECU's SWID and complectation are known:
    // checkbin with "Тип прошивки", the family's address set, the complectation
    // decoding with "Настройка по", the grid selector items, and the axes and
    // grids ("fromecu", then "frompc" and addtabl when a firmware is loaded).
    // Returns the tables tuning writes to (the ECU worker's decpopr and decgbc);
    // a complectation text that is not hex is logged and stops the set-up there.
    Outcome<TuningTargets> postConnectSetup(const SettingsList &settings, const QStringList &ecuComplectation,
                                            const QString &workDir,
                                            const QDateTime &now = QDateTime::currentDateTime());

    // After the image changed (a file opened, a firmware read from the ECU):
    // axes from the image, then every cell reloaded.
    void reloadFromImage();

    bool Namesstringgrid(const QString &source);
    bool addtabl();

    const TuningAddressSets &addressSets() const { return m_sets; }
    const GridAxes &axes() const { return m_axes; }
    const PressureSensorConstants &pressureSensor() const { return m_axes.pressureSensor; }
    TuningGrid &grid() { return m_grid; }
    const TuningGrid &grid() const { return m_grid; }
    const QStringList &gridChoices() const { return m_gridChoices; }
    int gridChoice() const { return m_gridChoice; }
    void setGridChoice(int index);
    // The standard protocol appends its two choices after connecting.
    void addGridChoices(const QStringList &items) { m_gridChoices += items; }
    const ErrorNames &errorNames() const { return m_sets.errorNames(); }
    // The cells a tuner locked; kept for the run, whatever image is loaded.
    CellLocks &locks() { return m_locks; }
    const CellLocks &locks() const { return m_locks; }

private:
    void tablcont();

    const FirmwareStore &m_store;
    FirmwareIdentity &m_identity;
    ProgramLog &m_log;
    ControlBoard *m_board;
    TuningAddressSets m_sets;
    GridAxes m_axes;
    TuningGrid m_grid;
    CellLocks m_locks;
    QStringList m_gridChoices;
    int m_gridChoice = 0;
};

} // namespace korvel
