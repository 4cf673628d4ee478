#include "SerialTester.h"

#include "sim/SimFrame.h"
#include "sim/Simulator.h"

#include <QElapsedTimer>
#include <QFileInfo>

#include <gtest/gtest.h>

using namespace korvel::sim;
using namespace korvel::sim::test;

namespace {

constexpr int kFastAnswerBytes = 4 + 53 + 1;
constexpr int kFastEchoBytes = 6;

class FaultTest : public ::testing::Test {
protected:
    void SetUp() override {
        SimulatorOptions o;
        o.latencyMs = 5;
        o.wideband = WidebandType::None;
        o.sessionTimeoutMs = 0;
        sim = std::make_unique<Simulator>(o);
        ASSERT_TRUE(sim->start());
        EngineState state;
        state.rpm = 2400;
        sim->setEngineState(state);
        ASSERT_TRUE(tester.open(sim->ecuDevicePath(), 10400));
        ASSERT_EQ(tester.exchange(hex("81"), 7).size(), 12);
        ASSERT_EQ(tester.exchange(hex("108139"), 7).size(), 14);
        ASSERT_TRUE(tester.setBaud(57600));
        cleanFastAnswer = tester.exchange(hex("210F"), kFastAnswerBytes).mid(kFastEchoBytes);
        ASSERT_EQ(cleanFastAnswer.size(), kFastAnswerBytes);
    }

    void inject(FaultKind kind, std::optional<RequestKind> on = RequestKind::FastFrame, int delayMs = 500) {
        FaultRule rule;
        rule.kind = kind;
        rule.on = on;
        rule.delayMs = delayMs;
        sim->injectFault(rule);
    }

    // After a faulty exchange the line must be clean again: the next answer is the normal one.
    void expectRecovered() {
        EXPECT_EQ(tester.exchange(hex("210F"), kFastAnswerBytes).mid(kFastEchoBytes), cleanFastAnswer);
    }

    std::unique_ptr<Simulator> sim;
    SerialTester tester;
    QByteArray cleanFastAnswer;
};

} // namespace

TEST_F(FaultTest, EachFaultSpoilsOneAnswerAsNamed) {
    QByteArray badSum = cleanFastAnswer;
    badSum[badSum.size() - 1] = static_cast<char>(static_cast<std::uint8_t>(badSum.back()) + 1);
    const QByteArray shorter = lengthByteAnswer(parseFrame(cleanFastAnswer)->data.chopped(1));
    struct Case {
        FaultKind kind;
        QByteArray answer;
    };
    const Case cases[] = {
        {FaultKind::NoAnswer, {}},
        {FaultKind::BadChecksum, badSum},
        {FaultKind::WrongLength, shorter},
        {FaultKind::NegativeResponse, lengthByteAnswer(hex("7F2122"))},
        {FaultKind::GarbageBeforeAnswer, hex("0055FF") + cleanFastAnswer},
    };
    for (const Case &c : cases) {
        inject(c.kind);
        const QByteArray got = tester.exchange(hex("210F"), static_cast<int>(c.answer.size()));
        EXPECT_EQ(got.mid(kFastEchoBytes).toHex().toUpper(), c.answer.toHex().toUpper())
            << faultKindName(c.kind).toStdString();
        expectRecovered();
    }
}

TEST_F(FaultTest, ALateAnswerComesAfterTheGivenTime) {
    inject(FaultKind::LateAnswer, RequestKind::FastFrame, 1500);
    const QByteArray frame = encodeRequestFrame(hex("210F"));
    QElapsedTimer timer;
    timer.start();
    tester.write(frame);
    ASSERT_EQ(tester.readAtLeast(kFastEchoBytes), frame);
    // Nothing within the program's usual read timeout ...
    EXPECT_EQ(tester.readFor(150), QByteArray());
    // ... the answer arrives whole, and not before its time.
    EXPECT_EQ(tester.readAtLeast(kFastAnswerBytes), cleanFastAnswer);
    EXPECT_GE(timer.elapsed(), 1500);
    expectRecovered();
}

TEST_F(FaultTest, FaultsHitOnlyTheirRequestKind) {
    inject(FaultKind::NoAnswer, RequestKind::ReadMemory);
    EXPECT_EQ(tester.exchange(hex("3E01"), 6).mid(6), lengthByteAnswer(hex("7E")));
    EXPECT_EQ(tester.exchange(hex("2300F30008"), 0).size(), 9);
    EXPECT_EQ(tester.exchange(hex("2300F30008"), 14).size(), 9 + 14);
}

