#include "SerialTester.h"

#include "firmware/DemoFirmware.h"
#include "sim/SimFrame.h"
#include "sim/Simulator.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace korvel::sim;
using namespace korvel::sim::test;

namespace {

constexpr int kCorrectionTable = 0x7CF7;

// The mixture of the last whole Innovate packet (B2 82 and four bytes) in the stream; 0 without one.
double lastInnovateAfr(const QByteArray &stream) {
    double afr = 0;
    for (qsizetype i = 0; i + 6 <= stream.size(); ++i) {
        if (static_cast<std::uint8_t>(stream[i]) != 0xB2 || static_cast<std::uint8_t>(stream[i + 1]) != 0x82)
            continue;
        const int l = ((stream[i + 4] & 0x7F) * 128) + (stream[i + 5] & 0x7F);
        afr = (l / 1000.0 + 0.5) * 14.7;
        i += 5;
    }
    return afr;
}

// Waits until the wideband reads within 1 % of `afr`; returns the last reading.
double settleNear(SerialTester &lambda, double afr) {
    double last = 0;
    lambda.readUntil([&](const QByteArray &b) {
        last = lastInnovateAfr(b.right(60));
        return last > 0 && std::abs(last - afr) < afr * 0.01;
    });
    return last;
}

} // namespace

// A correction table written into the ECU's RAM over the K-line changes the
// mixture the wideband controller reports, as tuning relies on.
TEST(ClosedLoopWire, ACorrectionWrittenIntoRamRichensTheReportedMixture) {
    SimulatorOptions o;
    o.latencyMs = 5;
    o.sessionTimeoutMs = 0;
    o.widebandWarmupMs = 0;
    o.firmwareFactory = korvel::makeDemoFirmware;
    o.closedLoop = true;
    o.airErrorSize = 0; // the correction alone moves the mixture
    Simulator sim(o);
    QString error;
    ASSERT_TRUE(sim.start(&error)) << error.toStdString();
    sim.writeMemory(kCorrectionTable, QByteArray(256, char(128))); // no correction yet
    EngineState cruise;
    cruise.rpm = 2500;
    cruise.throttle = 18;
    cruise.manifoldPressure = 60;
    sim.setEngineState(cruise);

    SerialTester lambda;
    ASSERT_TRUE(lambda.open(sim.lambdaDevicePath(), 19200));
    EXPECT_NEAR(settleNear(lambda, 14.7), 14.7, 0.15); // the demo firmware aims at 14.7 at part load

    SerialTester ecu;
    ASSERT_TRUE(ecu.open(sim.ecuDevicePath(), 10400));
    ASSERT_EQ(ecu.exchange(hex("81"), 7).mid(5), hex("83F110C16B8F3F"));
    ASSERT_EQ(ecu.exchange(hex("108139"), 7).mid(7), lengthByteAnswer(hex("5081")));
    ASSERT_TRUE(ecu.setBaud(57600));
    // 25 % more fuel everywhere: 160 / 128, in sixteen writes of sixteen bytes.
    for (int offset = 0; offset < 256; offset += 16) {
        const int address = kCorrectionTable + offset;
        const QByteArray request = hex("3D00") + QByteArray(1, char(address >> 8)) +
                                   QByteArray(1, char(address & 0xFF)) + QByteArray(1, char(16)) +
                                   QByteArray(16, char(160));
        const QByteArray frame = encodeRequestFrame(request);
        const QByteArray written = lengthByteAnswer(hex("7D"));
        ASSERT_EQ(ecu.exchangeRaw(frame, static_cast<int>(written.size())).mid(frame.size()), written);
    }
    EXPECT_NEAR(settleNear(lambda, 14.7 / 1.25), 14.7 / 1.25, 0.15);
}
