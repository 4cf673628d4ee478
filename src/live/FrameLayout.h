#pragma once

#include "live/LiveParameters.h"

#include <QString>
#include <QStringList>

#include <span>

namespace korvel {

enum class ByteType { U8, S8, U16 }; // U16 is little-endian, low byte first

// How a field reaches its live channel.
enum class ChannelForm {
    AsIs,
    Hundredths,  // Round(x × 100) / 100
    Thousandths, // Round(x × 1000) / 1000
    WholeKpa,    // the pressure in tenths of a kPa, as Round(x / 10)
};

using Scaling = double (*)(int raw);
using FieldRef = double &(*)(LiveParameters &);

// One value of a diagnostic frame. Rows with byte kDerived are computed after
// the frame is decoded and only name their channel.
struct LayoutRow {
    static constexpr int kDerived = -1;
    int byte;
    ByteType type;
    Scaling scale;    // raw byte or word to value; null for derived rows
    FieldRef field;   // null for the pressure (a float field of its own)
    int channel;      // 0: the value has no channel of its own
    const char *name; // channel display name, UTF-8
    ChannelForm form = ChannelForm::AsIs;
};

// The rows of a protocol's frame, in channel order.
std::span<const LayoutRow> frameLayout(Protocol protocol);

// One of the 17 status flags and the bit that carries it in each protocol.
struct FlagRow {
    int number;
    const char *name;
    int fastByte, fastBit;
    int standardByte, standardBit;
};
std::span<const FlagRow> flagTable();
// The live channel of a flag: 40..56 in the fast protocol, 20..36 in the standard one.
int flagChannel(Protocol protocol, int flagNumber);

// The display names of channels 1..ChannelCount (index 0 is channel 1).
const QStringList &channelNames(Protocol protocol);

} // namespace korvel