TEST_F(FaultTest, IgnoredOrRefusedRequestsAreNotCarriedOut) {
    const QByteArray before = sim->readMemory(0x1234, 1);
    inject(FaultKind::NoAnswer, RequestKind::WriteMemory);
    tester.exchange(hex("3D0012340177"), 0);
    inject(FaultKind::NegativeResponse, RequestKind::WriteMemory);
    tester.exchange(hex("3D0012340177"), 8);
    EXPECT_EQ(sim->readMemory(0x1234, 1), before);
    // A spoilt answer still means the write happened.
    inject(FaultKind::BadChecksum, RequestKind::WriteMemory);
    tester.exchange(hex("3D0012340177"), 6);
    EXPECT_EQ(sim->readMemory(0x1234, 1), hex("77"));
}

// The write is carried out with one data byte inverted and answered as if
// nothing happened; the fault waits for a write even when named for any request.
TEST_F(FaultTest, ACorruptWriteStoresOneByteInvertedAndAnswersNormally) {
    FaultRule rule;
    rule.kind = FaultKind::CorruptWrite;
    rule.corruptByte = 1;
    sim->injectFault(rule);
    EXPECT_EQ(tester.exchange(hex("3E01"), 6).mid(6), lengthByteAnswer(hex("7E")));
    EXPECT_EQ(tester.exchange(hex("3D00123403112233"), 6).mid(12), lengthByteAnswer(hex("7D")));
    EXPECT_EQ(sim->readMemory(0x1234, 3), hex("11DD33"));
    tester.exchange(hex("3D00123403112233"), 6);
    EXPECT_EQ(sim->readMemory(0x1234, 3), hex("112233")) << "one write only";

    rule.corruptByte = 9; // past the end: the last byte
    sim->injectFault(rule);
    tester.exchange(hex("3D00123402AABB"), 6);
    EXPECT_EQ(sim->readMemory(0x1234, 2), hex("AA44"));
}

TEST_F(FaultTest, TheDeviceVanishesMidSession) {
    const QString path = sim->ecuDevicePath();
    inject(FaultKind::Vanish);
    const QByteArray got = tester.exchange(hex("210F"), 0);
    EXPECT_LE(got.size(), kFastEchoBytes) << "at most the echo, never an answer";
    EXPECT_FALSE(QFileInfo::exists(path));
    // The program's port fails from now on.
    tester.port().write(encodeRequestFrame(hex("3E01")));
    tester.port().waitForBytesWritten(kQuietMs);
    tester.port().waitForReadyRead(kQuietMs);
    EXPECT_TRUE(portFailed(tester.port())) << tester.port().error();
    sim->stop();
}

TEST_F(FaultTest, VanishFromTheApiClosesTheDevice) {
    const QString path = sim->ecuDevicePath();
    sim->vanish();
    EXPECT_FALSE(QFileInfo::exists(path));
    tester.port().waitForReadyRead(kQuietMs);
    EXPECT_TRUE(portFailed(tester.port())) << tester.port().error();
    QSerialPort again;
    again.setPortName(path);
    EXPECT_FALSE(again.open(QIODevice::ReadWrite));
}

TEST_F(FaultTest, RandomFaultsRepeatWithTheSeed) {
    // Each 21 0F is followed by an unfaulted 3E 01 as a fence: what comes
    // between the 21 0F's echo and the fence's echo is that request's outcome.
    const QByteArray fence = encodeRequestFrame(hex("3E01")) + lengthByteAnswer(hex("7E"));
    auto run = [&](std::uint32_t seed) {
        sim->clearFaults();
        RandomFaults random;
        random.seed = seed;
        random.probability = 0.5;
        random.kinds = {FaultKind::NoAnswer, FaultKind::BadChecksum, FaultKind::GarbageBeforeAnswer};
        random.on = RequestKind::FastFrame;
        sim->setRandomFaults(random);
        QList<QByteArray> outcomes;
        for (int i = 0; i < 16; ++i) {
            const QByteArray frame = encodeRequestFrame(hex("210F"));
            tester.write(frame);
            // The answer follows the echo after the ECU's few milliseconds: a
            // busy machine may read both at once.
            const QByteArray echo = tester.readAtLeast(static_cast<int>(frame.size()));
            EXPECT_TRUE(echo.startsWith(frame)) << echo.toHex().toStdString();
            tester.write(encodeRequestFrame(hex("3E01")));
            const QByteArray got =
                echo.mid(frame.size()) + tester.readUntil([&](const QByteArray &b) { return b.endsWith(fence); });
            outcomes << got.chopped(std::min(got.size(), fence.size()));
        }
        sim->clearFaults();
        return outcomes;
    };
    const QList<QByteArray> first = run(9);
    EXPECT_EQ(first, run(9));
    EXPECT_NE(first, run(10));
    EXPECT_GT(first.count(cleanFastAnswer), 0);
    EXPECT_LT(first.count(cleanFastAnswer), first.size());
}
