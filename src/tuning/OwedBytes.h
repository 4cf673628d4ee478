#pragma once

#include <bitset>
#include <cstdint>

namespace korvel {

class FirmwareImage;
class TuningWrites;

// The bytes of one tuned 256-byte table that the image holds and the ECU's RAM
// may not: a correction made while the worker was busy, a write the ECU
// reported failed. They stay owed until a hand-over carries them, so that the
// image and RAM never drift apart for good.
class OwedBytes {
public:
    static constexpr int kTableSize = 256;

    // The table the bytes belong to (an image address; below 0: none). Another
    // table forgets what the previous one owed.
    void setTable(std::int64_t address);
    std::int64_t table() const { return m_table; }

    void owe(int offset);
    // The part of `count` bytes from image address `address` that lies inside the table.
    void oweRange(std::int64_t address, int count);
    void oweAll();
    // Handed over: these offsets are no longer owed.
    void settle(int offset, int count);
    void clear() { m_bits.reset(); }

    bool empty() const { return m_bits.none(); }
    int count() const { return static_cast<int>(m_bits.count()); }
    bool owes(int offset) const;
    int first() const; // -1 when nothing is owed
    int last() const;

private:
    std::int64_t m_table = -1;
    std::bitset<kTableSize> m_bits;
};

// How the owed bytes of a correction table go out in one command: a single
// byte as "remake" (with its cell's marker) or, when `cellWrites` is off, as
// the 18-byte write; bytes within 18 of each other as "remake_four_points"
// (the window kept inside the table); anything wider as the whole table
// ("remakepopr"). Every byte sent is taken from the image.
enum class OwedHandOver {
    Nothing, // nothing owed (or no table)
    Busy,    // the worker had a command pending; everything stays owed
    Sent,
};
OwedHandOver sendOwedCorrections(OwedBytes &owed, const FirmwareImage &image, TuningWrites *writes, bool cellWrites);

// The owed cycle-filling table goes out whole ("remakegbc").
OwedHandOver sendOwedGbc(OwedBytes &owed, const FirmwareImage &image, TuningWrites *writes);

// Bytes each request of a tuning write command covers: what a failed request
// address of that command leaves unwritten.
inline constexpr int kCellWriteBytes = 1;
inline constexpr int kFourPointWriteBytes = 18;
inline constexpr int kBlockWriteBytes = 64;

} // namespace korvel
