#include "ecu/FrameCompleteness.h"
#include "Hex.h"
#include "ecu/KwpFrame.h"

#include <QByteArray>

#include <gtest/gtest.h>

using namespace korvel;

namespace {

using korvel::test::hex;

QByteArray bytesOfLength(int length, char first) {
    QByteArray data(length, '\x55');
    data[0] = first;
    return data;
}

// An answer from the ECU in either header form: the short form carries the
// length in the format byte, the long form in a byte after the addresses.
QByteArray answerFrame(const QByteArray &data, bool lengthByte) {
    QByteArray frame;
    if (lengthByte)
        frame.append('\x80').append('\xF1').append('\x10').append(static_cast<char>(data.size()));
    else
        frame.append(static_cast<char>(0x80 + data.size())).append('\xF1').append('\x10');
    frame += data;
    frame.append(static_cast<char>(KwpFrame::checksum(frame)));
    return frame;
}

const QByteArray kDiagnosticEcho = KwpFrame::build(hex("210F")); // 6 bytes
const QByteArray kDiagnosticAnswer = bytesOfLength(53, '\x61');

} // namespace

TEST(FrameCompleteness, SizesAFrameFromEitherHeaderForm) {
    struct Case {
        const char *name;
        QByteArray bytes;
        std::optional<qsizetype> size;
    };
    const Case cases[] = {
        {"short header, one data byte", hex("81F110"), 5},
        {"short header, 63 data bytes", hex("BFF110"), 67},
        {"length byte, 53 data bytes", hex("80F11035"), 58},
        {"length byte, 255 data bytes", hex("80F110FF"), 260},
        {"length byte not yet in", hex("80F110"), std::nullopt},
        {"two header bytes", hex("B5F1"), std::nullopt},
        {"nothing", {}, std::nullopt},
        {"tester's form with a length byte", hex("8010F145"), 74}, // a 64-byte memory write
    };
    for (const Case &c : cases)
        EXPECT_EQ(kwpFrameSize(c.bytes), c.size) << c.name;
}

TEST(FrameCompleteness, NeedsTheEchoAndOneWholeAnswer) {
    const QByteArray longAnswer = answerFrame(kDiagnosticAnswer, true);   // 58 bytes
    const QByteArray shortAnswer = answerFrame(kDiagnosticAnswer, false); // 57 bytes
    const QByteArray readAnswer = answerFrame(bytesOfLength(0x61, '\x63'), true);
    struct Case {
        const char *name;
        QByteArray received;
        qsizetype sent;
        bool complete;
    };
    const Case cases[] = {
        {"nothing yet", {}, 6, false},
        {"part of the echo", kDiagnosticEcho.left(5), 6, false},
        {"echo only", kDiagnosticEcho, 6, false},
        {"echo and two header bytes", kDiagnosticEcho + longAnswer.left(2), 6, false},
        {"echo and a header without its length byte", kDiagnosticEcho + longAnswer.left(3), 6, false},
        {"long header, data without checksum", kDiagnosticEcho + longAnswer.chopped(1), 6, false},
        {"long header, whole answer", kDiagnosticEcho + longAnswer, 6, true},
        {"short header, data without checksum", kDiagnosticEcho + shortAnswer.chopped(1), 6, false},
        {"short header, whole answer", kDiagnosticEcho + shortAnswer, 6, true},
        {"whole answer and stray bytes after it", kDiagnosticEcho + shortAnswer + hex("0000"), 6, true},
        {"one-byte answer", kDiagnosticEcho + hex("81F110C244"), 6, true},
        {"memory read answer one byte short", KwpFrame::build(hex("2300000060")) + readAnswer.chopped(1), 9, false},
        {"memory read answer", KwpFrame::build(hex("2300000060")) + readAnswer, 9, true},
        // The length is taken as the header says; the checksum is the check's business.
        {"answer with a wrong checksum", kDiagnosticEcho + shortAnswer.chopped(1) + '\x00', 6, true},
        // Nothing went out: there is no echo to wait for, so no early end.
        {"nothing sent", shortAnswer, 0, false},
    };
    for (const Case &c : cases)
        EXPECT_EQ(exchangeComplete(c.received, c.sent), c.complete) << c.name;
}

// However the bytes are split into reads, the exchange becomes complete with
// the last byte of the answer frame and not one byte earlier.
TEST(FrameCompleteness, TurnsCompleteExactlyWithTheAnswersLastByte) {
    for (const bool lengthByte : {false, true}) {
        const QByteArray answer = answerFrame(kDiagnosticAnswer, lengthByte);
        const QByteArray line = kDiagnosticEcho + answer + hex("AA");
        const qsizetype whole = kDiagnosticEcho.size() + answer.size();
        for (qsizetype arrived = 0; arrived <= line.size(); ++arrived)
            EXPECT_EQ(exchangeComplete(line.first(arrived), kDiagnosticEcho.size()), arrived >= whole)
                << (lengthByte ? "length byte" : "short header") << ", " << arrived << " bytes";
    }
}
