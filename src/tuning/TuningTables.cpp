#include "tuning/TuningTables.h"

#include "core/ControlBoard.h"
#include "core/ProgramLog.h"
#include "core/SettingNames.h"
#include "core/SettingsList.h"
#include "firmware/FirmwareIdentity.h"
#include "firmware/FirmwareStore.h"

#include <algorithm>

namespace korvel {

TuningTables::TuningTables(const FirmwareStore &store, FirmwareIdentity &identity, ProgramLog &log, ControlBoard *board)
    : m_store(store), m_identity(identity), m_log(log), m_board(board) {}

void TuningTables::startUp(const QString &workDir) {
    m_sets.addhexdata(1, workDir);
}

Outcome<TuningTargets> TuningTables::postConnectSetup(const SettingsList &settings, const QStringList &ecuComplectation,
                                                      const QString &workDir, const QDateTime &now) {
    const int row = m_identity.checkbin(settings.value(setting::FirmwareType), now);
    m_sets.addhexdata(row, workDir);
    if (m_board)
        m_board->setText(kFirmwareNameEdit, m_identity.FirmwareTypeName());

    const Outcome<TuningTargets> targets = DecodeComplectation(ecuComplectation, m_identity.FirmwareFamily(), m_sets,
                                                               settings.value(setting::TuneBy), m_log, m_board);
    if (!targets)
        return targets;
    tablcont();
    Namesstringgrid(kAxesFromEcu);
    if (m_store.FirmwareLoaded()) {
        Namesstringgrid(kAxesFromPc);
        addtabl();
    }
    return targets;
}

void TuningTables::reloadFromImage() {
    Namesstringgrid(kAxesFromPc);
    addtabl();
}

bool TuningTables::Namesstringgrid(const QString &source) {
    return korvel::Namesstringgrid(source, m_axes, m_store.image(), m_identity.FirmwareFamily());
}

bool TuningTables::addtabl() {
    const bool whole = korvel::addtabl(m_grid, m_store.image(), m_sets, &m_log);
    setGridChoice(0);
    return whole;
}

void TuningTables::tablcont() {
    m_gridChoices = m_sets.tablcont();
    setGridChoice(0);
}

void TuningTables::setGridChoice(int index) {
    m_gridChoice = m_gridChoices.isEmpty() ? 0 : std::clamp<int>(index, 0, static_cast<int>(m_gridChoices.size()) - 1);
    if (m_board && !m_gridChoices.isEmpty())
        m_board->setText(kGridSelector, m_gridChoices.at(m_gridChoice));
}

} // namespace korvel
