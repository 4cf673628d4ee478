#pragma once

#include "ecu/EcuCommand.h"

#include <QByteArray>

#include <cstdint>
#include <optional>

namespace korvel {

class FirmwareImage;
class TuningAddressSets;

// The table-write commands built whole from what the window holds: the
// firmware image, the selected address set and the bytes to send. Hand the
// result to the ECU worker with `Command.submit` (false while it is busy).
namespace ecuwrite {

inline constexpr int kTableSize = 256;

// "remake": one byte at `address`; with `fourPointsMarker` the marker 0x80
// is also written there.
EcuCommand singleCell(int address, std::uint8_t value, std::optional<int> fourPointsMarker = std::nullopt);
// "remake_four_points": the 18 bytes of a four-point cell at `address`.
EcuCommand fourPoints(int address, const QByteArray &bytes);
// "correct1DF": `bytes` at `address`, their count as the length byte.
EcuCommand shortWrite(int address, const QByteArray &bytes);
// "correct23DF": `size` bytes of the image from `address`, sent as whole
// 64-byte blocks (up to 63 bytes after the table go along with their image contents).
EcuCommand imageBlocks(const FirmwareImage &image, int address, int size);
// "remakegbc", "remakepopr", "remakeuoz": a 256-byte table in cell order.
EcuCommand gbcTable(int decgbc, const QByteArray &table);
EcuCommand correctionTable(int decpopr, const QByteArray &table);
EcuCommand ignitionTable(const QByteArray &table);
// "rewritetabl": the throttle correction table always, each other table of
// the rewrite when the address set has it, with their image bytes.
EcuCommand rewriteTables(const TuningAddressSets &sets, const FirmwareImage &image);
// "RewriteDR": the throttle correction table from the image.
EcuCommand rewriteThrottleCorrection(const TuningAddressSets &sets, const FirmwareImage &image);

} // namespace ecuwrite
} // namespace korvel
