#include "SerialTester.h"

#include "sim/DiagnosticFrames.h"
#include "sim/SimFrame.h"
#include "sim/Simulator.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

using namespace korvel::sim;
using namespace korvel::sim::test;

namespace {

SimulatorOptions testOptions() {
    SimulatorOptions o;
    o.latencyMs = 5;
    o.wideband = WidebandType::None;
    o.sessionTimeoutMs = 0;
    return o;
}

class EcuLinkTest : public ::testing::Test {
protected:
    void startWith(const SimulatorOptions &options) {
        sim = std::make_unique<Simulator>(options);
        QString error;
        ASSERT_TRUE(sim->start(&error)) << error.toStdString();
        ASSERT_TRUE(tester.open(sim->ecuDevicePath(), 10400)) << tester.port().errorString().toStdString();
    }
    void SetUp() override { startWith(testOptions()); }

    // 81, then the switch to `baud` named by `rateByte`.
    void startSession(char rateByte = 0x39, int baud = 57600) {
        ASSERT_EQ(tester.exchange(hex("81"), 7), hex("8110F18103"
                                                     "83F110C16B8F3F"));
        const QByteArray request = QByteArray::fromHex("1081") + QByteArray(1, rateByte);
        ASSERT_EQ(tester.exchange(request, 7).mid(7), lengthByteAnswer(hex("5081")));
        ASSERT_TRUE(tester.setBaud(baud));
    }

    QByteArray answerTo(const char *request, int answerBytes) {
        const QByteArray frame = encodeRequestFrame(hex(request));
        const QByteArray got = tester.exchangeRaw(frame, answerBytes);
        EXPECT_EQ(got.left(frame.size()), frame) << "echo of " << request;
        return got.mid(frame.size());
    }

    std::unique_ptr<Simulator> sim;
    SerialTester tester;
};

} // namespace

TEST_F(EcuLinkTest, EchoesEveryByteBeforeAnswering) {
    EXPECT_EQ(tester.exchange(hex("81"), 7), hex("8110F18103"
                                                 "83F110C16B8F3F"));
    // A frame with a bad checksum is echoed by the line but gets no answer.
    EXPECT_EQ(tester.exchangeRaw(hex("8110F18104"), 0), hex("8110F18104"));
    // So is a frame the ECU cannot read at its rate.
    ASSERT_TRUE(tester.setBaud(38400));
    EXPECT_EQ(tester.exchange(hex("3E01"), 0), encodeRequestFrame(hex("3E01")));
}

TEST_F(EcuLinkTest, AnswersASessionByteForByte) {
    sim->writeMemory(0xF300, hex("0102030405060708"));
    EngineState state;
    state.rpm = 880;
    sim->setEngineState(state);
    const QByteArray fastFrame =
        encodeDiagnosticFrame(FrameLayout::Fast, state, PressureSensor::fromImage(sim->memory()));
    const QByteArray standardFrame = encodeDiagnosticFrame(FrameLayout::Standard, state, {});
    struct Step {
        const char *request;
        QByteArray answer;
        int baudAfter; // the tester's rate from the next step on
    };
    const Step steps[] = {
        {"81", hex("83F110C16B8F3F"), 10400},
        {"108139", lengthByteAnswer(hex("5081")), 57600},
        {"3E01", lengthByteAnswer(hex("7E")), 57600},
        {"300F0601", lengthByteAnswer(hex("700F0601")), 57600},
        {"2300F30008",
         hex("80F11009630102030405060708"
             "11"),
         57600},
        {"210F", lengthByteAnswer(hex("610F") + fastFrame), 57600},
        {"2101", lengthByteAnswer(hex("6101") + standardFrame), 57600},
        {"3D0012340299AA", lengthByteAnswer(hex("7D")), 57600},
        {"2300123402", lengthByteAnswer(hex("6399AA")), 57600},
        {"304A0714", lengthByteAnswer(hex("704A0714000000")), 57600},
        {"2300000061", lengthByteAnswer(hex("7F2331")), 57600},
        {"1A90", lengthByteAnswer(hex("7F1A11")), 57600},
        {"20", lengthByteAnswer(hex("60")), 10400},
        {"82", lengthByteAnswer(hex("C2")), 10400},
    };
    for (const Step &step : steps) {
        EXPECT_EQ(answerTo(step.request, static_cast<int>(step.answer.size())).toHex().toUpper(),
                  step.answer.toHex().toUpper())
            << step.request;
        ASSERT_TRUE(tester.setBaud(step.baudAfter));
    }
    EXPECT_EQ(sim->ecuBaud(), 10400);
}

