#include "editor/EntryPanels.h"

#include "EditorFixture.h"

using namespace korvel;
using test::EditorRig;

TEST(SingleValuePanel, ShowsTypesAndLimitsTheValue) {
    EditorRig rig;
    rig.poke(0x5000, {100});
    ASSERT_TRUE(rig.open(3, "address 5000\nunit км/ч\nmax 150\n"));
    const SingleValueView &v = rig.editor.singleValue();
    EXPECT_EQ(v.valueText, "100");
    EXPECT_EQ(v.minimumText, kAutomaticLimit);
    EXPECT_EQ(v.maximumText, "150");
    EXPECT_EQ(v.minimum, 0);
    EXPECT_EQ(v.maximum, 150);
    EXPECT_EQ(v.title, "Таблица (км/ч)");

    ASSERT_TRUE(rig.editor.enterSingleValue("120"));
    EXPECT_EQ(rig.byte(0x5000), 120);
    EXPECT_EQ(rig.editor.singleValue().valueText, "120");
    EXPECT_EQ(rig.editor.previousValue(), "120") << "each display takes the image's value";
    EXPECT_EQ(rig.store.undoCount(), 1);

    ASSERT_TRUE(rig.editor.enterSingleValue("200")) << "a typed value is not limited";
    EXPECT_EQ(rig.byte(0x5000), 200);
    EXPECT_FALSE(rig.editor.enterSingleValue("abc"));
    EXPECT_EQ(rig.byte(0x5000), 200);
}

TEST(SingleValuePanel, ReciprocalValueAndAMissingInverse) {
    EditorRig rig;
    rig.poke(0x5000, {50});
    ASSERT_TRUE(rig.open(3, "address 5000\nd3 1000\n"));
    EXPECT_EQ(rig.editor.singleValue().valueText, "20");
    EXPECT_EQ(rig.editor.singleValue().maximum, 1000) << "0 to D3 k";
    ASSERT_TRUE(rig.editor.enterSingleValue("25"));
    EXPECT_EQ(rig.byte(0x5000), 40);

    ASSERT_TRUE(rig.open(3, "address 5000\nd4 0\nd5 3\n"));
    EXPECT_FALSE(rig.editor.enterSingleValue("7"));
    EXPECT_EQ(rig.byte(0x5000), 40) << "no inverse: the value is kept";
    EXPECT_TRUE(rig.log.last().contains("D4"));
    EXPECT_EQ(rig.store.undoCount(), 1);
}

TEST(SingleValuePanel, ComparisonShownOnlyWhenItDiffers) {
    EditorRig rig;
    rig.poke(0x5000, {7});
    FirmwareImage other = rig.store.image();
    rig.store.loadComparison(other);
    DisplayOptions options;
    options.compare = true;
    rig.editor.setOptions(options);
    ASSERT_TRUE(rig.open(3, "address 5000\n"));
    EXPECT_FALSE(rig.editor.singleValue().comparisonShown);
    other.setByte(0x5000, 9);
    rig.store.loadComparison(other);
    rig.editor.redisplay();
    EXPECT_TRUE(rig.editor.singleValue().comparisonShown);
    EXPECT_EQ(rig.editor.singleValue().comparisonText, "9");
}

TEST(FlagPanel, LinesFollowTheNamedGroupsAndBits) {
    EditorRig rig;
    rig.poke(0x5000, {5});
    ASSERT_TRUE(rig.open(4, "flag 0 5000 Датчики\nbit 0 0 Лямбда\nbit 0 2 Детонация\n"));
    const FlagPanelView &v = rig.editor.flags();
    EXPECT_EQ(v.groups[0].caption, "Датчики");
    EXPECT_EQ(v.groups[0].place.top, 15);
    ASSERT_EQ(v.boxes.size(), 2u);
    EXPECT_EQ(v.boxes[0].number, 7);
    EXPECT_EQ(v.boxes[1].number, 9);
    EXPECT_TRUE(v.boxes[0].ticked && v.boxes[1].ticked);
    EXPECT_EQ(v.boxes[0].place.top, 30) << "line 1";
    EXPECT_EQ(v.boxes[1].place.top, 45) << "line 2";
    EXPECT_EQ(flagBoxName(v.boxes[1].number), "iCheckBox9");

    // Unticking bit 2 writes the byte at once; unnamed bits keep their value.
    rig.poke(0x5000, {5 | 0x80});
    rig.editor.redisplay();
    ASSERT_TRUE(rig.editor.setFlag(9, false));
    EXPECT_EQ(rig.byte(0x5000), 0x81);
    EXPECT_EQ(rig.store.undoCount(), 1);
}

TEST(FlagPanel, ThirtyNamedBitsContinueInTheRightColumn) {
    QString fields;
    for (int i = 0; i < 4; ++i) {
        fields += QStringLiteral("flag %1 %2 \n").arg(i).arg(0x5000 + i, 0, 16);
        for (int j = 0; j < 8 && 8 * i + j < 30; ++j)
            fields += QStringLiteral("bit %1 %2 Бит %3\n").arg(i).arg(j).arg(8 * i + j);
    }
    EditorRig rig;
    ASSERT_TRUE(rig.open(4, fields));
    const std::vector<FlagBox> &boxes = rig.editor.flags().boxes;
    ASSERT_EQ(boxes.size(), 30u);
    EXPECT_EQ(boxes[26].place.left, 15);
    EXPECT_EQ(boxes[26].place.top, 15 * 26 + 15);
    EXPECT_EQ(boxes[27].place.left, 380);
    EXPECT_EQ(boxes[27].place.top, 15);
    EXPECT_EQ(boxes[29].place.top, 45);
}

