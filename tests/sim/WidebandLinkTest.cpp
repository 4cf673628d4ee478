#include "SerialTester.h"

#include "sim/Simulator.h"

#include <QFileInfo>

#include <gtest/gtest.h>

#include <cmath>

using namespace korvel::sim;
using namespace korvel::sim::test;

namespace {

struct InnovateReading {
    int function;
    int l;
    double afr() const { return std::round((l / 1000.0 + 0.5) * 14.7 * 100) / 100; }
};

// Every whole packet (B2 82 and four bytes) in the stream, in order.
std::vector<InnovateReading> innovatePackets(const QByteArray &stream) {
    std::vector<InnovateReading> out;
    for (qsizetype i = 0; i + 6 <= stream.size(); ++i) {
        if (static_cast<std::uint8_t>(stream[i]) != 0xB2 || static_cast<std::uint8_t>(stream[i + 1]) != 0x82)
            continue;
        const int function = (static_cast<std::uint8_t>(stream[i + 2]) >> 2) & 0x07;
        const int l = ((stream[i + 4] & 0x7F) * 128) + (stream[i + 5] & 0x7F);
        out.push_back({function, l});
        i += 5;
    }
    return out;
}

auto packetsAtLeast(std::size_t n) {
    return [n](const QByteArray &b) { return innovatePackets(b).size() >= n; };
}

class WidebandLinkTest : public ::testing::Test {
protected:
    void startWith(WidebandType type, int warmupMs = 0) {
        SimulatorOptions o;
        o.wideband = type;
        o.widebandWarmupMs = warmupMs;
        o.afrError = 0.02;
        adjust(o);
        sim = std::make_unique<Simulator>(o);
        ASSERT_TRUE(sim->start());
        EngineState state;
        state.rpm = 2500;
        state.afrTarget = 13.5;
        sim->setEngineState(state);
    }
    virtual void adjust(SimulatorOptions &) {}

    std::unique_ptr<Simulator> sim;
    SerialTester tester;
};

} // namespace

TEST_F(WidebandLinkTest, InnovateStreamsTheMeasuredMixtureAt19200) {
    startWith(WidebandType::Innovate);
    ASSERT_TRUE(tester.open(sim->lambdaDevicePath(), 19200));
    const QByteArray stream = tester.readUntil(packetsAtLeast(4));
    const auto packets = innovatePackets(stream);
    ASSERT_GE(packets.size(), 4U);
    EXPECT_TRUE(stream.startsWith("\xB2\x82")) << "nothing queued while no program held the port";
    for (const InnovateReading &p : packets) {
        EXPECT_EQ(p.function, 0);
        EXPECT_NEAR(p.afr(), 13.5 * 1.02, 0.015);
    }
    // The engine's fuel cut reads as free air; the target follows the state.
    EngineState cut;
    cut.rpm = 2500;
    cut.setFlag(EngineFlag::FuelCut, true);
    sim->setEngineState(cut);
    const auto freeAir = innovatePackets(tester.readUntil([](const QByteArray &b) {
        const auto packets = innovatePackets(b);
        return !packets.empty() && std::abs(packets.back().afr() - 22.0) < 0.015;
    }));
    ASSERT_FALSE(freeAir.empty());
    EXPECT_NEAR(freeAir.back().afr(), 22.0, 0.015);
    sim->setWidebandError(true);
    const auto failing = innovatePackets(tester.readUntil([](const QByteArray &b) {
        const auto packets = innovatePackets(b);
        return !packets.empty() && packets.back().function == 0b110;
    }));
    ASSERT_FALSE(failing.empty());
    EXPECT_EQ(failing.back().function, 0b110);
}

TEST_F(WidebandLinkTest, InnovateWarmsUpAfterTheProgramConnects) {
    startWith(WidebandType::Innovate, 3000);
    ASSERT_TRUE(tester.open(sim->lambdaDevicePath(), 19200));
    const QByteArray stream = tester.readUntil([](const QByteArray &b) {
        const auto packets = innovatePackets(b);
        return !packets.empty() && packets.back().function == 0;
    });
    const auto packets = innovatePackets(stream);
    ASSERT_GE(packets.size(), 2U);
    EXPECT_EQ(packets.front().function, 0b100);
    int previous = -1;
    for (const InnovateReading &p : packets) {
        if (p.function != 0b100)
            break;
        EXPECT_GE(p.l, previous) << "the heater only warms";
        EXPECT_LE(p.l, 1000);
        previous = p.l;
    }
    EXPECT_EQ(packets.back().function, 0);
}

TEST_F(WidebandLinkTest, AProgramAtTheWrongRateReadsGarbage) {
    startWith(WidebandType::Innovate);
    ASSERT_TRUE(tester.open(sim->lambdaDevicePath(), 9600));
    const QByteArray stream = tester.readAtLeast(30);
    EXPECT_GE(stream.size(), 1);
    EXPECT_TRUE(innovatePackets(stream).empty());
}

TEST_F(WidebandLinkTest, AsciiTypesSendTheirMessages) {
    struct Case {
        WidebandType type;
        QByteArray message;
    };
    const Case cases[] = {
        {WidebandType::Aem, "13.8\r"},
        {WidebandType::Korvel, "13.77\r"},
        {WidebandType::Alc1, "\xAA"
                             "13.8"},
        {WidebandType::Apsx, QByteArray(1, char(138))},
    };
    for (const Case &c : cases) {
        startWith(c.type);
        ASSERT_TRUE(tester.open(sim->lambdaDevicePath(), 9600));
        const QByteArray stream = tester.readAtLeast(static_cast<int>(c.message.size()) * 3);
        EXPECT_TRUE(stream.startsWith(c.message + c.message + c.message)) << widebandTypeName(c.type).toStdString();
        tester.close();
        sim.reset();
    }
}

namespace {
class NoisyWidebandTest : public WidebandLinkTest {
    void adjust(SimulatorOptions &o) override {
        o.widebandCrLf = true;
        o.widebandStrayBytes = 0.5;
    }
};
} // namespace

TEST_F(NoisyWidebandTest, AddsStrayBytesAndCrLfLineEnds) {
    startWith(WidebandType::Aem);
    ASSERT_TRUE(tester.open(sim->lambdaDevicePath(), 9600));
    const QByteArray stream = tester.readUntil([](const QByteArray &b) { return b.count("13.8\r\n") >= 8; });
    EXPECT_GE(stream.count("13.8\r\n"), 8);
    EXPECT_GT(stream.size(), stream.count("13.8\r\n") * 6) << "stray bytes between the messages";
}

TEST_F(WidebandLinkTest, VanishClosesTheWidebandDevice) {
    startWith(WidebandType::Aem);
    const QString path = sim->lambdaDevicePath();
    ASSERT_TRUE(tester.open(path, 9600));
    ASSERT_FALSE(tester.readAtLeast(5).isEmpty());
    sim->vanishWideband();
    EXPECT_FALSE(QFileInfo::exists(path));
    tester.readFor(kQuietMs);
    EXPECT_TRUE(portFailed(tester.port())) << tester.port().error();
}
