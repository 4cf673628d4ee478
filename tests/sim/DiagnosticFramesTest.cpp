#include "sim/DiagnosticFrames.h"
#include "sim/DriveModel.h"
#include "sim/EcuMemory.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

using namespace korvel::sim;

namespace {

// Reading a frame the way the program's decoder does, written out here from
// the frame tables so that the encoder is checked against them, not itself.
int u8(const QByteArray &f, int i) {
    return static_cast<std::uint8_t>(f[i]);
}
int s8(const QByteArray &f, int i) {
    return static_cast<std::int8_t>(f[i]);
}
int u16(const QByteArray &f, int i) {
    return u8(f, i) | (u8(f, i + 1) << 8);
}
int halved(const QByteArray &f, int i) {
    return ((u8(f, i) * 128 + 128) >> 8) & 0xFF;
}
double afr(int x) {
    return std::round((x + 128) * 14.7 * 100 / 256) / 100;
}

struct Field {
    const char *name;
    std::function<double(const QByteArray &)> decode;
    std::function<double(const EngineState &)> truth;
    double step; // one raw step in physical units
};

const PressureSensor kSensor{22.222, 0.475};

std::vector<Field> fastFields() {
    return {
        {"coolant", [](auto &f) { return u8(f, 8) - 40.0; }, [](auto &s) { return s.coolantTemp; }, 1},
        {"afr", [](auto &f) { return afr(u8(f, 9)); }, [](auto &s) { return s.afrTarget; }, 14.7 / 256 + 0.01},
        {"throttle", [](auto &f) { return u8(f, 11) * 1.0; }, [](auto &s) { return s.throttle; }, 1},
        {"rpm", [](auto &f) { return u8(f, 12) * 40.0; }, [](auto &s) { return s.rpm; }, 40},
        {"idle rpm", [](auto &f) { return u8(f, 13) * 40.0; }, [](auto &s) { return s.idleRpm; }, 40},
        {"cycle time", [](auto &f) { return u16(f, 14) * 1.0; }, [](auto &s) { return s.cycleTime; }, 1},
        {"idle valve desired", [](auto &f) { return u8(f, 16) * 1.0; }, [](auto &s) { return s.idleValveDesired; }, 1},
        {"idle valve", [](auto &f) { return u8(f, 17) * 1.0; }, [](auto &s) { return s.idleValveCurrent; }, 1},
        {"inj correction", [](auto &f) { return (u8(f, 18) + 128) / 256.0; }, [](auto &s) { return s.injCorrection; },
         1 / 256.0},
        {"inj phase", [](auto &f) { return s8(f, 19) * 3.0; }, [](auto &s) { return s.injPhase; }, 3},
        {"ignition", [](auto &f) { return s8(f, 20) / 2.0; }, [](auto &s) { return s.ignition; }, 0.5},
        {"knock adc", [](auto &f) { return u8(f, 25) * 0.01953125; }, [](auto &s) { return s.knockVoltage; },
         0.01953125},
        {"pressure", [](auto &f) { return (u8(f, 26) * 5.0 / 256 + kSensor.offset) * kSensor.gain; },
         [](auto &s) { return s.manifoldPressure; }, 5.0 / 256 * kSensor.gain},
        {"battery", [](auto &f) { return u8(f, 27) * 0.093; }, [](auto &s) { return s.batteryVoltage; }, 0.093},
        {"tps adc", [](auto &f) { return u8(f, 29) * 0.01953125; }, [](auto &s) { return s.throttleVoltage; },
         0.01953125},
        {"o2 change", [](auto &f) { return halved(f, 32) * 0.01953125; }, [](auto &s) { return s.oxygenChange; },
         0.01953125},
        {"speed", [](auto &f) { return u8(f, 35) * 1.0; }, [](auto &s) { return s.vehicleSpeed; }, 1},
        {"desired idle", [](auto &f) { return u8(f, 36) * 10.0; }, [](auto &s) { return s.desiredIdleRpm; }, 10},
        {"air temp", [](auto &f) { return u8(f, 37) - 40.0; }, [](auto &s) { return s.airTemp; }, 1},
        {"o2", [](auto &f) { return halved(f, 38) * 0.01953125; }, [](auto &s) { return s.oxygenVoltage; }, 0.01953125},
        {"gtc rich", [](auto &f) { return u16(f, 39) / 256.0; }, [](auto &s) { return s.gtcRich; }, 1 / 256.0},
        {"inj pulse", [](auto &f) { return u16(f, 43) / 125.0; }, [](auto &s) { return s.injPulse; }, 1 / 125.0},
        {"air mass", [](auto &f) { return u16(f, 45) / 10.0; }, [](auto &s) { return s.airMass; }, 0.1},
        {"cyclic air", [](auto &f) { return u16(f, 47) / 6.0; }, [](auto &s) { return s.cyclicAir; }, 1 / 6.0},
        {"fuel per hour", [](auto &f) { return u16(f, 49) / 50.0; }, [](auto &s) { return s.fuelPerHour; }, 0.02},
    };
}

std::vector<Field> standardFields() {
    return {
        {"coolant", [](auto &f) { return u8(f, 8) - 40.0; }, [](auto &s) { return s.coolantTemp; }, 1},
        {"afr", [](auto &f) { return afr(u8(f, 9)); }, [](auto &s) { return s.afrTarget; }, 14.7 / 256 + 0.01},
        {"throttle", [](auto &f) { return u8(f, 10) * 1.0; }, [](auto &s) { return s.throttle; }, 1},
        {"rpm", [](auto &f) { return u8(f, 11) * 40.0; }, [](auto &s) { return s.rpm; }, 40},
        {"idle rpm", [](auto &f) { return u8(f, 12) * 10.0; }, [](auto &s) { return s.idleRpm; }, 10},
        {"inj correction", [](auto &f) { return (u8(f, 15) + 128) / 256.0; }, [](auto &s) { return s.injCorrection; },
         1 / 256.0},
        {"ignition", [](auto &f) { return s8(f, 16) / 2.0; }, [](auto &s) { return s.ignition; }, 0.5},
        {"speed", [](auto &f) { return u8(f, 17) * 1.0; }, [](auto &s) { return s.vehicleSpeed; }, 1},
        {"battery", [](auto &f) { return u8(f, 18) * 0.05 + 5.2; }, [](auto &s) { return s.batteryVoltage; }, 0.05},
        {"desired idle", [](auto &f) { return u8(f, 19) * 10.0; }, [](auto &s) { return s.desiredIdleRpm; }, 10},
        {"o2", [](auto &f) { return u8(f, 20) * 0.0048828125; }, [](auto &s) { return s.oxygenVoltage; }, 0.0048828125},
        {"inj pulse", [](auto &f) { return u16(f, 22) / 125.0; }, [](auto &s) { return s.injPulse; }, 1 / 125.0},
        {"air mass", [](auto &f) { return u16(f, 24) / 10.0; }, [](auto &s) { return s.airMass; }, 0.1},
        {"cyclic air", [](auto &f) { return u16(f, 26) / 6.0; }, [](auto &s) { return s.cyclicAir; }, 1 / 6.0},
        {"fuel per hour", [](auto &f) { return u16(f, 28) / 50.0; }, [](auto &s) { return s.fuelPerHour; }, 0.02},
        {"fuel per distance", [](auto &f) { return u16(f, 30) / 128.0; }, [](auto &s) { return s.fuelPerDistance; },
         1 / 128.0},
    };
}

void expectRoundTrip(FrameLayout layout, const std::vector<Field> &fields) {
    const DriveModel drive(7);
    for (double t = 0; t < 1500; t += 3.7) {
        const EngineState state = drive.at(t);
        const QByteArray frame = encodeDiagnosticFrame(layout, state, kSensor);
        ASSERT_EQ(frame.size(), frameLength(layout));
        for (const Field &f : fields)
            EXPECT_NEAR(f.decode(frame), f.truth(state), f.step / 2 + 1e-9) << f.name << " at " << t << " s";
    }
}

} // namespace

