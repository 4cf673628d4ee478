#include "ecu/EcuMemory.h"

#include "ecu/BlockWriter.h"
#include "ecu/EcuTexts.h"

#include <array>

namespace korvel {

namespace {

QByteArray addressBytes(int address) {
    QByteArray bytes;
    bytes.append(static_cast<char>((address >> 8) & 0xFF)).append(static_cast<char>(address & 0xFF));
    return bytes;
}

struct AreaRead {
    int address;
    int length;
};

// In this order; each runs only while the ones before succeeded.
constexpr std::array<AreaRead, 12> kConfigurationReads{{
    {0xF300, 8}, // memory access probe
    {0x6051, 2}, // complectation
    {0x60DE, 1},
    {0x5F00, 8},
    {0x613C, 0x40}, // axes
    {0x617C, 0x40},
    {0x61BC, 0x40},
    {0x61FC, 0x40},
    {0x7208, 0x40},
    {0x7248, 0x40},
    {0x7288, 0x40},
    {0x72C8, 0x40},
}};
constexpr int kAccessProbe = 0xF300;

constexpr std::array<AreaRead, EcuMemory::IdentificationBlocks> kIdentificationBlocks{{
    {0x0000, 0x30},
    {0x0030, 0x30},
    {0x0060, 0x30},
    {0x0090, 0x30},
    {0x00C0, 0x20},
}};

constexpr std::array<int, EcuMemory::ClearBlocks> kClearBlocks{0xFD00, 0xFD40, 0xFD80, 0xFDC0};
constexpr int kClearBlockLength = 0x40;
constexpr char kClearMark = static_cast<char>(0x80);

constexpr char kNegativeResponse = 0x7F;

const QByteArray kReadService("\x23\x00", 2);
const QByteArray kWriteService("\x3D\x00", 2);

} // namespace

QByteArray EcuMemory::ReadMemory(QByteArrayView address, QByteArrayView length) {
    return read(address, length, true);
}

QByteArray EcuMemory::read(QByteArrayView address, QByteArrayView length, bool logged) {
    if (address.size() != 2 || length.size() != 1)
        return {};
    if (logged)
        m_host.ReplaceLog(ecutext::ReadEcuRam);
    QByteArray request = kReadService;
    request.append(address.data(), 2).append(length.data(), 1);
    return m_link.ExchangeRequest(request) ? m_link.lastReadData() : QByteArray();
}

QByteArray EcuMemory::ReadMemory(int address, int length) {
    const char lengthByte = static_cast<char>(length & 0xFF);
    return ReadMemory(addressBytes(address), QByteArrayView(&lengthByte, 1));
}

QByteArray EcuMemory::ReadBack(int address, int length) {
    constexpr int kPiece = 0x40;
    QByteArray bytes;
    for (int done = 0; done < length; done += kPiece) {
        const char lengthByte = static_cast<char>(qMin(kPiece, length - done));
        const QByteArray piece = read(addressBytes((address + done) & 0xFFFF), QByteArrayView(&lengthByte, 1), false);
        if (piece.size() != lengthByte)
            return {};
        bytes += piece;
    }
    return bytes;
}

void EcuMemory::WriteMemory(QByteArrayView address, QByteArrayView length, QByteArrayView data) {
    if (address.size() != 2 || length.size() != 1)
        return;
    QByteArray request = kWriteService;
    request.append(address.data(), 2).append(length.data(), 1).append(data.data(), data.size());
    m_link.ExchangeRequest(request);
    m_host.pause(StepPause);
}

void EcuMemory::WriteMemory(int address, int length, QByteArrayView data) {
    const char lengthByte = static_cast<char>(length & 0xFF);
    WriteMemory(addressBytes(address), QByteArrayView(&lengthByte, 1), data);
}

bool EcuMemory::ConfigurationReads() {
    for (const AreaRead &read : kConfigurationReads) {
        const bool ok = !ReadMemory(read.address, read.length).isEmpty();
        if (ok && read.address == kAccessProbe)
            m_fields.MemoryAccessReady = true;
        m_host.pause(StepPause);
        if (!ok)
            return false;
    }
    return true;
}

void EcuMemory::publishProgress() {
    m_host.PublishProgress(m_progressMaximum, m_progressPosition);
    m_progressPosition = 0;
}

bool EcuMemory::ReadIdentification() {
    if (!m_fields.MemoryAccessReady.load() || m_fields.IsECUConnected.load() != 1)
        return false;
    m_progressMaximum = IdentificationBlocks;
    m_progressPosition = 0;
    publishProgress();
    const int savedDiagnostic = m_fields.IsDiagnostic.exchange(0);

    QByteArray block;
    for (int i = 0; i < IdentificationBlocks; ++i) {
        m_progressPosition = i + 1;
        publishProgress();
        const QByteArray data = ReadMemory(kIdentificationBlocks[i].address, kIdentificationBlocks[i].length);
        m_host.pause(StepPause);
        if (data.isEmpty()) {
            m_progressPosition = 0;
            publishProgress();
            return false; // polling stays off until the next connect
        }
        block += data;
    }

    m_fields.ReadRam.store(block);
    m_fields.SWID.store(m_swid.swid(block));
    m_host.PublishIdentification(block);
    m_fields.IsDiagnostic = savedDiagnostic;
    m_progressPosition = 0;
    publishProgress();
    m_fields.ReadRam.store({});
    return true;
}

FirmwareReadResult EcuMemory::ReadFirmware() {
    m_progressMaximum = FirmwareBlocks;
    m_progressPosition = 0;
    publishProgress();
    FirmwareReadResult result;
    if (m_fields.IsDiagnostic.load() != 1 || !m_fields.MemoryAccessReady.load()) {
        m_host.PostLog(ecutext::FirmwareNotReady);
        return result;
    }
    const int savedDiagnostic = m_fields.IsDiagnostic.exchange(0);

    QByteArray image;
    image.reserve(FirmwareBlocks * FirmwareBlock + FirmwareTail);
    int address = 0;
    for (int block = 1; block <= FirmwareBlocks + 1; ++block) {
        const int length = block <= FirmwareBlocks ? FirmwareBlock : FirmwareTail;
        if (block <= FirmwareBlocks) {
            m_progressPosition = block;
            publishProgress();
        }
        QByteArray data = ReadMemory(address, length);
        // One bad or missing answer is read again, a few times, each logged.
        for (int retry = 1; retry < FirmwareReadAttempts && data.size() != length; ++retry) {
            if (!m_link.portOpen() || m_host.stopRequested())
                break;
            m_host.PostLog(ecutext::FirmwareRetry.arg(hex4(address)).arg(retry));
            m_host.PostLog(ecutext::ReadEcuRam); // the reads replace this line, not the retry's
            data = ReadMemory(address, length);
        }
        if (data.size() != length) {
            // Unlike a silent stop, polling comes back and the window learns
            // which block failed instead of waiting for ever.
            m_host.PostLog(ecutext::FirmwareNoAnswer + hex4(address));
            m_fields.IsDiagnostic = m_link.portOpen() ? savedDiagnostic : 0;
            publishProgress();
            result.failedAddress = address;
            return result;
        }
        image += data;
        address = (address + length) & 0xFFFF;
    }

    m_fields.IsDiagnostic = savedDiagnostic;
    publishProgress();
    result.image = image;
    result.complete = true;
    return result;
}

bool EcuMemory::ClearStep(EcuCommandKind command) {
    m_host.pause(StepPause);
    const int block = m_clearBlock % ClearBlocks;
    m_fields.IsDiagnostic = 0;
    if (m_fields.MemoryAccessReady.load()) {
        const char length = kClearBlockLength;
        WriteMemory(addressBytes(kClearBlocks[block]), QByteArrayView(&length, 1),
                    QByteArray(kClearBlockLength, kClearMark));
        // A block the ECU refused or did not answer is written again.
        m_clearLanded =
            m_link.portOpen() && !m_link.lastAnswerMissing() && !m_link.lastResponse().startsWith(kNegativeResponse);
        if (m_clearLanded)
            ++m_clearBlock;
    } else {
        m_clearLanded = false;
    }
    if (m_clearBlock < ClearBlocks)
        return false;
    m_clearBlock = 0;
    m_fields.Command.finish(command);
    m_link.DiagnosticRequest();
    m_fields.IsDiagnostic = 1;
    return true;
}

} // namespace korvel
