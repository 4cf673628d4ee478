#include "tuning/ExtendedTuningSettings.h"
#include "TestSupport.h"
#include "core/ProgramLog.h"
#include "core/SettingNames.h"
#include "core/SettingsList.h"

#include <gtest/gtest.h>

using namespace korvel;

// The shipped config.ini turns the extended tuning on; a car folder whose
// config.ini predates it keeps the plain rules, with every filter's default.
TEST(ExtendedTuningSettings, ShippedOnAbsentOffEmptyTakesTheDefault) {
    SettingsList shipped;
    ASSERT_TRUE(shipped.load(test::dataDir() + "/config.ini"));
    const std::optional<ExtendedTuningSettings> on = ExtendedTuningSettings::read(shipped, nullptr);
    ASSERT_TRUE(on);
    EXPECT_TRUE(on->on);
    EXPECT_EQ(on->delay.text(), DelayCurve::standard().text());

    test::WorkDir work(false);
    work.write("config.ini", QByteArray("Ecu com=COM1\r\n"));
    SettingsList old;
    ASSERT_TRUE(old.load(work.path("config.ini")));
    const std::optional<ExtendedTuningSettings> off = ExtendedTuningSettings::read(old, nullptr);
    ASSERT_TRUE(off);
    EXPECT_FALSE(off->on);
    const ExtendedTuningSettings defaults;
    EXPECT_EQ(off->minCoolant, defaults.minCoolant);
    EXPECT_EQ(off->stepPct, 5);
    EXPECT_EQ(off->bandPct, 25);
    EXPECT_TRUE(off->widebandState);
    EXPECT_TRUE(off->ecuTrimOut);
}

TEST(ExtendedTuningSettings, AValueThatDoesNotParseIsNamedAndStopsTheStart) {
    struct Case {
        QString name, value;
        bool parses;
    } cases[] = {
        {setting::MaxCorrectionStep, "2,5", true},
        {setting::MaxCorrectionStep, "пять", false},
        {setting::MinCoolant, "", true},
        {setting::WidebandDelay, "800:400 5000:120", true},
        {setting::WidebandDelay, "800-400", false},
    };
    for (const Case &c : cases) {
        SettingsList settings;
        ProgramLog log;
        settings.setValue(c.name, c.value);
        const std::optional<ExtendedTuningSettings> s = ExtendedTuningSettings::read(settings, &log);
        EXPECT_EQ(s.has_value(), c.parses) << c.name.toStdString() << " = " << c.value.toStdString();
        if (!c.parses) {
            EXPECT_TRUE(log.lines().join('\n').contains(c.name)) << c.name.toStdString();
        }
    }
}
