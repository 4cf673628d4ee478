#include "live/CsvLogReader.h"
#include "core/Cp1251.h"
#include "live/CsvLog.h"
#include "live/FrameDecoder.h"
#include "live/LoggedFrameEncoder.h"

#include <QRandomGenerator>

#include <gtest/gtest.h>

using namespace korvel;

namespace {

QByteArray logBytes(const QStringList &lines) {
    QByteArray bytes;
    for (const QString &line : lines)
        bytes += cp1251::encode(line) + "\r\n";
    return bytes;
}

LiveChannels numberedChannels(int step) {
    LiveChannels channels;
    for (int channel = 1; channel <= kMaxChannelCount; ++channel)
        channels.set(channel, static_cast<float>(step * 0.5 - channel * 1.125));
    return channels;
}

// A line as the log writes it. With "." between fields the numbers take ","
// as their decimal point, as on a system whose decimal separator is ",".
QString loggedLine(Protocol protocol, int step, const QTime &time, QChar separator = QLatin1Char(',')) {
    // A trace that is not all zeros: it must not leak into the channels.
    const TuningTrace trace{1, 1, 7, 3, 12, 1, 0.984, 1.023};
    QString line = CsvLog::line(numberedChannels(step), channelCount(protocol), trace, time, QLatin1Char(','));
    if (separator == QLatin1Char('.'))
        for (QChar &c : line)
            c = c == QLatin1Char(',') ? QLatin1Char('.') : c == QLatin1Char('.') ? QLatin1Char(',') : c;
    return line;
}

// A log of `perSecond` frames in each of the given seconds.
QStringList logOf(Protocol protocol, const QList<QTime> &seconds, int perSecond, QChar separator = QLatin1Char(',')) {
    QStringList lines{CsvLog::header(protocol, separator)};
    int step = 0;
    for (const QTime &time : seconds)
        for (int i = 0; i < perSecond; ++i)
            lines += loggedLine(protocol, step++, time, separator);
    return lines;
}

} // namespace

TEST(CsvLogReader, ReadsBackWhatTheLogWrites) {
    struct Case {
        Protocol protocol;
        QChar separator;
    };
    for (const Case c : {Case{Protocol::Fast, QLatin1Char(',')}, Case{Protocol::Standard, QLatin1Char(',')},
                         Case{Protocol::Fast, QLatin1Char('.')}}) {
        SCOPED_TRACE(c.protocol == Protocol::Fast ? "fast" : "standard");
        SCOPED_TRACE(c.separator.toLatin1());
        const CsvLogContents log =
            readCsvLog(logBytes(logOf(c.protocol, {QTime(9, 0, 1), QTime(9, 0, 2)}, 3, c.separator)));
        ASSERT_TRUE(log.recognised);
        EXPECT_EQ(log.protocol, c.protocol);
        EXPECT_EQ(log.firstBadLine, 0);
        EXPECT_EQ(log.lines, 7);
        ASSERT_EQ(log.frames.size(), 6u);
        for (int step = 0; step < 6; ++step)
            for (int channel = 1; channel <= channelCount(c.protocol); ++channel)
                ASSERT_FLOAT_EQ(log.frames[step].channels.value(channel), numberedChannels(step).value(channel))
                    << "step " << step << " channel " << channel;
        // Only channels 1..ChannelCount are taken: the trace written after them stays out.
        if (c.protocol == Protocol::Standard) {
            EXPECT_EQ(log.frames[0].channels.value(kStandardChannelCount + 1), 0.0f);
        }
    }
}

TEST(CsvLogReader, SpreadsTheFramesOfASecondEvenlyOverIt) {
    QStringList lines{CsvLog::header(Protocol::Fast, QLatin1Char(','))};
    const std::pair<QTime, int> seconds[] = {
        {QTime(23, 59, 58), 4}, {QTime(23, 59, 59), 1}, {QTime(0, 0, 0), 2}, {QTime(0, 0, 3), 5}};
    for (const auto &[time, count] : seconds)
        for (int i = 0; i < count; ++i)
            lines += loggedLine(Protocol::Fast, i, time);
    const CsvLogContents log = readCsvLog(logBytes(lines));
    // Past midnight the clock goes on; a gap of seconds without frames stays a gap.
    const double expected[] = {0, 0.25, 0.5, 0.75, 1, 2, 2.5, 5, 5.2, 5.4, 5.6, 5.8};
    ASSERT_EQ(log.frames.size(), std::size(expected));
    for (std::size_t i = 0; i < std::size(expected); ++i)
        EXPECT_DOUBLE_EQ(log.frames[i].seconds, expected[i]) << "frame " << i;
}

