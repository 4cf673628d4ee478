#include "firmware/CalibrationMap.h"
#include "firmware/Conversions.h"
#include "firmware/MapBuilder.h"
#include "firmware/MapDump.h"
#include "firmware/MapTreeModel.h"

#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>

#include <cstring>
#include <limits>

using namespace korvel;

namespace {

// Records written byte by byte, without the builder, so that the reader is
// checked against the layout itself.
QByteArray mapHeader() {
    return QByteArray(kMapHeaderSize, '\x5E'); // the header is never read
}

QByteArray groupRecord(const QByteArray &name, int level, int kind) {
    QByteArray core(kMapNodeCoreSize, '\0');
    core[0] = static_cast<char>(name.size());
    core.replace(1, name.size(), name);
    core[65] = static_cast<char>(level);
    core[66] = static_cast<char>(kind);
    return core;
}

QByteArray itemRecord(const QByteArray &name, int level, int kind) {
    return QByteArray("\xAA\xBB", 2) + groupRecord(name, level, kind);
}

void putDword(QByteArray &bytes, qsizetype at, std::uint32_t value) {
    qToLittleEndian<quint32>(value, bytes.data() + at);
}
void putDouble(QByteArray &bytes, qsizetype at, double value) {
    quint64 bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    qToLittleEndian<quint64>(bits, bytes.data() + at);
}

CalibrationMap mapOf(const QByteArray &bytes) {
    return CalibrationMap{bytes};
}

QByteArray build(const QString &description) {
    const Outcome<QByteArray> built = buildCalibrationMap(description);
    EXPECT_TRUE(built.ok()) << built.error().toStdString();
    return built.value();
}

struct Shape {
    QString name;
    int kind;
    qint64 reference;
    int parent;
};

void expectShape(const MapTree &tree, const std::vector<Shape> &expected, const std::string &what) {
    ASSERT_EQ(tree.nodes.size(), expected.size()) << what;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const MapNode &n = tree.nodes[i];
        EXPECT_EQ(n.name, expected[i].name) << what << " node " << i;
        EXPECT_EQ(n.kind, expected[i].kind) << what << " node " << i;
        EXPECT_EQ(n.reference, expected[i].reference) << what << " node " << i;
        EXPECT_EQ(n.parent, expected[i].parent) << what << " node " << i;
    }
}

const QByteArray kBlock2(descriptorBlockSize(tablekind::TwoDimensional), '\0');

} // namespace

TEST(CalibrationMapWalk, RecordsTheirReferencesParentsAndWhereTheWalkStops) {
    struct Case {
        std::string what;
        QByteArray bytes;
        std::vector<Shape> nodes;
        bool stoppedEarly;
    };
    const QByteArray afterTable =
        mapHeader() + groupRecord("A", 1, 2) + kBlock2 + groupRecord("B", 1, 255) + QByteArray(2, '\0');
    const Case cases[] = {
        {"empty file", {}, {}, true},
        {"mapHeader only", mapHeader(), {}, true},
        {"one byte past the mapHeader", mapHeader() + "\1", {}, false},
        {"a two-dimensional table, then a group at 22 + 67 + 740",
         afterTable,
         {{"A", 2, 22, -1}, {"B", 255, 829, -1}},
         false},
        {"an item's reference is its start + 2",
         mapHeader() + groupRecord("G", 1, 0) + itemRecord("I", 2, 255) + groupRecord("H", 1, 255),
         {{"G", 0, 22, -1}, {"I", 255, 22 + 67 + 2, 0}, {"H", 255, 22 + 67 + 69, -1}},
         false},
        {"levels 1, 2, 2, 1",
         mapHeader() + groupRecord("a", 1, 255) + groupRecord("b", 2, 255) + groupRecord("c", 2, 255) +
             groupRecord("d", 1, 255),
         {{"a", 255, 22, -1}, {"b", 255, 89, 0}, {"c", 255, 156, 0}, {"d", 255, 223, -1}},
         false},
        {"level 0 and a level two below the branch go under the root",
         mapHeader() + groupRecord("a", 1, 255) + groupRecord("zero", 0, 255) + groupRecord("deep", 3, 255) +
             groupRecord("under deep", 2, 255),
         {{"a", 255, 22, -1}, {"zero", 255, 89, -1}, {"deep", 255, 156, -1}, {"under deep", 255, 223, 2}},
         false},
        {"a closed branch is not reopened by a deeper level",
         mapHeader() + groupRecord("a", 1, 255) + groupRecord("b", 2, 255) + groupRecord("c", 1, 255) +
             groupRecord("x", 3, 255),
         {{"a", 255, 22, -1}, {"b", 255, 89, 0}, {"c", 255, 156, -1}, {"x", 255, 223, -1}},
         false},
        {"an unknown kind ends the walk, the node stays",
         mapHeader() + groupRecord("a", 1, 7) + groupRecord("never", 1, 255),
         {{"a", 7, 22, -1}},
         true},
        {"a cut group record",
         mapHeader() + groupRecord("a", 1, 255) + groupRecord("b", 1, 255).left(40),
         {{"a", 255, 22, -1}},
         true},
        {"an item that ends on the last byte is not read",
         mapHeader() + groupRecord("a", 1, 0) + itemRecord("i", 2, 255),
         {{"a", 0, 22, -1}},
         true},
        {"a table whose block is cut keeps its node",
         mapHeader() + groupRecord("t", 1, 2) + kBlock2.left(100),
         {{"t", 2, 22, -1}},
         true},
        {"a name longer than its 64 bytes is cut at 64",
         [] {
             QByteArray record = groupRecord(QByteArray(64, 'n'), 1, 255);
             record[0] = static_cast<char>(200);
             return mapHeader() + record;
         }(),
         {{QString(64, QLatin1Char('n')), 255, 22, -1}},
         false},
    };
    for (const Case &c : cases) {
        const MapTree tree = BuildMapTree(mapOf(c.bytes), QStringLiteral("root.j5"));
        EXPECT_EQ(tree.rootText, QStringLiteral("root.j5"));
        expectShape(tree, c.nodes, c.what);
        EXPECT_EQ(!tree.stopReason.isEmpty(), c.stoppedEarly) << c.what << ": " << tree.stopReason.toStdString();
    }
}

