// A calibration map from a user: the walk that builds the tree, every table
// description on it, the text dump, and a description read at any offset.
// Input: kind and offset of the extra read (3 bytes), then the map.
#include "FuzzCheck.h"
#include "firmware/CalibrationMap.h"
#include "firmware/MapDump.h"

using namespace korvel;
using korvel::fuzz::require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    fuzz::Input input(data, size);
    const int kind = input.byte();
    const qint64 offset = qint64(input.byte()) << 8 | input.byte();
    const CalibrationMap map{input.rest()};
    const qint64 mapSize = map.bytes.size();

    const MapTree tree = BuildMapTree(map, QStringLiteral("fuzz"));
    for (std::size_t n = 0; n < tree.nodes.size(); ++n) {
        const MapNode &node = tree.nodes[n];
        require(node.reference >= kMapHeaderSize && node.reference + kMapNodeCoreSize <= mapSize,
                "nodes lie inside the map");
        require(node.parent < static_cast<int>(n), "parents come before their children");
        const int parentDepth = node.parent < 0 ? 0 : tree.nodes[static_cast<std::size_t>(node.parent)].depth;
        require(node.depth == parentDepth + 1, "depth follows the parent");
        require(node.name.size() <= kMapNameCapacity, "names within their field");
        if (!isTableKind(node.kind))
            continue;
        const Outcome<TableDescriptor> d = readTableDescriptor(map, node.kind, node.reference);
        require(d.ok() == (node.reference + kMapNodeCoreSize + descriptorBlockSize(node.kind) <= mapSize),
                "a description is read whole or refused");
        if (d.ok())
            (void)mapAddressText(d.value().address);
    }
    const QString dump = dumpCalibrationMap(map);
    require(dump.count(QLatin1String(" (kind ")) == static_cast<qsizetype>(tree.nodes.size()), "one line per node");

    const Outcome<TableDescriptor> any = readTableDescriptor(map, kind, offset);
    require(!any.ok() || (isTableKind(kind) && offset + kMapNodeCoreSize + descriptorBlockSize(kind) <= mapSize),
            "a description at any offset is read whole or refused");
    return 0;
}
