#include "core/ControlBoard.h"
#include "core/ProgramLog.h"
#include "firmware/CellConversion.h"
#include "firmware/CellType.h"
#include "firmware/FirmwareStore.h"

#include <gtest/gtest.h>

using namespace korvel;

namespace {

FirmwareImage imageWith(int address, const QByteArray &bytes) {
    FirmwareImage image;
    image.setBytes(address, bytes);
    return image;
}

struct Store {
    ProgramLog log;
    ControlBoard board;
    FirmwareStore store{&log, &board};
};

} // namespace

TEST(CellAccess, ReadCellDecodesEveryType) {
    struct Case {
        QByteArray bytes; // at 6DC8
        int type;
        int expected;
    };
    const Case cases[] = {
        {QByteArray::fromHex("3412"), celltype::Unsigned16Le, 4660},
        {QByteArray::fromHex("3412"), celltype::Unsigned16Be, 13330},
        {QByteArray::fromHex("FFFF"), celltype::Signed16Le, -1},
        {QByteArray::fromHex("FF7F"), celltype::Signed16Le, 32767},
        {QByteArray::fromHex("0080"), celltype::Signed16Le, -32768},
        {QByteArray::fromHex("FFFE"), celltype::Signed16Be, -2},
        {QByteArray::fromHex("FE00"), celltype::Unsigned8, 254},
        {QByteArray::fromHex("FE00"), celltype::Signed8, -2},
        {QByteArray::fromHex("7F00"), celltype::Signed8, 127},
        {QByteArray::fromHex("3412"), celltype::HighByteOnly, 0x1200},
    };
    for (const Case &c : cases) {
        Store s;
        s.store.loadImage(imageWith(0x6DC8, c.bytes));
        const Outcome<int> r = s.store.ReadCell("6DC8", c.type);
        ASSERT_TRUE(r.ok()) << c.type;
        EXPECT_EQ(r.value(), c.expected) << "type " << c.type << " bytes " << c.bytes.toHex().constData();
    }
}

TEST(CellAccess, ReadCellChoosesItsSource) {
    Store s;
    s.store.loadImage(imageWith(0x10, QByteArray::fromHex("11")));
    s.store.loadComparison(imageWith(0x10, QByteArray::fromHex("22")));
    EXPECT_EQ(s.store.ReadCell("10", celltype::Unsigned8, imagesource::Firmware).value(), 0x11);
    EXPECT_EQ(s.store.ReadCell("10", celltype::Unsigned8, imagesource::Comparison).value(), 0x22);
    EXPECT_EQ(s.store.ReadCell("10", celltype::Unsigned8, 3).value(), 0);
}

TEST(CellAccess, RefusedAccessesTouchNothingAndAreLogged) {
    struct Case {
        QString address;
        int type;
    };
    const Case cases[] = {
        {"6dc8", celltype::Unsigned8}, // lower case
        {"6DC8", 7},                   // no such type
        {"6DC8", 255},
        {"6DC8", -1},
        {"FFFF", celltype::Unsigned16Le}, // second byte beyond the image
        {"FFFF", celltype::HighByteOnly},
        {"10000", celltype::Unsigned8},
        {"5A3C96E1", celltype::Unsigned8}, // an unmasked map address
    };
    for (const Case &c : cases) {
        Store s;
        const FirmwareImage before = imageWith(0x6DC8, QByteArray::fromHex("5634"));
        s.store.loadImage(before);
        EXPECT_FALSE(s.store.ReadCell(c.address, c.type).ok()) << c.address.toStdString() << " " << c.type;
        EXPECT_FALSE(s.store.WriteCell(300, c.type, c.address)) << c.address.toStdString() << " " << c.type;
        EXPECT_EQ(s.store.image(), before);
        EXPECT_EQ(s.store.undoCount(), 0) << "a refused write pushes no undo copy";
        EXPECT_EQ(s.log.lines().size(), 2);
    }
    Store s;
    EXPECT_TRUE(s.store.ReadCell("FFFF", celltype::Unsigned8).ok()) << "the last byte is inside";
    EXPECT_TRUE(s.store.WriteCell(1, celltype::Unsigned8, "FFFF"));
}

