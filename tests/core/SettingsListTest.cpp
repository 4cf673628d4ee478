#include "core/SettingsList.h"
#include "core/Cp1251.h"
#include "core/ProgramLog.h"
#include "core/SettingNames.h"

#include "TestSupport.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

using namespace korvel;

namespace {

QByteArray cp1251Lines(const QStringList &lines) {
    return cp1251::encode(lines.join("\r\n") + "\r\n");
}

} // namespace

TEST(SettingsList, ShippedConfigRoundTripsByteForByte) {
    test::WorkDir work;
    const QByteArray original = work.read("config.ini");
    ASSERT_FALSE(original.isEmpty());
    SettingsList list;
    ASSERT_TRUE(list.load(work.path("config.ini")));
    EXPECT_EQ(list.value(setting::Protocol), "kvl");
    EXPECT_EQ(list.value(setting::OxygenSensor), "Innovate");
    ASSERT_EQ(list.save(work.path("config.ini")), QString());
    EXPECT_EQ(work.read("config.ini"), original);
}

TEST(SettingsList, ShippedConfigHoldsEveryNameInOrder) {
    SettingsList list;
    ASSERT_TRUE(list.load(test::dataDir() + "/config.ini"));
    const auto &defs = settingDefinitions();
    ASSERT_EQ(list.count(), static_cast<int>(defs.size()));
    for (int i = 0; i < list.count(); ++i)
        EXPECT_EQ(list.nameAt(i), defs[static_cast<std::size_t>(i)].name);
}

TEST(SettingsList, Utf8FilesWithAndWithoutMarkAreReadAndKept) {
    for (const QByteArray &prefix : {QByteArray(), QByteArray("\xEF\xBB\xBF")}) {
        test::WorkDir work(false);
        const QByteArray bytes = prefix + QString::fromUtf8("Тип прошивки=авто\nДатчик кислорода=УДК\n").toUtf8();
        work.write("config.ini", bytes);
        SettingsList list;
        ASSERT_TRUE(list.load(work.path("config.ini")));
        EXPECT_EQ(list.value("Датчик кислорода"), QString::fromUtf8("УДК"));
        EXPECT_EQ(list.save(work.path("config.ini")), QString());
        EXPECT_EQ(work.read("config.ini"), bytes);
    }
}

TEST(SettingsList, LookupIgnoresCaseIncludingCyrillic) {
    test::WorkDir work(false);
    work.write("config.ini", cp1251Lines({"Ecu Com=/dev/ttyUSB0", "ТАЙМАУТ1=25"}));
    SettingsList list;
    ASSERT_TRUE(list.load(work.path("config.ini")));
    EXPECT_EQ(list.value("Ecu com"), "/dev/ttyUSB0");
    EXPECT_EQ(list.value("таймаут1"), "25");
    EXPECT_EQ(list.value("Нет такого"), QString());
    list.addPortChoice("/dev/ttyS0");
    EXPECT_EQ(list.pickList("Ecu com"), QStringList{"/dev/ttyS0"});
}

TEST(SettingsList, PickListsFollowTheDefinedOrder) {
    SettingsList list;
    ASSERT_TRUE(list.load(test::dataDir() + "/config.ini"));
    EXPECT_EQ(list.pickList(setting::EcuSpeed), (QStringList{"10400", "38400", "57600"}));
    EXPECT_EQ(list.pickList(setting::OxygenSensor), (QStringList{"Innovate", "AEM", "ALC-1", "APSX", "УДК"}));
    EXPECT_TRUE(list.pickList(setting::Timeout1).isEmpty());
}

