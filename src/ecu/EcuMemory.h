#pragma once

#include "ecu/EcuFields.h"
#include "ecu/EcuLink.h"
#include "ecu/WorkerHost.h"
#include "firmware/Swid.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace korvel {

// Reads and writes of ECU memory (readMemoryByAddress 0x23, writeMemoryByAddress
// 0x3D) and the memory steps of the fast connect sequence.
class EcuMemory {
public:
    static constexpr int StepPause = 200; // ms after every read and write
    static constexpr int IdentificationBlocks = 5;
    static constexpr int ClearBlocks = 4;
    static constexpr int FirmwareBlocks = 682; // of FirmwareBlock bytes, then one of FirmwareTail
    static constexpr int FirmwareBlock = 0x60;
    static constexpr int FirmwareTail = 0x40;
    static constexpr int FirmwareReadAttempts = 3; // requests per block before the read gives up

    EcuMemory(EcuFields &fields, WorkerHost &host, EcuLink &link) : m_fields(fields), m_host(host), m_link(link) {}

    // `address`: 2 bytes, high first; `length`: 1 byte. The data bytes, empty
    // on failure; other argument sizes send nothing.
    QByteArray ReadMemory(QByteArrayView address, QByteArrayView length);
    QByteArray ReadMemory(int address, int length);
    // A read that logs no line of its own (the check of a block just written),
    // in requests of at most 0x40 bytes; empty unless every byte came back.
    QByteArray ReadBack(int address, int length);
    // Sends the write and pauses; the ECU's answer is never accepted.
    void WriteMemory(QByteArrayView address, QByteArrayView length, QByteArrayView data);
    void WriteMemory(int address, int length, QByteArrayView data);

    // The configuration reads after the switch to RAM; sets MemoryAccessReady.
    bool ConfigurationReads();
    // The 224 bytes at 0000–00DF in five blocks, with progress; the worker's
    // SWID and the UI thread's identification come from them.
    bool ReadIdentification();
    // The whole 64 KB image, with progress per block. A block is asked for
    // again after a bad or missing answer (each retry logged); one that fails
    // every attempt ends the read (logged), polling resumes and the result says so.
    FirmwareReadResult ReadFirmware();
    // One block of the correction marker area (FD00–FDFF := 0x80) per call; true
    // ("finished") after the fourth, which also ends `command` and resumes polling.
    bool ClearStep(EcuCommandKind command);

    // The clear step of each connect starts at its first block (FD00).
    void startClear() { m_clearBlock = 0; }
    // The last clear step's block was taken by the ECU.
    bool clearBlockLanded() const { return m_clearLanded; }

private:
    QByteArray read(QByteArrayView address, QByteArrayView length, bool logged);
    void publishProgress();

    EcuFields &m_fields;
    WorkerHost &m_host;
    EcuLink &m_link;
    SwidCrc m_swid;
    int m_progressMaximum = 0;
    int m_progressPosition = 0;
    int m_clearBlock = 0; // blocks of the clear step written in this connect
    bool m_clearLanded = false;
};

} // namespace korvel
