#include "firmware/Complectation.h"
#include "core/ControlBoard.h"
#include "core/ProgramLog.h"
#include "firmware/FirmwareImage.h"
#include "firmware/TuningAddressSets.h"

#include <gtest/gtest.h>

using namespace korvel;

namespace {

QStringList texts(std::initializer_list<std::pair<int, const char *>> set) {
    QStringList t(kComplectationBytes, QStringLiteral("00"));
    for (const auto &[index, text] : set)
        t[index] = QString::fromLatin1(text);
    return t;
}

struct Decoding {
    TuningAddressSets sets;
    ProgramLog log;
    ControlBoard board;
    Outcome<TuningTargets> run(const QStringList &t, int family, const QString &tuneBy = "Дросселю") {
        return DecodeComplectation(t, family, sets, tuneBy, log, &board);
    }
};

} // namespace

TEST(Complectation, ByteZeroNamesTheSensorsAndSetsThePhaseFlag) {
    Decoding d;
    d.sets.addhexdata(2, QString());
    ASSERT_TRUE(d.run(texts({{0, "21"}}), 1).ok());
    EXPECT_EQ(d.log.lines(), (QStringList{"Комплектация:", "Датчик кислорода", "ДФ", "Работа по ДМРВ"}));
    EXPECT_TRUE(d.sets.phaseSensor());
    EXPECT_TRUE(d.sets.tablcont().contains("Фаза"));

    d.log.clear();
    ASSERT_TRUE(d.run(texts({{0, "00"}}), 1).ok());
    EXPECT_EQ(d.log.lines(), (QStringList{"Комплектация:", "Работа по ДМРВ"}));
    EXPECT_FALSE(d.sets.phaseSensor());
    EXPECT_FALSE(d.sets.tablcont().contains("Фаза"));
}

TEST(Complectation, EveryBitLineInTableOrder) {
    const ComplectationReading all =
        readComplectation(texts({{0, "7F"}, {1, "10"}, {7, "6F"}, {8, "02"}, {10, "20"}}), 2).value();
    EXPECT_EQ(all.lines,
              (QStringList{"Комплектация:", "Датчик кислорода", "Адсорбер", "Соленойд наддува", "Датчик детонации",
                           "ДТВ", "ДФ", "Постоянная подача топлива", "Датчик скорости", "Зажигание по дад",
                           "Таблица попавки 32 на 32", "ALF от давления", "БЦН от давления",
                           "УОЗ из таблицы по давлению", "Таблица поправка ЦН 32 на 32 по давлению",
                           "Выбирать уоз и alf по давлению( turbo)", "Наполнение по БЦН"}));
    EXPECT_EQ(all.airBit, "0");
    EXPECT_EQ(readComplectation(texts({{8, "04"}}), 0).value().airBit, "1");
    EXPECT_EQ(readComplectation(QStringList(), 1).value().lines, QStringList{"Комплектация:"})
        << "empty texts count as 0";
}

TEST(Complectation, J7esaUsesOnlyByteFiveForTheAirMeasurement) {
    const ComplectationReading j7 = readComplectation(texts({{5, "01"}, {7, "FF"}, {8, "FF"}, {10, "FF"}}), 3).value();
    EXPECT_EQ(j7.lines, QStringList{"Комплектация:"});
    EXPECT_EQ(j7.airBit, "1");
    EXPECT_EQ(readComplectation(texts({{8, "04"}}), 3).value().airBit, "0");
    EXPECT_EQ(readComplectation(texts({{5, "01"}}), 1).value().airBit, "0") << "byte 5 means nothing to a J5LS";
}

TEST(Complectation, WithoutTheAirFlowSensorTheSelectionFollowsTheSetting) {
    Decoding d;
    d.sets.addhexdata(3, QString()); // VRK
    const Outcome<TuningTargets> targets = d.run(texts({{8, "04"}}), 2, "Давлению");
    ASSERT_TRUE(targets.ok());
    EXPECT_EQ(d.log.last(), "Работать без ДМРВ(ДАД или по досселю)");
    EXPECT_EQ(targets.value().decpopr, 0x736D);
    EXPECT_EQ(targets.value().decgbc, 0x726D);
    for (const QString &label : pressureLabels())
        EXPECT_TRUE(d.board.isVisible(label)) << label.toStdString();

    d.run(texts({}), 2, "Давлению");
    EXPECT_EQ(d.log.last(), "Работа по ДМРВ");
    for (const QString &label : pressureLabels())
        EXPECT_FALSE(d.board.isVisible(label)) << label.toStdString();
}

TEST(Complectation, ATextThatIsNotHexChangesNothing) {
    Decoding d;
    d.sets.addhexdata(2, QString());
    d.run(texts({{0, "20"}, {8, "04"}}), 1);
    d.log.clear();
    const Outcome<TuningTargets> refused = d.run(texts({{0, "00"}, {4, "1f"}}), 1);
    EXPECT_FALSE(refused.ok());
    EXPECT_EQ(d.log.lines(), QStringList{"'1f' is not a valid integer value"});
    EXPECT_TRUE(d.sets.phaseSensor()) << "the earlier decoding stays";
    EXPECT_TRUE(d.sets.NoMafMode());
}

TEST(Complectation, ImageStringHasElevenBytesInIndexOrder) {
    FirmwareImage image;
    image.setByte(0x6051, 0x21);
    image.setByte(0x6052, 0x10);
    image.setByte(0x60DE, 0x0A);
    image.setBytes(0x5F00, QByteArray::fromHex("0102030405060708"));
    image.setByte(0x5F08, 0xEE); // not part of it
    EXPECT_EQ(ImageComplectationString(image), "21100A0102030405060708");
}