TEST(SettingsList, NamesStayUniqueWhenEdited) {
    SettingsList list;
    ASSERT_TRUE(list.load(test::dataDir() + "/config.ini"));
    EXPECT_FALSE(list.setData(list.index(1, 0), QString("ECU COM"), Qt::EditRole));
    EXPECT_TRUE(list.setData(list.index(1, 0), QString("Новое имя"), Qt::EditRole));
    EXPECT_FALSE(list.appendEntry("новое ИМЯ", "1"));
    list.setEditable(false);
    EXPECT_FALSE(list.setData(list.index(2, 1), QString("99"), Qt::EditRole));
    EXPECT_FALSE(list.flags(list.index(2, 1)).testFlag(Qt::ItemIsEditable));
}

TEST(SettingsList, FailedSaveKeepsTheOldFile) {
    test::WorkDir work;
    const QByteArray original = work.read("config.ini");
    SettingsList list;
    ASSERT_TRUE(list.load(work.path("config.ini")));
    list.setValue(setting::Timeout1, "99");
    {
        test::FileSizeLimit fullDisk(64);
        EXPECT_NE(list.save(work.path("config.ini")), QString());
    }
    EXPECT_EQ(work.read("config.ini"), original);
    EXPECT_EQ(QDir(work.path()).entryList(QDir::Files).size(), 4) << "no temporary file left behind";
}

TEST(SettingsList, IntegersParseStrictlyAndFailuresAreLogged) {
    struct Case {
        const char *text;
        std::optional<int> expected;
    };
    const Case cases[] = {{"150", 150},
                          {"-5", -5},
                          {"+7", 7},
                          {"", std::nullopt},
                          {"1.5", std::nullopt},
                          {" 20", std::nullopt},
                          {"12a", std::nullopt},
                          {"99999999999", std::nullopt}};
    for (const Case &c : cases)
        EXPECT_EQ(parseDecimalInt(QString::fromUtf8(c.text)), c.expected) << c.text;

    SettingsList list;
    ProgramLog log;
    list.setValue(setting::Timeout2, "abc");
    EXPECT_FALSE(list.integer(setting::Timeout2, log));
    ASSERT_EQ(log.lines().size(), 1);
    EXPECT_TRUE(log.lines()[0].contains("abc"));
    EXPECT_TRUE(log.lines()[0].contains(setting::Timeout2));
}

// A file may hold a name twice (edited by hand): the first one is read and
// changed, the later one is kept as it is and takes over once the first is renamed.
TEST(SettingsList, TheFirstOfTwinNamesIsTheOneUsed) {
    test::WorkDir work(false);
    work.write("config.ini", cp1251Lines({"Таймаут1=20", "Ecu Com=COM1", "ТАЙМАУТ1=99", "Строка без знака"}));
    SettingsList list;
    ASSERT_TRUE(list.load(work.path("config.ini")));
    ASSERT_EQ(list.count(), 4);
    EXPECT_EQ(list.value("таймаут1"), "20");
    EXPECT_TRUE(list.contains("строка без ЗНАКА"));
    list.setValue("Таймаут1", "25");
    EXPECT_EQ(list.lines(), (QStringList{"Таймаут1=25", "Ecu Com=COM1", "ТАЙМАУТ1=99", "Строка без знака="}));
    EXPECT_FALSE(list.appendEntry("ECU COM", "x"));
    EXPECT_TRUE(list.appendEntry("Новое", "1"));
    EXPECT_EQ(list.value("НОВОЕ"), "1");

    ASSERT_TRUE(list.setData(list.index(0, 0), QString("Таймаут2"), Qt::EditRole));
    EXPECT_EQ(list.value("Таймаут1"), "99") << "the twin further down takes over";
    EXPECT_EQ(list.value("таймаут2"), "25");
    EXPECT_FALSE(list.setData(list.index(1, 0), QString("таймаут1"), Qt::EditRole));
    EXPECT_TRUE(list.setData(list.index(2, 0), QString("Таймаут3"), Qt::EditRole));
    EXPECT_FALSE(list.contains("Таймаут1"));
    EXPECT_TRUE(list.setData(list.index(1, 0), QString("Таймаут1"), Qt::EditRole)) << "the name is free again";
    EXPECT_EQ(list.value("ТАЙМАУТ1"), "COM1");
}
