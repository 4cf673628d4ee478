#pragma once

#include "firmware/CellConversion.h"
#include "firmware/Outcome.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>
#include <vector>

namespace korvel {

// The calibration map (.j5/.j7): the catalogue of a firmware's tables. It is
// kept whole in memory, walked once for the tree, and a table's description is
// read again from the bytes when the table is opened. The file comes from
// users, so every read is checked against its length.

// The kind byte at the end of every node record: what follows the record.
namespace tablekind {
inline constexpr int Item = 0;           // an item record follows
inline constexpr int OneDimensional = 1; // tables 1 to 5: their description follows
inline constexpr int TwoDimensional = 2;
inline constexpr int SingleValue = 3;
inline constexpr int BitFlags = 4;
inline constexpr int TextFields = 5;
inline constexpr int Group = 255; // a group record follows
} // namespace tablekind

inline constexpr int kMapHeaderSize = 22;
inline constexpr int kMapNodeCoreSize = 67;   // name length, 64 name bytes, level, kind
inline constexpr int kMapItemRecordSize = 69; // two passed-over bytes, then a node core
inline constexpr int kMapNameCapacity = 64;
// Larger files are refused at load: the biggest real map is a few hundred kilobytes.
inline constexpr qint64 kMapMaximumSize = 16 * 1024 * 1024;

// Size of the description that follows a table of that kind; 0 for any other kind.
int descriptorBlockSize(int kind);
inline bool isTableKind(int kind) {
    return kind >= tablekind::OneDimensional && kind <= tablekind::TextFields;
}

struct CalibrationMap {
    QByteArray bytes;
};

// Reads the whole file; refused when it cannot be read or is implausibly large.
Outcome<CalibrationMap> LoadCalibrationMap(const QString &fileName);

// One node record of the map.
struct MapNode {
    QString name;
    int level = 0;       // the level byte as stored
    int depth = 1;       // depth in the tree actually used (1 = under the root)
    int kind = 0;        // the record's kind byte
    qint64 reference{0}; // offset of the name-length byte; a table's description starts 67 bytes further
    int parent = -1;     // index into MapTree::nodes, -1 for the root
    int iconIndex() const { return kind + 1; }
};

struct MapTree {
    QString rootText;
    std::vector<MapNode> nodes; // in file order, parents before their children
    // Empty when the walk reached the end of the map; otherwise where and why it stopped.
    QString stopReason;
};

// Walks the map from byte 22. A node whose level has no parent in the current
// branch (level 0, or deeper than the branch plus one) is put under the root.
MapTree BuildMapTree(const CalibrationMap &map, const QString &rootText);

struct FlagDescription {
    std::uint32_t address = 0; // unmasked
    QString name;
    std::array<QString, 8> bitNames; // bit 0 first; empty = bit not used
};

struct TextDescription {
    std::uint32_t address = 0;
    int length = 0;
    QString name; // empty = entry not used
};

// A table's description, decoded. Fields a kind does not have keep their defaults.
struct TableDescriptor {
    int kind = 0;
    qint64 reference = 0;
    std::uint32_t identifier = 0; // kinds 1, 2: shown as 8 hex digits
    std::uint32_t address = 0;    // unmasked address of the first cell (kinds 1 to 3)
    QString xName;
    QString valueName; // the unit
    QString yName;
    QString xAxisCode;
    QString yAxisCode;
    int columns = 0;  // N
    int rows = 0;     // M (kind 2)
    int marker = 0;   // 16-bit field after N (kinds 1, 2), shown as 4 hex digits
    int typeMark = 0; // kind 2: the byte after the cell type, shown as 2 hex digits
    int trailer = 0;  // the last 16-bit field of kinds 1 to 3, shown as 4 hex digits
    double xStart = 0;
    double xEnd = 0;
    double yStart = 0;
    double yEnd = 0;
    double minimum = 0; // 0 = from the cell type (kinds 1, 2) or automatic (kind 3)
    double maximum = 0;
    TableConversion conversion;           // kind, cell type and D1 to D5
    QString title;                        // kind 5
    std::array<FlagDescription, 8> flags; // kind 4
    std::array<TextDescription, 8> texts; // kind 5
};

// Reads the description of the table whose node lies at `reference`; refused
// when the kind is not a table kind or the block does not lie inside the map.
Outcome<TableDescriptor> readTableDescriptor(const CalibrationMap &map, int kind, qint64 reference);

// 8-digit upper-case hexadecimal text, as addresses travel to the cell operations.
QString mapAddressText(std::uint32_t address);

} // namespace korvel
