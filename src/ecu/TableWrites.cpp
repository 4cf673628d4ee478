#include "ecu/TableWrites.h"

#include "ecu/EcuTexts.h"
#include "firmware/TuningAddressSets.h"

#include <algorithm>
#include <array>

namespace korvel {

namespace {

constexpr int kCellLength = 0x01;
constexpr int kFourPointsLength = 0x12;
const QByteArray kFourPointsMark(1, static_cast<char>(0x80));

const std::array<RewriteRow, 9> kRewriteOrder{{
    {tuningcolumn::CorrThr, QStringLiteral("PC>>ECU:Поправка дроссель")},
    {tuningcolumn::CorrKpa, QStringLiteral("PC>>ECU: Поправка давление")},
    {tuningcolumn::GbcThr, QStringLiteral("PC>>ECU: БЦН дроссель")},
    {tuningcolumn::GbcKpa, QStringLiteral("PC>>ECU: БЦН давление")},
    {tuningcolumn::IgnThr, QStringLiteral("PC>>ECU:УОЗ дроссель")},
    {tuningcolumn::IgnKpa, QStringLiteral("PC>>ECU:УОЗ давление")},
    {tuningcolumn::AlfThr, QStringLiteral("PC>>ECU:Состав смеси дроссель")},
    {tuningcolumn::AlfKpa, QStringLiteral("PC>>ECU:Состав смеси Давление")},
    {tuningcolumn::Phase, QStringLiteral("PC>>ECU:Фаза")},
}};

} // namespace

QString tableName(const RewriteRow &row) {
    return row.line.mid(row.line.indexOf(u':') + 1).trimmed();
}

std::span<const RewriteRow> rewriteOrder() {
    return kRewriteOrder;
}

void TableWrites::singleCell(const EcuCommand &command) {
    m_writer.restart(command.kind);
    if (m_fields.IsDiagnostic.load() != 1 || !m_fields.MemoryAccessReady.load())
        return;
    const int saved = m_fields.IsDiagnostic.exchange(0);
    m_writer.write(command.adressdata, kCellLength, command.data);
    if (!command.LSUenable)
        m_writer.write(command.delta, kCellLength, kFourPointsMark);
    m_fields.IsDiagnostic = m_link.portOpen() ? saved : 0; // a lost device ends polling
}

void TableWrites::fourPoints(const EcuCommand &command) {
    m_writer.restart(command.kind);
    if (m_fields.IsDiagnostic.load() != 1 || !m_fields.MemoryAccessReady.load())
        return;
    const int saved = m_fields.IsDiagnostic.exchange(0);
    QByteArray bytes = command.data.left(kFourPointsLength);
    bytes.append(QByteArray(kFourPointsLength - bytes.size(), '\0'));
    m_writer.write(command.adressdata, kFourPointsLength, bytes);
    m_fields.IsDiagnostic = m_link.portOpen() ? saved : 0;
}

void TableWrites::shortWrite(const EcuCommand &command) {
    m_writer.restart(command.kind);
    if (m_fields.MemoryAccessReady.load())
        m_writer.write(command.adressdata, command.numdatastr, command.data);
    endCommand(command);
}

void TableWrites::blockWriter(const EcuCommand &command) {
    m_writer.restart(command.kind);
    showProgress(0, command.plusrw);
    writeBlocks(command.adressdata, command.data2, command.plusrw);
    m_fields.Command.finish(command.kind);
    m_fields.IsDiagnostic = 1;
}

int TableWrites::tableStart(const EcuCommand &command) {
    if (command.kind == EcuCommandKind::remakeuoz)
        return kIgnitionTable;
    return command.kind == EcuCommandKind::remakepopr ? command.decpopr : command.decgbc;
}

bool TableWrites::tableBlock(const EcuCommand &command) {
    if (!m_fields.MemoryAccessReady.load())
        return false; // stays pending and tries again on the next pass
    // Every command counts its own blocks from the first.
    if (!m_blocks || m_blocks->command.serial != command.serial) {
        noteDropped(command);
        m_blocks = BlocksInProgress{command, 0};
        m_writer.restart(command.kind);
        showProgress(0, TableBlocks);
    }
    const int k = m_blocks->written;
    m_writer.write(tableStart(command) + BlockWriter::Block * k, BlockWriter::Block, blockOf(command.data, k));
    ++m_blocks->written;
    m_fields.writeBlocksDone = m_blocks->written;
    m_fields.IsDiagnostic = 0;
    if (m_blocks->written < TableBlocks)
        return false;
    m_blocks.reset();
    endCommand(command);
    return true;
}

void TableWrites::noteDropped(const std::optional<EcuCommand> &pending) {
    if (!m_blocks || (pending && pending->serial == m_blocks->command.serial))
        return;
    // The command was dropped (a disconnect, a command put in its place)
    // before its last block: what it did not write is reported, not hidden.
    const EcuCommand &dropped = m_blocks->command;
    EcuWriteResult result = m_writer.take();
    for (int k = m_blocks->written; k < TableBlocks; ++k) {
        const int address = (tableStart(dropped) + BlockWriter::Block * k) & 0xFFFF;
        m_host.PostLog(ecutext::WriteDropped + hex4(address));
        result.failedAddresses.append(address);
    }
    m_blocks.reset();
    showProgress(0, 0);
    // Polling comes back as at the end of a whole write.
    if (m_fields.isConnected() && m_link.portOpen())
        m_fields.IsDiagnostic = 1;
    m_host.PublishWrite(result);
}

void TableWrites::rewriteTables(const EcuCommand &command) {
    m_writer.restart(command.kind);
    int tables = 0;
    for (const RewriteRow &row : kRewriteOrder)
        tables += std::ranges::any_of(command.tables, [&](const EcuTable &t) { return t.column == row.column; });
    showProgress(0, tables * TableBlocks);
    for (const RewriteRow &row : kRewriteOrder) {
        for (const EcuTable &table : command.tables) {
            if (table.column != row.column)
                continue;
            m_host.PostLog(row.line + ecutext::TableLineEnd);
            const qsizetype failedBefore = m_writer.failedCount();
            writeTable(table.adressdata, table.data2);
            if (m_writer.failedCount() > failedBefore) {
                const QString name = tableName(row);
                m_host.PostLog(ecutext::TableNotWritten + name);
                m_writer.noteFailedTable(name);
            }
            break;
        }
    }
}

void TableWrites::rewriteThrottleCorrection(const EcuCommand &command) {
    m_writer.restart(command.kind);
    showProgress(0, TableBlocks);
    m_host.PostLog(ecutext::RewriteThrottleCorrection);
    writeTable(command.adressdata, command.data2);
}

// A whole table through the block writer. The command stays pending until
// every table is written, so the window hands over nothing in between.
void TableWrites::writeTable(int address, const QByteArray &data2) {
    writeBlocks(address, data2, TableBlocks);
    m_fields.IsDiagnostic = 1;
    m_host.pause(m_fields.PortTimeOut.load());
}

void TableWrites::writeBlocks(int address, const QByteArray &data2, int blocks) {
    for (int k = 0; k < blocks; ++k) {
        m_writer.write(address + BlockWriter::Block * k, BlockWriter::Block, blockOf(data2, k));
        m_fields.writeBlocksDone.fetch_add(1);
    }
}

void TableWrites::showProgress(int done, int total) {
    m_fields.writeBlocksTotal = total;
    m_fields.writeBlocksDone = done;
}

void TableWrites::endCommand(const EcuCommand &command) {
    m_fields.Command.finish(command.kind);
    m_link.DiagnosticRequest();
    m_fields.IsDiagnostic = 1;
}

} // namespace korvel
