#include "firmware/KvFile.h"
#include "core/Cp1251.h"
#include "core/TextFile.h"
#include "firmware/Conversions.h"

#include <gtest/gtest.h>

using namespace korvel;

namespace {

const QString kSwid = QStringLiteral("AFF68EED");
const QString kName = QStringLiteral("Задержка форсунок");

TableGrid curveOf16() {
    TableGrid grid;
    grid.columns = 16;
    grid.rows = 1;
    for (int i = 0; i < 16; ++i)
        grid.cells << QString::number(1.8 - i * 0.0675, 'g', 15);
    return grid;
}

KvHeader header(const QString &name = kName) {
    return {QStringLiteral("Карта прошивки:demo-map.j5"), QStringLiteral("Прошивка:demo-firmware.bin"), kSwid, name,
            QStringLiteral("мс")};
}

// The lines as they come back from the file on disk.
QStringList throughFile(const QStringList &lines) {
    return decodeLines(encodeKvFile(lines)).lines;
}

} // namespace

TEST(KvFile, ACurveOf16CellsIsEightHeaderLinesThenOneLinePerCellAndComesBack) {
    const TableGrid grid = curveOf16();
    const QStringList lines = kvExportLines(header(), grid);
    ASSERT_EQ(lines.size(), 8 + 16);
    EXPECT_EQ(lines.mid(0, 8), QStringList({"Карта прошивки:demo-map.j5", "Прошивка:demo-firmware.bin", "AFF68EED",
                                            "Задержка форсунок", "мс", "16", "1", "Данные:"}));
    EXPECT_EQ(lines.mid(8), grid.cells);

    const QByteArray bytes = encodeKvFile(lines);
    EXPECT_TRUE(bytes.startsWith(cp1251::encode(QStringLiteral("Карта прошивки:demo-map.j5\r\n"))))
        << "Windows-1251, one byte per letter";
    EXPECT_EQ(bytes.count("\r\n"), 24);
    EXPECT_EQ(bytes.count('\n'), 24) << "every line ends in CR LF";

    const Outcome<TableGrid> back = kvImportGrid(throughFile(lines), kSwid, kName, 16, 1);
    ASSERT_TRUE(back) << back.error().toStdString();
    EXPECT_EQ(back.value(), grid);
}

TEST(KvFile, AMapIsWrittenRowAfterRowWithItsRowCount) {
    TableGrid grid;
    grid.columns = 3;
    grid.rows = 2;
    grid.cells = QStringList({"1", "2", "3", "4.5", "-6", "0"});
    const QStringList lines = kvExportLines(header(QStringLiteral("УОЗ")), grid);
    ASSERT_EQ(lines.size(), 14);
    EXPECT_EQ(lines.at(5), "3");
    EXPECT_EQ(lines.at(6), "2");
    const Outcome<TableGrid> back = kvImportGrid(throughFile(lines), kSwid, QStringLiteral("УОЗ"), 3, 2);
    ASSERT_TRUE(back) << back.error().toStdString();
    EXPECT_EQ(back.value().cell(1, 0), "4.5");
    EXPECT_EQ(back.value(), grid);
}

TEST(KvFile, AnImportIsRefusedForAnotherFirmwareOrTableAndForAShortOrMalformedFile) {
    const QStringList good = kvExportLines(header(), curveOf16());
    auto with = [&](int line, const QString &text) {
        QStringList lines = good;
        lines[line - 1] = text;
        return lines;
    };
    struct Case {
        const char *what;
        QStringList lines;
    };
    const Case cases[] = {
        {"another SWID", with(3, "AFF68EEE")},
        {"the SWID in lower case", with(3, "aff68eed")},
        {"another table", with(4, "Впрыск при пуске")},
        {"the name with a trailing space", with(4, kName + " ")},
        {"an empty file", {}},
        {"the header only in part", good.mid(0, 7)},
        {"the header without cells", good.mid(0, 8)},
        {"one cell short", good.mid(0, 8 + 15)},
        {"N is not a number", with(6, "16a")},
        {"N is not a whole number", with(6, "16.0")},
        {"M is empty", with(7, "")},
        {"another size with the same cell count",
         [&] {
             QStringList lines = with(6, "8");
             lines[6] = "2";
             return lines;
         }()},
        {"more cells per row than the table has", with(6, "17")},
    };
    for (const Case &c : cases)
        EXPECT_FALSE(kvImportGrid(c.lines, kSwid, kName, 16, 1)) << c.what;

    QStringList longer = good;
    longer << ""
           << "trailing text";
    EXPECT_TRUE(kvImportGrid(longer, kSwid, kName, 16, 1)) << "lines after the cells are not read";
}

TEST(KvFile, DialogNameAndLogLines) {
    // From the firmware label's 10th character, its length - 14 characters.
    EXPECT_EQ(kvProposedFileName("Прошивка:C:\\fw\\J5.bin", "УОЗ"), "C:\\fw\\J-УОЗ");
    EXPECT_EQ(kvProposedFileName("", "УОЗ"), "-УОЗ");
    EXPECT_EQ(kvExportedLine("УОЗ"), "Экспорт калибровки:УОЗ");
    EXPECT_EQ(kvImportedLine("УОЗ"), "КалибровкаУОЗзагружена");
}

// Map names are single bytes decoded as the catalogue shows them; 0xB9, 0xB2
// and 0xB3 come out as ¹ ² ³, which Windows-1251 has no character for. The
// file keeps the map byte, so it stays Windows-1251 and its import finds the table.
TEST(KvFile, ANameWithMapBytesWindows1251LacksComesBackAndMatches) {
    for (const QByteArray &mapName : {QByteArray("\xCA\xEE\xFD\xF4 \xB9", 6), QByteArray("\xB2\xB3 \xD3\xCE\xC7", 6),
                                      QByteArray("\xAB\xC0\xBB \xB0 \xB1", 7)}) {
        const QString name = DecodeMapText(QByteArrayView(mapName));
        const QStringList lines = kvExportLines(header(name), curveOf16());
        const QByteArray bytes = encodeKvFile(lines);
        EXPECT_TRUE(bytes.contains("\r\n" + mapName + "\r\n")) << "the name line holds the map's own bytes";
        EXPECT_FALSE(bytes.contains('?'));
        const Outcome<TableGrid> back = kvImportGrid(throughFile(lines), kSwid, name, 16, 1);
        EXPECT_TRUE(back) << back.error().toStdString();
    }
    // Another table of a similar name still does not match.
    const QString one = DecodeMapText(QByteArrayView("\xCA \xB9", 3));
    const QString two = DecodeMapText(QByteArrayView("\xCA \xB2", 3));
    EXPECT_FALSE(kvImportGrid(throughFile(kvExportLines(header(one), curveOf16())), kSwid, two, 16, 1));
}
