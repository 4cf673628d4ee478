#include "ecu/EcuWriteCommands.h"

#include "ecu/TableWrites.h"
#include "firmware/Conversions.h"
#include "firmware/FirmwareImage.h"
#include "firmware/TuningAddressSets.h"

namespace korvel::ecuwrite {

namespace {

constexpr int kAbsentAddress = 0xFFFF;

// Image bytes from `address` on; the ECU's addresses run on as 16-bit values.
QByteArray imageBytes(const FirmwareImage &image, int address, int count) {
    QByteArray bytes(count, '\0');
    for (int i = 0; i < count; ++i)
        bytes[i] = static_cast<char>(image.byteAt((address + i) & 0xFFFF).value_or(0));
    return bytes;
}

EcuCommand withKind(EcuCommandKind kind) {
    EcuCommand command;
    command.kind = kind;
    return command;
}

EcuCommand table(EcuCommandKind kind, const QByteArray &bytes) {
    EcuCommand command = withKind(kind);
    command.data = bytes.left(kTableSize);
    return command;
}

std::optional<int> tableAddress(const TuningAddressSets &sets, int column) {
    const Outcome<std::int64_t> address = HexToInt(sets.address(column));
    if (!address || address.value() > kAbsentAddress)
        return std::nullopt;
    return static_cast<int>(address.value());
}

} // namespace

EcuCommand singleCell(int address, std::uint8_t value, std::optional<int> fourPointsMarker) {
    EcuCommand command = withKind(EcuCommandKind::remake);
    command.adressdata = address;
    command.data = QByteArray(1, static_cast<char>(value));
    command.LSUenable = !fourPointsMarker;
    command.delta = fourPointsMarker.value_or(0);
    return command;
}

EcuCommand fourPoints(int address, const QByteArray &bytes) {
    EcuCommand command = withKind(EcuCommandKind::remake_four_points);
    command.adressdata = address;
    command.data = bytes;
    return command;
}

EcuCommand shortWrite(int address, const QByteArray &bytes) {
    EcuCommand command = withKind(EcuCommandKind::correct1DF);
    command.adressdata = address;
    command.data = bytes;
    command.numdatastr = static_cast<int>(bytes.size());
    return command;
}

EcuCommand imageBlocks(const FirmwareImage &image, int address, int size) {
    constexpr int kBlock = 64;
    EcuCommand command = withKind(EcuCommandKind::correct23DF);
    command.adressdata = address;
    command.plusrw = (qMax(size, 0) + kBlock - 1) / kBlock;
    command.data2 = imageBytes(image, address, command.plusrw * kBlock);
    return command;
}

EcuCommand gbcTable(int decgbc, const QByteArray &bytes) {
    EcuCommand command = table(EcuCommandKind::remakegbc, bytes);
    command.decgbc = decgbc;
    return command;
}

EcuCommand correctionTable(int decpopr, const QByteArray &bytes) {
    EcuCommand command = table(EcuCommandKind::remakepopr, bytes);
    command.decpopr = decpopr;
    return command;
}

EcuCommand ignitionTable(const QByteArray &bytes) {
    return table(EcuCommandKind::remakeuoz, bytes);
}

EcuCommand rewriteTables(const TuningAddressSets &sets, const FirmwareImage &image) {
    EcuCommand command = withKind(EcuCommandKind::rewritetabl);
    bool first = true;
    for (const RewriteRow &row : rewriteOrder()) {
        const bool wanted = first || sets.present(row.column);
        first = false;
        const std::optional<int> address = tableAddress(sets, row.column);
        if (wanted && address)
            command.tables.append({row.column, *address, imageBytes(image, *address, kTableSize)});
    }
    return command;
}

EcuCommand rewriteThrottleCorrection(const TuningAddressSets &sets, const FirmwareImage &image) {
    EcuCommand command = withKind(EcuCommandKind::RewriteDR);
    command.adressdata = tableAddress(sets, tuningcolumn::CorrThr).value_or(kAbsentAddress);
    command.plusrw = TableWrites::TableBlocks;
    command.data2 = imageBytes(image, command.adressdata, kTableSize);
    return command;
}

} // namespace korvel::ecuwrite
