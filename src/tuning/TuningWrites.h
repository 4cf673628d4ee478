#pragma once

#include <QByteArray>

#include <cstdint>

namespace korvel {

// The ECU writes tuning asks for. Each is one command for the ECU worker,
// handed over only while the worker has no command pending: callers ask
// busy() first and, when it is busy, send nothing (the image keeps the value;
// the write-back timers retry a second later). Addresses are ECU addresses.
class TuningWrites {
public:
    virtual ~TuningWrites() = default;

    virtual bool busy() const = 0;
    // "remake": one correction byte; `marker` is 0xFD00 + cell index, where the
    // worker notes a cell corrected without a wideband controller.
    virtual void remake(int address, std::uint8_t value, int marker) = 0;
    // "remake_four_points": 18 bytes from the working point on.
    virtual void remakeFourPoints(int address, const QByteArray &bytes) = 0;
    // "remakegbc": the 256-byte cycle-filling table at `address` ("decgbc").
    virtual void remakeGbc(int address, const QByteArray &table) = 0;
    // "remakepopr": the 256-byte correction table with the neighbours' learning.
    virtual void remakePopr(int address, const QByteArray &table) = 0;
    // "remakeuoz": the 256-byte part-load ignition table.
    virtual void remakeUoz(int address, const QByteArray &table) = 0;
    // "correct23DF": `blocks` whole 64-byte blocks from `address`; `lastCount`
    // is the length of the last block that belongs to the table.
    virtual void correct23DF(int address, const QByteArray &blockBytes, int blocks, int lastCount) = 0;
};

} // namespace korvel
