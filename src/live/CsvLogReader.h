#pragma once

#include "core/Protocol.h"
#include "live/LiveParameters.h"

#include <QByteArray>
#include <QChar>
#include <QString>
#include <QStringList>

#include <vector>

namespace korvel {

// One line of a CSV log read back: its time and its live channels.
struct LoggedFrame {
    // Seconds from the first line's second. The log keeps whole seconds only,
    // so the frames of one second are spread evenly over it, in file order.
    double seconds = 0;
    LiveChannels channels;
};

// What a CSV log ("лог.csv") holds, as far as it could be read.
struct CsvLogContents {
    bool recognised = false; // the header is one of the program's own
    Protocol protocol = Protocol::Fast;
    QChar separator = QLatin1Char(',');
    std::vector<LoggedFrame> frames;
    int lines = 0;        // lines in the file, the header included
    int badLines = 0;     // lines that could not be read
    int firstBadLine = 0; // numbered from 1 (the header is line 1); 0 when every line was read
    QString firstProblem; // why the first bad line could not be read

    int channelCount() const { return korvel::channelCount(protocol); }
    const QStringList &channelNames() const;
};

// Reads a CSV log as the program writes it (Windows-1251, CR LF, either
// protocol's header, "," between fields and "." in numbers or "." and ","):
// the time and channels 1..ChannelCount of every line; the tuning trace
// columns are skipped. A line that cannot be read is left out and counted;
// a file whose header is not one of ours yields no frames, line 1 bad.
CsvLogContents readCsvLog(const QByteArray &bytes);

// The same, from a file; `why` says what kept it from being read at all.
CsvLogContents readCsvLogFile(const QString &path, QString *why);

} // namespace korvel
