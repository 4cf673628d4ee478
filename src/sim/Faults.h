#pragma once

#include "sim/EcuModel.h"
#include "sim/RequestKind.h"
#include "sim/SimFrame.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <vector>

namespace korvel::sim {

enum class FaultKind {
    NoAnswer,            // the ECU ignores the request
    BadChecksum,         // the answer's checksum is off by one
    WrongLength,         // one data byte too few (one too many for one-byte answers)
    NegativeResponse,    // 7F, service, code instead of the answer
    GarbageBeforeAnswer, // stray bytes on the line before the answer
    LateAnswer,          // the answer comes after `delayMs` instead of the latency
    Vanish,              // the device disappears: the pseudo-terminal closes
    CorruptWrite,        // a memory write is stored with one data byte inverted; the answer is normal
};

// Command-line names: "no-answer", "bad-checksum", "wrong-length", "negative",
// "garbage", "late", "vanish", "corrupt-write".
QString faultKindName(FaultKind kind);
std::optional<FaultKind> faultKindFromName(const QString &name);

struct FaultRule {
    FaultKind kind = FaultKind::NoAnswer;
    std::optional<RequestKind> on; // only requests of this kind; none = any request
    int count = 1;                 // how many matching requests it hits; 0 = all until cleared
    int delayMs = 500;             // LateAnswer: request end to first answer byte
    std::uint8_t negativeCode = kConditionsNotCorrect;
    int garbageBytes = 3;
    int corruptByte = 0; // CorruptWrite: which data byte of the write, from 0 (past the end: the last)
    int after = 0;       // matching requests let through untouched before the rule hits
};

// Faults at random: each request (of the given kind, or any) is hit with the
// given probability by one of the kinds, drawn from a seeded generator so that
// the same seed and the same requests give the same faults.
struct RandomFaults {
    std::uint32_t seed = 1;
    double probability = 0;       // 0 to 1
    std::vector<FaultKind> kinds; // empty: every kind but Vanish
    std::optional<RequestKind> on;
    int delayMs = 500;
};

// The faults waiting for requests. A CorruptWrite rule waits for a memory
// write whatever request kind it names. Rules are used in the order given; a rule
// takes precedence over the random faults. Safe to use from any thread.
class FaultBoard {
public:
    void inject(const FaultRule &rule);
    void setRandom(const RandomFaults &random);
    void clear();
    // The fault this request meets, if any (and uses it up).
    std::optional<FaultRule> take(RequestKind kind);

private:
    mutable std::mutex m_mutex;
    std::deque<FaultRule> m_rules;
    std::optional<RandomFaults> m_random;
    std::uint64_t m_randomState = 0;
};

// A refused or ignored request is not carried out (nothing written, no rate
// change); the other faults spoil only the answer.
bool faultSkipsRequest(FaultKind kind);

// The request as the ECU carries it out: a CorruptWrite fault inverts one
// data byte of a memory write (3D 00 high low length data).
QByteArray requestAfterFault(const QByteArray &request, const std::optional<FaultRule> &fault);

// The bytes the ECU puts on the line for a request, after the fault if any.
QByteArray answerOnLine(const QByteArray &request, const EcuReply &reply, HeaderForm form,
                        const std::optional<FaultRule> &fault);

} // namespace korvel::sim
