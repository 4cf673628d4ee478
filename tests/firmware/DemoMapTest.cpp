#include "firmware/DemoMap.h"
#include "firmware/CalibrationMap.h"
#include "firmware/CellConversion.h"
#include "firmware/CellType.h"
#include "firmware/Complectation.h"
#include "firmware/DemoFirmware.h"
#include "firmware/TableGrid.h"

#include <gtest/gtest.h>

#include <set>

using namespace korvel;

namespace {

struct DemoMap {
    DemoMap() {
        const Outcome<QByteArray> bytes = makeDemoMap();
        EXPECT_TRUE(bytes) << bytes.error().toStdString();
        map.bytes = bytes.value();
        tree = BuildMapTree(map, kDemoMapFile);
        image = *FirmwareImage::fromBytes(makeDemoFirmware());
    }
    TableDescriptor table(const QString &name) const {
        for (const MapNode &node : tree.nodes)
            if (node.name == name && isTableKind(node.kind))
                return readTableDescriptor(map, node.kind, node.reference).value();
        ADD_FAILURE() << "no table " << name.toStdString();
        return {};
    }
    QString cell(const QString &name, int row, int column) const {
        return readTableGrid(image, table(name)).value().cell(row, column);
    }
    double value(const QString &name) const {
        const TableDescriptor d = table(name);
        const std::int64_t a = d.address;
        const int raw = cellWidth(d.conversion.cellType) == 1 ? *image.byteAt(a) : *image.wordAt(a);
        return RawToPhysical(raw, d.conversion);
    }
    CalibrationMap map;
    MapTree tree;
    FirmwareImage image;
};

} // namespace

TEST(DemoMap, HoldsEveryKindOfTableInsideTheImage) {
    const DemoMap demo;
    EXPECT_EQ(demo.tree.stopReason, "") << "the walk reads the whole map";
    std::set<int> kinds;
    std::set<int> gridCellTypes;
    for (const MapNode &node : demo.tree.nodes) {
        if (!isTableKind(node.kind))
            continue;
        const Outcome<TableDescriptor> d = readTableDescriptor(demo.map, node.kind, node.reference);
        ASSERT_TRUE(d) << node.name.toStdString();
        kinds.insert(node.kind);
        if (node.kind <= tablekind::SingleValue) {
            const int rows = node.kind == tablekind::TwoDimensional ? d.value().rows : 1;
            const int cells = node.kind == tablekind::SingleValue ? 1 : d.value().columns * rows;
            EXPECT_TRUE(FirmwareImage::contains(d.value().address, cells * cellWidth(d.value().conversion.cellType)))
                << node.name.toStdString();
        }
        if (node.kind <= tablekind::TwoDimensional)
            gridCellTypes.insert(d.value().conversion.cellType);
    }
    EXPECT_EQ(kinds, std::set<int>({1, 2, 3, 4, 5}));
    EXPECT_EQ(gridCellTypes, std::set<int>({0, 1, 2, 4})) << "byte, signed byte, 16-bit LE and BE cells";
}

TEST(DemoMap, TablesShowTheDemoFirmwaresValues) {
    const DemoMap demo;
    struct Case {
        const char *table;
        int row;
        int column;
        const char *shown;
    };
    const Case cases[] = {
        {"Задержка форсунок", 0, 0, "1.8"},    // 300 + 9000 / 6 us at 6 V
        {"Задержка форсунок", 0, 15, "0.728"}, // at 21 V
        {"Впрыск при пуске", 0, 0, "14.25"},   // big-endian words
        {"Впрыск при пуске", 7, 7, "2"},       {"УОЗ", 0, 0, "14"},
        {"Состав смеси", 0, 0, "14.7"},        {"Состав смеси", 15, 0, "12.98"},
        {"Фаза впрыска", 0, 15, "360"},        {"Цикловое наполнение", 15, 0, "466.67"}, // raw 175 * 8 / 3
        {"Поправка наполнения", 0, 0, "0.97"}, {"Шкала оборотов", 0, 255, "15"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(demo.cell(c.table, c.row, c.column), c.shown) << c.table << " " << c.row << "," << c.column;

    EXPECT_DOUBLE_EQ(demo.value("Начало шкалы давления"), demofirmware::kPressureBaseKpa);
    EXPECT_DOUBLE_EQ(demo.value("Крутизна датчика давления"), 18.9);
    EXPECT_NEAR(demo.value("Смещение датчика давления"), 0.566, 0.001);
}

TEST(DemoMap, FlagsAreTheComplectationBytesAndTextsTheBanner) {
    const DemoMap demo;
    const TableDescriptor flags = demo.table("Комплектация");
    const auto &complectation = complectationAddresses();
    for (std::size_t i : {0U, 1U})
        EXPECT_EQ(flags.flags[i].address, complectation[i]);
    EXPECT_EQ(flags.flags[2].address, complectation[7]);
    EXPECT_EQ(flags.flags[0].bitNames[3], "Датчик детонации");
    EXPECT_EQ(flags.flags[1].bitNames[4], "Датчик скорости");

    const TableDescriptor texts = demo.table("Идентификация");
    EXPECT_EQ(texts.title, "Идентификация прошивки");
    EXPECT_EQ(demo.image.slice(texts.texts[0].address, texts.texts[0].length), "KORVEL DEMO FIRMWARE 1.0");
    EXPECT_EQ(demo.image.slice(texts.texts[1].address, texts.texts[1].length), "1.0");
}