TEST(DiagnosticFrames, DecodeBackToTheDrivenStateWithinHalfAStep) {
    expectRoundTrip(FrameLayout::Fast, fastFields());
    expectRoundTrip(FrameLayout::Standard, standardFields());
}

TEST(DiagnosticFrames, PlaceTheKnownExampleValues) {
    EngineState s;
    s.throttle = 50;
    s.rpm = 3000;
    s.coolantTemp = 90;
    s.ignition = -5;
    struct Case {
        double afr;
        int byte;
    };
    for (const Case c : {Case{7.35, 0}, Case{14.7, 128}, Case{21.99, 255}}) {
        s.afrTarget = c.afr;
        const QByteArray f = encodeDiagnosticFrame(FrameLayout::Fast, s, kSensor);
        EXPECT_EQ(u8(f, 9), c.byte) << c.afr;
        EXPECT_EQ(u8(f, 11), 50);
        EXPECT_EQ(u8(f, 12), 75);
        EXPECT_EQ(u8(f, 8), 130);
        EXPECT_EQ(u8(f, 20), 0xF6);
    }
}

TEST(DiagnosticFrames, LimitValuesToWhatTheBytesCarry) {
    EngineState s;
    s.rpm = 20000;
    s.coolantTemp = -60;
    s.ignition = -100;
    s.injPulse = 1000;
    const QByteArray f = encodeDiagnosticFrame(FrameLayout::Fast, s, kSensor);
    EXPECT_EQ(u8(f, 12), 255);
    EXPECT_EQ(u8(f, 8), 0);
    EXPECT_EQ(s8(f, 20), -128);
    EXPECT_EQ(u16(f, 43), 65535);
}

