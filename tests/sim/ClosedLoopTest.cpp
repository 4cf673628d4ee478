#include "firmware/DemoFirmware.h"
#include "sim/AirErrorMap.h"
#include "sim/EcuFuelling.h"
#include "sim/EcuMemory.h"
#include "sim/MixtureSensor.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace korvel::sim;

namespace {

constexpr int kCorrection = 0x7CF7;
constexpr int kTarget = 0x6953;

// A steady part-load cruise, away from every cell edge and from fuel cut.
EngineState cruise(double rpm = 2500, double throttle = 18) {
    EngineState s;
    s.rpm = rpm;
    s.throttle = throttle;
    s.manifoldPressure = 60;
    s.airMass = 40;
    s.cyclicAir = 260;
    s.afrTarget = 14.7;
    s.injPulse = 4;
    s.coolantTemp = 90;
    return s;
}

void fillTable(EcuMemory &memory, int address, std::uint8_t value) {
    memory.write(address, QByteArray(256, static_cast<char>(value)));
}

} // namespace

TEST(AirErrorMap, StaysWithinItsSizeHasWavesAndSharpSpotsAndRepeatsBySeed) {
    for (std::uint32_t seed : {1U, 2U, 3U, 7U}) {
        SCOPED_TRACE(seed);
        const AirErrorMap map(seed, 0.15), same(seed, 0.15), other(seed + 100, 0.15);
        double largest = 0, largestStep = 0;
        bool differs = false;
        for (int rpm = 600; rpm <= 7000; rpm += 50) {
            for (int load = 0; load <= 100; load += 2) {
                const double e = map.errorAt(rpm, load);
                largest = std::max(largest, std::abs(e));
                largestStep = std::max(largestStep, std::abs(map.errorAt(rpm + 50, load) - e));
                EXPECT_EQ(e, same.errorAt(rpm, load));
                differs = differs || std::abs(e - other.errorAt(rpm, load)) > 0.01;
            }
        }
        EXPECT_LE(largest, 0.15);
        EXPECT_GT(largest, 0.08);      // a visible error, not a flat one
        EXPECT_GT(largestStep, 0.015); // somewhere a sharp spot: 50 rpm moves it by more than 1.5 %
        EXPECT_TRUE(differs);
        // Several waves: along each axis the error changes sign a few times.
        int speedCrossings = 0, loadCrossings = 0;
        for (int rpm = 650; rpm <= 7000; rpm += 50)
            speedCrossings += (map.errorAt(rpm, 30) > 0) != (map.errorAt(rpm - 50, 30) > 0) ? 1 : 0;
        for (int load = 1; load <= 100; ++load)
            loadCrossings += (map.errorAt(3000, load) > 0) != (map.errorAt(3000, load - 1) > 0) ? 1 : 0;
        EXPECT_GE(speedCrossings, 3);
        EXPECT_GE(loadCrossings, 2);
    }
}

TEST(EcuFuelling, MixtureFollowsTheAirErrorAndTheCorrectionInRam) {
    EcuMemory memory(korvel::makeDemoFirmware());
    fillTable(memory, kCorrection, 128); // no correction
    fillTable(memory, kTarget, 128);     // 14.7 everywhere
    const EcuFuelling fuelling(memory, AirErrorMap(3, 0.15));
    const EngineState truth = cruise();
    const double error = fuelling.errorMap().errorAt(truth.rpm, truth.throttle);
    ASSERT_GT(std::abs(error), 0.01) << "pick a seed with an error at this point";

    const EngineState before = fuelling.fuel(truth);
    EXPECT_NEAR(before.afrTarget, 14.7, 1e-9);
    EXPECT_NEAR(before.mixture, 14.7 / (1 + error), 1e-6);
    EXPECT_NEAR(before.airMass, truth.airMass * (1 + error), 1e-9); // the frame shows the measured air

    // The correction that cancels the error, written into RAM, brings the mixture onto the target at once.
    fillTable(memory, kCorrection, static_cast<std::uint8_t>(std::lround(128 / (1 + error))));
    EXPECT_NEAR(fuelling.fuel(truth).mixture, 14.7, 14.7 * 0.005);

    // A richer target in RAM is what the ECU aims at and reports.
    fillTable(memory, kTarget, 128 - 16);
    EXPECT_NEAR(fuelling.fuel(truth).afrTarget, (112 + 128) * 14.7 / 256, 1e-9);
}

TEST(EcuFuelling, OnlyTheFourCellsAroundTheWorkingPointCount) {
    EcuMemory memory(korvel::makeDemoFirmware());
    fillTable(memory, kCorrection, 128);
    const EcuFuelling fuelling(memory, AirErrorMap(1, 0));
    const EngineState state = fuelling.fuel(cruise());
    const int cell = state.workPoint;
    const double base = state.mixture;

    memory.write(kCorrection + (cell + 16 * 4) % 256, QByteArray(1, char(160))); // far from the point
    EXPECT_DOUBLE_EQ(fuelling.fuel(cruise()).mixture, base);

    memory.write(kCorrection + cell, QByteArray(1, char(160))); // the working cell itself: richer
    EXPECT_LT(fuelling.fuel(cruise()).mixture, base);
}

TEST(EcuFuelling, NoFuelReadsAsFreeAir) {
    EcuMemory memory(korvel::makeDemoFirmware());
    const EcuFuelling fuelling(memory, AirErrorMap(1, 0.1));
    EngineState cut = cruise();
    cut.setFlag(EngineFlag::FuelCut, true);
    EXPECT_EQ(fuelling.fuel(cut).mixture, EcuFuelling::kFreeAir);
}

