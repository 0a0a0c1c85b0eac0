// Compile and match costs of the expressions the grid's editors validate
// with: every typed character builds a fresh object, compiles and matches.
#include "RegularExpression.h"

#include "EngineFlags.h"
#include "ExpressionOptionSet.h"

#include <benchmark/benchmark.h>
#include <boost/regex.hpp>

#include <random>
#include <string>

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

// One megabyte of reader log: lower-case words, short numbers, blanks and
// line breaks, with none of the sought texts in it; each sought text is put
// once at its very end, so every search walks the whole megabyte.
const std::string& megabyte()
{
    static const std::string text = [] {
        static const char* const words[] = {"reader", "tag", "door", "opened", "closed", "refused",
                                            "schema", "window", "person", "entry", "exit", "alarm"};
        std::mt19937 random(1);
        std::string t;
        t.reserve(1 << 20);
        while (t.size() < (1 << 20) - 64) {
            t += words[random() % std::size(words)];
            t += ' ';
            t += std::to_string(random() % 10000);
            t += random() % 8 == 0 ? '\n' : ' ';
        }
        t += "merlin 00FF12AB9C;";
        t.resize(1 << 20, ' ');
        return t;
    }();
    return text;
}

struct SearchCase
{
    const char* label;
    const char* pattern;
};

// A literal, a character class with repetition and an alternation: each
// found once, at the end of the megabyte.
const SearchCase kSearches[] = {
    {"literal", "00FF12AB9C;"},
    {"class repeated", "[0-9A-F]{10};"},
    {"alternation", "kestrel|osprey|merlin"},
};

// Whole-text matches: a literal that fails at the first character (what
// the call itself costs), a class repeated over all of the text, and an
// alternation found at the end after a repeat over all of it. (A repeated
// alternation over a megabyte exhausts the engine's stack.)
const SearchCase kWholeMatches[] = {
    {"literal (fails at once)", "00FF12AB9C;"},
    {"class repeated", "[a-z0-9 \\n;A-F]*"},
    {"alternation", "[\\s\\S]*(?:kestrel|osprey|merlin) [0-9A-F]+; *"},
};

// The engine with the flags of a new object, as the component compiles it.
using Engine = boost::basic_regex<char, boost::cpp_regex_traits<char>>;
Engine engineFor(const char* pattern)
{
    return Engine(pattern, tramex::EngineFlags::Compile(tramex::ExpressionOptionSet()));
}

// Compiled before the clock runs, as the engine floor is.
void prepare(RegularExpression& re, const char* pattern)
{
    re.SetExpression(QString::fromLatin1(pattern));
    re.SetStringToMatch(QString::fromLatin1(megabyte().data(), qsizetype(megabyte().size())));
    if (re.ParseExpression() != RegularExpression::no_error)
        qFatal("%s does not compile", pattern);
}

void megabyteProcessed(benchmark::State& state, const char* label)
{
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(megabyte().size()));
    state.SetLabel(label);
}

// The floor: the engine alone, on the same text with the same flags.
void MegabyteSearchBoost(benchmark::State& state)
{
    const SearchCase& c = kSearches[state.range(0)];
    const Engine engine = engineFor(c.pattern);
    const std::string& text = megabyte();
    for (auto _ : state) {
        boost::smatch results;
        if (!boost::regex_search(text, results, engine, boost::match_default))
            state.SkipWithError("no match");
    }
    megabyteProcessed(state, c.label);
}
BENCHMARK(MegabyteSearchBoost)->DenseRange(0, 2)->Unit(benchmark::kMicrosecond);

void MegabyteSearch(benchmark::State& state)
{
    const SearchCase& c = kSearches[state.range(0)];
    RegularExpression re;
    prepare(re, c.pattern);
    for (auto _ : state) {
        if (!re.Search())
            state.SkipWithError("no match");
    }
    megabyteProcessed(state, c.label);
}
BENCHMARK(MegabyteSearch)->DenseRange(0, 2)->Unit(benchmark::kMicrosecond);

void MegabyteMatchAllBoost(benchmark::State& state)
{
    const SearchCase& c = kWholeMatches[state.range(0)];
    const Engine engine = engineFor(c.pattern);
    const std::string& text = megabyte();
    for (auto _ : state) {
        boost::smatch results;
        try {
            benchmark::DoNotOptimize(boost::regex_match(text, results, engine, boost::match_default));
        } catch (const std::exception& e) {
            state.SkipWithError(e.what());
            break;
        }
    }
    megabyteProcessed(state, c.label);
}
BENCHMARK(MegabyteMatchAllBoost)->DenseRange(0, 2)->Unit(benchmark::kMicrosecond);

void MegabyteMatchAll(benchmark::State& state)
{
    const SearchCase& c = kWholeMatches[state.range(0)];
    RegularExpression re;
    prepare(re, c.pattern);
    for (auto _ : state)
        benchmark::DoNotOptimize(re.MatchAll());
    megabyteProcessed(state, c.label);
}
BENCHMARK(MegabyteMatchAll)->DenseRange(0, 2)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