TEST(CalibrationMapWalk, IconIndexIsKindPlusOneAndDepthFollowsTheParent) {
    const QByteArray bytes = mapHeader() + groupRecord("g", 1, 255) + groupRecord("t", 2, 3) +
                             QByteArray(descriptorBlockSize(tablekind::SingleValue), '\0') + groupRecord("i", 2, 0) +
                             itemRecord("x", 5, 255) + QByteArray(2, '\0');
    const MapTree tree = BuildMapTree(mapOf(bytes), {});
    ASSERT_EQ(tree.nodes.size(), 4U) << tree.stopReason.toStdString();
    EXPECT_EQ(tree.nodes[0].iconIndex(), 256);
    EXPECT_EQ(tree.nodes[1].iconIndex(), 4);
    EXPECT_EQ(tree.nodes[2].iconIndex(), 1);
    EXPECT_EQ(tree.nodes[1].depth, 2);
    EXPECT_EQ(tree.nodes[3].level, 5) << "the stored level is kept";
    EXPECT_EQ(tree.nodes[3].depth, 1) << "no level-4 parent: under the root";
}

TEST(CalibrationMapWalk, NamesDecodeCyrillicLettersAndKeepOtherBytes) {
    const QByteArray bytes = mapHeader() + groupRecord("\xC0\xEB\xF4 \xB9\xA8\xB8\xDF\xFF", 1, 255);
    const MapTree tree = BuildMapTree(mapOf(bytes), {});
    ASSERT_EQ(tree.nodes.size(), 1U);
    EXPECT_EQ(tree.nodes[0].name, QStringLiteral("Алф \u00B9ЁёЯя"));
}

