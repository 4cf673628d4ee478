#include "live/CsvLog.h"
#include "TestSupport.h"
#include "core/Cp1251.h"
#include "core/LogDirectory.h"
#include "core/ProgramLog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>

#include <gtest/gtest.h>

using namespace korvel;

namespace {

const QTime kTime(9, 5, 7);

LiveChannels channelsFor(int step) {
    LiveChannels channels;
    for (int channel = 1; channel <= kMaxChannelCount; ++channel)
        channels.set(channel, static_cast<float>(step * 0.001 + channel * 1.25));
    return channels;
}

QByteArray encoded(const QStringList &lines) {
    QByteArray bytes;
    for (const QString &line : lines)
        bytes += cp1251::encode(line) + "\r\n";
    return bytes;
}

// What a file holds after `count` frames from channelsFor(from) on.
QStringList frames(int count, int from = 0) {
    QStringList lines;
    for (int i = from; i < from + count; ++i)
        lines += CsvLog::line(channelsFor(i), kFastChannelCount, {}, kTime, kLogFieldSeparator);
    return lines;
}
QStringList fileOf(Protocol protocol, const QStringList &lines) {
    return QStringList{CsvLog::header(protocol, kLogFieldSeparator)} + lines;
}

struct CsvLogFixture : ::testing::Test {
    test::WorkDir work{false};
    LogDirectory directory{work.path()};
    ProgramLog log;
    CsvLog csv{directory, log};

