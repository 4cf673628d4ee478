#pragma once

namespace korvel {

// The cell type byte of a table description: how one cell lies in the image.
//   0 unsigned 8-bit, 1 signed 8-bit,
//   2 unsigned 16-bit little-endian, 3 signed 16-bit little-endian,
//   4 unsigned 16-bit big-endian,    5 signed 16-bit big-endian,
//   6 two bytes whose second is the high byte over a zero low byte;
//   7 to 255 have no meaning and are refused by the cell operations.
namespace celltype {
inline constexpr int Unsigned8 = 0;
inline constexpr int Signed8 = 1;
inline constexpr int Unsigned16Le = 2;
inline constexpr int Signed16Le = 3;
inline constexpr int Unsigned16Be = 4;
inline constexpr int Signed16Be = 5;
inline constexpr int HighByteOnly = 6;
inline constexpr int LastKnown = 6;
} // namespace celltype

// Cell c of a table lies at table address + c * width.
inline int cellWidth(int cellType) {
    return cellType == celltype::Unsigned8 || cellType == celltype::Signed8 ? 1 : 2;
}
inline bool isKnownCellType(int cellType) {
    return cellType >= 0 && cellType <= celltype::LastKnown;
}

struct RawRange {
    long minimum = 0;
    long maximum = 0;
};

// The raw range of a cell type; 7 to 255 count as 0..255.
inline RawRange rawRange(int cellType) {
    switch (cellType) {
    case celltype::Signed8:
        return {-128, 127};
    case celltype::Unsigned16Le:
    case celltype::Unsigned16Be:
    case celltype::HighByteOnly:
        return {0, 65535};
    case celltype::Signed16Le:
    case celltype::Signed16Be:
        return {-32768, 32767};
    default:
        return {0, 255};
    }
}

} // namespace korvel