// A kind-2 block laid out by hand: every field at its documented offset.
TEST(TableDescriptorRead, TwoDimensionalFieldsComeFromTheirOffsets) {
    QByteArray block = kBlock2;
    putDword(block, 2, 0x11223344);
    putDword(block, 6, 0x00005A10U ^ kMapAddressMask);
    block.replace(18, 4, QByteArray("\x03\xCE\xE1\xEE", 4)); // "Обо"
    block.replace(51, 3, QByteArray("\x02%C", 3));
    block.replace(84, 2, QByteArray("\x01Y", 2));
    block.replace(117, 13, QByteArray("\x0C!006-7208xyz", 13)); // length 12 of the 13 bytes
    block.replace(373, 15, QByteArray("\x0E!003-5EF2-5EF4", 15));
    qToLittleEndian<quint16>(16, block.data() + 629);
    qToLittleEndian<quint16>(0xBEEF, block.data() + 631);
    block[633] = 8;
    putDouble(block, 634, 600);
    putDouble(block, 642, 6000);
    putDouble(block, 651, -1.5);
    putDouble(block, 659, 99.25);
    putDouble(block, 668, 0.1);
    putDouble(block, 676, 1);
    block[685] = 3;
    block[687] = static_cast<char>(0x7E);
    putDouble(block, 690, 256);
    putDouble(block, 698, 40);
    putDouble(block, 706, 0);
    putDouble(block, 714, 100);
    putDouble(block, 722, 128);
    qToLittleEndian<quint16>(0x1234, block.data() + 738);
    const CalibrationMap map = mapOf(mapHeader() + groupRecord("t", 1, 2) + block);

    const Outcome<TableDescriptor> read = readTableDescriptor(map, 2, 22);
    ASSERT_TRUE(read.ok()) << read.error().toStdString();
    const TableDescriptor &d = read.value();
    EXPECT_EQ(d.identifier, 0x11223344U);
    EXPECT_EQ(d.address, 0x5A10U);
    EXPECT_EQ(mapAddressText(d.address), QStringLiteral("00005A10"));
    EXPECT_EQ(d.xName, QStringLiteral("Обо"));
    EXPECT_EQ(d.valueName, QStringLiteral("%C"));
    EXPECT_EQ(d.yName, QStringLiteral("Y"));
    EXPECT_EQ(d.xAxisCode, QStringLiteral("!006-7208xyz").left(12));
    EXPECT_EQ(d.yAxisCode, QStringLiteral("!003-5EF2-5EF4"));
    EXPECT_EQ(d.columns, 16);
    EXPECT_EQ(d.marker, 0xBEEF);
    EXPECT_EQ(d.rows, 8);
    EXPECT_EQ(d.xStart, 600);
    EXPECT_EQ(d.xEnd, 6000);
    EXPECT_EQ(d.minimum, -1.5);
    EXPECT_EQ(d.maximum, 99.25);
    EXPECT_EQ(d.yStart, 0.1);
    EXPECT_EQ(d.yEnd, 1);
    EXPECT_EQ(d.conversion.kind, 2);
    EXPECT_EQ(d.conversion.cellType, 3);
    EXPECT_EQ(d.typeMark, 0x7E);
    EXPECT_EQ(d.conversion.d1, 256);
    EXPECT_EQ(d.conversion.d2, 40);
    EXPECT_EQ(d.conversion.d3, 0);
    EXPECT_EQ(d.conversion.d4, 100);
    EXPECT_EQ(d.conversion.d5, 128);
    EXPECT_EQ(d.trailer, 0x1234);
}

TEST(TableDescriptorRead, AnItemTablesBlockLies69BytesAfterTheItemStart) {
    QByteArray block(descriptorBlockSize(tablekind::SingleValue), '\0');
    putDword(block, 6, 0x1234U ^ kMapAddressMask);
    block.replace(18, 3, QByteArray("\x02\xE3\xF6", 3)); // "гц"
    block[51] = 2;
    const QByteArray bytes = mapHeader() + groupRecord("g", 1, 0) + itemRecord("v", 2, 3) + block + QByteArray(2, '\0');
    const MapTree tree = BuildMapTree(mapOf(bytes), {});
    ASSERT_EQ(tree.nodes.size(), 2U);
    EXPECT_EQ(tree.nodes[1].reference + 67, 22 + 67 + 69);
    const Outcome<TableDescriptor> d = readTableDescriptor(mapOf(bytes), 3, tree.nodes[1].reference);
    ASSERT_TRUE(d.ok());
    EXPECT_EQ(d.value().address, 0x1234U);
    EXPECT_EQ(d.value().valueName, QStringLiteral("гц"));
    EXPECT_EQ(d.value().conversion.cellType, 2);
}

TEST(TableDescriptorRead, RefusesNonTablesAndBlocksOutsideTheMap) {
    const QByteArray bytes = mapHeader() + groupRecord("t", 1, 1) + QByteArray(432, '\0');
    const CalibrationMap map = mapOf(bytes);
    EXPECT_TRUE(readTableDescriptor(map, 1, 22).ok());
    EXPECT_FALSE(readTableDescriptor(map, 1, 23).ok()) << "one byte past the end";
    EXPECT_FALSE(readTableDescriptor(map, 2, 22).ok()) << "a kind-2 block is longer";
    EXPECT_FALSE(readTableDescriptor(map, 1, -67).ok());
    EXPECT_FALSE(readTableDescriptor(map, 1, std::numeric_limits<qint64>::max() - 10).ok());
    for (int kind : {0, 6, 255})
        EXPECT_FALSE(readTableDescriptor(map, kind, 22).ok()) << kind;
}

