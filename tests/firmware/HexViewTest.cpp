#include "firmware/HexModel.h"
#include "firmware/HexSearch.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

using namespace korvel;

namespace {

// An image holding `bytes` at each of the given addresses, zero elsewhere.
FirmwareImage hexImageWith(std::vector<std::pair<int, QByteArray>> placed) {
    QByteArray bytes(kFirmwareSize, '\0');
    for (const auto &[address, run] : placed)
        bytes.replace(address, run.size(), run);
    return *FirmwareImage::fromBytes(bytes);
}

const QByteArray k6DC8("\x6D\xC8", 2);

struct Search {
    FirmwareImage image;
    QString pattern;
    std::optional<HexCell> first;
    // Each press of the next button: the cell selected (if any) and whether it switches itself off.
    std::vector<std::pair<std::optional<HexCell>, bool>> next;
};

} // namespace

TEST(HexSearch, MatchPositionToByteRoundsHalvesToEven) {
    const std::pair<qsizetype, int> cases[] = {{0, 0}, {1, 1}, {2, 2}, {3, 2},          {4, 2},         {5, 3},
                                               {6, 4}, {7, 4}, {8, 4}, {131071, 65536}, {131072, 65536}};
    for (const auto &[position, byte] : cases)
        EXPECT_EQ(matchByteNumber(position), byte) << position;
}

TEST(HexSearch, FindsSelectsAndWalksOn) {
    const Search cases[] = {
        // Only at 0x1234: row 0x123 + 1, column 5; the next press finds nothing and switches off.
        {hexImageWith({{0x1234, k6DC8}}), "6DC8", HexCell{0x124, 5}, {{std::nullopt, true}}},
        // Two more further on: each press goes on to the next one, the last press finds none.
        {hexImageWith({{0x1234, k6DC8}, {0x2000, k6DC8}, {0x2003, k6DC8}}),
         "6DC8",
         HexCell{0x124, 5},
         {{HexCell{0x201, 1}, false}, {HexCell{0x201, 4}, false}, {std::nullopt, true}}},
        // Typed in lower case: never found.
        {hexImageWith({{0x1234, k6DC8}}), "6dc8", std::nullopt, {}},
        // Non-hex text and an empty field find nothing either.
        {hexImageWith({{0x1234, k6DC8}}), "6ДC8", std::nullopt, {}},
        {hexImageWith({{0x1234, k6DC8}}), "", std::nullopt, {}},
        // Starting on a second digit is no byte sequence of the image: "16 DC 8x" holds "6DC8" only
        // across byte boundaries and nothing is found.
        {hexImageWith({{0, QByteArray("\x16\xDC\x80", 3)}}), "6DC8", std::nullopt, {}},
        {hexImageWith({{1, QByteArray("\x16\xDC\x80", 3)}}), "6DC8", std::nullopt, {}},
        // A misaligned occurrence before a real one is passed over, and "Дальше" after a real one
        // lands on the next real one, not a byte off ("16 DC 8x" then 6D C8 at 0x100 and 0x200).
        {hexImageWith({{0, QByteArray("\x16\xDC\x80", 3)},
                       {0x100, k6DC8},
                       {0x180, QByteArray("\x06\xDC\x80", 3)},
                       {0x200, k6DC8}}),
         "6DC8",
         HexCell{0x11, 1},
         {{HexCell{0x21, 1}, false}, {std::nullopt, true}}},
        // Overlapping matches on byte boundaries are all found.
        {hexImageWith({{0x40, QByteArray("\xAA\xAA\xAA", 3)}}),
         "AAAA",
         HexCell{5, 1},
         {{HexCell{5, 2}, false}, {std::nullopt, true}}},
        // A match in the last bytes leaves two characters or fewer: found, and the button switches off with it.
        {hexImageWith({{0x10, k6DC8}, {0xFFFE, k6DC8}}), "6DC8", HexCell{2, 1}, {{HexCell{0x1000, 15}, true}}},
        // Counting goes on from the last match even past a row's end.
        {hexImageWith({{0x0E, k6DC8}, {0x11, k6DC8}}), "6DC8", HexCell{1, 15}, {{HexCell{2, 2}, false}}},
    };
    for (const Search &c : cases) {
        SCOPED_TRACE(c.pattern.toStdString() + " first at " +
                     (c.first ? std::to_string(c.first->row) + "/" + std::to_string(c.first->column) : "none"));
        HexSearch search;
        search.reset(hexSearchText(c.image.bytes()));
        EXPECT_EQ(search.findhex(c.pattern), c.first);
        for (const auto &[cell, end] : c.next) {
            const HexSearch::Next next = search.findnext();
            EXPECT_EQ(next.cell, cell);
            EXPECT_EQ(next.end, end);
        }
    }
}

