#include "tuning/OwedBytes.h"
#include "RecordingWrites.h"
#include "firmware/FirmwareImage.h"

#include <gtest/gtest.h>

using namespace korvel;

namespace {
constexpr std::int64_t kOwedTable = 0x7CF7;
} // namespace

// What a table owes goes out as one command, every byte from the image: a
// single cell as its own write with its marker, bytes close together as one
// 18-byte write kept inside the table, anything wider as the whole table.
TEST(OwedBytes, GoOutInOneCommandShapedByWhereTheyLie) {
    FirmwareImage image;
    QByteArray table(256, '\0');
    for (int i = 0; i < 256; ++i)
        table[i] = static_cast<char>(i);
    image.setBytes(kOwedTable, table);
    struct Case {
        const char *what;
        QList<int> offsets;
        bool cellWrites;
        QString command;
        int from, count;
    } cases[] = {
        {"one cell", {37}, true, "remake", 37, 1},
        {"one cell, four-point", {37}, false, "remake_four_points", 37, 18},
        {"within 18", {20, 30, 37}, true, "remake_four_points", 20, 18},
        {"at the table's end", {250, 255}, true, "remake_four_points", 238, 18},
        {"far apart", {3, 200}, true, "remakepopr", 0, 256},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        OwedBytes owed;
        owed.setTable(kOwedTable);
        for (int o : c.offsets)
            owed.owe(o);
        test::RecordingWrites writes;
        writes.isBusy = true;
        EXPECT_EQ(sendOwedCorrections(owed, image, &writes, c.cellWrites), OwedHandOver::Busy);
        EXPECT_EQ(owed.count(), c.offsets.size()) << "a busy worker leaves them owed";
        writes.isBusy = false;
        EXPECT_EQ(sendOwedCorrections(owed, image, &writes, c.cellWrites), OwedHandOver::Sent);
        ASSERT_EQ(writes.writes.size(), 1);
        EXPECT_EQ(writes.writes[0].command, c.command);
        EXPECT_EQ(writes.writes[0].address, kOwedTable + c.from);
        EXPECT_EQ(writes.writes[0].bytes, table.mid(c.from, c.count));
        if (c.command == "remake") {
            EXPECT_EQ(writes.writes[0].marker, 0xFD00 + c.from);
        }
        EXPECT_TRUE(owed.empty());
        EXPECT_EQ(sendOwedCorrections(owed, image, &writes, c.cellWrites), OwedHandOver::Nothing);
    }
}

// A failed request's bytes are owed where they lie inside the table; another
// table forgets what the last one owed.
TEST(OwedBytes, AFailedRangeCountsOnlyInsideTheTable) {
    OwedBytes owed;
    owed.oweRange(kOwedTable, 64);
    EXPECT_TRUE(owed.empty()) << "no table yet";
    owed.setTable(kOwedTable);
    owed.oweRange(kOwedTable - 10, 64);  // the block before the table reaches 54 bytes in
    owed.oweRange(kOwedTable + 250, 64); // the last block runs past the table
    owed.oweRange(0xFD00 + 5, 1);        // the marker of a cell lies elsewhere
    EXPECT_EQ(owed.count(), 54 + 6);
    EXPECT_EQ(owed.first(), 0);
    EXPECT_EQ(owed.last(), 255);
    owed.setTable(kOwedTable);
    EXPECT_EQ(owed.count(), 60) << "the same table keeps them";
    owed.setTable(0x8E2A);
    EXPECT_TRUE(owed.empty());
}
