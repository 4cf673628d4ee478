// A CSV log as a user may hand it to the replay: ours, torn, edited in a
// spreadsheet or another program's file altogether.
#include "live/CsvLogReader.h"
#include "FuzzCheck.h"
#include "live/CsvLog.h"
#include "live/LoggedFrameEncoder.h"

#include "core/Cp1251.h"

#include <cmath>

using namespace korvel;
using korvel::fuzz::require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    fuzz::Input in(data, size);
    // The first byte may put one of our headers in front, so that the lines behind it are read.
    const int head = in.byte() % 4;
    QByteArray bytes;
    if (head < 3)
        bytes = cp1251::encode(CsvLog::header(head == 1 ? Protocol::Standard : Protocol::Fast,
                                              head == 2 ? QLatin1Char('.') : QLatin1Char(','))) +
                "\r\n";
    bytes += in.rest();

    const CsvLogContents log = readCsvLog(bytes);
    require(log.firstBadLine >= 0 && log.firstBadLine <= std::max(log.lines, 1), "the first bad line is a line");
    require((log.firstBadLine == 0) == (log.badLines == 0), "a bad line is named when there is one");
    if (log.recognised)
        require(static_cast<int>(log.frames.size()) + log.badLines == log.lines - 1, "every line read or counted");
    else
        require(log.frames.empty(), "nothing read from a foreign file");
    double previous = 0;
    for (const LoggedFrame &frame : log.frames) {
        require(std::isfinite(frame.seconds) && frame.seconds >= previous, "time goes forward");
        previous = frame.seconds;
        for (int channel = 1; channel <= log.channelCount(); ++channel)
            require(std::isfinite(frame.channels.value(channel)), "a channel is a number");
        const QByteArray frameBytes = frameOfLoggedChannels(log.protocol, frame.channels, head == 0);
        require(frameBytes.size() == frameLength(log.protocol), "a frame of the protocol's length");
    }
    return 0;
}