TEST_F(EcuLinkTest, TalksAtTheNewRateOnlyAfterAnsweringTheSwitch) {
    // Switching too early: the ECU still listens at 10400 and understands nothing.
    ASSERT_EQ(answerTo("81", 7), hex("83F110C16B8F3F"));
    ASSERT_TRUE(tester.setBaud(57600));
    EXPECT_EQ(answerTo("108139", 0), QByteArray());
    EXPECT_EQ(sim->ecuBaud(), 10400);
    // At the right rate it answers, then switches.
    ASSERT_TRUE(tester.setBaud(10400));
    EXPECT_EQ(answerTo("108139", 7), lengthByteAnswer(hex("5081")));
    EXPECT_EQ(sim->ecuBaud(), 57600);
    // Forgetting the switch: nothing understood at 10400 ...
    EXPECT_EQ(answerTo("3E01", 0), QByteArray());
    // ... the answer comes at the new rate.
    ASSERT_TRUE(tester.setBaud(57600));
    EXPECT_EQ(answerTo("3E01", 6), lengthByteAnswer(hex("7E")));
    // Every rate byte, and back to 10400 after stopping the session.
    struct Rate {
        const char *request;
        int baud;
    };
    for (const Rate rate : {Rate{"108126", 38400}, Rate{"10810A", 10400}, Rate{"108139", 57600}}) {
        EXPECT_EQ(answerTo(rate.request, 7), lengthByteAnswer(hex("5081"))) << rate.request;
        EXPECT_EQ(sim->ecuBaud(), rate.baud);
        ASSERT_TRUE(tester.setBaud(rate.baud));
        EXPECT_EQ(answerTo("3E01", 6), lengthByteAnswer(hex("7E"))) << rate.baud;
    }
    EXPECT_EQ(answerTo("20", 6), lengthByteAnswer(hex("60")));
    EXPECT_EQ(sim->ecuBaud(), 10400);
}

TEST_F(EcuLinkTest, AnAnswerAtAnotherRateArrivesAsGarbage) {
    ASSERT_EQ(answerTo("81", 7), hex("83F110C16B8F3F"));
    FaultRule late; // time for the tester to switch too early, before the answer
    late.kind = FaultKind::LateAnswer;
    late.on = RequestKind::StartDiagnosticSession;
    late.delayMs = 2000;
    sim->injectFault(late);
    const QByteArray frame = encodeRequestFrame(hex("108139"));
    tester.write(frame);
    ASSERT_EQ(tester.readAtLeast(static_cast<int>(frame.size())), frame);
    ASSERT_TRUE(tester.setBaud(57600));
    const QByteArray garbage = tester.readAtLeast(1);
    const QByteArray more = garbage + tester.readFor(kQuietMs);
    EXPECT_FALSE(more.isEmpty());
    EXPECT_FALSE(more.contains(lengthByteAnswer(hex("5081"))));
}

TEST_F(EcuLinkTest, MemoryWrittenOverTheLineReadsBack) {
    startSession();
    QByteArray table;
    for (int i = 0; i < 256; ++i)
        table.append(static_cast<char>(255 - i));
    // A 256-byte table in four blocks of 64 from 7FC0: 7FC0, 8000, 8040, 8080.
    for (int block = 0; block < 4; ++block) {
        const int address = 0x7FC0 + block * 0x40;
        QByteArray request = hex("3D00");
        request.append(static_cast<char>(address >> 8));
        request.append(static_cast<char>(address & 0xFF));
        request.append('\x40');
        request.append(table.mid(block * 64, 64));
        EXPECT_EQ(tester.exchange(request, 6).mid(4 + 69 + 1), lengthByteAnswer(hex("7D"))) << block;
    }
    EXPECT_EQ(sim->readMemory(0x7FC0, 256), table);
    QByteArray readBack;
    for (const char *request : {"23007FC040", "2300800040", "2300804040", "2300808040"}) {
        const QByteArray answer = answerTo(request, 4 + 65 + 1);
        ASSERT_EQ(answer.size(), 70) << request;
        readBack += answer.mid(5, 64);
    }
    EXPECT_EQ(readBack, table);
}

