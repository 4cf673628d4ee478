#include "sim/DriveModel.h"
#include "sim/EngineSource.h"

#include <gtest/gtest.h>

#include <set>
#include <thread>

using namespace korvel::sim;

namespace {

bool sameState(const EngineState &a, const EngineState &b) {
    return a.rpm == b.rpm && a.throttle == b.throttle && a.vehicleSpeed == b.vehicleSpeed &&
           a.coolantTemp == b.coolantTemp && a.manifoldPressure == b.manifoldPressure && a.flags == b.flags &&
           a.injPulse == b.injPulse && a.ignition == b.ignition;
}

} // namespace

TEST(DriveModel, RepeatsWithItsSeedAndDiffersWithAnother) {
    const DriveModel a(5);
    const DriveModel b(5);
    const DriveModel c(6);
    bool differs = false;
    for (double t = 0; t < 3000; t += 11.3) {
        EXPECT_TRUE(sameState(a.at(t), b.at(t))) << t;
        differs = differs || !sameState(a.at(t), c.at(t));
    }
    EXPECT_TRUE(differs);
}

TEST(DriveModel, StartsColdAtIdleAndWarmsUp) {
    const DriveModel drive(3);
    const EngineState start = drive.at(0);
    EXPECT_EQ(start.vehicleSpeed, 0);
    EXPECT_TRUE(start.flag(EngineFlag::Idle));
    EXPECT_LT(start.coolantTemp, 30);
    EXPECT_GT(start.desiredIdleRpm, 1100) << "a cold engine idles fast";
    double previous = start.coolantTemp;
    for (double t = 10; t < 1800; t += 10) {
        const double coolant = drive.at(t).coolantTemp;
        EXPECT_GE(coolant, previous);
        previous = coolant;
    }
    EXPECT_GT(previous, 85);
    EXPECT_LT(drive.at(1800).desiredIdleRpm, 900);
}

TEST(DriveModel, DrivesThroughEveryKindOfManoeuvre) {
    const DriveModel drive(11);
    std::set<int> cruiseSpeeds; // in 10 km/h bands
    bool fuelCut = false, enrichment = false, knock = false, closedLoop = false;
    double maxRpm = 0;
    for (double t = 0; t < 2400; t += 0.25) {
        const EngineState s = drive.at(t);
        if (drive.segmentAt(t).kind == DriveSegment::Kind::Cruise)
            cruiseSpeeds.insert(static_cast<int>(s.vehicleSpeed / 10));
        fuelCut = fuelCut || s.flag(EngineFlag::FuelCut);
        enrichment = enrichment || s.flag(EngineFlag::PowerEnrichment);
        knock = knock || s.flag(EngineFlag::Knock);
        closedLoop = closedLoop || s.flag(EngineFlag::OxygenControl);
        maxRpm = std::max(maxRpm, s.rpm);
        if (s.flag(EngineFlag::FuelCut)) {
            EXPECT_EQ(s.injPulse, 0) << t;
            EXPECT_EQ(s.throttle, 0) << t;
        }
        ASSERT_GE(s.manifoldPressure, 20) << t;
        ASSERT_LE(s.manifoldPressure, 100) << t;
    }
    EXPECT_GE(cruiseSpeeds.size(), 4U);
    EXPECT_TRUE(fuelCut);
    EXPECT_TRUE(enrichment);
    EXPECT_TRUE(knock);
    EXPECT_TRUE(closedLoop);
    EXPECT_GT(maxRpm, 3000);
}

TEST(EngineSource, AStateSetFromOutsideHoldsUntilTheDriveResumes) {
    EngineSource source(1, 0x00000005);
    EXPECT_TRUE(source.driving());
    EXPECT_EQ(source.now().troubleCodes, 0x00000005U);
    EngineState fixed;
    fixed.rpm = 4321;
    // Set from another thread while this one reads: the reader sees whole states only.
    std::thread writer([&] {
        for (int i = 0; i < 200; ++i) {
            fixed.throttle = i % 2 ? 10 : 20;
            source.set(fixed);
        }
    });
    for (int i = 0; i < 200; ++i) {
        const EngineState s = source.now();
        EXPECT_TRUE(s.rpm != 4321 || s.throttle == 10 || s.throttle == 20);
    }
    writer.join();
    EXPECT_FALSE(source.driving());
    EXPECT_EQ(source.now().rpm, 4321);
    source.resumeDrive();
    EXPECT_NE(source.now().rpm, 4321);
}
