#include "Mutator.h"
#include "ecu/KwpFrame.h"
#include "ecu/ResponseCheck.h"

#include <gtest/gtest.h>

using namespace korvel;
using korvel::fuzz::bytesOf;
using korvel::fuzz::Mutator;

namespace {

constexpr int kEcuIterations = 20000;

// An answer frame as the ECU sends it (target tester, source ECU).
QByteArray ecuFrame(const QByteArray &data) {
    QByteArray frame = KwpFrame::build(data);
    frame[1] = static_cast<char>(KwpFrame::TesterAddress);
    frame[2] = static_cast<char>(KwpFrame::EcuAddress);
    frame.chop(1);
    frame.append(static_cast<char>(KwpFrame::checksum(frame)));
    return frame;
}

// A request the tester sends and a plausible answer to it.
struct Exchange {
    QByteArray request;
    QByteArray answer;
};

std::vector<Exchange> exchanges() {
    return {
        {bytesOf({0x81}), bytesOf({0xC1, 0x6B, 0x8F})},
        {bytesOf({0x82}), bytesOf({0xC2})},
        {bytesOf({0x10, 0x81}), bytesOf({0x50, 0x81})},
        {bytesOf({0x20}), bytesOf({0x60})},
        {bytesOf({0x3E, 0x01}), bytesOf({0x7E})},
        {bytesOf({0x30, 0x0F, 0x06, 0x01}), bytesOf({0x70, 0x0F, 0x06, 0x01})},
        {bytesOf({0x30, 0x0A, 0x06, 0x01}), bytesOf({0x70, 0x0A, 0x06, 0x01, 0x55})},
        {bytesOf({0x21, 0x0F}), bytesOf({0x61, 0x0F}) + QByteArray(51, '\x20')},
        {bytesOf({0x21, 0x01}), bytesOf({0x61, 0x01}) + QByteArray(36, '\x30')},
        {bytesOf({0x23, 0x00, 0x5F, 0x00, 0x08}), bytesOf({0x63}) + QByteArray("1.2.3.4.")},
        {bytesOf({0x23, 0x00, 0x61, 0x3C, 0x40}), bytesOf({0x63}) + QByteArray(0x40, '\x11')},
        {bytesOf({0x23, 0x00, 0xF3, 0x00, 0x01}), bytesOf({0x63, 0x00})},
        {bytesOf({0x23, 0x00, 0x12, 0x34, 0x60}), bytesOf({0x63}) + QByteArray(0x60, '\x7F')},
    };
}

std::vector<QByteArray> answerFrames() {
    std::vector<QByteArray> frames{bytesOf({0x83, 0xF1, 0x10, 0xC1, 0x6B, 0x8F, 0x3F})};
    for (const Exchange &e : exchanges())
        frames.push_back(ecuFrame(e.answer));
    return frames;
}

// What the header of the frame at the start of `bytes` announces.
struct Header {
    qsizetype dataStart;
    qsizetype dataLength;
};
std::optional<Header> headerOf(QByteArrayView bytes) {
    if (bytes.size() < 3)
        return std::nullopt;
    const qsizetype inFormat = static_cast<std::uint8_t>(bytes[0]) & 0x3F;
    if (inFormat != 0)
        return Header{3, inFormat};
    if (bytes.size() < 4)
        return std::nullopt;
    return Header{4, static_cast<std::uint8_t>(bytes[3])};
}

// The invariants of one parse: data only from a complete frame whose
// announced length and checksum both hold.
void checkParse(const QByteArray &input) {
    const QByteArray data = KwpFrame::parse(input);
    if (data.isEmpty())
        return;
    const auto header = headerOf(input);
    ASSERT_TRUE(header) << hexText(input).toStdString();
    EXPECT_EQ(data.size(), header->dataLength) << hexText(input).toStdString();
    const qsizetype checksumAt = header->dataStart + header->dataLength;
    ASSERT_LT(checksumAt, input.size()) << hexText(input).toStdString();
    EXPECT_EQ(KwpFrame::checksum(QByteArrayView(input).first(checksumAt)), static_cast<std::uint8_t>(input[checksumAt]))
        << "a frame with a wrong checksum was accepted: " << hexText(input).toStdString();
    EXPECT_EQ(data, input.mid(header->dataStart, header->dataLength)) << hexText(input).toStdString();
}

// The invariants of a verdict, whatever the answer bytes were.
void checkVerdict(const QByteArray &request, const QByteArray &response, bool memoryAccessReady) {
    const ResponseVerdict verdict = ResponseCheck(request, response, memoryAccessReady);
    const std::string what = hexText(request).toStdString() + " / " + hexText(response).toStdString();
    if (!verdict.success)
        return;
    switch (verdict.use) {
    case AnswerUse::DiagnosticFrame: {
        const int expected = request == bytesOf({0x21, 0x0F}) ? kFastAnswerLength : kStandardAnswerLength;
        ASSERT_TRUE(request == bytesOf({0x21, 0x0F}) || request == bytesOf({0x21, 0x01})) << what;
        EXPECT_EQ(response.size(), expected) << what;
        EXPECT_EQ(verdict.payload, response.mid(2)) << what;
        break;
    }
    case AnswerUse::MemoryRead:
        ASSERT_EQ(request.size(), 5) << what;
        EXPECT_EQ(static_cast<std::uint8_t>(response.at(0)), 0x63) << what;
        EXPECT_EQ(verdict.payload.size(), static_cast<std::uint8_t>(request[4])) << what;
        EXPECT_LE(verdict.payload.size(), kLongestRead) << what;
        EXPECT_EQ(verdict.payload, response.mid(1)) << what;
        break;
    case AnswerUse::ActuatorState:
        EXPECT_TRUE(request.startsWith('\x30')) << what;
        EXPECT_FALSE(response.isEmpty()) << what;
        break;
    case AnswerUse::None:
        // Only the session commands succeed without a use; startDiagnosticSession
        // goes on whatever the answer, the others need exactly their answer.
        if (!request.startsWith(bytesOf({0x10, 0x81}))) {
            bool expected = false;
            for (const Exchange &e : exchanges())
                expected = expected || (e.request == request && e.answer == response);
            EXPECT_TRUE(expected) << "an unexpected answer was accepted: " << what;
        }
        break;
    }
}

} // namespace

