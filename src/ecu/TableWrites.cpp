#include "ecu/TableWrites.h"

#include "ecu/EcuTexts.h"
#include "firmware/TuningAddressSets.h"

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
    m_writer.writeBlocks(command.adressdata, command.data2, command.plusrw);
    m_fields.Command.finish(command.kind);
    m_fields.IsDiagnostic = 1;
}

bool TableWrites::tableBlock(const EcuCommand &command) {
    if (!m_fields.MemoryAccessReady.load())
        return false; // stays pending and tries again on the next pass
    const bool ignition = command.kind == EcuCommandKind::remakeuoz;
    int &counter = ignition ? m_memory.counterB() : m_memory.counterA();
    const int k = counter;
    if (k == 0)
        m_writer.restart(command.kind);
    else
        m_writer.begin(command.kind);
    const int start = ignition                                     ? kIgnitionTable
                      : command.kind == EcuCommandKind::remakepopr ? command.decpopr
                                                                   : command.decgbc;
    m_writer.write(start + BlockWriter::Block * k, BlockWriter::Block, blockOf(command.data, k));
    ++counter;
    m_fields.IsDiagnostic = 0;
    if (counter < TableBlocks)
        return false;
    counter = 0;
    endCommand(command);
    return true;
}

void TableWrites::rewriteTables(const EcuCommand &command) {
    m_writer.restart(command.kind);
    for (const RewriteRow &row : kRewriteOrder) {
        for (const EcuTable &table : command.tables) {
            if (table.column != row.column)
                continue;
            m_host.PostLog(row.line + ecutext::TableLineEnd);
            writeTable(table.adressdata, table.data2);
            break;
        }
    }
}

void TableWrites::rewriteThrottleCorrection(const EcuCommand &command) {
    m_writer.restart(command.kind);
    m_host.PostLog(ecutext::RewriteThrottleCorrection);
    writeTable(command.adressdata, command.data2);
}

// A whole table through the block writer. The command stays pending until
// every table is written, so the window hands over nothing in between.
void TableWrites::writeTable(int address, const QByteArray &data2) {
    m_writer.writeBlocks(address, data2, TableBlocks);
    m_fields.IsDiagnostic = 1;
    m_host.pause(m_fields.PortTimeOut.load());
}

void TableWrites::endCommand(const EcuCommand &command) {
    m_fields.Command.finish(command.kind);
    m_link.DiagnosticRequest();
    m_fields.IsDiagnostic = 1;
}

} // namespace korvel
