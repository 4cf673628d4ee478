#include "live/CsvLog.h"
#include "TestSupport.h"
#include "core/Cp1251.h"
#include "core/LogDirectory.h"
#include "core/ProgramLog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>

#include <sys/stat.h>

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
    // The log's writer thread is done with what it was handed.
    QByteArray onDisk() {
        csv.waitWritten();
        return read(path());
    }
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
            const QByteArray bytes = onDisk();
            ASSERT_EQ(csv.linesOnDisk(), bytes.count('\n'));
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
    csv.waitWritten();
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
        log.waitWritten();
        if (c.remove) {
            ASSERT_TRUE(QFile::remove(folder.filePath("лог.csv")));
        } else {
            QFile cut(folder.filePath("лог.csv"));
            ASSERT_TRUE(cut.resize(40));
        }
        for (int i = 101; i < 303; ++i)
            log.append(channelsFor(i), {}, kTime);
        log.stop();
        log.waitWritten();

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
        csv.waitWritten();
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
    blockedCsv.waitWritten();
    EXPECT_EQ(log.lines().size(), 1);
    EXPECT_EQ(blockedCsv.linesOnDisk(), 0);
    EXPECT_EQ(blockedCsv.lineCount(), 304);

    ASSERT_TRUE(QFile::remove(blocked));
    blockedCsv.stop();
    blockedCsv.waitWritten();
    EXPECT_EQ(read(blockedDirectory.ensure() + QStringLiteral("/лог.csv")),
              encoded(fileOf(Protocol::Fast, frames(303))));
    EXPECT_EQ(blockedCsv.linesOnDisk(), 304);
}

// The file grows where it is: the same file (inode) from the first write to the
// last, and nothing beside it, however many writes a drive makes.
TEST_F(CsvLogFixture, WritesAppendInPlace) {
    csv.start(Protocol::Fast, kLogFieldSeparator);
    addLines(101);
    ASSERT_EQ(onDisk().count('\n'), 102);
    struct stat first {};
    ASSERT_EQ(::stat(QFile::encodeName(path()).constData(), &first), 0);
    addLines(505, 101);
    csv.stop();
    EXPECT_EQ(onDisk(), encoded(fileOf(Protocol::Fast, frames(606))));
    struct stat last {};
    ASSERT_EQ(::stat(QFile::encodeName(path()).constData(), &last), 0);
    EXPECT_EQ(last.st_ino, first.st_ino) << "the log was replaced by a copy";
    EXPECT_EQ(QDir(directory.ensure()).entryList(QDir::Files | QDir::Hidden), QStringList{"лог.csv"});
}

// Start-up cuts the torn last line a kill left in the logs of earlier runs,
// and leaves every other file alone.
TEST(CsvLogRepair, EarlierRunLogsEndWithAWholeLine) {
    struct Case {
        const char *file; // relative to the working folder
        QByteArray content;
        QByteArray after;
        bool reported;
    };
    const Case cases[] = {
        {"05.03.14-17.42.09/лог.csv", "Time,a\r\n1,2\r\n3,", "Time,a\r\n1,2\r\n", true},
        {"05.03.14-17.42.09/лог_1.csv", "Time,a\r\n1,2\r", "Time,a\r\n", true},
        {"06.03.14-08.00.00/лог.csv", "Time,a\r\n1,2\r\n", "Time,a\r\n1,2\r\n", false},
        {"06.03.14-08.00.01/лог.csv", "Time,a", "", true},
        {"06.03.14-08.00.02/лог.csv", "", "", false},
        {"05.03.14-17.42.09/заметки.txt", "no line end", "no line end", false},
        {"копии/лог.csv", "Time,a\r\n1,", "Time,a\r\n1,", false},
        {"лог.csv", "Time,a\r\n1,", "Time,a\r\n1,", false},
    };
    // A torn line longer than the chunk the repair reads backwards.
    const QByteArray longTail = QByteArray("Time,a\r\n") + QByteArray(200 * 1024, '7');
    test::WorkDir work{false};
    const auto put = [&](const QString &name, const QByteArray &bytes) {
        ASSERT_TRUE(QDir().mkpath(QFileInfo(work.path(name)).path()));
        work.write(name, bytes);
    };
    for (const Case &c : cases)
        put(QString::fromUtf8(c.file), c.content);
    put(QStringLiteral("07.03.14-09.10.11/лог.csv"), longTail);
    LogDirectory current(work.path());
    const QString currentLog =
        current.ensure(QDateTime(QDate(2014, 3, 8), QTime(10, 0, 0))) + QStringLiteral("/лог.csv");
    put(QStringLiteral("08.03.14-10.00.00/лог.csv"), "Time,a\r\n1,"); // this run's own log is being written

    ProgramLog log;
    CsvLog::repairEarlierLogs(current, log);

    int reported = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.file);
        QFile file(work.path(QString::fromUtf8(c.file)));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), c.after);
        reported += c.reported;
        const qint64 cut = c.content.size() - c.after.size();
        const QString line = "Лог " + QDir::toNativeSeparators(work.path(QString::fromUtf8(c.file))) +
                             " оборван на недописанной строке: отрезано " + QString::number(cut) +
                             " байт после последней целой строки";
        EXPECT_EQ(log.lines().contains(line), c.reported) << log.lines().join('\n').toStdString();
    }
    EXPECT_EQ(work.read(QStringLiteral("07.03.14-09.10.11/лог.csv")), "Time,a\r\n");
    EXPECT_EQ(work.read(QStringLiteral("08.03.14-10.00.00/лог.csv")), "Time,a\r\n1,");
    EXPECT_TRUE(QFileInfo::exists(currentLog));
    EXPECT_EQ(log.lines().size(), reported + 1);
}