TEST(CellAccess, WriteCellStoresEveryType) {
    struct Case {
        std::int64_t raw;
        int type;
        QByteArray expected; // the two bytes at 6DC8 afterwards, over 56 34
    };
    const Case cases[] = {
        {18, celltype::Unsigned16Le, QByteArray::fromHex("1200")},
        {-2, celltype::Signed16Le, QByteArray::fromHex("FEFF")},
        {300, celltype::Unsigned8, QByteArray::fromHex("FF34")},
        {-5, celltype::Unsigned8, QByteArray::fromHex("0034")},
        {-1, celltype::Signed8, QByteArray::fromHex("FF34")},
        {0x1FE, celltype::Signed8, QByteArray::fromHex("FE34")},
        {0x1234, celltype::Unsigned16Be, QByteArray::fromHex("1234")},
        {-2, celltype::Signed16Be, QByteArray::fromHex("FFFE")},
        {70000, celltype::Unsigned16Le, QByteArray::fromHex("7011")}, // modulo 65536
        {0x1234, celltype::HighByteOnly, QByteArray::fromHex("1234")},
        {0x12, celltype::HighByteOnly, QByteArray::fromHex("1200")},
    };
    for (const Case &c : cases) {
        Store s;
        s.store.loadImage(imageWith(0x6DC8, QByteArray::fromHex("5634")));
        ASSERT_TRUE(s.store.WriteCell(c.raw, c.type, "6DC8"));
        EXPECT_EQ(s.store.image().slice(0x6DC8, 2).toHex(), c.expected.toHex()) << c.raw << " type " << c.type;
        EXPECT_EQ(s.store.ReadCell("6DC7", celltype::Unsigned8).value(), 0) << "neighbours untouched";
    }
}

TEST(CellAccess, SevenWritesSixUndoSteps) {
    Store s;
    std::vector<FirmwareImage> after;
    for (int i = 1; i <= 7; ++i) {
        ASSERT_TRUE(s.store.WriteCell(i, celltype::Unsigned8, "7CF7"));
        after.push_back(s.store.image());
        EXPECT_TRUE(s.board.isVisible(FirmwareStore::kUndoButton));
    }
    EXPECT_EQ(s.store.undoCount(), 6);
    for (int step = 1; step <= 6; ++step) {
        ASSERT_TRUE(s.store.UndoStep());
        EXPECT_EQ(s.store.image(), after[static_cast<std::size_t>(6 - step)]) << "step " << step;
    }
    EXPECT_EQ(s.store.ReadCell("7CF7", celltype::Unsigned8).value(), 1) << "back to the state after the first write";
    EXPECT_EQ(s.store.undoCount(), 0);
    EXPECT_FALSE(s.board.isVisible(FirmwareStore::kUndoButton));
    EXPECT_FALSE(s.store.UndoStep()) << "there is no older copy";
    EXPECT_EQ(s.store.ReadCell("7CF7", celltype::Unsigned8).value(), 1);
}

TEST(CellAccess, UndoSurvivesLoadingAnotherFirmware) {
    Store s;
    s.store.WriteCell(5, celltype::Unsigned8, "0000");
    s.store.loadImage(imageWith(0, QByteArray::fromHex("AA")));
    ASSERT_TRUE(s.store.UndoStep());
    EXPECT_EQ(s.store.image().byteAt(0), 0) << "the copy from before the write on the previous firmware";
    s.store.WriteCell(5, celltype::Unsigned8, "0000");
    s.store.clearUndo();
    EXPECT_EQ(s.store.undoCount(), 0);
    EXPECT_FALSE(s.board.isVisible(FirmwareStore::kUndoButton));
}

