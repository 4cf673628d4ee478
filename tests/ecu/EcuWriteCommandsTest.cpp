// Building the table-write commands from the image and the address set.
#include "ecu/EcuWriteCommands.h"
#include "firmware/FirmwareImage.h"
#include "firmware/TuningAddressSets.h"

#include <QFile>
#include <QTemporaryDir>

#include "QtPrinters.h"

#include <gtest/gtest.h>

using namespace korvel;

namespace {

FirmwareImage countingImage() {
    QByteArray bytes(kFirmwareSize, '\0');
    for (int i = 0; i < kFirmwareSize; ++i)
        bytes[i] = static_cast<char>((i ^ (i >> 8)) & 0xFF);
    return *FirmwareImage::fromBytes(bytes);
}

QList<std::pair<int, int>> columnsAndAddresses(const EcuCommand &command) {
    QList<std::pair<int, int>> tables;
    for (const EcuTable &table : command.tables)
        tables.append({table.column, table.adressdata});
    return tables;
}

} // namespace

TEST(EcuWriteCommands, TheRewriteTakesThePresentTablesInOrderWithTheirImageBytes) {
    const FirmwareImage image = countingImage();
    QTemporaryDir dir;
    TuningAddressSets sets;
    ASSERT_TRUE(sets.addhexdata(2, dir.path())); // J5LS: no base filling over pressure
    const EcuCommand command = ecuwrite::rewriteTables(sets, image);
    EXPECT_EQ(command.kind, EcuCommandKind::rewritetabl);
    EXPECT_EQ(
        columnsAndAddresses(command),
        (QList<std::pair<int, int>>{
            {3, 0x7CF7}, {4, 0x8E2A}, {1, 0x75EF}, {7, 0x6DC8}, {8, 0x852F}, {9, 0x6953}, {10, 0x76EF}, {11, 0x64D3}}));
    for (const EcuTable &table : command.tables)
        EXPECT_EQ(table.data2, image.slice(table.adressdata, 256)) << table.column;
}

// A custom set without the throttle correction table still writes it: the
// first table goes out whatever its presence, its bytes running on past FFFF.
TEST(EcuWriteCommands, TheThrottleCorrectionTableIsWrittenEvenWhenAbsent) {
    const FirmwareImage image = countingImage();
    QTemporaryDir dir;
    QFile hexdata(dir.filePath("hexdata.cfg"));
    ASSERT_TRUE(hexdata.open(QIODevice::WriteOnly));
    hexdata.write("7000,FFFF,FFFF\r\n");
    hexdata.close();
    TuningAddressSets sets;
    ASSERT_TRUE(sets.addhexdata(5, dir.path()));
    const EcuCommand command = ecuwrite::rewriteTables(sets, image);
    EXPECT_EQ(columnsAndAddresses(command), (QList<std::pair<int, int>>{{3, 0xFFFF}, {1, 0x7000}}));
    EXPECT_EQ(command.tables[0].data2, image.slice(0xFFFF, 1) + image.slice(0, 255));
}

TEST(EcuWriteCommands, TheEditorsTableGoesOutInWholeBlocks) {
    const FirmwareImage image = countingImage();
    const EcuCommand command = ecuwrite::imageBlocks(image, 0x7FF0, 100);
    EXPECT_EQ(command.kind, EcuCommandKind::correct23DF);
    EXPECT_EQ(command.plusrw, 2);
    EXPECT_EQ(command.data2, image.slice(0x7FF0, 128)) << "the 28 bytes after the table go along";

    QTemporaryDir dir;
    TuningAddressSets sets;
    ASSERT_TRUE(sets.addhexdata(1, dir.path()));
    const EcuCommand dr = ecuwrite::rewriteThrottleCorrection(sets, image);
    EXPECT_EQ(dr.adressdata, 0x7CF7);
    EXPECT_EQ(dr.data2, image.slice(0x7CF7, 256));
}

TEST(EcuWriteCommands, ASingleCellMarksTheFourPointCellOnlyWhenAsked) {
    const EcuCommand plain = ecuwrite::singleCell(0x7D00, 0x91);
    EXPECT_TRUE(plain.LSUenable);
    const EcuCommand marked = ecuwrite::singleCell(0x7D00, 0x91, 0xFD10);
    EXPECT_FALSE(marked.LSUenable);
    EXPECT_EQ(marked.delta, 0xFD10);
    EXPECT_EQ(marked.data, QByteArray::fromHex("91"));
}