namespace {

const QString kEveryKind = QStringLiteral(R"(# one table of every kind
group 1 Топливо
group 2 Цикловая подача
kind 2
id 11AA22BB
address 5a10
xname Обороты
unit мг/цикл
yname Нагрузка
xcode !006-7208
ycode !003-5EF2-5EF4
cells 16
rows 8
marker 0102
xstart 600
xend 6000
ystart 0
yend 100
min -1.5
max 0
celltype 3
d1 256
d2 40
d3 0.5
d4 100
d5 128
mark 7E
trailer BEEF
group 2 Поправки
group 3 По температуре
kind 1
address 6100
xname Т°C
unit %
cells 12
xstart -40
xend 120
celltype 0
d1 2
group 1 Уставки
item 2 Обороты ХХ
kind 3
address 613C
unit об/мин
min 0
max 2000
celltype 4
d5 -10
trailer 0001
group 2 Флаги
kind 4
flag 0 7000 Конфигурация 1
bit 0 0 Лямбда
bit 0 7 Адсорбер
flag 7 7007 Резерв
bit 7 3 ДФ
group 2 Паспорт
kind 5
title Паспорт прошивки
text 0 7F00 8 Номер
text 3 7F10 16 Автор
group 1 Пусто
)");

} // namespace

TEST(CalibrationMapBuilder, WhatItBuildsReadsBack) {
    const CalibrationMap map = mapOf(build(kEveryKind));
    const MapTree tree = BuildMapTree(map, QStringLiteral("demo.j5"));
    EXPECT_TRUE(tree.stopReason.isEmpty()) << tree.stopReason.toStdString();
    const std::vector<std::pair<QString, int>> expected = {
        {"Топливо", 255},  {"Цикловая подача", 2}, {"Поправки", 255}, {"По температуре", 1}, {"Уставки", 0},
        {"Обороты ХХ", 3}, {"Флаги", 4},           {"Паспорт", 5},    {"Пусто", 255},
    };
    ASSERT_EQ(tree.nodes.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(tree.nodes[i].name, expected[i].first) << i;
        EXPECT_EQ(tree.nodes[i].kind, expected[i].second) << i;
    }
    EXPECT_EQ(tree.nodes[3].parent, 2);
    EXPECT_EQ(tree.nodes[5].parent, 4);
    EXPECT_EQ(tree.nodes[8].parent, -1);

    const TableDescriptor two = readTableDescriptor(map, 2, tree.nodes[1].reference).value();
    EXPECT_EQ(two.identifier, 0x11AA22BBU);
    EXPECT_EQ(two.address, 0x5A10U);
    EXPECT_EQ(two.xName, QStringLiteral("Обороты"));
    EXPECT_EQ(two.valueName, QStringLiteral("мг/цикл"));
    EXPECT_EQ(two.yAxisCode, QStringLiteral("!003-5EF2-5EF4"));
    EXPECT_EQ(two.columns, 16);
    EXPECT_EQ(two.rows, 8);
    EXPECT_EQ(two.minimum, -1.5);
    EXPECT_EQ(two.conversion.d3, 0.5);
    EXPECT_EQ(two.typeMark, 0x7E);
    EXPECT_EQ(two.trailer, 0xBEEF);

    const TableDescriptor one = readTableDescriptor(map, 1, tree.nodes[3].reference).value();
    EXPECT_EQ(one.xName, QStringLiteral("Т°C"));
    EXPECT_EQ(one.xStart, -40);
    EXPECT_EQ(one.conversion.d1, 2);
    EXPECT_EQ(one.conversion.d4, 1) << "the multiplier defaults to 1";

    const TableDescriptor value = readTableDescriptor(map, 3, tree.nodes[5].reference).value();
    EXPECT_EQ(value.address, 0x613CU);
    EXPECT_EQ(value.maximum, 2000);
    EXPECT_EQ(value.conversion.d5, -10);

    const TableDescriptor flags = readTableDescriptor(map, 4, tree.nodes[6].reference).value();
    EXPECT_EQ(flags.flags[0].address, 0x7000U) << "byte 0 is unmasked";
    EXPECT_EQ(flags.flags[7].address, 0x7007U) << "bytes 1 to 7 are plain";
    EXPECT_EQ(flags.flags[0].name, QStringLiteral("Конфигурация 1"));
    EXPECT_EQ(flags.flags[0].bitNames[7], QStringLiteral("Адсорбер"));
    EXPECT_EQ(flags.flags[7].bitNames[3], QStringLiteral("ДФ"));
    EXPECT_TRUE(flags.flags[7].bitNames[2].isEmpty());

    const TableDescriptor texts = readTableDescriptor(map, 5, tree.nodes[7].reference).value();
    EXPECT_EQ(texts.title, QStringLiteral("Паспорт прошивки"));
    EXPECT_EQ(texts.texts[0].address, 0x7F00U);
    EXPECT_EQ(texts.texts[3].address, 0x7F10U);
    EXPECT_EQ(texts.texts[3].length, 16);
    EXPECT_EQ(texts.texts[3].name, QStringLiteral("Автор"));
}

