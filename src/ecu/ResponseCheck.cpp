#include "ecu/ResponseCheck.h"
#include "core/Bytes.h"

#include "ecu/EcuTexts.h"
#include "ecu/KwpFrame.h"

#include <cstdint>
#include <initializer_list>
#include <vector>

namespace korvel {

namespace {

QByteArray bytes(std::initializer_list<std::uint8_t> values) {
    QByteArray out;
    for (auto value : values)
        out.append(static_cast<char>(value));
    return out;
}

// ---- the check table of the exchange ----

enum class Match { Whole, Prefix };
enum class Rule { Expect, ExpectButContinue, Actuator, DiagnosticFrame, MemoryRead };

struct CheckRow {
    QByteArray pattern;
    Match match;
    Rule rule;
    QByteArray expected;  // Expect rules
    int answerLength = 0; // DiagnosticFrame rule
};

const std::vector<CheckRow> &checkTable() {
    static const std::vector<CheckRow> rows{
        {bytes({0x81}), Match::Whole, Rule::Expect, bytes({0xC1, 0x6B, 0x8F})},             // startCommunication
        {bytes({0x82}), Match::Whole, Rule::Expect, bytes({0xC2})},                         // stopCommunication
        {bytes({0x10, 0x81}), Match::Prefix, Rule::ExpectButContinue, bytes({0x50, 0x81})}, // startDiagnosticSession
        {bytes({0x20}), Match::Whole, Rule::Expect, bytes({0x60})},                         // stopDiagnosticSession
        {bytes({0x3E, 0x01}), Match::Whole, Rule::Expect, bytes({0x7E})},                   // testerPresent
        {bytes({0x30, 0x0F, 0x06, 0x01}), Match::Whole, Rule::Expect, bytes({0x70, 0x0F, 0x06, 0x01})}, // to RAM
        {bytes({0x30}), Match::Prefix, Rule::Actuator, {}}, // inputOutputControl
        {bytes({0x21, 0x0F}), Match::Whole, Rule::DiagnosticFrame, {}, kFastAnswerLength},
        {bytes({0x21, 0x01}), Match::Whole, Rule::DiagnosticFrame, {}, kStandardAnswerLength},
        {bytes({0x23, 0x00}), Match::Prefix, Rule::MemoryRead, {}}, // readMemoryByAddress
    };
    return rows;
}

bool matches(const CheckRow &row, QByteArrayView request) {
    return row.match == Match::Whole ? request == QByteArrayView(row.pattern) : request.startsWith(row.pattern);
}

LinkErrorReport wrongAnswer(QByteArrayView request, QByteArrayView response, QByteArrayView expected) {
    return {LinkErrorCode::WrongAnswer, ecutext::Request + hexText(request) + ecutext::Answer + hexText(response) +
                                            QStringLiteral("; (") + hexText(expected) + QStringLiteral(")")};
}

// ---- the answer table of readMemoryByAddress ----

enum class Length { Below, Exactly, Above };
constexpr int kAnyAddress = -1;

struct ReadRow {
    int address;
    Length length;
    int count; // for Length::Exactly
    ReadTarget target;
    int index = 0;
    bool someSettings = false;
    bool needsAccess = false;
    bool accepted = true;
};

const std::vector<ReadRow> &readTable() {
    static const std::vector<ReadRow> rows{
        {0xF300, Length::Below, kLongestRead, ReadTarget::Unused},
        {0x6051, Length::Exactly, 2, ReadTarget::Complectation, 0, true},
        {0x60DE, Length::Exactly, 1, ReadTarget::Complectation, 2},
        {0x5F00, Length::Exactly, 8, ReadTarget::Complectation, 3},
        {0x613C, Length::Exactly, 0x40, ReadTarget::Axis, 0},
        {0x617C, Length::Exactly, 0x40, ReadTarget::Axis, 64},
        {0x61BC, Length::Exactly, 0x40, ReadTarget::Axis, 128},
        {0x61FC, Length::Exactly, 0x40, ReadTarget::Axis, 192},
        {0x7208, Length::Exactly, 0x40, ReadTarget::Axis, 256},
        {0x7248, Length::Exactly, 0x40, ReadTarget::Axis, 320},
        {0x7288, Length::Exactly, 0x40, ReadTarget::Axis, 384},
        {0x72C8, Length::Exactly, 0x40, ReadTarget::Axis, 448},
        {kAnyAddress, Length::Below, kLongestRead, ReadTarget::Result, 0, false, true},
        {kAnyAddress, Length::Exactly, kLongestRead, ReadTarget::Result, 0, false, true},
        {kAnyAddress, Length::Above, kLongestRead, ReadTarget::Unused, 0, false, false, false},
    };
    return rows;
}

bool lengthMatches(const ReadRow &row, int length) {
    switch (row.length) {
    case Length::Below:
        return length < row.count;
    case Length::Exactly:
        return length == row.count;
    case Length::Above:
        return length > row.count;
    }
    return false;
}

ResponseVerdict checkRead(QByteArrayView request, QByteArrayView response, bool memoryAccessReady) {
    ResponseVerdict verdict;
    verdict.use = AnswerUse::MemoryRead;
    if (request.size() != 5)
        return verdict;
    const int address = byteAt(request, 2) << 8 | byteAt(request, 3);
    const int length = byteAt(request, 4);
    if (response.isEmpty() || byteAt(response, 0) != 0x63 || response.size() - 1 != length) {
        verdict.error = LinkErrorReport{LinkErrorCode::RamRead, ecutext::WrongReadLength + hexText(request) +
                                                                    ecutext::Answer + hexText(response) + ";"};
        return verdict;
    }
    for (const ReadRow &row : readTable()) {
        if ((row.address != kAnyAddress && row.address != address) || !lengthMatches(row, length))
            continue;
        verdict.success = row.accepted && (!row.needsAccess || memoryAccessReady);
        if (verdict.success) {
            verdict.payload = response.sliced(1).toByteArray();
            verdict.readTarget = row.target;
            verdict.readIndex = row.index;
            verdict.someSettings = row.someSettings;
        }
        return verdict;
    }
    return verdict;
}

ResponseVerdict apply(const CheckRow &row, QByteArrayView request, QByteArrayView response, bool memoryAccessReady) {
    ResponseVerdict verdict;
    switch (row.rule) {
    case Rule::Expect:
    case Rule::ExpectButContinue:
        verdict.success = response == QByteArrayView(row.expected);
        if (!verdict.success)
            verdict.error = wrongAnswer(request, response, row.expected);
        if (row.rule == Rule::ExpectButContinue)
            verdict.success = true;
        return verdict;
    case Rule::Actuator: // any answer frame will do
        verdict.success = !response.isEmpty();
        verdict.use = AnswerUse::ActuatorState;
        verdict.payload = response.size() > 3 ? response.sliced(3).toByteArray() : QByteArray();
        return verdict;
    case Rule::DiagnosticFrame:
        verdict.success = response.size() == row.answerLength;
        if (verdict.success) {
            verdict.use = AnswerUse::DiagnosticFrame;
            verdict.payload = response.sliced(2).toByteArray();
        }
        return verdict;
    case Rule::MemoryRead:
        return checkRead(request, response, memoryAccessReady);
    }
    return verdict;
}

} // namespace

ResponseVerdict ResponseCheck(QByteArrayView request, QByteArrayView response, bool memoryAccessReady) {
    for (const CheckRow &row : checkTable())
        if (matches(row, request))
            return apply(row, request, response, memoryAccessReady);
    return {};
}

} // namespace korvel
