#pragma once

#include <QString>
#include <QStringList>

namespace korvel {

// Codes of the link error report.
enum class LinkErrorCode { WrongAnswer = 1, RamRead = 2, NoAnswer = 3 };

struct LinkErrorReport {
    LinkErrorCode code = LinkErrorCode::WrongAnswer;
    QString text; // replaces the code's own message when not empty
};

// From this error on, the counter line is left empty.
inline constexpr int kLastNumberedError = 19;

// The two log lines of one link error: the message and the counter line for
// `errorCount`, the count including this error.
QStringList linkErrorLines(const LinkErrorReport &report, int errorCount);

} // namespace korvel