    QString path() { return directory.ensure() + QStringLiteral("/лог.csv"); }
    QByteArray onDisk() { return read(path()); }
    QByteArray read(const QString &file) {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    void addLines(int count, int from = 0) {
        for (int i = 0; i < count; ++i)
            csv.append(channelsFor(from + i), {}, kTime);
    }
};

} // namespace

TEST(CsvLogFormat, HeaderOfEachProtocol) {
    const QStringList fast = CsvLog::header(Protocol::Fast, QLatin1Char(',')).split(QLatin1Char(','));
    ASSERT_EQ(fast.size(), 1 + 56 + 8);
    EXPECT_EQ(fast[0], "Time");
    EXPECT_EQ(fast[1], "Рабочая точка RPM_GBC_3D");
    EXPECT_EQ(fast[56], "флаг разрешения нагрева датчика кислород");
    EXPECT_EQ(fast.mid(57),
              (QStringList{"Обучение", "Выполнение условий", "циклы стационарности", "учет данных для анализа",
                           "количество перезаписей", "перезапись", "старая поправка", "новая поправка"}));
    const QStringList standard = CsvLog::header(Protocol::Standard, QLatin1Char(',')).split(QLatin1Char(','));
    ASSERT_EQ(standard.size(), 1 + 36);
    EXPECT_EQ(standard[1], "Температура охлаждающей жидкости");
    EXPECT_EQ(standard[36], "флаг разрешения нагрева датчика кислород");
}

TEST(CsvLogFormat, LineHoldsTimeChannelsAndTrace) {
    LiveChannels channels;
    channels.set(1, 12.3456F);
    channels.set(2, 14.7F);
    channels.set(3, -5.0F);
    channels.set(4, 0.1236F); // three decimals, no float noise
    channels.set(5, 2.0004F);
    channels.set(36, 1.0F);
    const TuningTrace trace{1, 1, 4, 12, 3, 1, 126 / 128.0, 1.0234375};
    const QStringList fields =
        CsvLog::line(channels, kStandardChannelCount, trace, kTime, QLatin1Char(',')).split(QLatin1Char(','));
    ASSERT_EQ(fields.size(), 1 + 36 + 8) << "the standard protocol writes the trace without names";
    EXPECT_EQ(fields[0], "090507");
    EXPECT_EQ(fields[1], "12.346");
    EXPECT_EQ(fields[2], "14.7");
    EXPECT_EQ(fields[3], "-5");
    EXPECT_EQ(fields[4], "0.124");
    EXPECT_EQ(fields[5], "2");
    EXPECT_EQ(fields[6], "0");
    EXPECT_EQ(fields[36], "1");
    EXPECT_EQ(fields.mid(37), (QStringList{"1", "1", "4", "12", "3", "1", "0.984375", "1.0234375"}));
}

// A comma-decimal system (the usual Russian one) changes neither the numbers
// nor the separator: the header and every line split back into their values.
TEST(CsvLogFormat, CommaDecimalLocaleKeepsEveryFieldReadable) {
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    ASSERT_EQ(QLocale().decimalPoint(), ",");
    LiveChannels channels;
    channels.set(1, 2.5F);
    channels.set(2, -0.125F);
    const TuningTrace trace{1, 0, 3, 2, 1, 0, 0.5, 1.25};
    const QStringList header = CsvLog::header(Protocol::Standard, kLogFieldSeparator).split(QLatin1Char(','));
    const QStringList fields =
        CsvLog::line(channels, kStandardChannelCount, trace, kTime, kLogFieldSeparator).split(QLatin1Char(','));
    QLocale::setDefault(previous);

    ASSERT_EQ(header.size(), 1 + 36);
    EXPECT_EQ(header[0], "Time");
    EXPECT_EQ(header[1], "Температура охлаждающей жидкости");
    ASSERT_EQ(fields.size(), 1 + 36 + 8);
    EXPECT_EQ(fields[0], "090507");
    const QLocale c = QLocale::c();
    bool ok = false;
    EXPECT_EQ(c.toDouble(fields[1], &ok), 2.5);
    EXPECT_TRUE(ok);
    EXPECT_EQ(c.toDouble(fields[2], &ok), -0.125);
    EXPECT_TRUE(ok);
    EXPECT_EQ(fields.mid(37), (QStringList{"1", "0", "3", "2", "1", "0", "0.5", "1.25"}));
}

TEST_F(CsvLogFixture, TheHundredAndFirstLineWrites) {
    csv.start(Protocol::Fast, kLogFieldSeparator);
    addLines(100);
    EXPECT_FALSE(QFileInfo::exists(path()));
    EXPECT_EQ(csv.lineCount(), 101);
    addLines(1, 100);
    EXPECT_EQ(onDisk(), encoded(fileOf(Protocol::Fast, frames(101))));
    EXPECT_EQ(csv.linesOnDisk(), 102);
    addLines(100, 101);
    EXPECT_EQ(onDisk().count('\n'), 102) << "next write after another 101 lines";
    addLines(1, 201);
    EXPECT_EQ(onDisk(), encoded(fileOf(Protocol::Fast, frames(202))));
    EXPECT_TRUE(onDisk().startsWith(cp1251::encode(QStringLiteral("Time,Рабочая точка RPM_GBC_3D,"))));
}

TEST_F(CsvLogFixture, DisconnectWritesTheRest) {
    csv.start(Protocol::Fast, kLogFieldSeparator);
    addLines(150);
    csv.stop();
    EXPECT_FALSE(csv.isRunning());
    EXPECT_EQ(onDisk(), encoded(fileOf(Protocol::Fast, frames(150))));
    csv.append(channelsFor(0), {}, kTime);
    EXPECT_EQ(csv.lineCount(), 151) << "nothing is added after disconnect";
    EXPECT_EQ(csv.linesOnDisk(), 151);
}

TEST_F(CsvLogFixture, ConnectWithoutFramesLeavesTheHeader) {
    csv.start(Protocol::Standard, kLogFieldSeparator);
    csv.stop();
    EXPECT_EQ(onDisk(), encoded({CsvLog::header(Protocol::Standard, kLogFieldSeparator)}));
}

// Only the lines since the last write stay in memory, however long the drive.
TEST_F(CsvLogFixture, LongRunKeepsOnlyUnwrittenLinesInMemory) {
    csv.start(Protocol::Fast, kLogFieldSeparator);
    QStringList expected;
    for (int i = 0; i < 3000; ++i) {
        const TuningTrace trace{i % 2, 1, i % 7, i % 11, i / 100, i % 2, i / 128.0, i / 64.0};
        csv.append(channelsFor(i), trace, kTime.addSecs(i));
        expected += CsvLog::line(channelsFor(i), kFastChannelCount, trace, kTime.addSecs(i), kLogFieldSeparator);
        ASSERT_LE(csv.pendingLines().size(), CsvLog::kLinesPerWrite + 1);
        if (i % 1000 == 999) {
            ASSERT_EQ(csv.linesOnDisk(), onDisk().count('\n'));
            EXPECT_EQ(csv.lineCount(), i + 2);
        }
    }
    csv.stop();
    EXPECT_TRUE(csv.pendingLines().isEmpty());
    EXPECT_EQ(onDisk(), encoded(fileOf(Protocol::Fast, expected)));
}

// A reconnect in the same run starts a new лог.csv; the earlier drive is kept
// beside it, and a connect pressed while logging loses nothing either.
TEST_F(CsvLogFixture, NewConnectionKeepsTheEarlierLogs) {
    csv.start(Protocol::Fast, kLogFieldSeparator);
    addLines(300);
    csv.stop();
    csv.start(Protocol::Standard, kLogFieldSeparator);
    csv.append(channelsFor(7), {}, kTime);
    csv.start(Protocol::Standard, kLogFieldSeparator); // while the second one runs
    addLines(101);
    QStringList standard;
    for (int i = 0; i < 101; ++i)
        standard += CsvLog::line(channelsFor(i), kStandardChannelCount, {}, kTime, kLogFieldSeparator);
    EXPECT_EQ(onDisk(), encoded(fileOf(Protocol::Standard, standard)));
    const QDir folder(directory.ensure());
    EXPECT_EQ(read(folder.filePath("лог_1.csv")), encoded(fileOf(Protocol::Fast, frames(300))));
    EXPECT_EQ(read(folder.filePath("лог_2.csv")),
              encoded(fileOf(Protocol::Standard,
                             {CsvLog::line(channelsFor(7), kStandardChannelCount, {}, kTime, kLogFieldSeparator)})));
    EXPECT_TRUE(log.lines().contains("Лог предыдущего подключения сохранён: лог_2.csv"));
}

// The user deleting or cutting the file mid-drive: what he left stays as it
// is, the drive goes on in a new лог.csv with its header, and the log says so.
TEST_F(CsvLogFixture, FileChangedFromOutsideStartsANewFile) {
    struct Case {
        const char *what;
        bool remove;
    };
    for (const Case &c : {Case{"deleted", true}, Case{"truncated", false}}) {
        SCOPED_TRACE(c.what);
        test::WorkDir dir{false};
        LogDirectory logs{dir.path()};
        ProgramLog programLog;
        CsvLog log{logs, programLog};
        const QDir folder(logs.ensure());
        log.start(Protocol::Fast, kLogFieldSeparator);
        for (int i = 0; i < 101; ++i)
            log.append(channelsFor(i), {}, kTime);
        if (c.remove) {
            ASSERT_TRUE(QFile::remove(folder.filePath("лог.csv")));
        } else {
            QFile cut(folder.filePath("лог.csv"));
            ASSERT_TRUE(cut.resize(40));
        }
        for (int i = 101; i < 303; ++i)
            log.append(channelsFor(i), {}, kTime);
        log.stop();

        EXPECT_EQ(read(folder.filePath("лог.csv")), encoded(fileOf(Protocol::Fast, frames(202, 101))));
        EXPECT_EQ(log.linesOnDisk(), 203);
        const QString changed = "Файл лога " + folder.filePath("лог.csv") +
                                " удалён или изменён другой программой: запись продолжается в новый файл";
        EXPECT_EQ(programLog.lines().count(changed), 1) << programLog.lines().join('\n').toStdString();
        if (c.remove) {
            EXPECT_FALSE(folder.exists("лог_1.csv"));
        } else {
            EXPECT_EQ(read(folder.filePath("лог_1.csv")), encoded(fileOf(Protocol::Fast, frames(101))).left(40));
            EXPECT_TRUE(programLog.lines().contains("Лог предыдущего подключения сохранён: лог_1.csv"));
        }
    }
}

TEST_F(CsvLogFixture, FullDiskIsReportedOnceAndRecovered) {
    csv.start(Protocol::Fast, kLogFieldSeparator);
    addLines(101);
    const qint64 written = onDisk().size();
    ASSERT_GT(written, 0);
    {
        test::FileSizeLimit limit(written + 100);
        addLines(101, 101);
        addLines(101, 202);
    }
    EXPECT_EQ(log.lines().size(), 1) << log.lines().join('\n').toStdString();
    EXPECT_TRUE(log.last().contains(QStringLiteral("лог.csv")));
    EXPECT_EQ(onDisk().size(), written) << "no half line left behind";
    addLines(101, 303);
    EXPECT_EQ(onDisk(), encoded(fileOf(Protocol::Fast, frames(404))));
    EXPECT_EQ(log.lines().size(), 1);
}

TEST_F(CsvLogFixture, MissingFolderIsReportedOnceAndRecovered) {
    const QString blocked = work.path(QStringLiteral("logs"));
    work.write(QStringLiteral("logs"), "a file where the folder should be");
    LogDirectory blockedDirectory(blocked);
    CsvLog blockedCsv(blockedDirectory, log);
    blockedCsv.start(Protocol::Fast, kLogFieldSeparator);
    for (int i = 0; i < 303; ++i)
        blockedCsv.append(channelsFor(i), {}, kTime);
    EXPECT_EQ(log.lines().size(), 1);
    EXPECT_EQ(blockedCsv.linesOnDisk(), 0);
    EXPECT_EQ(blockedCsv.lineCount(), 304);

    ASSERT_TRUE(QFile::remove(blocked));
    blockedCsv.stop();
    EXPECT_EQ(read(blockedDirectory.ensure() + QStringLiteral("/лог.csv")),
              encoded(fileOf(Protocol::Fast, frames(303))));
    EXPECT_EQ(blockedCsv.linesOnDisk(), 304);
}
