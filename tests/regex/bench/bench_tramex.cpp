// Compile and match costs of the expressions the grid's editors validate
// with: every typed character builds a fresh object, compiles and matches.
#include "RegularExpression.h"

#include <benchmark/benchmark.h>

namespace {

const char* const kPatterns[] = {
    "[0-9A-F]",                      // one hexadecimal digit of a transponder number
    "[0-9A-F]{10}",                  // a whole transponder number
    "[0-9]",                         // a digit
    "([01][0-9]|2[0-3])[0-5][0-9]",  // a time "hhmm" of a switching window
    "[A-Za-z0-9 _.-]*",              // a name
};

QString pattern(const benchmark::State& state)
{
    return QString::fromLatin1(kPatterns[state.range(0)]);
}

void nameBy(benchmark::State& state)
{
    state.SetLabel(kPatterns[state.range(0)]);
}

// What one typed character costs the editor: the whole validation cycle.
void ValidateTypedCharacter(benchmark::State& state)
{
    const QString expression = pattern(state);
    const QString typed = QStringLiteral("A");
    for (auto _ : state) {
        RegularExpression re;
        re.SetExpression(expression);
        re.SetLocaleModel(RegularExpression::standard_locale);
        if (re.ParseExpression() != RegularExpression::no_error)
            state.SkipWithError("does not compile");
        re.SetStringToMatch(typed);
        re.SetFormatType(RegularExpression::format_all);
        benchmark::DoNotOptimize(re.MatchAll());
    }
    nameBy(state);
}
BENCHMARK(ValidateTypedCharacter)->DenseRange(0, 4);

void CompileOnly(benchmark::State& state)
{
    const QString expression = pattern(state);
    for (auto _ : state) {
        RegularExpression re;
        re.SetExpression(expression);
        benchmark::DoNotOptimize(re.ParseExpression());
    }
    nameBy(state);
}
BENCHMARK(CompileOnly)->DenseRange(0, 4);

void CompileOnlyRuntimeModel(benchmark::State& state)
{
    const QString expression = pattern(state);
    for (auto _ : state) {
        RegularExpression re;
        re.SetLocaleModel(RegularExpression::runtime_library_locale);
        re.SetExpression(expression);
        benchmark::DoNotOptimize(re.ParseExpression());
    }
    nameBy(state);
}
BENCHMARK(CompileOnlyRuntimeModel)->DenseRange(0, 4);

// Matching with the compiled expression kept, a ten-character text.
void MatchCompiled(benchmark::State& state)
{
    RegularExpression re;
    re.SetExpression(pattern(state));
    re.ParseExpression();
    const QString subject = QStringLiteral("00FF12AB9C");
    for (auto _ : state) {
        re.SetStringToMatch(subject);
        benchmark::DoNotOptimize(re.MatchAll());
    }
    nameBy(state);
}
BENCHMARK(MatchCompiled)->DenseRange(0, 4);

// The match vector built and handed to an event handler.
void MatchAllWithHandler(benchmark::State& state)
{
    RegularExpression re;
    int receiver = 0;
    int reports = 0;
    re.OnMatching.Subscribe(&receiver, [&reports](RegularExpression*, const std::vector<REMatch>&, unsigned,
                                                  unsigned) { ++reports; });
    re.SetExpression(QStringLiteral("([0-9A-F]{2})+"));
    const QString subject = QStringLiteral("00FF12AB9C");
    for (auto _ : state) {
        re.SetStringToMatch(subject);
        benchmark::DoNotOptimize(re.MatchAll());
    }
    benchmark::DoNotOptimize(reports);
}
BENCHMARK(MatchAllWithHandler);

void SearchLongSubject(benchmark::State& state)
{
    RegularExpression re;
    re.SetExpression(QStringLiteral("[0-9A-F]{10};"));
    QString subject(int(state.range(0)), QChar('x'));
    subject += QStringLiteral("00FF12AB9C;");
    for (auto _ : state) {
        re.SetStringToMatch(subject);
        benchmark::DoNotOptimize(re.Search());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * subject.size());
}
BENCHMARK(SearchLongSubject)->Arg(1000)->Arg(100000);

} // namespace

BENCHMARK_MAIN();
