#pragma once

#include "core/DiagnosticFrameLength.h"
#include "ecu/LinkError.h"

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

namespace korvel {

// Where the data of a valid memory read answer go.
enum class ReadTarget {
    Unused,        // accepted, data not kept (the memory-access probe)
    Complectation, // complectation bytes from `index` on
    Axis,          // values of the axis array from `index` on
    Result,        // only the read result
};

// What an accepted answer is used for.
enum class AnswerUse { None, DiagnosticFrame, ActuatorState, MemoryRead };

struct ResponseVerdict {
    bool success = false;
    std::optional<LinkErrorReport> error; // to be reported through the link error counter
    AnswerUse use = AnswerUse::None;
    QByteArray payload; // diagnostic frame, actuator state or read data
    ReadTarget readTarget = ReadTarget::Unused;
    int readIndex = 0;         // first complectation byte or axis value, from 0
    bool someSettings = false; // the complectation read that logs its own line
};

// Decides the answer to one request by the first matching row of the check
// table. `memoryAccessReady` admits reads outside the connect-time areas.
ResponseVerdict ResponseCheck(QByteArrayView request, QByteArrayView response, bool memoryAccessReady);

// Lengths of accepted diagnostic answers and of the frame they carry.
inline constexpr int kFastAnswerLength = 53;
inline constexpr int kStandardAnswerLength = 38;
// The longest memory read the check accepts.
inline constexpr int kLongestRead = 0x60;

} // namespace korvel
