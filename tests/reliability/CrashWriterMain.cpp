// Writes one of the program's files again and again through the program's own
// code until it is killed: crash_writer <firmware|config|csv> <folder> <seed> <first round>.
// "ready" is printed before the first write, "done N" after each completed
// round (for the CSV log: N is the number of lines on disk after a write).
#include "WriteRounds.h"

#include "core/LogDirectory.h"
#include "core/ProgramLog.h"
#include "core/SettingsList.h"
#include "firmware/FirmwareFiles.h"
#include "firmware/FirmwareIdentity.h"
#include "firmware/FirmwareStore.h"
#include "live/CsvLog.h"

#include <QDir>
#include <QElapsedTimer>

#include <cstdio>

using namespace korvel;
using namespace korvel::test;

namespace {

// A writer left behind by a test that died stops by itself.
constexpr qint64 kLifetimeMs = 20000;

void report(const char *what, qint64 n = -1) {
    if (n < 0)
        std::printf("%s\n", what);
    else
        std::printf("%s %lld\n", what, static_cast<long long>(n));
    std::fflush(stdout);
}

int fail(const QString &why) {
    std::fprintf(stderr, "%s\n", qPrintable(why));
    return 2;
}

int writeFirmware(const QString &folder, std::uint32_t seed, std::uint32_t round) {
    FirmwareStore store;
    FirmwareIdentity identity;
    identity.setDefaultFirmwareFileName(kAutoSaveName);
    LogDirectory logDirectory(folder);
    QElapsedTimer clock;
    clock.start();
    report("ready");
    for (; clock.elapsed() < kLifetimeMs; ++round) {
        const FirmwareImage image = firmwareRound(seed, round);
        store.loadImage(image);
        if (const auto saved = FirmwareSave(store, identity, logDirectory, writerNow()); !saved)
            return fail(saved.error());
        if (const auto saved = saveFirmwareAs(QDir(folder).filePath(kSaveAsChoice), image); !saved)
            return fail(saved.error());
        report("done", round);
    }
    return 0;
}

int writeConfig(const QString &folder, std::uint32_t seed, std::uint32_t round) {
    const QString path = QDir(folder).filePath(kConfigName);
    SettingsList settings;
    if (!settings.load(path))
        return fail(QStringLiteral("cannot read ") + path);
    QElapsedTimer clock;
    clock.start();
    report("ready");
    for (; clock.elapsed() < kLifetimeMs; ++round) {
        const QStringList lines = configLines(seed, round);
        for (const QString &line : lines)
            settings.setValue(line.section(QLatin1Char('='), 0, 0), line.section(QLatin1Char('='), 1));
        if (const QString why = settings.save(path); !why.isEmpty())
            return fail(why);
        report("done", round);
    }
    return 0;
}

int writeCsv(const QString &folder, std::uint32_t seed) {
    LogDirectory logDirectory(folder);
    logDirectory.ensure(writerNow());
    ProgramLog log;
    CsvLog csv(logDirectory, log);
    csv.start(Protocol::Fast, kLogFieldSeparator);
    QElapsedTimer clock;
    clock.start();
    report("ready");
    for (int n = 1; clock.elapsed() < kLifetimeMs; ++n) {
        const int before = csv.linesOnDisk();
        csv.append(csvChannels(seed, n), TuningTrace{}, writerNow().time());
        if (!log.lines().isEmpty())
            return fail(log.last());
        if (csv.linesOnDisk() != before)
            report("done", csv.linesOnDisk());
    }
    return 0;
}

} // namespace

int main(int argc, char **argv) {
    // No application object: the writer starts as fast as it can, for the test starts it hundreds of times.
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args += QString::fromLocal8Bit(argv[i]);
    if (args.size() != 5)
        return fail(QStringLiteral("usage: crash_writer <firmware|config|csv> <folder> <seed> <first round>"));
    const QString &kind = args[1];
    const QString &folder = args[2];
    const auto seed = static_cast<std::uint32_t>(args[3].toUInt());
    const auto first = static_cast<std::uint32_t>(args[4].toUInt());
    if (kind == kKindFirmware)
        return writeFirmware(folder, seed, first);
    if (kind == kKindConfig)
        return writeConfig(folder, seed, first);
    if (kind == kKindCsv)
        return writeCsv(folder, seed);
    return fail(QStringLiteral("unknown kind ") + kind);
}
