#include "sim/EcuModel.h"
#include "Hex.h"
#include "sim/Faults.h"

#include <gtest/gtest.h>

using namespace korvel::sim;

namespace {

using korvel::test::hex;

class EcuModelTest : public ::testing::Test {
protected:
    EcuModelTest() : model(memory, engine, Protocol::Fast, PressureSensor::typical()) {
        EngineState state;
        state.rpm = 2000;
        state.ignition = 15;
        state.desiredIdleRpm = 850;
        state.coolantTemp = 88;
        engine.set(state);
    }

    EcuReply ask(const char *request) { return model.handle(hex(request)); }

    EcuMemory memory;
    EngineSource engine;
    EcuModel model;
};

} // namespace

TEST_F(EcuModelTest, AnswersTheServicesOfASession) {
    struct Case {
        const char *request;
        const char *answer; // nullptr: silent
        int baudAfter = 0;  // 0: unchanged
    };
    const Case cases[] = {
        {"3E01", nullptr}, // nothing before communication starts
        {"81", "C16B8F"},
        {"10810A", "5081", 10400},
        {"108126", "5081", 38400},
        {"108139", "5081", 57600},
        {"108155", "7F1012"}, // no such rate
        {"1085", "7F1012"},
        {"3E01", "7E"},
        {"3E", "7E"},
        {"3E02", nullptr}, // tester present, no answer wanted
        {"3E05", "7F3E12"},
        {"300F0601", "700F0601"},
        {"2105", "7F2131"},
        {"21", "7F2112"},
        {"2300000061", "7F2331"}, // longer than 0x60
        {"2300FFF811", "7F2331"}, // past the end of memory
        {"2300000000", "7F2312"},
        {"2301000010", "7F2331"},
        {"3D00123402AABB", "7D"},
        {"3D00123403AABB", "7F3D12"}, // length byte and data disagree
        {"2701", "7F2711"},           // unknown service
        {"304A0714", "704A0714000000"},
        {"30990100", "7F3031"}, // unknown actuator
        {"304A07", "7F3012"},   // impose without a value
        {"20", "60", 10400},
        {"82", "C2", 10400},
        {"3E01", nullptr}, // communication has ended
    };
    for (const Case &c : cases) {
        const EcuReply reply = ask(c.request);
        EXPECT_EQ(reply.answered, c.answer != nullptr) << c.request;
        if (c.answer) {
            EXPECT_EQ(reply.data.toHex().toUpper(), QByteArray(c.answer)) << c.request;
        }
        EXPECT_EQ(reply.baudAfter.value_or(0), c.baudAfter) << c.request;
    }
}

TEST_F(EcuModelTest, DiagnosticRequestsGetTheirFrames) {
    ask("81");
    const EcuReply fast = ask("210F");
    ASSERT_EQ(fast.data.size(), 53);
    EXPECT_EQ(fast.data.left(2), hex("610F"));
    EXPECT_EQ(fast.data.mid(2), encodeDiagnosticFrame(FrameLayout::Fast, engine.now(), PressureSensor::typical()));
    const EcuReply standard = ask("2101");
    ASSERT_EQ(standard.data.size(), 38);
    EXPECT_EQ(standard.data.left(2), hex("6101"));
}

TEST_F(EcuModelTest, ReadsWhatWasWrittenAndRefusesRangesPastTheEnd) {
    ask("81");
    const QByteArray block = QByteArray::fromHex("00112233445566778899AABBCCDDEEFF").repeated(4);
    EXPECT_EQ(model.handle(hex("3D007FE040") + block).data, hex("7D"));
    EXPECT_EQ(memory.read(0x7FE0, 64), block);
    EXPECT_EQ(ask("23007FE040").data, hex("63") + block);
    const QByteArray last = ask("2300FFC040").data;
    EXPECT_EQ(last, hex("63") + memory.read(0xFFC0, 64));
    EXPECT_EQ(model.handle(hex("3D00FFF010") + QByteArray(16, '\x01')).data, hex("7D"));
    EXPECT_EQ(model.handle(hex("3D00FFF111") + QByteArray(17, '\x01')).data, hex("7F3D31"));
    EXPECT_EQ(memory.read(0xFFF0, 16), QByteArray(16, '\x01'));
}

TEST_F(EcuModelTest, ImposedActuatorsShowInStateAndFrameUntilReleased) {
    ask("81");
    const auto ignitionByte = [&] { return static_cast<std::uint8_t>(ask("210F").data[2 + 20]); };
    EXPECT_EQ(ignitionByte(), 30); // 15 degrees
    EXPECT_EQ(ask("304A0714").data, hex("704A0714000000"));
    EXPECT_EQ(ask("304A01").data, hex("704A0114000000"));
    EXPECT_EQ(ignitionByte(), 0x14);
    EXPECT_EQ(ask("304A00").data, hex("704A001E000000")); // the ECU's own 15 degrees again
    EXPECT_EQ(ignitionByte(), 30);
    // The idle speed target sits in byte 3 of its state.
    EXPECT_EQ(ask("304201").data, hex("70420100000055"));
    EXPECT_EQ(ask("30420790").data, hex("70420700000090"));
    model.endCommunication();
    ask("81");
    EXPECT_EQ(ask("304201").data, hex("70420100000055"));
}

TEST(EcuModelStandard, RefusesTheFastProtocolsServices) {
    EcuMemory memory;
    EngineSource engine;
    EcuModel model(memory, engine, Protocol::Standard, PressureSensor::typical());
    model.handle(hex("81"));
    EXPECT_EQ(model.handle(hex("210F")).data, hex("7F2131"));
    EXPECT_EQ(model.handle(hex("2300F30008")).data, hex("7F2311"));
    EXPECT_EQ(model.handle(hex("3D0012340100")).data, hex("7F3D11"));
    EXPECT_EQ(model.handle(hex("300F0601")).data, hex("7F3011"));
    EXPECT_EQ(model.handle(hex("2101")).data.size(), 38);
}