TEST(CalibrationMapBuilder, MasksAddressesAndEncodesNamesAsTheFileDoes) {
    const QByteArray bytes = build(QStringLiteral("group 1 Алф\nkind 3\naddress 1234\n"));
    EXPECT_EQ(bytes.mid(22, 4), QByteArray("\x03\xC0\xEB\xF4", 4));
    EXPECT_EQ(qFromLittleEndian<quint32>(bytes.constData() + 22 + 67 + 6), 0x1234U ^ kMapAddressMask);
    EXPECT_EQ(bytes.size(), 22 + 67 + 103 + 2);
}

TEST(CalibrationMapBuilder, RefusesWhatTheReaderCouldNotTakeBack) {
    const std::pair<const char *, const char *> cases[] = {
        {"item 1 first", "Строка 1"},
        {"group 1 a\nkind 2\ncells 70000", "Строка 3"},
        {"group 1 a\nkind 2\nitem 2 b", "Строка 1"},
        {"group 1 a\ncells 3", "Строка 2"},
        {"group 1 a\nkind 1\nwidth 3", "Строка 3"},
        {"group x a", "Строка 1"},
        {"group 1 Ω", "Строка 1"},
        {"group 1 \u00C0", "Строка 1"}, // its byte would read back as А
        {"group 1 a\nkind 1\nxname 012345678901234567890123456789012", "Строка 1"},
        {"group 1 a\nkind 4\nflag 8 10 x", "Строка 3"},
    };
    for (const auto &[description, where] : cases) {
        const Outcome<QByteArray> built = buildCalibrationMap(QString::fromUtf8(description));
        ASSERT_FALSE(built.ok()) << description;
        EXPECT_TRUE(built.error().startsWith(QString::fromUtf8(where))) << built.error().toStdString();
    }
    EXPECT_EQ(EncodeMapText(QString(64, QChar(0x0416))).value(), QByteArray(64, '\xC6'));
}

