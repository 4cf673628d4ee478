#include "live/CsvLog.h"
#include "TestSupport.h"
#include "core/Cp1251.h"
#include "core/LogDirectory.h"
#include "core/ProgramLog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

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

struct CsvLogFixture : ::testing::Test {
    test::WorkDir work{false};
    LogDirectory directory{work.path()};
    ProgramLog log;
    CsvLog csv{directory, log};

    QString path() { return directory.ensure() + QStringLiteral("/лог.csv"); }
    QByteArray onDisk() {
        QFile file(path());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
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

TEST(CsvLogFormat, CommaLocaleSeparatesFieldsWithPoints) {
    const QChar separator = logFieldSeparatorFor(QLatin1Char(','));
    LiveChannels channels;
    channels.set(1, 2.5F);
    const QString line = CsvLog::line(channels, 2, {}, kTime, separator);
    EXPECT_EQ(line, "090507.2.5.0.0.0.0.0.0.0.0.0");
    EXPECT_TRUE(CsvLog::header(Protocol::Standard, separator).startsWith("Time.Температура"));
    EXPECT_EQ(logFieldSeparatorFor(QLatin1Char('.')), QLatin1Char(','));
}

TEST_F(CsvLogFixture, TheHundredAndFirstLineWrites) {
    csv.start(Protocol::Fast, QLatin1Char(','));
    addLines(100);
    EXPECT_FALSE(QFileInfo::exists(path()));
    addLines(1, 100);
    EXPECT_EQ(onDisk(), encoded(csv.lines()));
    EXPECT_EQ(csv.lines().size(), 102);
    addLines(100, 101);
    EXPECT_EQ(onDisk().count('\n'), 102) << "next write after another 101 lines";
    addLines(1, 201);
    EXPECT_EQ(onDisk(), encoded(csv.lines()));
    EXPECT_TRUE(onDisk().startsWith(cp1251::encode(QStringLiteral("Time,Рабочая точка RPM_GBC_3D,"))));
}

TEST_F(CsvLogFixture, DisconnectWritesTheRest) {
    csv.start(Protocol::Standard, QLatin1Char(','));
    addLines(150);
    csv.stop();
    EXPECT_FALSE(csv.isRunning());
    EXPECT_EQ(onDisk().count('\n'), 151);
    EXPECT_EQ(onDisk(), encoded(csv.lines()));
    csv.append(channelsFor(0), {}, kTime);
    EXPECT_EQ(csv.lines().size(), 151) << "nothing is added after disconnect";
}

TEST_F(CsvLogFixture, LongRunFileEqualsTheWholeList) {
    csv.start(Protocol::Fast, QLatin1Char(','));
    for (int i = 0; i < 3000; ++i) {
        csv.append(channelsFor(i), {i % 2, 1, i % 7, i % 11, i / 100, i % 2, i / 128.0, i / 64.0}, kTime.addSecs(i));
        if (i % 1000 == 999) {
            ASSERT_EQ(csv.linesOnDisk(), onDisk().count('\n'));
            EXPECT_EQ(onDisk(), encoded(csv.lines().mid(0, csv.linesOnDisk())));
        }
    }
    csv.stop();
    EXPECT_EQ(onDisk(), encoded(csv.lines()));
}

// A reconnect in the same run starts a new лог.csv; the earlier drive is kept
// beside it, and a connect pressed while logging loses nothing either.
TEST_F(CsvLogFixture, NewConnectionKeepsTheEarlierLogs) {
    csv.start(Protocol::Fast, QLatin1Char(','));
    addLines(300);
    const QByteArray first = encoded(csv.lines());
    csv.stop();
    csv.start(Protocol::Standard, QLatin1Char(','));
    addLines(20);
    const QByteArray second = encoded(csv.lines());
    csv.start(Protocol::Standard, QLatin1Char(',')); // while the second one runs
    addLines(101);
    EXPECT_EQ(onDisk(), encoded(csv.lines()));
    EXPECT_EQ(onDisk().count('\n'), 102);
    const QDir folder(directory.ensure());
    QFile one(folder.filePath("лог_1.csv")), two(folder.filePath("лог_2.csv"));
    ASSERT_TRUE(one.open(QIODevice::ReadOnly));
    ASSERT_TRUE(two.open(QIODevice::ReadOnly));
    EXPECT_EQ(one.readAll(), first);
    EXPECT_EQ(two.readAll(), second);
    EXPECT_TRUE(log.lines().contains("Лог предыдущего подключения сохранён: лог_2.csv"));
}

TEST_F(CsvLogFixture, FileRemovedDuringTheRunIsWrittenWhole) {
    csv.start(Protocol::Fast, QLatin1Char(','));
    addLines(101);
    ASSERT_TRUE(QFile::remove(path()));
    addLines(101, 101);
    EXPECT_EQ(onDisk(), encoded(csv.lines()));
}

TEST_F(CsvLogFixture, FullDiskIsReportedOnceAndRecovered) {
    csv.start(Protocol::Fast, QLatin1Char(','));
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
    EXPECT_EQ(onDisk(), encoded(csv.lines()));
    EXPECT_EQ(log.lines().size(), 1);
}

TEST_F(CsvLogFixture, MissingFolderIsReportedOnceAndRecovered) {
    const QString blocked = work.path(QStringLiteral("logs"));
    work.write(QStringLiteral("logs"), "a file where the folder should be");
    LogDirectory blockedDirectory(blocked);
    CsvLog blockedCsv(blockedDirectory, log);
    blockedCsv.start(Protocol::Fast, QLatin1Char(','));
    for (int i = 0; i < 303; ++i)
        blockedCsv.append(channelsFor(i), {}, kTime);
    EXPECT_EQ(log.lines().size(), 1);
    EXPECT_EQ(blockedCsv.linesOnDisk(), 0);

    ASSERT_TRUE(QFile::remove(blocked));
    blockedCsv.stop();
    QFile file(blockedDirectory.ensure() + QStringLiteral("/лог.csv"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), encoded(blockedCsv.lines()));
    EXPECT_EQ(blockedCsv.lines().size(), 304);
}
