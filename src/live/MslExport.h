#pragma once

#include "live/CsvLogReader.h"

#include <QByteArray>
#include <QString>

namespace korvel {

// A log for log viewers that read MegaLogViewer's ".msl" text: tab-separated,
// a names row beginning with "Time", a units row, then one row per frame
// with the time in seconds (milliseconds kept) from the start and every
// channel of the log's protocol under the name the log gives it. UTF-8, LF.
QByteArray mslOfLog(const CsvLogContents &log);

// The unit of a live channel of the protocol ("" for flags and counts).
QString channelUnit(Protocol protocol, int channel);

} // namespace korvel
