// Settings reads sit on paint paths (the time-schema view asks for the
// language for every name cell it draws), so a read must stay cheap.
#include "CRegistryKey.h"

#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <cstdlib>

static void BM_ReadDWord(benchmark::State& state)
{
    CRegistryKey key;
    key.WriteDWord(1, 1, kProgramKey, "nLanguage");
    for (auto _ : state) {
        quint32 language = 0;
        benchmark::DoNotOptimize(key.ReadDWord(&language, 1, kProgramKey, "NLANGUAGE"));
        benchmark::DoNotOptimize(language);
    }
}
BENCHMARK(BM_ReadDWord);

static void BM_ReadDWordMissing(benchmark::State& state)
{
    CRegistryKey key;
    for (auto _ : state) {
        quint32 value = 0;
        benchmark::DoNotOptimize(key.ReadDWord(&value, 1, kProgramKey, "nNotThere"));
    }
}
BENCHMARK(BM_ReadDWordMissing);

static void BM_ReadString(benchmark::State& state)
{
    CRegistryKey key;
    key.WriteString(1, kProgramKey, "BackupPath", QStringLiteral("/home/anwender/Sicherungen/Größe"));
    for (auto _ : state)
        benchmark::DoNotOptimize(key.ReadString(1, kProgramKey, "backuppath"));
}
BENCHMARK(BM_ReadString);

// Every write reaches the disk.
static void BM_WriteDWord(benchmark::State& state)
{
    CRegistryKey key;
    quint32 port = 1;
    for (auto _ : state)
        key.WriteDWord(port++ % 256, 1, kProgramKey, "nAktCom");
}
BENCHMARK(BM_WriteDWord);

int main(int argc, char** argv)
{
    // Measure on a settings file of our own, never the user's.
    QTemporaryDir config;
    if (!config.isValid() || setenv("XDG_CONFIG_HOME", config.path().toLocal8Bit().constData(), 1) != 0)
        return 1;
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
