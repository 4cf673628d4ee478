#include "ecu/BlockWriter.h"

#include "ecu/EcuTexts.h"

namespace korvel {

namespace {
constexpr char kWriteRefused = 0x7F;
} // namespace

QString hex4(int address) {
    return QString::number(address & 0xFFFF, 16).toUpper().rightJustified(4, u'0');
}

QByteArray blockOf(const QByteArray &bytes, int k) {
    QByteArray block = bytes.mid(static_cast<qsizetype>(k) * BlockWriter::Block, BlockWriter::Block);
    block.append(QByteArray(BlockWriter::Block - block.size(), '\0'));
    return block;
}

void BlockWriter::begin(EcuCommandKind command) {
    if (m_open && m_tally.command == command)
        return;
    restart(command);
}

void BlockWriter::restart(EcuCommandKind command) {
    m_tally = EcuWriteResult{};
    m_tally.command = command;
    m_tally.verified = m_link.verifyWrites();
    m_open = true;
}

EcuWriteResult BlockWriter::take() {
    m_open = false;
    return m_tally;
}

void BlockWriter::write(int address, int length, const QByteArray &data) {
    address &= 0xFFFF;
    m_memory.WriteMemory(address, length, data);
    ++m_tally.requests;
    if (!m_link.verifyWrites()) {
        if (!taken(address))
            m_tally.failedAddresses.append(address);
        return;
    }
    if (confirmed(address, data))
        return;
    m_host.PostLog(ecutext::WriteNotConfirmed + hex4(address));
    m_memory.WriteMemory(address, length, data);
    ++m_tally.requests;
    if (confirmed(address, data))
        return;
    m_host.PostLog(ecutext::WriteFailed + hex4(address));
    m_tally.failedAddresses.append(address);
}

void BlockWriter::writeBlocks(int address, const QByteArray &data2, int blocks) {
    for (int k = 0; k < blocks; ++k) {
        write(address, Block, blockOf(data2, k));
        address = (address + Block) & 0xFFFF;
    }
}

bool BlockWriter::taken(int address) {
    switch (m_link.lastStatus()) {
    case ExchangeStatus::PortClosed:
    case ExchangeStatus::PortLost:
    case ExchangeStatus::Stopped:
        return false; // the port's own line says why
    case ExchangeStatus::Done:
    case ExchangeStatus::NoAnswer:
    case ExchangeStatus::WrongAnswer:
        break;
    }
    if (m_link.lastAnswerMissing()) {
        m_host.PostLog(ecutext::WriteUnanswered + hex4(address));
        return false;
    }
    if (m_link.lastResponse().startsWith(kWriteRefused)) {
        m_host.PostLog(ecutext::WriteFailed + hex4(address));
        return false;
    }
    return true;
}

bool BlockWriter::confirmed(int address, const QByteArray &data) {
    return m_memory.ReadBack(address, static_cast<int>(data.size())) == data;
}

} // namespace korvel
