#pragma once

#include "ecu/BlockWriter.h"
#include "ecu/EcuCommand.h"
#include "ecu/EcuFields.h"
#include "ecu/EcuLink.h"
#include "ecu/EcuMemory.h"
#include "ecu/WorkerHost.h"

#include <QString>

#include <optional>
#include <span>

namespace korvel {

// One table of the rewrite: its address set column and its log line (without
// the closing double quote).
struct RewriteRow {
    int column;
    QString line;
};
// The tables "rewritetabl" writes, in this order; the first is written always.
std::span<const RewriteRow> rewriteOrder();
// The table's name in its line ("Поправка дроссель").
QString tableName(const RewriteRow &row);

// The ignition-advance table that "remakeuoz" writes, block by block.
inline constexpr int kIgnitionTable = 0x6DC8;

// What the table-write commands send to ECU RAM, and how they change the
// diagnostic flag and the pending command. The command handlers decide when
// each step runs; every step publishes its tally when its command ends.
class TableWrites {
public:
    static constexpr int TableBlocks = 4; // a 256-byte table is four 64-byte blocks

    TableWrites(EcuFields &fields, WorkerHost &host, EcuLink &link, EcuMemory &memory)
        : m_fields(fields), m_host(host), m_link(link), m_memory(memory), m_writer(host, link, memory) {}

    // "remake": `data` at `adressdata` with the length byte 1, then the
    // four-point marker unless `LSUenable`. Only while polling and with
    // memory access; polling is held off for the write. Always succeeds.
    void singleCell(const EcuCommand &command);
    // "remake_four_points": 18 bytes at `adressdata`, under the same rule.
    void fourPoints(const EcuCommand &command);
    // "correct1DF": `data` with the length byte `numdatastr` when memory
    // access is ready; then ends the command and polling resumes.
    void shortWrite(const EcuCommand &command);
    // `plusrw` blocks of `data2` from `adressdata`; then ends the command and polling resumes.
    void blockWriter(const EcuCommand &command);
    // One block of a counter-driven table write ("remakegbc", "remakepopr",
    // "remakeuoz"), only with memory access. True when it was the fourth: the
    // counter starts again, the command ends and polling resumes.
    bool tableBlock(const EcuCommand &command);
    // A counter-driven write that is no longer the pending command was
    // dropped before its last block: its unwritten blocks are logged and its
    // tally is handed over as failed. Runs before every pass of the worker.
    void noteDropped(const std::optional<EcuCommand> &pending);
    bool blocksInProgress() const { return m_blocks.has_value(); }
    // "rewritetabl": the tables of the command in the rewrite order, each with its line.
    void rewriteTables(const EcuCommand &command);
    // "RewriteDR": the throttle correction table from `data2` at `adressdata`.
    void rewriteThrottleCorrection(const EcuCommand &command);

    // Hands the tally of the command that ended to the UI thread.
    void publish() {
        showProgress(0, 0);
        m_host.PublishWrite(m_writer.take());
    }

private:
    struct BlocksInProgress {
        EcuCommand command;
        int written = 0;
    };
    static int tableStart(const EcuCommand &command);
    // Block by block, each counted in the write progress the status bar shows.
    void writeBlocks(int address, const QByteArray &data2, int blocks);
    void showProgress(int done, int total);
    void writeTable(int address, const QByteArray &data2);
    void endCommand(const EcuCommand &command);

    EcuFields &m_fields;
    WorkerHost &m_host;
    EcuLink &m_link;
    EcuMemory &m_memory;
    BlockWriter m_writer;
    std::optional<BlocksInProgress> m_blocks; // the counter-driven write in progress
};

} // namespace korvel