TEST(Faults, SpoilTheAnswerOnTheLine) {
    const QByteArray request = hex("210F");
    const EcuReply reply{true, hex("610F") + QByteArray(51, '\x10'), std::nullopt};
    const QByteArray clean = encodeAnswerFrame(reply.data, HeaderForm::LengthByte);
    auto rule = [](FaultKind kind) {
        FaultRule r;
        r.kind = kind;
        return r;
    };
    EXPECT_EQ(answerOnLine(request, reply, HeaderForm::LengthByte, std::nullopt), clean);
    EXPECT_EQ(answerOnLine(request, reply, HeaderForm::LengthByte, rule(FaultKind::NoAnswer)), QByteArray());
    EXPECT_EQ(answerOnLine(request, reply, HeaderForm::LengthByte, rule(FaultKind::Vanish)), QByteArray());
    EXPECT_EQ(answerOnLine(request, reply, HeaderForm::LengthByte, rule(FaultKind::LateAnswer)), clean);

    QByteArray badSum = clean;
    badSum[badSum.size() - 1] = static_cast<char>(static_cast<std::uint8_t>(clean.back()) + 1);
    EXPECT_EQ(answerOnLine(request, reply, HeaderForm::LengthByte, rule(FaultKind::BadChecksum)), badSum);

    const QByteArray shortened = answerOnLine(request, reply, HeaderForm::LengthByte, rule(FaultKind::WrongLength));
    const auto parsed = parseFrame(shortened);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->data.size(), 52);
    const EcuReply oneByte{true, hex("7E"), std::nullopt};
    EXPECT_EQ(
        parseFrame(answerOnLine(hex("3E01"), oneByte, HeaderForm::LengthByte, rule(FaultKind::WrongLength)))->data,
        hex("7E00"));

    EXPECT_EQ(answerOnLine(request, reply, HeaderForm::LengthByte, rule(FaultKind::NegativeResponse)),
              encodeAnswerFrame(hex("7F2122"), HeaderForm::LengthByte));
    EXPECT_EQ(answerOnLine(request, reply, HeaderForm::LengthByte, rule(FaultKind::GarbageBeforeAnswer)),
              hex("0055FF") + clean);
    // A request the ECU would not answer gets a negative response only by fault.
    EXPECT_EQ(answerOnLine(request, EcuReply{}, HeaderForm::LengthByte, rule(FaultKind::BadChecksum)), QByteArray());
}

TEST(Faults, HitTheirRequestKindsAsOftenAsAsked) {
    FaultBoard board;
    FaultRule twice;
    twice.kind = FaultKind::BadChecksum;
    twice.on = RequestKind::ReadMemory;
    twice.count = 2;
    FaultRule always;
    always.kind = FaultKind::NoAnswer;
    always.on = RequestKind::FastFrame;
    always.count = 0;
    board.inject(twice);
    board.inject(always);
    EXPECT_FALSE(board.take(RequestKind::TesterPresent));
    EXPECT_EQ(board.take(RequestKind::ReadMemory)->kind, FaultKind::BadChecksum);
    EXPECT_EQ(board.take(RequestKind::ReadMemory)->kind, FaultKind::BadChecksum);
    EXPECT_FALSE(board.take(RequestKind::ReadMemory));
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(board.take(RequestKind::FastFrame)->kind, FaultKind::NoAnswer);
    board.clear();
    EXPECT_FALSE(board.take(RequestKind::FastFrame));

    FaultRule any;
    any.kind = FaultKind::GarbageBeforeAnswer;
    board.inject(any);
    EXPECT_TRUE(board.take(RequestKind::Other));
    EXPECT_FALSE(board.take(RequestKind::Other));
}

TEST(Faults, RandomFaultsRepeatWithTheirSeed) {
    auto run = [](std::uint32_t seed) {
        FaultBoard board;
        RandomFaults random;
        random.seed = seed;
        random.probability = 0.3;
        board.setRandom(random);
        QString outcome;
        for (int i = 0; i < 200; ++i) {
            const auto fault = board.take(RequestKind::FastFrame);
            outcome += fault ? faultKindName(fault->kind).left(1) : QStringLiteral(".");
        }
        return outcome;
    };
    const QString first = run(42);
    EXPECT_EQ(first, run(42));
    EXPECT_NE(first, run(43));
    const auto hits = 200 - first.count(QLatin1Char('.'));
    EXPECT_GT(hits, 30);
    EXPECT_LT(hits, 90);
    EXPECT_FALSE(first.contains(QLatin1Char('v'))) << "random faults never make the device vanish";
}

TEST(RequestKinds, AreToldApartByTheirLeadingBytes) {
    struct Case {
        const char *request;
        RequestKind kind;
    };
    const Case cases[] = {
        {"81", RequestKind::StartCommunication},
        {"82", RequestKind::StopCommunication},
        {"108139", RequestKind::StartDiagnosticSession},
        {"20", RequestKind::StopDiagnosticSession},
        {"3E01", RequestKind::TesterPresent},
        {"300F0601", RequestKind::SwitchToRam},
        {"304A07", RequestKind::ActuatorControl},
        {"210F", RequestKind::FastFrame},
        {"2101", RequestKind::StandardFrame},
        {"2300F30008", RequestKind::ReadMemory},
        {"3D00FD0001", RequestKind::WriteMemory},
        {"2105", RequestKind::Other},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(classifyRequest(hex(c.request)), c.kind) << c.request;
        EXPECT_EQ(requestKindFromName(requestKindName(c.kind)), c.kind);
    }
}
