// Kills a process with SIGKILL at random moments while it saves the firmware,
// config.ini or the CSV log through the program's own code, hundreds of times,
// and checks after every kill that each file holds a whole old or new content.
#include "WriteRounds.h"

#include "core/Cp1251.h"
#include "core/LogDirectory.h"
#include "core/ProgramLog.h"
#include "live/CsvLog.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <optional>
#include <ostream>
#include <thread>

namespace korvel::test {
namespace {

struct Kind {
    QString name;
    int kills;
    std::uint32_t seed;
    std::function<void(const struct Kind &)> check;
};

void PrintTo(const Kind &kind, std::ostream *out) {
    *out << qPrintable(kind.name);
}

// A kill comes at a random moment within this many of the writer's rounds after
// it starts writing: most kills land inside a round, a few after several.
constexpr int kRoundsPerKill = 3;

// What a killed writer had reported: the last completed round (for the CSV
// log the lines on disk after its last write), if any.
using LastDone = std::optional<qint64>;

QByteArray readAll(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Starts the writer and reads its output until it holds `text` `count` times.
bool startWriter(QProcess &writer, const Kind &kind, const QString &folder, std::uint32_t seed,
                 std::uint32_t firstRound, QByteArray &out, const QByteArray &text = "ready\n", int count = 1) {
    if (writer.state() == QProcess::NotRunning)
        writer.start(QStringLiteral(KORVEL_CRASH_WRITER),
                     {kind.name, folder, QString::number(seed), QString::number(firstRound)});
    while (out.count(text) < count) {
        if (!writer.waitForReadyRead(30000)) {
            ADD_FAILURE() << "the writer did not write: " << writer.readAllStandardError().toStdString();
            writer.kill();
            writer.waitForFinished();
            return false;
        }
        out += writer.readAllStandardOutput();
    }
    return true;
}

// The writer's time for a round on this machine and build (sanitizers and a
// busy machine make it several times slower), in a folder of its own.
int roundTimeUs(const Kind &kind) {
    constexpr int kRounds = 5;
    QTemporaryDir scratch;
    QFile config(scratch.filePath(kConfigName));
    if (!config.open(QIODevice::WriteOnly) || config.write(configBytes(kind.seed, 0)) < 0)
        return 0;
    config.close();
    QProcess writer;
    QByteArray out;
    if (!startWriter(writer, kind, scratch.path(), kind.seed, 1, out))
        return 0;
    QElapsedTimer clock;
    clock.start();
    out.clear();
    const bool wrote = startWriter(writer, kind, scratch.path(), kind.seed, 1, out, "done ", kRounds);
    const qint64 us = clock.nsecsElapsed() / 1000 / kRounds;
    writer.kill();
    writer.waitForFinished();
    return wrote ? int(us) : 0;
}

// Starts the writer, lets it write for a random moment and kills it.
LastDone killWriter(const Kind &kind, const QString &folder, std::uint32_t seed, std::uint32_t firstRound,
                    int maxDelayUs, QRandomGenerator &random) {
    QProcess writer;
    QByteArray out;
    if (!startWriter(writer, kind, folder, seed, firstRound, out))
        return {};
    std::this_thread::sleep_for(std::chrono::microseconds(random.bounded(maxDelayUs)));
    writer.kill();
    writer.waitForFinished();
    out += writer.readAllStandardOutput();
    EXPECT_EQ(writer.exitStatus(), QProcess::CrashExit)
        << "the writer stopped by itself: " << writer.readAllStandardError().toStdString();
    LastDone done;
    for (const QByteArray &line : out.split('\n'))
        if (line.startsWith("done "))
            done = line.mid(5).toLongLong();
    return done;
}

// Every file left must be one of ours, or the hidden temporary of the save
// the kill interrupted, named so that no one takes it for the file itself;
// the next save of a file clears the temporaries earlier kills left of it.
// Returns how many temporaries there are.
int expectOnlyOurFiles(const QString &folder, const QStringList &ours) {
    int temporaries = 0;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString name = QFileInfo(it.next()).fileName();
        if (ours.contains(name))
            continue;
        const bool temporary = std::any_of(ours.begin(), ours.end(), [&](const QString &our) {
            return name.startsWith(QLatin1Char('.') + our + QLatin1Char('.'));
        });
        EXPECT_TRUE(temporary) << "stray file " << qPrintable(it.filePath());
        temporaries += temporary;
    }
    EXPECT_LE(temporaries, ours.size()) << "temporaries of earlier kills are left in " << qPrintable(folder);
    return temporaries;
}

// A file saved whole each round: the content of round r, and the round a file's bytes claim to be (-1: none).
struct WholeFile {
    QString path; // relative to the writer's folder
    std::function<QByteArray(std::uint32_t)> content;
    std::function<int(const QByteArray &)> roundOf;
};

// After each kill every file is exactly the last round the writer completed
// (before any: what the file held) or the round it was writing.
void checkWholeFiles(const Kind &kind, const std::vector<WholeFile> &files) {
    QTemporaryDir base;
    ASSERT_TRUE(base.isValid());
    QStringList names;
    std::vector<std::uint32_t> held; // the round each file holds
    for (const WholeFile &file : files) {
        ASSERT_TRUE(QDir().mkpath(QFileInfo(base.filePath(file.path)).path()));
        QFile out(base.filePath(file.path));
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(file.content(0));
        names += QFileInfo(file.path).fileName();
        held.push_back(0);
    }
    const int maxDelayUs = kRoundsPerKill * roundTimeUs(kind);
    ASSERT_GT(maxDelayUs, 0);
    QRandomGenerator random(kind.seed);
    int newRoundSeen = 0;
    int insideSave = 0;
    for (int kill = 0; kill < kind.kills; ++kill) {
        const std::uint32_t first = *std::max_element(held.begin(), held.end()) + 1;
        const LastDone done = killWriter(kind, base.path(), kind.seed, first, maxDelayUs, random);
        const std::uint32_t inProgress = done ? std::uint32_t(*done) + 1 : first;
        for (std::size_t i = 0; i < files.size(); ++i) {
            const WholeFile &file = files[i];
            const QByteArray bytes = readAll(base.filePath(file.path));
            const int round = file.roundOf(bytes);
            const std::uint32_t old = done ? std::uint32_t(*done) : held[i];
            ASSERT_TRUE(round >= 0 && (std::uint32_t(round) == old || std::uint32_t(round) == inProgress))
                << qPrintable(file.path) << " after kill " << kill << ": " << bytes.size() << " bytes of round "
                << round << ", expected round " << old << " or " << inProgress;
            ASSERT_TRUE(bytes == file.content(std::uint32_t(round)))
                << qPrintable(file.path) << " after kill " << kill << " is not the whole round " << round;
            newRoundSeen += std::uint32_t(round) == inProgress;
            held[i] = std::uint32_t(round);
        }
        insideSave += expectOnlyOurFiles(base.path(), names) > 0;
    }
    std::printf("[ %s ] %d kills within %d µs: %d inside a save (its temporary left), %d files already in the round "
                "not reported\n",
                qPrintable(kind.name), kind.kills, maxDelayUs, insideSave, newRoundSeen);
}

void checkFirmwareSaves(const Kind &kind) {
    const auto content = [&](std::uint32_t round) { return firmwareRound(kind.seed, round).bytes(); };
    const auto roundOf = [](const QByteArray &bytes) {
        return bytes.size() == kFirmwareSize ? int(roundOfImage(bytes)) : -1;
    };
    checkWholeFiles(kind, {{LogDirectory::nameFor(writerNow()) + QLatin1Char('/') + kAutoSaveName, content, roundOf},
                           {kSaveAsChoice + QStringLiteral(".bin"), content, roundOf}});
}

void checkConfigSaves(const Kind &kind) {
    checkWholeFiles(kind,
                    {{kConfigName, [&](std::uint32_t round) { return configBytes(kind.seed, round); }, configRound}});
}

// The CSV log is appended in place, so a kill can leave a torn last line; the
// program started again in the same working folder cuts it back. After that:
// whole lines only, each the line the writer gave in its place, at least every
// line the writer had reported on disk, and no file but the log itself.
void checkCsvLog(const Kind &kind) {
    QTemporaryDir base;
    ASSERT_TRUE(base.isValid());
    const int maxDelayUs = kRoundsPerKill * roundTimeUs(kind);
    ASSERT_GT(maxDelayUs, 0);
    QRandomGenerator random(kind.seed);
    const QByteArray header = cp1251::encode(CsvLog::header(Protocol::Fast, kLogFieldSeparator));
    int linesKept = 0;
    int torn = 0;
    int beyondReported = 0;
    for (int kill = 0; kill < kind.kills; ++kill) {
        const QString folder = base.filePath(QString::number(kill)); // each connection its own file
        const std::uint32_t seed = kind.seed + std::uint32_t(kill);
        const LastDone done = killWriter(kind, folder, seed, 1, maxDelayUs, random);
        const int onDisk = done ? int(*done) : 0;
        const QString path =
            folder + QLatin1Char('/') + LogDirectory::nameFor(writerNow()) + QLatin1Char('/') + CsvLog::kFileName;
        const QByteArray left = readAll(path);
        const bool tornLeft = !left.isEmpty() && !left.endsWith("\r\n");
        torn += tornLeft;

        // The program starts again in that working folder.
        ProgramLog log;
        CsvLog::repairEarlierLogs(LogDirectory(folder), log);
        EXPECT_EQ(log.lines().size(), tornLeft ? 1 : 0) << log.lines().join('\n').toStdString();

        const QByteArray bytes = readAll(path);
        ASSERT_TRUE(bytes.isEmpty() || bytes.endsWith("\r\n"))
            << "kill " << kill << ": the log still ends in a torn line after " << onDisk << " lines written";
        ASSERT_TRUE(left.startsWith(bytes)) << "kill " << kill << ": the repair changed more than the torn tail";
        QList<QByteArray> lines = bytes.split('\n');
        lines.removeLast(); // after the last line break
        for (int n = 0; n < lines.size(); ++n) {
            const QByteArray expected = n == 0 ? header : cp1251::encode(csvLine(seed, n));
            ASSERT_EQ(lines[n], expected + '\r') << "kill " << kill << ", line " << n + 1;
        }
        ASSERT_GE(lines.size(), onDisk) << "kill " << kill << ": lines reported written are gone";
        beyondReported += lines.size() > onDisk;
        linesKept += int(lines.size());
        EXPECT_EQ(expectOnlyOurFiles(folder, {CsvLog::kFileName}), 0)
            << "kill " << kill << ": the log was copied, not appended in place";
    }
    std::printf("[ %s ] %d kills within %d µs: %d left a torn last line (repaired), %d had lines on disk beyond "
                "those reported, %d lines kept in all\n",
                qPrintable(kind.name), kind.kills, maxDelayUs, torn, beyondReported, linesKept);
}

class CrashSafeFilesTest : public ::testing::TestWithParam<Kind> {};

TEST_P(CrashSafeFilesTest, EveryKillLeavesOldOrNewContent) {
    GetParam().check(GetParam());
}

INSTANTIATE_TEST_SUITE_P(Files, CrashSafeFilesTest,
                         ::testing::Values(Kind{kKindFirmware, 200, 11, checkFirmwareSaves},
                                           Kind{kKindConfig, 200, 22, checkConfigSaves},
                                           Kind{kKindCsv, 200, 33, checkCsvLog}),
                         [](const ::testing::TestParamInfo<Kind> &info) { return info.param.name.toStdString(); });

} // namespace
} // namespace korvel::test
