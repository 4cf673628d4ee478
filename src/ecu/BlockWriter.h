#pragma once

#include "ecu/EcuLink.h"
#include "ecu/EcuMemory.h"
#include "ecu/EcuResults.h"
#include "ecu/WorkerHost.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace korvel {

// Sends table data to ECU RAM with writeMemoryByAddress. The ECU's answer to
// a write is never accepted, so a write can only be confirmed by reading it
// back: with "Проверять запись" on, every request is followed by a read of
// the same bytes; a difference is logged and the request sent once more, and
// a second difference counts the block as failed. Without the read-back a
// block still counts as failed when the ECU refused it (7F), kept silent or
// the port was gone: its RAM is then never reported written. The tally of a
// command runs until it is taken.
class BlockWriter {
public:
    static constexpr int Block = 0x40;

    BlockWriter(WorkerHost &host, EcuLink &link, EcuMemory &memory) : m_host(host), m_link(link), m_memory(memory) {}

    // One request: `length` is the length byte sent, `data` the bytes.
    void write(int address, int length, const QByteArray &data);
    // `blocks` blocks of 64 bytes of `data2` (zeros past its end) from
    // `address` upward; the address runs on as a 16-bit value.
    void writeBlocks(int address, const QByteArray &data2, int blocks);

    // Starts a new tally for `command` (a command picked up again keeps its own).
    void begin(EcuCommandKind command);
    void restart(EcuCommandKind command);
    // The finished command's tally; the next write starts a new one.
    EcuWriteResult take();
    // Blocks of the running tally that failed so far.
    qsizetype failedCount() const { return m_tally.failedAddresses.size(); }
    // A table of the running command that did not land whole.
    void noteFailedTable(const QString &name) { m_tally.failedTables.append(name); }

private:
    bool confirmed(int address, const QByteArray &data);
    // Without the read-back: false when the last write was plainly not taken (logged).
    bool taken(int address);

    WorkerHost &m_host;
    EcuLink &m_link;
    EcuMemory &m_memory;
    EcuWriteResult m_tally;
    bool m_open = false; // a tally is running
};

// An ECU address as four uppercase hex digits, for log lines.
QString hex4(int address);

// 64 bytes of `bytes` from block `k` on, zeros where it ends early.
QByteArray blockOf(const QByteArray &bytes, int k);

} // namespace korvel
