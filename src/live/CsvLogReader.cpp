#include "live/CsvLogReader.h"

#include "core/Cp1251.h"
#include "live/CsvLog.h"
#include "live/FrameLayout.h"

#include <QFile>

#include <charconv>
#include <cmath>
#include <optional>

namespace korvel {
namespace {

// The tuning trace the writer appends to every line (named in the fast header only).
constexpr int kLogTraceFields = 8;
constexpr int kLogTimeDigits = 6; // "hhmmss"
constexpr int kSecondsPerDay = 24 * 3600;
const QChar kLogSeparators[] = {QLatin1Char(','), QLatin1Char('.')};

const QString kProblemHeader = QStringLiteral("the header is not that of a Korvel log");
const QString kProblemFields = QStringLiteral("%1 fields where %2 to %3 were expected");
const QString kProblemTime = QStringLiteral("the time is not hhmmss");
const QString kProblemNumber = QStringLiteral("field %1 is not a number");
const QString kProblemEmpty = QStringLiteral("the file is empty");

std::optional<int> logSecondOfDay(QByteArrayView field) {
    if (field.size() != kLogTimeDigits)
        return std::nullopt;
    int digits[kLogTimeDigits];
    for (int i = 0; i < kLogTimeDigits; ++i) {
        const char c = field[i];
        if (c < '0' || c > '9')
            return std::nullopt;
        digits[i] = c - '0';
    }
    const int h = digits[0] * 10 + digits[1], m = digits[2] * 10 + digits[3], s = digits[4] * 10 + digits[5];
    if (h > 23 || m > 59 || s > 59)
        return std::nullopt;
    return h * 3600 + m * 60 + s;
}

// A number as the writer writes it: the shortest decimal form, with `decimal` as its point.
std::optional<float> logNumber(QByteArrayView field, char decimal) {
    char text[64];
    if (field.isEmpty() || field.size() >= qsizetype(sizeof text))
        return std::nullopt;
    for (qsizetype i = 0; i < field.size(); ++i) {
        const char c = field[i];
        if (c == decimal)
            text[i] = '.';
        else if ((c >= '0' && c <= '9') || c == '-')
            text[i] = c;
        else
            return std::nullopt; // also the other point, "inf", "nan", exponents
    }
    double value = 0;
    const char *end = text + field.size();
    const auto [ptr, ec] = std::from_chars(text, end, value, std::chars_format::fixed);
    if (ec != std::errc() || ptr != end || !std::isfinite(value) || std::abs(value) > 3.0e38)
        return std::nullopt;
    return static_cast<float>(value);
}

struct LogHeader {
    Protocol protocol;
    QChar separator;
};

std::optional<LogHeader> recogniseHeader(QByteArrayView line) {
    const QString text = cp1251::decode(line.toByteArray());
    for (Protocol protocol : {Protocol::Fast, Protocol::Standard})
        for (QChar separator : kLogSeparators)
            if (text == CsvLog::header(protocol, separator))
                return LogHeader{protocol, separator};
    return std::nullopt;
}

// The lines of the file without their line ends (CR LF, or LF alone); a
// final line end does not start another line.
std::vector<QByteArrayView> logLines(const QByteArray &bytes) {
    std::vector<QByteArrayView> lines;
    qsizetype start = 0;
    while (start < bytes.size()) {
        qsizetype end = bytes.indexOf('\n', start);
        const qsizetype next = end < 0 ? bytes.size() : end + 1;
        if (end < 0)
            end = bytes.size();
        qsizetype length = end - start;
        if (length > 0 && bytes[end - 1] == '\r')
            --length;
        lines.emplace_back(bytes.constData() + start, length);
        start = next;
    }
    return lines;
}

// Spreads the frames of each second evenly over it: a frame k of the n
// frames logged in one second is at that second + k / n.
void spreadOverSeconds(std::vector<LoggedFrame> &frames, const std::vector<int> &seconds) {
    std::size_t first = 0;
    while (first < frames.size()) {
        std::size_t last = first;
        while (last + 1 < frames.size() && seconds[last + 1] == seconds[first])
            ++last;
        const double n = static_cast<double>(last - first + 1);
        for (std::size_t k = first; k <= last; ++k)
            frames[k].seconds = seconds[first] + static_cast<double>(k - first) / n;
        first = last + 1;
    }
}

} // namespace

const QStringList &CsvLogContents::channelNames() const {
    return korvel::channelNames(protocol);
}

CsvLogContents readCsvLog(const QByteArray &bytes) {
    CsvLogContents log;
    const std::vector<QByteArrayView> lines = logLines(bytes);
    log.lines = static_cast<int>(lines.size());
    auto refuse = [&log](int lineNumber, const QString &why) {
        ++log.badLines;
        if (log.firstBadLine == 0) {
            log.firstBadLine = lineNumber;
            log.firstProblem = why;
        }
    };
    if (lines.empty()) {
        refuse(1, kProblemEmpty);
        return log;
    }
    const std::optional<LogHeader> header = recogniseHeader(lines.front());
    if (!header) {
        refuse(1, kProblemHeader);
        log.badLines = log.lines;
        return log;
    }
    log.recognised = true;
    log.protocol = header->protocol;
    log.separator = header->separator;
    const char separator = static_cast<char>(header->separator.unicode());
    const char decimal = separator == ',' ? '.' : ',';
    const int channels = log.channelCount();

    std::vector<int> seconds; // of each frame, from the first frame's second, across midnight
    seconds.reserve(lines.size());
    log.frames.reserve(lines.size());
    int dayOffset = 0, previous = -1;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const int lineNumber = static_cast<int>(i) + 1;
        const QByteArrayView line = lines[i];
        LoggedFrame frame;
        int field = 0;
        std::optional<int> second;
        QString problem;
        qsizetype start = 0;
        while (problem.isEmpty()) {
            qsizetype end = line.indexOf(separator, start);
            if (end < 0)
                end = line.size();
            const QByteArrayView text = line.sliced(start, end - start);
            if (field == 0) {
                second = logSecondOfDay(text);
                if (!second)
                    problem = kProblemTime;
            } else if (field <= channels) {
                const std::optional<float> value = logNumber(text, decimal);
                if (value)
                    frame.channels.set(field, *value);
                else
                    problem = kProblemNumber.arg(field + 1);
            }
            ++field;
            if (end >= line.size())
                break;
            start = end + 1;
        }
        if (problem.isEmpty() && (field < channels + 1 || field > channels + 1 + kLogTraceFields))
            problem = kProblemFields.arg(field).arg(channels + 1).arg(channels + 1 + kLogTraceFields);
        if (!problem.isEmpty()) {
            refuse(lineNumber, problem);
            continue;
        }
        if (previous >= 0 && *second < previous)
            dayOffset += kSecondsPerDay; // past midnight
        previous = *second;
        seconds.push_back(*second + dayOffset);
        log.frames.push_back(frame);
    }
    if (!seconds.empty()) {
        const int start = seconds.front();
        for (int &s : seconds)
            s -= start;
    }
    spreadOverSeconds(log.frames, seconds);
    return log;
}

CsvLogContents readCsvLogFile(const QString &path, QString *why) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (why)
            *why = file.errorString();
        return {};
    }
    return readCsvLog(file.readAll());
}

} // namespace korvel
