#include "ecu/ResponseCheck.h"
#include "Hex.h"
#include "ecu/KwpSession.h"

#include "QtPrinters.h"

#include <gtest/gtest.h>

using namespace korvel;

namespace {

using korvel::test::hex;

QByteArray answer(const char *head, int length, char fill = '\x11') {
    QByteArray bytes = hex(head);
    bytes.append(QByteArray(length - bytes.size(), fill));
    return bytes;
}

struct Case {
    const char *name;
    QByteArray request;
    QByteArray response;
    bool success;
    QString errorText; // empty: nothing to report
};

} // namespace

TEST(ResponseCheck, DecidesSessionServicesByTheirExpectedAnswers) {
    const Case cases[] = {
        {"startCommunication", hex("81"), hex("C16B8F"), true, {}},
        {"startCommunication refused", hex("81"), hex("7F8110"), false, "Запрос - 81; Ответ - 7F8110; (C16B8F)"},
        {"stopCommunication", hex("82"), hex("C2"), true, {}},
        {"stopCommunication, empty answer", hex("82"), {}, false, "Запрос - 82; Ответ - null; (C2)"},
        {"diagnostic session", hex("10810A"), hex("5081"), true, {}},
        {"diagnostic session refused goes on", hex("10810A"), hex("7F1012"), true,
         "Запрос - 10810A; Ответ - 7F1012; (5081)"},
        {"stopDiagnosticSession", hex("20"), hex("60"), true, {}},
        {"stopDiagnosticSession refused", hex("20"), hex("7F20"), false, "Запрос - 20; Ответ - 7F20; (60)"},
        {"testerPresent", hex("3E01"), hex("7E"), true, {}},
        {"testerPresent wrong", hex("3E01"), hex("7E00"), false, "Запрос - 3E01; Ответ - 7E00; (7E)"},
        {"switch to RAM", hex("300F0601"), hex("700F0601"), true, {}},
        {"switch to RAM refused", hex("300F0601"), hex("7F30"), false, "Запрос - 300F0601; Ответ - 7F30; (700F0601)"},
        {"write is never accepted", hex("3D00FD00400102"), hex("7D"), false, {}},
        {"unknown service", hex("1A90"), hex("5A90"), false, {}},
    };
    for (const Case &c : cases) {
        const ResponseVerdict verdict = ResponseCheck(c.request, c.response, false);
        SCOPED_TRACE(c.name);
        EXPECT_EQ(verdict.success, c.success);
        EXPECT_EQ(verdict.error.has_value(), !c.errorText.isEmpty());
        if (verdict.error) {
            EXPECT_EQ(verdict.error->code, LinkErrorCode::WrongAnswer);
            EXPECT_EQ(verdict.error->text, c.errorText);
        }
    }
}

TEST(ResponseCheck, TakesDiagnosticFramesOnlyAtTheirExactLength) {
    const QByteArray fast = answer("610F", kFastAnswerLength);
    ResponseVerdict verdict = ResponseCheck(hex("210F"), fast, false);
    ASSERT_TRUE(verdict.success);
    EXPECT_EQ(verdict.use, AnswerUse::DiagnosticFrame);
    EXPECT_EQ(verdict.payload, fast.mid(2));
    EXPECT_EQ(verdict.payload.size(), kFastFrameLength);

    const QByteArray standard = answer("6101", kStandardAnswerLength);
    verdict = ResponseCheck(hex("2101"), standard, false);
    ASSERT_TRUE(verdict.success);
    EXPECT_EQ(verdict.payload.size(), kStandardFrameLength);

    for (const QByteArray &wrong : {answer("610F", 52), answer("610F", 54), QByteArray()}) {
        verdict = ResponseCheck(hex("210F"), wrong, false);
        EXPECT_FALSE(verdict.success) << wrong.size();
        EXPECT_FALSE(verdict.error) << "a wrong diagnostic answer is not reported";
    }
    EXPECT_FALSE(ResponseCheck(hex("2101"), fast, false).success);
}