TEST(DiagnosticFrames, PutEachFlagOnItsBit) {
    struct Place {
        int byte;
        int bit;
    };
    // flag n at index n - 1: fast byte.bit, standard byte.bit
    const std::array<std::pair<Place, Place>, 17> places{{
        {{0, 0}, {2, 0}},
        {{0, 1}, {2, 1}},
        {{0, 2}, {2, 2}},
        {{0, 3}, {2, 3}},
        {{0, 4}, {2, 4}},
        {{0, 5}, {2, 5}},
        {{0, 6}, {2, 6}},
        {{0, 7}, {2, 7}},
        {{1, 1}, {3, 1}},
        {{1, 2}, {3, 2}},
        {{1, 3}, {3, 3}},
        {{1, 4}, {3, 4}},
        {{1, 5}, {3, 5}},
        {{1, 6}, {3, 6}},
        {{1, 7}, {3, 7}},
        {{33, 0}, {21, 0}},
        {{33, 1}, {21, 1}},
    }};
    for (int flag = 1; flag <= 17; ++flag) {
        EngineState s;
        s.setFlag(static_cast<EngineFlag>(flag), true);
        for (const auto &[layout, place] : {std::pair{FrameLayout::Fast, places[flag - 1].first},
                                            std::pair{FrameLayout::Standard, places[flag - 1].second}}) {
            const QByteArray f = encodeDiagnosticFrame(layout, s, kSensor);
            QByteArray expected(f.size(), '\0');
            expected[place.byte] = static_cast<char>(1 << place.bit);
            // Only the flag bytes are compared: the other bytes carry the zero state's values.
            for (int byte : layout == FrameLayout::Fast ? std::vector{0, 1, 33} : std::vector{2, 3, 21})
                EXPECT_EQ(u8(f, byte), u8(expected, byte)) << "flag " << flag << " byte " << byte;
        }
    }
}

TEST(DiagnosticFrames, CarryTroubleCodeBytes) {
    EngineState s;
    s.troubleCodes = 0x04030201;
    const QByteArray fast = encodeDiagnosticFrame(FrameLayout::Fast, s, kSensor);
    EXPECT_EQ(fast.mid(3, 4), QByteArray::fromHex("01020304"));
    // Byte 3 of the standard frame holds flags: code bytes 2 to 4 follow it.
    const QByteArray standard = encodeDiagnosticFrame(FrameLayout::Standard, s, kSensor);
    EXPECT_EQ(standard.mid(3, 4), QByteArray::fromHex("00020304"));
}

TEST(PressureSensor, ComesFromTheImageWhenItHoldsUsableConstants) {
    const PressureSensor fromBuiltIn = PressureSensor::fromImage(builtInImage());
    EXPECT_NEAR(fromBuiltIn.gain, 22.222, 1e-9);
    EXPECT_NEAR(fromBuiltIn.offset, 24 * 5.0 / 256, 1e-9);
    const PressureSensor fromBlank = PressureSensor::fromImage(QByteArray(kMemorySize, '\0'));
    EXPECT_DOUBLE_EQ(fromBlank.gain, PressureSensor::typical().gain);
}