TEST(CellConversion, RawToPhysical) {
    struct Case {
        TableConversion table;
        double raw;
        double expected;
    };
    const Case cases[] = {
        {{1, celltype::Unsigned8, 1, 0, 0, 1, 128}, 128, 0},
        {{1, celltype::Unsigned8, 1, 0, 0, 1, 128}, 0, -128},
        {{2, celltype::Unsigned8, 2, 0, 0, 1, 0}, 60, 30},                         // ignition: raw / 2
        {{2, celltype::Unsigned8, 256, -14.7 * 128 / 256, 0, 14.7, 0}, 128, 14.7}, // (raw + 128) * 14.7 / 256
        {{1, celltype::Unsigned8, 1, 0, 100, 1, 5}, 5, 0},  // reciprocal at raw = D5: 0, no error
        {{1, celltype::Unsigned8, 1, 0, 100, 1, 5}, 25, 5}, // 100 / 20
        {{1, celltype::Unsigned8, 2, 1, 100, 4, 0}, 50, 3}, // 100 / 50 * 2 - 1
        {{3, celltype::Unsigned16Le, 1, 0, 0, 1, 0}, 1234, 1234},
        {{3, celltype::Unsigned16Le, 1, 0, 600000, 1, 0}, 1000, 600}, // rpm from a period
        {{3, celltype::Unsigned16Le, 1, 0, 600000, 1, 0}, 0, 0},      // v = 0 stays 0
        {{1, celltype::Unsigned8, 0, 0, 0, 3, 0}, 10, 30},            // divisor 0 counts as 1
    };
    for (const Case &c : cases)
        EXPECT_NEAR(RawToPhysical(c.raw, c.table), c.expected, 1e-9) << "kind " << c.table.kind << " raw " << c.raw;
}

TEST(CellConversion, PhysicalRangeAndClamp) {
    const ValueRange signedOffset = PhysicalRange({1, celltype::Signed8, 1, 0, 0, 1, 0});
    EXPECT_EQ(signedOffset.minimum, -128);
    EXPECT_EQ(signedOffset.maximum, 127);
    const ValueRange falling = PhysicalRange({2, celltype::Unsigned8, 1, 0, 0, -1, 0});
    EXPECT_EQ(falling.minimum, -255) << "the smaller end first";
    EXPECT_EQ(falling.maximum, 0);
    const ValueRange words = PhysicalRange({1, celltype::Unsigned16Be, 4, 0, 0, 1, 0});
    EXPECT_EQ(words.maximum, 65535 / 4.0);
    const ValueRange inverse = PhysicalRange({3, celltype::Unsigned16Le, 2, 0, 600000, 1, 0});
    EXPECT_EQ(inverse.minimum, 0);
    EXPECT_EQ(inverse.maximum, 300000);
    EXPECT_EQ(PhysicalRange({1, 200, 1, 0, 0, 1, 0}).maximum, 255) << "undefined types count as 0..255";

    EXPECT_EQ(ClampToTableLimits(-1, 0, 10), 0);
    EXPECT_EQ(ClampToTableLimits(10, 0, 10), 10);
    EXPECT_EQ(ClampToTableLimits(10.5, 0, 10), 10);
    EXPECT_EQ(ClampToTableLimits(4.2, 0, 10), 4.2);
}

TEST(CellAccess, FlagTablesKeepTheirUnnamedBits) {
    Store s;
    s.store.loadImage(imageWith(0x6000, QByteArray::fromHex("F0F0AA")));
    std::array<FlagByte, 8> flags{};
    flags[0] = {"00006000", 0x0F, 0x05}; // low nibble named: 0101
    flags[1] = {"00006001", 0xFF, 0x00}; // every bit named, none ticked
    flags[2] = {"FFFFFFFF", 0x00, 0xFF}; // no named bit: an unused slot, left alone
    ASSERT_TRUE(s.store.WriteFlagTable(flags));
    EXPECT_EQ(s.store.image().slice(0x6000, 3).toHex(), "f500aa");
    EXPECT_EQ(s.store.undoCount(), 1);
    EXPECT_TRUE(s.board.isVisible(FirmwareStore::kUndoButton));

    flags[7] = {"00010000", 0x01, 0x01};
    const FirmwareImage before = s.store.image();
    EXPECT_FALSE(s.store.WriteFlagTable(flags)) << "one byte outside the image refuses the table";
    EXPECT_EQ(s.store.image(), before);
    EXPECT_EQ(s.store.undoCount(), 1);
}