TEST(KwpFrameFuzz, ParsedDataMatchesHeaderAndChecksum) {
    std::vector<QByteArray> seeds = answerFrames();
    for (const Exchange &e : exchanges())
        seeds.push_back(KwpFrame::build(e.request) + ecuFrame(e.answer)); // echo, then the answer
    Mutator mutator(0x4B57'0001, seeds, 300);
    int accepted = 0;
    for (int i = 0; i < kEcuIterations; ++i) {
        const QByteArray input = mutator.next();
        ASSERT_NO_FATAL_FAILURE(checkParse(input)) << "iteration " << i;
        accepted += KwpFrame::parse(input).isEmpty() ? 0 : 1;
        if (HasFailure())
            return;
    }
    EXPECT_GT(accepted, kEcuIterations / 20) << "the inputs must reach the accepting path";
}

// Any single bit flipped after the header of a valid frame breaks its checksum.
TEST(KwpFrameFuzz, EveryFlippedBitOutsideTheHeaderIsRefused) {
    for (const QByteArray &frame : answerFrames()) {
        const qsizetype dataStart = headerOf(frame)->dataStart;
        for (qsizetype at = 1; at < frame.size(); ++at) {
            if (at == 3 && dataStart == 4)
                continue; // the length byte: a different frame, checked by the test above
            for (int bit = 0; bit < 8; ++bit) {
                QByteArray bent = frame;
                bent[at] = static_cast<char>(bent[at] ^ (1 << bit));
                EXPECT_TRUE(KwpFrame::parse(bent).isEmpty()) << hexText(bent).toStdString();
            }
        }
    }
}

TEST(KwpFrameFuzz, BuiltFramesParseBackWhateverTheyCarry) {
    Mutator mutator(0x4B57'0002, {});
    for (int i = 0; i < kEcuIterations / 10; ++i) {
        const QByteArray data = mutator.randomBytes(1 + mutator.below(255));
        const QByteArray frame = KwpFrame::build(data);
        ASSERT_EQ(KwpFrame::parse(frame), data) << hexText(frame).toStdString();
        ASSERT_EQ(KwpFrame::parse(frame + mutator.randomBytes(mutator.below(8))), data) << "trailing bytes ignored";
    }
}

TEST(ResponseCheckFuzz, AcceptsOnlyWhatTheRequestAllows) {
    const std::vector<Exchange> table = exchanges();
    std::vector<QByteArray> answers;
    for (const Exchange &e : table)
        answers.push_back(e.answer);
    Mutator mutator(0x4B57'0003, answers, 120);
    int accepted = 0;
    for (int i = 0; i < kEcuIterations; ++i) {
        const Exchange &e = table[static_cast<std::size_t>(mutator.below(static_cast<int>(table.size())))];
        QByteArray request = e.request;
        if (mutator.oneIn(4))
            mutator.mutate(request);
        const QByteArray response = mutator.next();
        ASSERT_NO_FATAL_FAILURE(checkVerdict(request, response, mutator.oneIn(2))) << "iteration " << i;
        accepted += ResponseCheck(request, response, true).success ? 1 : 0;
        if (HasFailure())
            return;
    }
    EXPECT_GT(accepted, kEcuIterations / 20) << "the inputs must reach the accepting paths";
}

// The link's path: the echo of the request, then the answer frame, parsed and checked.
TEST(ResponseCheckFuzz, MutatedAnswerFramesAfterTheEcho) {
    const std::vector<Exchange> table = exchanges();
    Mutator mutator(0x4B57'0004, answerFrames(), 300);
    for (int i = 0; i < kEcuIterations; ++i) {
        const Exchange &e = table[static_cast<std::size_t>(mutator.below(static_cast<int>(table.size())))];
        const QByteArray received = KwpFrame::build(e.request) + mutator.next();
        ASSERT_EQ(KwpFrame::parse(received), e.request);
        const QByteArray answer = received.mid(KwpFrame::build(e.request).size());
        ASSERT_NO_FATAL_FAILURE(checkParse(answer));
        ASSERT_NO_FATAL_FAILURE(checkVerdict(e.request, KwpFrame::parse(answer), true)) << "iteration " << i;
        if (HasFailure())
            return;
    }
}