TEST(MixtureSensor, AStepArrivesLaterAtLowSpeedAndSettlesWithoutBias) {
    EXPECT_GT(MixtureSensor::transportDelay(800), MixtureSensor::transportDelay(5000));
    // Seconds until a lean-to-rich step reads below the middle, at two engine speeds.
    auto crossing = [](double rpm) {
        MixtureSensor sensor(1, 0);
        double t = 0;
        for (; t < 1; t += 0.01)
            sensor.sample(t, rpm, 16);
        for (double s = 0; s < 2; s += 0.01)
            if (sensor.sample(t + s, rpm, 13) < 14.5)
                return s;
        return 2.0;
    };
    EXPECT_GT(crossing(800), crossing(5000));
    EXPECT_GT(crossing(5000), MixtureSensor::transportDelay(5000)); // the lag adds to the delay

    MixtureSensor noisy(5, 0.003);
    double sum = 0;
    const int n = 2000;
    for (int i = 0; i < n; ++i)
        sum += noisy.sample(i * 0.08, 2500, 14.7);
    EXPECT_NEAR(sum / n, 14.7, 0.02);
}

TEST(EcuFuelling, WithoutTheAirFlowSensorTheCycleFillingTableIsTheAir) {
    EcuMemory memory(korvel::makeDemoPressureFirmware());
    const EcuFuelling fuelling(memory, AirErrorMap(3, 0));
    ASSERT_TRUE(fuelling.tables().byPressure);
    constexpr int kPressureCorrection = 0x8E2A, kFilling = 0x75EF;
    fillTable(memory, kPressureCorrection, 128);
    EngineState truth = cruise();
    truth.cyclicAir = 3.853 * truth.manifoldPressure; // what the demo engine breathes, as the table says
    EXPECT_NEAR(fuelling.fuel(truth).mixture, fuelling.fuel(truth).afrTarget, 0.03 * 14.7);
    EXPECT_NEAR(fuelling.fuel(truth).cyclicAir, truth.cyclicAir, 0.03 * truth.cyclicAir);
    // A richer filling table makes a richer mixture; the throttle table's correction does nothing here.
    const double before = fuelling.fuel(truth).mixture;
    fillTable(memory, kCorrection, 200);
    EXPECT_DOUBLE_EQ(fuelling.fuel(truth).mixture, before);
    fillTable(memory, kFilling, 160);
    EXPECT_NEAR(fuelling.fuel(truth).cyclicAir, 160 * 8.0 / 3, 1e-9);
    EXPECT_NEAR(fuelling.fuel(truth).mixture, truth.cyclicAir * fuelling.fuel(truth).afrTarget / (160 * 8.0 / 3), 1e-9);
}

TEST(EcuFuelling, TransientsEnrichmentsTrimAndPhaseChangeWhatTheWidebandSees) {
    EcuMemory memory(korvel::makeDemoFirmware());
    fillTable(memory, kCorrection, 128);
    fillTable(memory, kTarget, 128);
    fillTable(memory, 0x75EF, 60); // a cycle filling of 160 mg where the engine takes 260
    const EcuFuelling fuelling(memory, AirErrorMap(1, 0));
    const EngineState steady = cruise();
    EXPECT_NEAR(fuelling.fuel(steady).mixture, 14.7, 1e-9);

    EngineState tipIn = steady; // the pedal moving fast: the ECU takes the table's filling
    tipIn.throttleRate = 400;
    EXPECT_NEAR(fuelling.fuel(tipIn).mixture, 14.7 * 260 / 160, 1e-9);

    EngineState cold = steady; // 20 °C: 20 % more fuel, and the ECU aims there
    cold.coolantTemp = 20;
    EXPECT_NEAR(fuelling.fuel(cold).afrTarget, 14.7 / 1.2, 1e-9);
    EXPECT_NEAR(fuelling.fuel(cold).mixture, 14.7 / 1.2, 1e-9);
    EngineState power = steady;
    power.setFlag(EngineFlag::PowerEnrichment, true);
    EXPECT_NEAR(fuelling.fuel(power).afrTarget, 14.7 / 1.08, 1e-9);

    EngineState trimmed = steady; // the narrowband trim adds 2 % fuel, which the tables' error leaves out
    trimmed.injCorrection = 1.02;
    EXPECT_NEAR(fuelling.fuel(trimmed).mixture, 14.7 / 1.02, 1e-9);
    EXPECT_NEAR(fuelling.tableError(trimmed), 0, 1e-12);

    fillTable(memory, 0x64D3, 45); // the phase table is read: 45 x 6 degrees
    EXPECT_DOUBLE_EQ(fuelling.fuel(steady).injPhase, 270);
}

TEST(MixtureSensor, WarmsUpFallsSilentNowAndThenAndStaysWithinItsDelays) {
    EXPECT_NEAR(MixtureSensor::transportDelay(800, 0.34), 0.4, 1e-9);
    EXPECT_NEAR(MixtureSensor::transportDelay(6000, 0.9), 0.08, 1e-9);
    EXPECT_GT(MixtureSensor::transportDelay(2500, 0.3), MixtureSensor::transportDelay(2500, 0.9));

    const MixtureSensor sensor(4, MixtureSensor::Behaviour{0.003, 20, 0.3, 1.5});
    EXPECT_FALSE(sensor.sending(0));
    EXPECT_FALSE(sensor.sending(19.9));
    int silent = 0, dropouts = 0;
    bool was = true;
    for (double t = 20; t < 2020; t += 0.05) {
        const bool sends = sensor.sending(t);
        silent += sends ? 0 : 1;
        dropouts += was && !sends ? 1 : 0;
        was = sends;
    }
    // About 30 of 100 stretches drop out, 1.5 s each.
    EXPECT_GT(dropouts, 15);
    EXPECT_LT(dropouts, 45);
    EXPECT_NEAR(silent * 0.05 / dropouts, 1.5, 0.06);
}
