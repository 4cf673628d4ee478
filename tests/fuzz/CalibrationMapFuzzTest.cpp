#include "Mutator.h"
#include "firmware/CalibrationMap.h"
#include "firmware/MapBuilder.h"
#include "firmware/MapDump.h"

#include <gtest/gtest.h>

using namespace korvel;
using korvel::fuzz::Mutator;

namespace {

constexpr int kMapIterations = 3000;
constexpr int kDescriptionIterations = 3000;

const char *const kDescriptions[] = {
    "group 1 Топливо\ngroup 2 Цикловая подача\nkind 2\naddress 5A10\nxname Обороты\ncells 16\nrows 8\n"
    "celltype 3\nd1 256\ngroup 2 Поправки\nkind 1\naddress 6100\ncells 12\ngroup 1 Уставки\nitem 2 ХХ\n"
    "kind 3\naddress 613C\nunit об/мин\ngroup 1 Пусто\n",
    "group 1 Флаги\nkind 4\nflag 0 7000 Конфигурация\nbit 0 1 Лямбда\nflag 3 7003 Прочее\n"
    "group 1 Паспорт\nkind 5\ntitle Паспорт\ntext 0 7F00 8 Номер\ngroup 1 Пусто\nitem 2 x\n",
    "group 1 a\nitem 2 b\nitem 3 c\nkind 1\ngroup 0 d\ngroup 9 e\n",
};

std::vector<QByteArray> builtSeeds() {
    std::vector<QByteArray> seeds;
    for (const char *description : kDescriptions) {
        const Outcome<QByteArray> map = buildCalibrationMap(QString::fromUtf8(description));
        EXPECT_TRUE(map.ok()) << map.error().toStdString();
        seeds.push_back(map.value());
    }
    return seeds;
}

} // namespace

// Hostile maps: the walk keeps only nodes that lie inside the map, parents
// before children, and every description is read whole or refused.
TEST(CalibrationMapFuzz, AnyMapWalksInsideItsBytes) {
    const std::vector<QByteArray> seeds = builtSeeds();
    for (const QByteArray &seed : seeds)
        ASSERT_GT(seed.size(), kMapHeaderSize);
    Mutator mutator(0x4D41'5001, seeds, 8192);
    mutator.setDictionary({fuzz::bytesOf({0xFF}), fuzz::bytesOf({0x00}), fuzz::bytesOf({0x02}), fuzz::bytesOf({0x04}),
                           fuzz::bytesOf({0x40, 0xC0, 0xB9}), seeds[2].mid(22, 67)});
    int tables = 0;
    for (int i = 0; i < kMapIterations; ++i) {
        const CalibrationMap map{mutator.next()};
        const MapTree tree = BuildMapTree(map, QStringLiteral("fuzz"));
        const qint64 size = map.bytes.size();
        for (std::size_t n = 0; n < tree.nodes.size(); ++n) {
            const MapNode &node = tree.nodes[n];
            ASSERT_GE(node.reference, kMapHeaderSize) << "iteration " << i;
            ASSERT_LE(node.reference + kMapNodeCoreSize, size) << "iteration " << i;
            ASSERT_LT(node.parent, static_cast<int>(n)) << "iteration " << i;
            const int parentDepth = node.parent < 0 ? 0 : tree.nodes[static_cast<std::size_t>(node.parent)].depth;
            ASSERT_EQ(node.depth, parentDepth + 1) << "iteration " << i;
            ASSERT_LE(node.name.size(), kMapNameCapacity) << "iteration " << i;
            if (!isTableKind(node.kind))
                continue;
            const Outcome<TableDescriptor> d = readTableDescriptor(map, node.kind, node.reference);
            const bool fits = node.reference + kMapNodeCoreSize + descriptorBlockSize(node.kind) <= size;
            ASSERT_EQ(d.ok(), fits) << "iteration " << i;
            tables += fits ? 1 : 0;
        }
        const QString dump = dumpCalibrationMap(map);
        ASSERT_EQ(dump.count(QLatin1String(" (kind ")), static_cast<qsizetype>(tree.nodes.size())) << "iteration " << i;
    }
    EXPECT_GT(tables, kMapIterations / 4) << "the inputs must reach the description reader";
}

// Mutated descriptions are built or refused; what is built walks to its end
// with one node per record line.
TEST(CalibrationMapFuzz, AnyDescriptionBuildsOrIsRefused) {
    std::vector<QByteArray> seeds;
    for (const char *description : kDescriptions)
        seeds.emplace_back(description);
    Mutator mutator(0x4D41'5002, seeds, 1024);
    mutator.setDictionary({"\ngroup 1 x", "\nitem 2 y", "\nkind 1", "\nkind 2", "\nkind 4", "\nkind 7", "\ncells ",
                           "\nflag 7 ", "\nbit 9 ", "\ntext 0 FF 300 ", " -1", "Ω", "\xC0"});
    int built = 0;
    for (int i = 0; i < kDescriptionIterations; ++i) {
        const QString description = QString::fromUtf8(mutator.next());
        const Outcome<QByteArray> map = buildCalibrationMap(description);
        if (!map) {
            ASSERT_TRUE(map.error().startsWith(QStringLiteral("Строка "))) << map.error().toStdString();
            continue;
        }
        ++built;
        ASSERT_GE(map.value().size(), kMapHeaderSize + 2);
        // An explicit kind may break the walk on purpose; without one it must reach the end.
        if (description.contains(QLatin1String("kind")))
            continue;
        const MapTree tree = BuildMapTree(CalibrationMap{map.value()}, {});
        EXPECT_TRUE(tree.stopReason.isEmpty()) << tree.stopReason.toStdString() << "\n" << description.toStdString();
    }
    EXPECT_GT(built, kDescriptionIterations / 30) << "the inputs must reach the map writer";
}