TEST(FlagPanel, ComparisonMarksDifferingBits) {
    EditorRig rig;
    rig.poke(0x5000, {1});
    FirmwareImage other = rig.store.image();
    other.setByte(0x5000, 3);
    rig.store.loadComparison(other);
    DisplayOptions options;
    options.compare = true;
    rig.editor.setOptions(options);
    ASSERT_TRUE(rig.open(4, "flag 0 5000 Г\nbit 0 0 А\nbit 0 1 Б\n"));
    EXPECT_EQ(rig.editor.flags().boxes[0].text, "А");
    EXPECT_EQ(rig.editor.flags().boxes[1].text, "[#Б#]");
}

TEST(IdentPanel, NamesFollowedByTheImageText) {
    EditorRig rig;
    rig.poke(0x5000, {'J', '5', 'L', 'S'});
    ASSERT_TRUE(rig.open(5, "title Идентификация\ntext 0 5000 4 SWID\ntext 1 5000 0 Empty\n"));
    const IdentView &v = rig.editor.ident();
    EXPECT_EQ(v.title, "Идентификация");
    const QString gap = ":" + QString(29, ' ');
    EXPECT_EQ(v.captions[0], "SWID" + gap + "J5LS");
    EXPECT_EQ(v.captions[1], "Empty" + gap);
    EXPECT_TRUE(v.captions[2].isEmpty());
}

// A typed single value the cell cannot hold is refused with the range it can,
// never stored wrapped (70000 as 4464, -1 as 65535).
TEST(SingleValuePanel, AValueTheCellCannotHoldIsRefusedNotWrapped) {
    struct Case {
        const char *fields;
        const char *typed;
        const char *range; // named in the refusal
    };
    const Case cases[] = {
        {"address 5000\ncelltype 2\n", "70000", "от 0 до 65535"},
        {"address 5000\ncelltype 2\n", "-1", "от 0 до 65535"},
        {"address 5000\ncelltype 3\n", "40000", "от -32768 до 32767"},
        {"address 5000\ncelltype 0\n", "256", "от 0 до 255"},
        {"address 5000\ncelltype 1\n", "-129", "от -128 до 127"},
        {"address 5000\ncelltype 2\nd1 10\nd4 1\n", "6553,6", "от 0 до 6553,5"},
    };
    for (const Case &c : cases) {
        EditorRig rig;
        rig.poke(0x5000, {0x12, 0x34});
        ASSERT_TRUE(rig.open(3, c.fields)) << c.fields;
        EXPECT_FALSE(rig.editor.enterSingleValue(c.typed)) << c.typed;
        EXPECT_EQ(rig.byte(0x5000), 0x12) << c.typed;
        EXPECT_EQ(rig.byte(0x5001), 0x34) << c.typed;
        EXPECT_EQ(rig.store.undoCount(), 0) << c.typed;
        EXPECT_TRUE(rig.log.last().contains(QString::fromUtf8(c.range).replace(',', '.')))
            << rig.log.last().toStdString();
    }
    EditorRig rig;
    ASSERT_TRUE(rig.open(3, "address 5000\ncelltype 2\n"));
    ASSERT_TRUE(rig.editor.enterSingleValue("65535"));
    EXPECT_EQ(rig.byte(0x5000), 0xFF);
    EXPECT_EQ(rig.byte(0x5001), 0xFF);
    ASSERT_TRUE(rig.editor.enterSingleValue("1,5e2")) << "a decimal comma is read as a decimal separator";
    EXPECT_EQ(rig.byte(0x5000), 150);
    EXPECT_EQ(rig.store.undoCount(), 2);
    ASSERT_TRUE(rig.editor.enterSingleValue("150")) << "the same value again";
    EXPECT_EQ(rig.store.undoCount(), 2) << "only a change is an undo step";
}

// The panel may be older than the image (an undo, a tuning write): a click
// changes the box clicked and nothing of the panel's older state.
TEST(FlagPanel, AClickChangesOnlyItsBoxEvenOverAnOlderPanel) {
    EditorRig rig;
    rig.poke(0x5000, {0x05});
    ASSERT_TRUE(rig.open(4, "flag 0 5000 Датчики\nbit 0 0 Лямбда\nbit 0 2 Детонация\n"));
    rig.poke(0x5000, {0x04}); // bit 0 cleared under the panel
    ASSERT_TRUE(rig.editor.setFlag(9, false));
    EXPECT_EQ(rig.byte(0x5000), 0x00) << "bit 0 is not written back from the older panel";
    EXPECT_EQ(rig.store.undoCount(), 1);
    EXPECT_FALSE(rig.editor.flags().boxes[0].ticked) << "the panel shows what it wrote";

    ASSERT_TRUE(rig.editor.setFlag(9, false)) << "a box released in the state it has";
    EXPECT_EQ(rig.store.undoCount(), 1) << "only a change is an undo step";
}