TEST(HexSearch, ANewSearchStartsFromTheTopAgain) {
    HexSearch search;
    search.reset(hexSearchText(hexImageWith({{0x1234, k6DC8}, {0x2000, k6DC8}}).bytes()));
    ASSERT_EQ(search.findhex("6DC8"), (HexCell{0x124, 5}));
    ASSERT_EQ(search.findnext().cell, (HexCell{0x201, 1}));
    EXPECT_EQ(search.findhex("6DC8"), (HexCell{0x124, 5}));
    EXPECT_EQ(search.findnext().cell, (HexCell{0x201, 1}));
}

TEST(HexModel, CellsHeadersAndColours) {
    HexModel model;
    QByteArray bytes(kFirmwareSize, '\0');
    bytes[0x1000] = 'K';
    bytes[0x1001] = '\xC0';
    bytes[0xFFFF] = '\x7F';
    model.takehex(*FirmwareImage::fromBytes(bytes));
    ASSERT_EQ(model.rowCount(), 4097);
    ASSERT_EQ(model.columnCount(), 18);
    auto text = [&](int r, int c) { return model.index(r, c).data().toString(); };
    auto rgb = [&](int r, int c) { return model.index(r, c).data(HexModel::BackgroundRgbRole).toInt(); };

    EXPECT_EQ(text(0, 1), "00");
    EXPECT_EQ(text(0, 16), "0F");
    EXPECT_EQ(text(0, 0), "");
    EXPECT_EQ(text(1, 0), "00");
    EXPECT_EQ(text(0x100, 0), "FF");
    EXPECT_EQ(text(0x101, 0), "0100") << "four digits from row 0x101 on";
    EXPECT_EQ(text(4096, 0), "0FFF");
    EXPECT_EQ(text(0x101, 1), "4B");
    EXPECT_EQ(text(0x101, 2), "C0");
    EXPECT_EQ(text(4096, 16), "7F");
    EXPECT_EQ(text(0x101, 17), QString("KÀ") + QString(14, ' ')) << "zero bytes as spaces, Latin-1 otherwise";
    EXPECT_EQ(model.headerData(5, Qt::Horizontal).toString(), "04");
    EXPECT_EQ(model.headerData(0x101, Qt::Vertical).toString(), "0100");

    EXPECT_EQ(rgb(0, 3), 0x9999FF);
    EXPECT_EQ(rgb(7, 0), 0x9999FF);
    EXPECT_EQ(rgb(0x101, 1), 0xFFFF99);
    EXPECT_EQ(rgb(0x101, 3), 0xCCFF99);
    EXPECT_EQ(rgb(0x101, 17), 0xCCE5FF);
    EXPECT_FALSE(model.flags(model.index(1, 1)).testFlag(Qt::ItemIsEditable));
}

// The view is a snapshot: edits show, and are searched, only after it is opened again.
TEST(HexModel, ShowsAndSearchesTheImageAsItWasWhenOpened) {
    FirmwareImage image = hexImageWith({{0x1234, k6DC8}});
    HexModel model;
    model.takehex(image);
    image.setBytes(0x1234, QByteArray(2, '\0'));
    image.setBytes(0x4000, k6DC8);
    EXPECT_EQ(model.index(0x124, 5).data().toString(), "6D");
    EXPECT_EQ(model.findhex("6DC8"), (HexCell{0x124, 5}));

    model.takehex(image);
    EXPECT_EQ(model.index(0x124, 5).data().toString(), "00");
    EXPECT_EQ(model.findhex("6DC8"), (HexCell{0x401, 1}));
    EXPECT_TRUE(model.findnext().end);
}