TEST_F(EcuLinkTest, FramesShowTheEngineStateTheTestSets) {
    startSession();
    EngineState state;
    state.throttle = 50;
    state.rpm = 3000;
    state.coolantTemp = 90;
    sim->setEngineState(state);
    const QByteArray answer = answerTo("210F", 58);
    ASSERT_EQ(answer.size(), 58);
    const QByteArray frame = answer.mid(6, 51);
    EXPECT_EQ(static_cast<std::uint8_t>(frame[11]), 50);
    EXPECT_EQ(static_cast<std::uint8_t>(frame[12]), 75);
    EXPECT_EQ(static_cast<std::uint8_t>(frame[8]), 130);
    sim->resumeDrive();
    EXPECT_NE(sim->engineState().rpm, 3000);
}

TEST_F(EcuLinkTest, HeaderFormIsChosenPerAnswerKind) {
    sim->setAnswerForm(RequestKind::StartCommunication, HeaderForm::LengthByte);
    sim->setAnswerForm(RequestKind::TesterPresent, HeaderForm::Short);
    EXPECT_EQ(answerTo("81", 8), lengthByteAnswer(hex("C16B8F")));
    EXPECT_EQ(answerTo("3E01", 5), hex("81F1107E00"));
}

// However many pieces an answer is handed over in, the program gets every
// byte once and in order, and the rate switch still follows the last piece.
TEST_F(EcuLinkTest, ChunkedAnswersArriveWhole) {
    struct Case {
        int chunks;
        bool lineTiming;
    };
    const Case cases[] = {{2, false}, {4, true}, {7, false}, {60, true}, {200, false}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.chunks);
        tester.close();
        startWith(testOptions());
        sim->setLineTiming(c.lineTiming);
        sim->setAnswerChunks(c.chunks);
        sim->setAnswerForm(RequestKind::TesterPresent, HeaderForm::Short);
        startSession();
        EXPECT_EQ(answerTo("3E01", 5), hex("81F1107E00"));
        const QByteArray read = answerTo("2300100060", 102);
        EXPECT_EQ(read, lengthByteAnswer(hex("63") + sim->readMemory(0x1000, 0x60)));
        EXPECT_TRUE(tester.readFor(50).isEmpty()) << "nothing more";
    }
}

TEST_F(EcuLinkTest, RequestLogKeepsEveryUnderstoodRequestInOrder) {
    startSession();
    answerTo("3E01", 6);
    tester.exchangeRaw(hex("8210F13E01C3"), 0); // bad checksum: never received as a request
    answerTo("2701", 8);
    answerTo("2300F30008", 14);
    const QList<QByteArray> expected{hex("81"), hex("108139"), hex("3E01"), hex("2701"), hex("2300F30008")};
    EXPECT_EQ(sim->requestLog(), expected);
    sim->clearRequestLog();
    EXPECT_TRUE(sim->requestLog().isEmpty());
}

TEST_F(EcuLinkTest, ByteTimesAddUpWithLineTimingOn) {
    startSession(0x0A, 10400);
    QElapsedTimer timer;
    timer.start();
    const QByteArray answer = answerTo("2101", 43);
    ASSERT_EQ(answer.size(), 43);
    // 6 echoed and 43 answered bytes at 10 bits each take 47 ms; only a lower bound holds on a busy machine.
    EXPECT_GE(timer.elapsed(), 47);
}

TEST(EcuLinkStandard, AStandardEcuAnswersOnlyItsOwnFrame) {
    SimulatorOptions o = testOptions();
    o.protocol = Protocol::Standard;
    o.lineTiming = false;
    Simulator sim(o);
    ASSERT_TRUE(sim.start());
    SerialTester tester;
    ASSERT_TRUE(tester.open(sim.ecuDevicePath(), 10400));
    ASSERT_EQ(tester.exchange(hex("81"), 7).mid(5), hex("83F110C16B8F3F"));
    EXPECT_EQ(tester.exchange(hex("2101"), 43).size(), 6 + 43);
    EXPECT_EQ(tester.exchange(hex("210F"), 8).mid(6), lengthByteAnswer(hex("7F2131")));
    EXPECT_EQ(tester.exchange(hex("2300F30008"), 8).mid(9), lengthByteAnswer(hex("7F2311")));
}

