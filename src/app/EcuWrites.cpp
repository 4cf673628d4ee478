#include "app/EcuWrites.h"

#include "app/LinkWorkers.h"
#include "ecu/EcuWriteCommands.h"
#include "ecu/TECUThread.h"
#include "live/LiveSettings.h"

namespace korvel {

bool EcuWrites::busy() const {
    return !m_workers.created() || m_workers.ecu().Command.pending();
}

// The marker byte notes a cell corrected without a wideband controller.
void EcuWrites::remake(int address, std::uint8_t value, int marker) {
    const bool widebandFitted = !LiveSettings::from(m_settings).narrowbandSensor;
    submit(ecuwrite::singleCell(address, value, widebandFitted ? std::nullopt : std::optional<int>(marker)));
}

void EcuWrites::remakeFourPoints(int address, const QByteArray &bytes) {
    submit(ecuwrite::fourPoints(address, bytes));
}

void EcuWrites::remakeGbc(int address, const QByteArray &table) {
    submit(ecuwrite::gbcTable(address, table));
}

void EcuWrites::remakePopr(int address, const QByteArray &table) {
    submit(ecuwrite::correctionTable(address, table));
}

void EcuWrites::remakeUoz(int, const QByteArray &table) {
    submit(ecuwrite::ignitionTable(table)); // the worker writes the ignition table at its fixed address
}

// Whole blocks go out; the bytes after `lastCount` in the last one are the image's own.
void EcuWrites::correct23DF(int address, const QByteArray &blockBytes, int blocks, int) {
    EcuCommand command(EcuCommandKind::correct23DF);
    command.adressdata = address;
    command.data2 = blockBytes;
    command.plusrw = blocks;
    submit(command);
}

bool EcuWrites::connected() const {
    return m_workers.created() && m_workers.ecu().isConnected();
}

void EcuWrites::correct23DF(const TableBlockWrite &write) {
    correct23DF(write.address, write.data, write.blockCount, write.lastBlockLength);
}

void EcuWrites::submit(const EcuCommand &command) {
    if (m_workers.created())
        m_workers.ecu().Command.submit(command);
}

} // namespace korvel
