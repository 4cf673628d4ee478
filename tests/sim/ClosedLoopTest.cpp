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
    return s;
}

void fillTable(EcuMemory &memory, int address, std::uint8_t value) {
    memory.write(address, QByteArray(256, static_cast<char>(value)));
}

} // namespace

TEST(AirErrorMap, StaysWithinItsSizeIsSmoothAndRepeatsBySeed) {
    const AirErrorMap map(7, 0.15), same(7, 0.15), other(8, 0.15);
    double largest = 0, largestStep = 0;
    bool differs = false;
    for (int rpm = 600; rpm <= 7000; rpm += 100) {
        for (int thr = 0; thr <= 100; thr += 2) {
            const double e = map.errorAt(rpm, thr);
            largest = std::max(largest, std::abs(e));
            largestStep = std::max(largestStep, std::abs(map.errorAt(rpm + 100, thr) - e));
            EXPECT_EQ(e, same.errorAt(rpm, thr));
            differs = differs || std::abs(e - other.errorAt(rpm, thr)) > 0.01;
        }
    }
    EXPECT_LE(largest, 0.15);
    EXPECT_GT(largest, 0.05);     // a visible error, not a flat one
    EXPECT_LT(largestStep, 0.01); // 100 rpm never jumps more than 1 %
    EXPECT_TRUE(differs);
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