TEST(EcuLinkSession, EndsAfterSilenceAndReturnsTo10400) {
    SimulatorOptions o = testOptions();
    o.sessionTimeoutMs = 300;
    Simulator sim(o);
    ASSERT_TRUE(sim.start());
    SerialTester tester;
    ASSERT_TRUE(tester.open(sim.ecuDevicePath(), 10400));
    ASSERT_EQ(tester.exchange(hex("81"), 7).size(), 12);
    ASSERT_EQ(tester.exchange(hex("108139"), 7).size(), 14);
    EXPECT_EQ(sim.ecuBaud(), 57600);
    QElapsedTimer timer;
    timer.start();
    while (sim.ecuBaud() != 10400 && timer.elapsed() < kPatienceMs)
        QThread::msleep(20);
    EXPECT_EQ(sim.ecuBaud(), 10400);
    // Communication has ended: only 81 is answered.
    EXPECT_EQ(tester.exchange(hex("3E01"), 0).size(), 6);
    EXPECT_EQ(tester.exchange(hex("81"), 7).mid(5), hex("83F110C16B8F3F"));
}

TEST(EcuLinkLifecycle, StopNeverWaitsForAPendingAnswer) {
    SimulatorOptions o = testOptions();
    FaultRule veryLate;
    veryLate.kind = FaultKind::LateAnswer;
    veryLate.delayMs = 600000;
    o.faults.push_back(veryLate);
    Simulator sim(o);
    ASSERT_TRUE(sim.start());
    SerialTester tester;
    ASSERT_TRUE(tester.open(sim.ecuDevicePath(), 10400));
    tester.write(encodeRequestFrame(hex("81")));
    ASSERT_EQ(tester.readAtLeast(5).size(), 5);
    sim.stop(); // would take ten minutes if it waited
    EXPECT_FALSE(sim.running());
    EXPECT_FALSE(QFileInfo::exists(sim.ecuDevicePath()));
}

TEST(EcuLinkLifecycle, LinksArePlacedAtStartAndRemovedAtStop) {
    QTemporaryDir dir;
    SimulatorOptions o = testOptions();
    o.wideband = WidebandType::Aem;
    o.ecuLinkPath = dir.filePath(QStringLiteral("ecu"));
    o.lambdaLinkPath = dir.filePath(QStringLiteral("lc1"));
    QFile::link(QStringLiteral("/nonexistent"), o.ecuLinkPath); // a stale link from an earlier run
    {
        Simulator sim(o);
        ASSERT_TRUE(sim.start());
        EXPECT_EQ(QFileInfo(o.ecuLinkPath).symLinkTarget(), sim.ecuDevicePath());
        EXPECT_EQ(QFileInfo(o.lambdaLinkPath).symLinkTarget(), sim.lambdaDevicePath());
        SerialTester tester;
        ASSERT_TRUE(tester.open(o.ecuLinkPath, 10400));
        EXPECT_EQ(tester.exchange(hex("81"), 7).mid(5), hex("83F110C16B8F3F"));
    }
    EXPECT_FALSE(QFileInfo(o.ecuLinkPath).isSymLink());
    EXPECT_FALSE(QFileInfo(o.lambdaLinkPath).isSymLink());

    // A file that is not a link is never replaced.
    QFile plain(o.ecuLinkPath);
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    Simulator refused(o);
    QString error;
    EXPECT_FALSE(refused.start(&error));
    EXPECT_TRUE(error.contains(o.ecuLinkPath));
    EXPECT_TRUE(QFileInfo(o.ecuLinkPath).isFile());
}

TEST(EcuLinkLifecycle, AFirmwareFileMustHoldExactly64K) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("fw.bin"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    QByteArray image(0x10000, '\x5A');
    file.write(image.left(0xFFFF));
    file.close();
    SimulatorOptions o = testOptions();
    o.firmwareFile = path;
    {
        Simulator tooShort(o);
        QString error;
        EXPECT_FALSE(tooShort.start(&error));
        EXPECT_TRUE(error.contains(QStringLiteral("65535"))) << error.toStdString();
    }
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(image);
    file.close();
    Simulator fromFile(o);
    ASSERT_TRUE(fromFile.start());
    EXPECT_EQ(fromFile.memory(), image);
}

TEST(EcuLinkLifecycle, TheFirmwareFactoryFillsMemoryWithoutAFile) {
    SimulatorOptions o = testOptions();
    o.firmwareFactory = [] { return QByteArray(0x10000, '\x33'); };
    Simulator sim(o);
    EXPECT_EQ(sim.memory(), QByteArray(0x10000, '\x33'));
    Simulator builtIn(testOptions());
    EXPECT_EQ(builtIn.memory(), builtInImage());
}
