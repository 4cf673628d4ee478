#include "firmware/TableGrid.h"
#include "firmware/CellType.h"

#include <gtest/gtest.h>

using namespace korvel;

namespace {

TableDescriptor table(int kind, int cellType, int columns, int rows = 1) {
    TableDescriptor d;
    d.kind = kind;
    d.address = 0x1000;
    d.columns = columns;
    d.rows = rows;
    d.conversion.kind = kind;
    d.conversion.cellType = cellType;
    return d;
}

FirmwareImage gridImageWith(qint64 address, const QByteArray &bytes) {
    FirmwareImage image;
    image.setBytes(address, bytes);
    return image;
}

} // namespace

TEST(TableGrid, CellsAreReadInStorageOrderByTheirType) {
    struct Case {
        const char *name;
        int cellType;
        QByteArray bytes;
        QStringList cells;
    };
    const Case cases[] = {
        {"unsigned 8", celltype::Unsigned8, QByteArray::fromHex("00FF80"), {"0", "255", "128"}},
        {"signed 8", celltype::Signed8, QByteArray::fromHex("00FF80"), {"0", "-1", "-128"}},
        {"unsigned 16 LE", celltype::Unsigned16Le, QByteArray::fromHex("3412FFFF0100"), {"4660", "65535", "1"}},
        {"signed 16 LE", celltype::Signed16Le, QByteArray::fromHex("3412FFFF0080"), {"4660", "-1", "-32768"}},
        {"unsigned 16 BE", celltype::Unsigned16Be, QByteArray::fromHex("34120001FFFF"), {"13330", "1", "65535"}},
        {"signed 16 BE", celltype::Signed16Be, QByteArray::fromHex("3412FFFF8000"), {"13330", "-1", "-32768"}},
        // Type 6 is not read: its cells show the conversion of raw 0.
        {"type 6", celltype::HighByteOnly, QByteArray::fromHex("3412FFFF0100"), {"0", "0", "0"}},
    };
    for (const Case &c : cases) {
        const Outcome<TableGrid> grid = readTableGrid(gridImageWith(0x1000, c.bytes), table(1, c.cellType, 3));
        ASSERT_TRUE(grid) << c.name;
        EXPECT_EQ(grid.value().cells, c.cells) << c.name;
        EXPECT_EQ(grid.value().rows, 1) << c.name;
    }
}

TEST(TableGrid, AMapIsRoundedToTwoDecimalsAndHeldInsideItsLimitsACurveIsNot) {
    // Raw 12340 and 1234 over a divisor of 1000.
    TableDescriptor curve = table(1, celltype::Unsigned16Le, 2);
    curve.conversion.d1 = 1000;
    curve.minimum = 0;
    curve.maximum = 10;
    const FirmwareImage image = gridImageWith(0x1000, QByteArray::fromHex("3430D204"));
    EXPECT_EQ(readTableGrid(image, curve).value().cells, QStringList({"12.34", "1.234"}));

    TableDescriptor map = curve;
    map.kind = 2;
    map.conversion.kind = 2;
    EXPECT_EQ(readTableGrid(image, map).value().cells, QStringList({"10", "1.23"}));

    map.maximum = 0; // a limit of 0 is the end of the cell type's range: 65.535
    map.minimum = 5;
    EXPECT_EQ(readTableGrid(image, map).value().cells, QStringList({"12.34", "5"}));
}

TEST(TableGrid, ConversionAndTextFormOfTheValues) {
    TableDescriptor afr = table(2, celltype::Unsigned8, 2, 2);
    afr.conversion.d1 = 256;
    afr.conversion.d4 = 14.7;
    afr.conversion.d5 = -128;
    const Outcome<TableGrid> grid = readTableGrid(gridImageWith(0x1000, QByteArray::fromHex("80761300")), afr);
    ASSERT_TRUE(grid);
    EXPECT_EQ(grid.value().cells, QStringList({"14.7", "14.13", "8.44", "7.35"}));
    EXPECT_EQ(grid.value().cell(1, 0), "8.44");

    EXPECT_EQ(gridValueText(-0.0), "0");
    EXPECT_EQ(gridValueText(0.1 + 0.2), "0.3") << "15 significant digits, not the shortest exact form";
    EXPECT_EQ(gridValueText(-128), "-128");
}

TEST(TableGrid, CellsPastTheImageReadZeroAndOtherKindsAreRefused) {
    TableDescriptor d = table(1, celltype::Unsigned16Le, 3);
    d.address = 0xFFFC;
    const Outcome<TableGrid> grid = readTableGrid(gridImageWith(0xFFFC, QByteArray::fromHex("01000200")), d);
    ASSERT_TRUE(grid);
    EXPECT_EQ(grid.value().cells, QStringList({"1", "2", "0"}));
    for (int kind : {0, 3, 4, 5, 255})
        EXPECT_FALSE(readTableGrid(FirmwareImage(), table(kind, 0, 1))) << kind;
}