TEST(CsvLogReader, KeepsTheReadableLinesOfADamagedLogAndNamesTheFirstBadOne) {
    const QStringList good = logOf(Protocol::Fast, {QTime(10, 0, 0), QTime(10, 0, 1)}, 2);
    const QString line = good.at(1);
    struct Case {
        const char *what;
        QString bad;
    };
    const Case cases[] = {
        {"torn in the channels", line.left(line.size() / 2)},
        {"a letter in a number", QString(line).replace(10, 1, QLatin1Char('x'))},
        {"no time", line.mid(6)},
        {"a minute of 61", QStringLiteral("106100") + line.mid(6)},
        {"too many fields", line + QStringLiteral(",1,2,3,4,5,6,7,8,9")},
        {"an empty line", QString()},
        {"a number of infinity", QStringLiteral("100000,inf") + line.mid(line.indexOf(QLatin1Char(','), 7))},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        QStringList lines = good;
        lines.insert(3, c.bad);      // line 4 of the file
        lines.insert(5, c.bad);      // line 6
        lines.append(line.left(20)); // a torn last line, without its line end
        QByteArray bytes = logBytes(lines);
        bytes.chop(2);
        const CsvLogContents log = readCsvLog(bytes);
        EXPECT_TRUE(log.recognised);
        EXPECT_EQ(log.frames.size(), 4u);
        EXPECT_EQ(log.firstBadLine, 4);
        EXPECT_EQ(log.badLines, 3);
        EXPECT_FALSE(log.firstProblem.isEmpty());
    }
}

TEST(CsvLogReader, ReadsNothingOfAForeignFile) {
    const QString header = CsvLog::header(Protocol::Fast, QLatin1Char(','));
    const QByteArray body = logBytes(logOf(Protocol::Fast, {QTime(10, 0, 0)}, 2).mid(1));
    struct Case {
        const char *what;
        QByteArray bytes;
    };
    const Case cases[] = {
        {"empty", QByteArray()},
        {"another program's CSV", "time,rpm,afr\r\n1,800,14.7\r\n"},
        {"our header in UTF-8", header.toUtf8() + "\r\n" + body},
        {"a channel left out of the header", cp1251::encode(header.section(QLatin1Char(','), 0, 3)) + "\r\n" + body},
        {"a firmware image", QByteArray(4096, '\xFF')},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const CsvLogContents log = readCsvLog(c.bytes);
        EXPECT_FALSE(log.recognised);
        EXPECT_TRUE(log.frames.empty());
        EXPECT_EQ(log.firstBadLine, 1);
    }
}

// A logged line turned back into a frame decodes to the channels of the
// frame that was logged, whatever its bytes: the replay of a log tunes on
// what the drive showed.
TEST(LoggedFrameEncoder, AFrameMadeFromALoggedLineDecodesToTheLoggedChannels) {
    QRandomGenerator random(29);
    for (Protocol protocol : {Protocol::Fast, Protocol::Standard}) {
        for (int round = 0; round < 200; ++round) {
            QByteArray frame(frameLength(protocol), '\0');
            for (char &byte : frame)
                byte = static_cast<char>(random.bounded(256));
            DecodeInputs in;
            in.lambdaAfr = 10 + random.bounded(1000) / 100.0;
            in.pressureSensor = {true, 20.5, 0.3};
            LiveParameters p;
            LiveChannels logged;
            decodeFrame(frame, in, p, logged);
            const QString line = CsvLog::line(logged, channelCount(protocol), {}, QTime(12, 0, 0), QLatin1Char(','));
            const CsvLogContents log = readCsvLog(logBytes({CsvLog::header(protocol, QLatin1Char(',')), line}));
            ASSERT_EQ(log.frames.size(), 1u);
            const LiveChannels &read = log.frames[0].channels;

            DecodeInputs again = in;
            again.lambdaAfr = widebandOfLoggedChannels(protocol, read);
            LiveParameters q;
            LiveChannels replayed;
            decodeFrame(frameOfLoggedChannels(protocol, read, false), again, q, replayed);
            for (int channel = 1; channel <= channelCount(protocol); ++channel)
                ASSERT_NEAR(replayed.value(channel), logged.value(channel), 0.0005)
                    << (protocol == Protocol::Fast ? "fast" : "standard") << " channel " << channel << " frame "
                    << frame.toHex().constData();
            EXPECT_FLOAT_EQ(static_cast<float>(q.afrWideband / q.afrEcu), static_cast<float>(p.afrWideband / p.afrEcu));
        }
    }
}