TEST(ResponseCheck, TakesTheActuatorStateFromByteThreeOfAnyAnswer) {
    const ResponseVerdict verdict = ResponseCheck(hex("304A01"), hex("704A011402"), false);
    EXPECT_TRUE(verdict.success);
    EXPECT_EQ(verdict.use, AnswerUse::ActuatorState);
    EXPECT_EQ(verdict.payload, hex("1402"));
    EXPECT_TRUE(ResponseCheck(hex("304A00"), hex("7F30"), false).payload.isEmpty());
}

TEST(ResponseCheck, ChecksMemoryReadAnswersByAddressAndLength) {
    struct ReadCase {
        const char *name;
        QByteArray request;
        bool accessReady;
        bool success;
        ReadTarget target;
        int index;
    };
    const ReadCase cases[] = {
        {"access probe before access", hex("2300F30008"), false, true, ReadTarget::Unused, 0},
        {"complectation 1-2", hex("2300605102"), false, true, ReadTarget::Complectation, 0},
        {"complectation 3", hex("230060DE01"), false, true, ReadTarget::Complectation, 2},
        {"complectation 4-11", hex("23005F0008"), false, true, ReadTarget::Complectation, 3},
        {"axis 1", hex("2300613C40"), false, true, ReadTarget::Axis, 0},
        {"axis 4", hex("230061FC40"), false, true, ReadTarget::Axis, 192},
        {"axis 5", hex("2300720840"), false, true, ReadTarget::Axis, 256},
        {"axis 8", hex("230072C840"), false, true, ReadTarget::Axis, 448},
        {"complectation address, other length", hex("2300605103"), false, false, ReadTarget::Unused, 0},
        {"identification without access", hex("2300000030"), false, false, ReadTarget::Unused, 0},
        {"identification with access", hex("2300000030"), true, true, ReadTarget::Result, 0},
        {"firmware block", hex("2300006060"), true, true, ReadTarget::Result, 0},
        {"firmware block without access", hex("2300006060"), false, false, ReadTarget::Unused, 0},
        {"too long", hex("2300000061"), true, false, ReadTarget::Unused, 0},
    };
    for (const ReadCase &c : cases) {
        const int length = static_cast<quint8>(c.request.back());
        const QByteArray response = answer("63", length + 1, '\x5A');
        const ResponseVerdict verdict = ResponseCheck(c.request, response, c.accessReady);
        SCOPED_TRACE(c.name);
        EXPECT_EQ(verdict.success, c.success);
        EXPECT_FALSE(verdict.error) << "a valid answer is never reported";
        if (c.success) {
            EXPECT_EQ(verdict.payload, response.mid(1));
            EXPECT_EQ(verdict.readTarget, c.target);
            EXPECT_EQ(verdict.readIndex, c.index);
        }
    }
    EXPECT_TRUE(ResponseCheck(hex("2300605102"), hex("630102"), false).someSettings);
}

TEST(ResponseCheck, ReportsReadAnswersOfTheWrongLengthAsRamErrors) {
    const QByteArray request = hex("2300000030");
    const QByteArray short47 = answer("63", 48);
    ResponseVerdict verdict = ResponseCheck(request, short47, true);
    EXPECT_FALSE(verdict.success);
    ASSERT_TRUE(verdict.error);
    EXPECT_EQ(verdict.error->code, LinkErrorCode::RamRead);
    EXPECT_EQ(verdict.error->text, "Неверная длина ответа! Запрос - 2300000030; Ответ - " +
                                       QString::fromLatin1(short47.toHex().toUpper()) + ";");

    verdict = ResponseCheck(request, hex("7F2331"), true);
    ASSERT_TRUE(verdict.error);
    EXPECT_EQ(verdict.error->text, "Неверная длина ответа! Запрос - 2300000030; Ответ - 7F2331;");
    verdict = ResponseCheck(request, {}, true);
    ASSERT_TRUE(verdict.error);
    EXPECT_EQ(verdict.error->text, "Неверная длина ответа! Запрос - 2300000030; Ответ - null;");
}

TEST(KwpSession, OffersOnlyTheThreeLineRates) {
    EXPECT_EQ(sessionRateByte("10400"), char(0x0A));
    EXPECT_EQ(sessionRateByte("38400"), char(0x26));
    EXPECT_EQ(sessionRateByte("57600"), char(0x39));
    for (const char *other : {"9600", "115200", "", "57600 "})
        EXPECT_FALSE(sessionRateByte(QString::fromLatin1(other))) << other;
}
