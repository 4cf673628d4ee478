// Reading a long config.ini: the settings list must stay linear in its lines.
#include "core/Cp1251.h"
#include "core/SettingsList.h"

#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

using namespace korvel;

namespace {

// The shipped settings followed by made-up ones up to `count` lines, Cyrillic
// and mixed case as users write them.
QByteArray configOfLines(int count) {
    QString text;
    for (int i = 0; i < count; ++i)
        text += QStringLiteral("Параметр Пользователя %1=%2\r\n").arg(i).arg(i % 97);
    return cp1251::encode(text);
}

QString writeConfig(const QTemporaryDir &dir, int lines) {
    const QString path = dir.filePath(QStringLiteral("config.ini"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(configOfLines(lines)) < 0)
        return {};
    return path;
}

// Loading alone: the file, the list and its drop-down lists.
void BM_SettingsListLoad(benchmark::State &state) {
    QTemporaryDir dir;
    const QString path = writeConfig(dir, static_cast<int>(state.range(0)));
    if (path.isEmpty()) {
        state.SkipWithError("cannot write config.ini");
        return;
    }
    for (auto _ : state) {
        SettingsList list;
        benchmark::DoNotOptimize(list.load(path));
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_SettingsListLoad)->Arg(4000)->Arg(20000)->Arg(40000)->Unit(benchmark::kMillisecond)->Complexity();

// Loading and reading every setting back by its name, as "korvel-cli settings"
// and the session's start-up do: one lookup per line.
void BM_SettingsListLoadAndReadEveryName(benchmark::State &state) {
    QTemporaryDir dir;
    const QString path = writeConfig(dir, static_cast<int>(state.range(0)));
    if (path.isEmpty()) {
        state.SkipWithError("cannot write config.ini");
        return;
    }
    for (auto _ : state) {
        SettingsList list;
        list.load(path);
        for (int row = 0; row < list.count(); ++row)
            benchmark::DoNotOptimize(list.value(list.nameAt(row).toUpper()));
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_SettingsListLoadAndReadEveryName)
    ->Arg(4000)
    ->Arg(20000)
    ->Arg(40000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity();

} // namespace
