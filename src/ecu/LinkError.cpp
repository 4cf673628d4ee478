#include "ecu/LinkError.h"

#include "ecu/EcuTexts.h"

#include <array>
#include <utility>

namespace korvel {

namespace {
const QString &messageOf(LinkErrorCode code) {
    static const std::array<std::pair<LinkErrorCode, QString>, 3> messages{{
        {LinkErrorCode::WrongAnswer, ecutext::WrongAnswer},
        {LinkErrorCode::RamRead, ecutext::RamReadError},
        {LinkErrorCode::NoAnswer, ecutext::NoAnswer},
    }};
    for (const auto &[known, message] : messages)
        if (known == code)
            return message;
    return messages.front().second;
}
} // namespace

QStringList linkErrorLines(const LinkErrorReport &report, int errorCount) {
    const QString message = report.text.isEmpty() ? messageOf(report.code) : report.text;
    const QString counter =
        errorCount <= kLastNumberedError ? ecutext::ErrorNumber + QString::number(errorCount) : QString();
    return {message, counter};
}

} // namespace korvel