TEST(CalibrationMapDump, PrintsTheTreeAndEveryField) {
    const CalibrationMap map = mapOf(build(QStringLiteral(R"(group 1 Двигатель
group 2 Пуск
kind 3
address 6DC8
unit °C
max 0.1
celltype 1
d2 -273.15
d4 0.5
trailer 00ff
group 1 Ёмкость ¹
kind 9
)")));
    const QString expected = QStringLiteral(R"(demo.j5
  Двигатель (kind 255, at 22)
    Пуск (kind 3, at 89)
        address 6DC8
        unit "°C"
        min 0
        max 0.1
        celltype 1
        d1 1
        d2 -273.15
        d3 0
        d4 0.5
        d5 0
        trailer 00FF
  Ёмкость ¹ (kind 9, at 259)
stopped: Разбор карты остановлен на байте 326: неизвестный тип записи 9
)");
    EXPECT_EQ(dumpCalibrationMap(map, QStringLiteral("demo.j5")), expected);
}

TEST(CalibrationMapDump, AMapCutAtEveryLengthKeepsTheNodesBeforeTheCut) {
    const QByteArray whole = build(kEveryKind);
    const MapTree full = BuildMapTree(mapOf(whole), {});
    ASSERT_EQ(full.nodes.size(), 9U);
    for (qsizetype length = 0; length <= whole.size(); ++length) {
        const CalibrationMap cut = mapOf(whole.left(length));
        const MapTree tree = BuildMapTree(cut, {});
        // A node is kept when its record lies inside the cut; an item also needs a byte after it.
        std::size_t expected = 0;
        for (std::size_t i = 0; i < full.nodes.size(); ++i) {
            const bool item = i > 0 && full.nodes[i - 1].kind == tablekind::Item;
            const qint64 end = full.nodes[i].reference + kMapNodeCoreSize;
            if (item ? end < length : end <= length)
                ++expected;
        }
        ASSERT_EQ(tree.nodes.size(), expected) << length;
        for (std::size_t i = 0; i < tree.nodes.size(); ++i) {
            ASSERT_EQ(tree.nodes[i].name, full.nodes[i].name) << length;
            ASSERT_EQ(tree.nodes[i].parent, full.nodes[i].parent) << length;
        }
        // Silence only when the cut falls within two bytes after a whole record.
        qint64 lastEnd = kMapHeaderSize;
        if (!tree.nodes.empty())
            lastEnd = tree.nodes.back().reference + kMapNodeCoreSize + descriptorBlockSize(tree.nodes.back().kind);
        if (tree.stopReason.isEmpty()) {
            EXPECT_LE(length - lastEnd, 2) << length;
        }
        const QString dump = dumpCalibrationMap(cut);
        EXPECT_FALSE(dump.isEmpty());
    }
}

TEST(CalibrationMapLoad, ReadsTheWholeFileAndRefusesAMissingOne) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QByteArray bytes = build(kEveryKind);
    QFile file(dir.filePath(QStringLiteral("demo.j5")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    file.close();
    const Outcome<CalibrationMap> loaded = LoadCalibrationMap(file.fileName());
    ASSERT_TRUE(loaded.ok()) << loaded.error().toStdString();
    EXPECT_EQ(loaded.value().bytes, bytes);
    const Outcome<CalibrationMap> missing = LoadCalibrationMap(dir.filePath(QStringLiteral("none.j5")));
    EXPECT_FALSE(missing.ok());
    EXPECT_TRUE(missing.error().contains(QStringLiteral("none.j5")));

    QFile huge(dir.filePath(QStringLiteral("huge.j5")));
    ASSERT_TRUE(huge.open(QIODevice::WriteOnly));
    ASSERT_TRUE(huge.resize(kMapMaximumSize + 1)); // sparse: no disk space taken
    huge.close();
    const Outcome<CalibrationMap> tooLarge = LoadCalibrationMap(huge.fileName());
    EXPECT_FALSE(tooLarge.ok());
    EXPECT_TRUE(tooLarge.error().contains(QStringLiteral("huge.j5")));
}

TEST(MapTreeModel, ShowsTheRootAndOneRowPerNode) {
    const CalibrationMap map = mapOf(build(kEveryKind));
    MapTreeModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Warning);
    EXPECT_EQ(model.rowCount(), 0) << "nothing before a map is set";
    model.setMap(map, BuildMapTree(map, QStringLiteral("demo.j5")));

    ASSERT_EQ(model.rowCount(), 1);
    const QModelIndex root = model.rootIndex();
    EXPECT_EQ(root.data().toString(), QStringLiteral("demo.j5"));
    EXPECT_EQ(root.data(MapTreeModel::KindRole).toInt(), -1);
    EXPECT_FALSE(model.descriptor(root).ok());
    ASSERT_EQ(model.rowCount(root), 3); // Топливо, Уставки, Пусто
    const QModelIndex fuel = model.index(0, 0, root);
    EXPECT_EQ(fuel.data().toString(), QStringLiteral("Топливо"));
    EXPECT_EQ(fuel.data(MapTreeModel::IconIndexRole).toInt(), 256);
    ASSERT_EQ(model.rowCount(fuel), 2);
    const QModelIndex cyclic = model.index(0, 0, fuel);
    EXPECT_EQ(cyclic.data().toString(), QStringLiteral("Цикловая подача"));
    EXPECT_EQ(cyclic.data(MapTreeModel::KindRole).toInt(), 2);
    EXPECT_EQ(cyclic.data(MapTreeModel::ReferenceRole).toLongLong(), 89);
    EXPECT_EQ(model.parent(cyclic), fuel);
    EXPECT_EQ(model.parent(fuel), root);
    const Outcome<TableDescriptor> d = model.descriptor(cyclic);
    ASSERT_TRUE(d.ok());
    EXPECT_EQ(d.value().rows, 8);
    EXPECT_FALSE(model.descriptor(fuel).ok()) << "a group has no description";

    const QModelIndex correction = model.index(1, 0, fuel);
    const QModelIndex byTemperature = model.index(0, 0, correction);
    EXPECT_EQ(byTemperature.data().toString(), QStringLiteral("По температуре"));
    EXPECT_EQ(model.indexOfNode(3), byTemperature);

    model.clear();
    EXPECT_EQ(model.rowCount(), 0);
}
