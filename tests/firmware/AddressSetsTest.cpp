#include "TestSupport.h"
#include "core/Cp1251.h"
#include "core/ProgramLog.h"
#include "firmware/ErrorNames.h"
#include "firmware/TuningAddressSets.h"

#include <gtest/gtest.h>

using namespace korvel;

namespace {

struct Sets {
    test::WorkDir dir;
    TuningAddressSets sets;
    ProgramLog log;
    void select(int row, const QString &airBit, const QString &tuneBy = "Дросселю") {
        ASSERT_TRUE(sets.addhexdata(row, dir.path()));
        sets.selectAirMeasurement(airBit, tuneBy, log);
    }
};

} // namespace

TEST(AddressSets, VrkWithoutAirFlowSensorByPressure) {
    Sets s;
    s.select(3, "1", "Давлению");
    EXPECT_TRUE(s.sets.NoMafMode());
    EXPECT_TRUE(s.sets.PressureMode());
    EXPECT_EQ(s.sets.air().correctionTable, 0x736D);
    EXPECT_EQ(s.sets.air().gbcTable, 0x726D);
    EXPECT_EQ(s.sets.air().mode, 2);
    const QStringList items = s.sets.tablcont();
    EXPECT_EQ(items.mid(0, 4), (QStringList{"РТ кПа", "Коррекция кПа", "БЦН %", "БЦН кПа"}));
    EXPECT_EQ(items.mid(items.size() - 4),
              (QStringList{"Детонация %", "Детонация кПа", "Загрузка форсунок %", "Загрузка форсунок кПа"}));
}

TEST(AddressSets, J5lsWithoutAirFlowSensorKeepsTheThrottleFilling) {
    Sets s;
    s.select(2, "1", "Дросселю");
    EXPECT_FALSE(s.sets.present(tuningcolumn::GbcKpa));
    EXPECT_EQ(s.sets.air().gbcTable, 0x75EF);
    EXPECT_EQ(s.sets.air().correctionTable, 0x7CF7);
    EXPECT_FALSE(s.sets.PressureMode());
    EXPECT_EQ(s.log.lines(), QStringList{"Работать без ДМРВ(ДАД или по досселю)"});
}

TEST(AddressSets, J7esaWithTheSensorListsItsGrids) {
    Sets s;
    s.select(4, "0");
    EXPECT_EQ(s.sets.tablcont(), (QStringList{"РТ %", "Коррекция %", "БЦН %", "Поправка %", "Поправка кПа", "УОЗ %",
                                              "Фаза", "ALF %", "ALF кПа", "Детонация %", "Загрузка форсунок %"}));
    s.sets.setPhaseSensor(false);
    EXPECT_FALSE(s.sets.tablcont().contains("Фаза"));
    EXPECT_EQ(s.sets.air().mode, 1);
    EXPECT_FALSE(s.sets.NoMafMode());
    EXPECT_EQ(s.log.lines(), QStringList{"Работа по ДМРВ"});
}

TEST(AddressSets, AnAbsentChosenTableYields65535) {
    Sets s;
    s.select(1, "1", "Давлению"); // standard firmware has no pressure correction
    EXPECT_EQ(s.sets.air().correctionTable, 0xFFFF);
    EXPECT_FALSE(s.sets.addhexdata(0, s.dir.path()));
    EXPECT_FALSE(s.sets.addhexdata(6, s.dir.path()));
    EXPECT_EQ(s.sets.selectedRow(), 1) << "a refused row leaves the selection";
}

TEST(AddressSets, HexDataFillsTheCustomRow) {
    const std::pair<QByteArray, std::array<const char *, 12>> cases[] = {
        {"7000,FFFF,7100\r\n8000,8100\r\n",
         {"7000", "FFFF", "7100", "FFFF", "FFFF", "FFFF", "FFFF", "FFFF", "FFFF", "FFFF", "FFFF", "FFFF"}},
        {"1,2,3,4,5,6,7,8,9,A,B,C,D,E", {"1", "2", "3", "4", "5", "6", "7", "8", "9", "A", "B", "C"}},
        {" 7000,7100 ,",
         {" 7000", "7100 ", "", "FFFF", "FFFF", "FFFF", "FFFF", "FFFF", "FFFF", "FFFF", "FFFF",
          "FFFF"}}, // fields as they stand
    };
    for (const auto &[file, expected] : cases) {
        Sets s;
        s.dir.write(kHexDataFile, file);
        ASSERT_TRUE(s.sets.addhexdata(1, s.dir.path()));
        for (std::size_t c = 0; c < 12; ++c)
            EXPECT_EQ(s.sets.row(kCustomRow)[c], QString::fromLatin1(expected[c]))
                << file.constData() << " col " << c + 1;
    }
    Sets missing;
    QFile::remove(missing.dir.path(kHexDataFile));
    missing.sets.addhexdata(1, missing.dir.path());
    for (const QString &text : missing.sets.row(kCustomRow))
        EXPECT_EQ(text, kAbsentTable);
    EXPECT_EQ(missing.sets.row(1)[2], "7CF7") << "built-in rows regardless";
}

TEST(AddressSets, ErrorNamesAreReadInBitOrder) {
    QStringList lines;
    for (int n = 1; n <= 33; ++n)
        lines << QString::fromUtf8("Ошибка %1").arg(n);
    const ErrorNames names = parseErrorNames(cp1251::encode(lines.join("\r\n") + "\r\n"));
    EXPECT_EQ(names.name(0, 0), QString::fromUtf8("Ошибка 1"));
    EXPECT_EQ(names.name(0, 2), QString::fromUtf8("Ошибка 3"));
    EXPECT_EQ(names.name(1, 0), QString::fromUtf8("Ошибка 9"));
    EXPECT_EQ(names.name(3, 7), QString::fromUtf8("Ошибка 32"));
    EXPECT_EQ(names.name(4, 0), QString()) << "line 33 has no bit";

    const ErrorNames shortFile = parseErrorNames("A\nB\n");
    EXPECT_EQ(shortFile.name(0, 1), "B");
    EXPECT_EQ(shortFile.name(0, 2), QString()) << "a missing line leaves its name empty";
}

TEST(AddressSets, AddhexdataRereadsErrorsCfg) {
    Sets s;
    s.sets.addhexdata(1, s.dir.path());
    EXPECT_EQ(s.sets.errorNames().name(0, 0), QString::fromUtf8("Датчик детонации")) << "the shipped file";
    s.dir.write(kErrorNamesFile, cp1251::encode(QString::fromUtf8("Новая ошибка\r\n")));
    s.sets.addhexdata(2, s.dir.path());
    EXPECT_EQ(s.sets.errorNames().name(0, 0), QString::fromUtf8("Новая ошибка"));
    EXPECT_EQ(s.sets.errorNames().name(0, 1), QString());
}
