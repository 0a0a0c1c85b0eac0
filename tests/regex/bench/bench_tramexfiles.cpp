// The file search of the regular-expression component over a tree of 2,000
// files and 50 MB, side by side with its peers over the same tree and
// expression, in the byte locale: GNU grep ("grep -r -c -E") on one thread,
// and ripgrep with as many threads as the search runs. The tree is built
// once under the temporary folder and kept for later runs.
#include "RegexClass/RegularExpression.h"
#include "RegularExpression.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <sched.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

extern char** environ;

namespace {

namespace fs = std::filesystem;

constexpr int kFiles = 2000;
constexpr size_t kTotalBytes = 50u * 1024 * 1024;

// What the benchmarks search for: a transponder number (a match on every
// fifth line), and two rare words.
const char* const kExpressions[] = {"[0-9A-F]{10}", "timeout|refused"};

std::string treeFolder()
{
    const char* tmp = std::getenv("TMPDIR");
    return std::string(tmp && *tmp ? tmp : "/tmp") + "/quandor-bench-tramexfiles";
}

// Log lines of a reader: dates, readers, tags, now and then a failure.
std::string makeFile(std::mt19937& random, size_t size)
{
    static const char* const readers[] = {"Tern-01", "Wren-02", "Kite-07", "Heron-11", "Egret-03"};
    static const char* const outcomes[] = {"accepted", "denied (schema)", "accepted", "unknown tag", "accepted"};
    std::ostringstream text;
    char hex[11];
    while (size_t(text.tellp()) < size) {
        const unsigned kind = random() % 100;
        text << "2024-" << 1 + random() % 12 << '-' << 1 + random() % 28 << ' ' << random() % 24 << ':'
             << random() % 60 << ' ' << readers[random() % 5] << ' ';
        if (kind < 20) {
            for (int i = 0; i < 10; ++i)
                hex[i] = "0123456789ABCDEF"[random() % 16];
            hex[10] = 0;
            text << "tag " << hex << ' ' << outcomes[random() % 5];
        } else if (kind == 20) {
            text << "link timeout after 500 polls";
        } else if (kind == 21) {
            text << "port refused the settings";
        } else {
            text << "poll ok, nothing presented, queue empty, mode normal";
        }
        text << '\n';
    }
    std::string content = text.str();
    content.resize(size);
    return content;
}

const std::string& tree()
{
    static const std::string folder = [] {
        const std::string root = treeFolder();
        const std::string marker = root + "/.complete";
        if (!fs::exists(marker)) {
            fs::remove_all(root);
            std::mt19937 random(4711);
            for (int i = 0; i < kFiles; ++i) {
                const std::string dir = root + "/d" + std::to_string(i / 100);
                fs::create_directories(dir);
                std::ofstream(dir + "/log" + std::to_string(i) + ".txt", std::ios::binary)
                    << makeFile(random, kTotalBytes / kFiles);
            }
            std::ofstream(marker) << kFiles << ' ' << kTotalBytes << '\n';
        }
        return root;
    }();
    return folder;
}

void label(benchmark::State& state)
{
    state.SetLabel(kExpressions[state.range(0)]);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kTotalBytes));
}

// Processor time of this process (all its threads) or of its waited-for
// children, in milliseconds: on a busy machine the wall time of a search
// on eight threads follows the processor time it needs more than anything.
double processorMs(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    auto ms = [](const timeval& t) { return double(t.tv_sec) * 1e3 + double(t.tv_usec) / 1e3; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

// Reports the processor time per iteration as the counter "cpu_ms".
class ProcessorTime
{
public:
    explicit ProcessorTime(int who) : m_who(who), m_start(processorMs(who)) {}
    void Report(benchmark::State& state) const
    {
        state.counters["cpu_ms"] = (processorMs(m_who) - m_start) / double(std::max<int64_t>(1, state.iterations()));
    }

private:
    int m_who;
    double m_start;
};

// The standard-string library, each match handed to a callback.
void GrepFilesTramexstd(benchmark::State& state)
{
    using RegexClass::RegularExpression;
    RegularExpression re;
    re.SetExpression(kExpressions[state.range(0)]);
    re.SetFilesToMatch(tree() + "/*.txt");
    re.SetDirectoryRecursion(true);
    static unsigned reported;
    re.SetOnGreppingFiles([](RegularExpression*, std::string, const std::vector<RegexClass::REMatch>&, unsigned,
                             bool&) { ++reported; });
    const ProcessorTime time(RUSAGE_SELF);
    for (auto _ : state)
        benchmark::DoNotOptimize(re.GrepFiles());
    time.Report(state);
    state.counters["matches"] = double(re.GrepFiles());
    label(state);
}
BENCHMARK(GrepFilesTramexstd)->DenseRange(0, 1)->Unit(benchmark::kMillisecond)->UseRealTime();

// The QString library, each match converted and handed to an event handler.
void GrepFilesTramex(benchmark::State& state)
{
    RegularExpression re;
    re.SetExpression(QString::fromLatin1(kExpressions[state.range(0)]));
    re.SetFilesToMatch(QString::fromStdString(tree() + "/*.txt"));
    re.SetDirectoryRecursion(true);
    unsigned reported = 0;
    re.OnGreppingFiles.Subscribe(&reported, [&reported](RegularExpression*, QString, const std::vector<REMatch>&,
                                                         unsigned, bool&) { ++reported; });
    const ProcessorTime time(RUSAGE_SELF);
    for (auto _ : state)
        benchmark::DoNotOptimize(re.GrepFiles());
    time.Report(state);
    label(state);
}
BENCHMARK(GrepFilesTramex)->DenseRange(0, 1)->Unit(benchmark::kMillisecond)->UseRealTime();

// The peers' environment: the byte locale, as the search matches bytes.
// grep in a multibyte locale reads characters of possibly several bytes and
// runs a bracket repeated ten times many times slower than in the byte
// locale: a peer that inherits such a locale flatters the search.
std::vector<char*> peerEnvironment()
{
    static std::vector<std::string> variables = [] {
        std::vector<std::string> kept;
        for (char** variable = environ; *variable; ++variable) {
            if (std::strncmp(*variable, "LC_ALL=", 7) != 0)
                kept.emplace_back(*variable);
        }
        kept.emplace_back("LC_ALL=C");
        return kept;
    }();
    std::vector<char*> pointers;
    for (std::string& variable : variables)
        pointers.push_back(&variable[0]);
    pointers.push_back(nullptr);
    return pointers;
}

// Runs the program args[0] once per iteration, its output thrown away.
void runPeer(benchmark::State& state, std::vector<std::string> args)
{
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(&arg[0]);
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    std::vector<char*> environment = peerEnvironment();
    const ProcessorTime time(RUSAGE_CHILDREN);
    for (auto _ : state) {
        pid_t pid = 0;
        if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environment.data()) != 0) {
            state.SkipWithError((args[0] + " cannot be started").c_str());
            break;
        }
        int status = 0;
        waitpid(pid, &status, 0);
    }
    time.Report(state);
    posix_spawn_file_actions_destroy(&actions);
}

// The peer on one thread: GNU grep over the same tree.
void PeerGrep(benchmark::State& state)
{
    runPeer(state, {"grep", "-r", "-c", "-E", kExpressions[state.range(0)], tree()});
    label(state);
}
BENCHMARK(PeerGrep)->DenseRange(0, 1)->Unit(benchmark::kMillisecond)->UseRealTime();

// The peer at equal threads: ripgrep with as many threads as the file
// search runs (the processors the benchmark may run on, at most eight),
// hidden and ignored files searched as grep does. (Several grep processes
// over shares of the files are no peer: each start costs more than its
// share of the work.)
void PeerRipgrep(benchmark::State& state)
{
    if (access("/usr/bin/rg", X_OK) != 0) {
        state.SkipWithError("ripgrep is not installed (Debian package ripgrep)");
        return;
    }
    cpu_set_t usable;
    CPU_ZERO(&usable);
    const int processors = sched_getaffinity(0, sizeof usable, &usable) == 0 ? CPU_COUNT(&usable) : 8;
    const unsigned threads = unsigned(std::clamp(processors, 1, 8));
    runPeer(state, {"rg", "-c", "-uu", "-j", std::to_string(threads), "-e", kExpressions[state.range(0)], tree()});
    state.counters["threads"] = threads;
    label(state);
}
BENCHMARK(PeerRipgrep)->DenseRange(0, 1)->Unit(benchmark::kMillisecond)->UseRealTime();

// The string grep over one large text, counting only.
void GrepLargeText(benchmark::State& state)
{
    std::mt19937 random(42);
    RegexClass::RegularExpression re;
    re.SetExpression(kExpressions[state.range(0)]);
    re.SetStringToMatch(makeFile(random, 8u * 1024 * 1024));
    for (auto _ : state)
        benchmark::DoNotOptimize(re.Grep());
    state.SetLabel(kExpressions[state.range(0)]);
    state.SetBytesProcessed(int64_t(state.iterations()) * 8 * 1024 * 1024);
}
BENCHMARK(GrepLargeText)->DenseRange(0, 1)->Unit(benchmark::kMillisecond)->UseRealTime();

// The string grep with a handler: every report carries the text after its
// match, so the cost grows with the text's length per match.
void GrepReported(benchmark::State& state)
{
    std::mt19937 random(42);
    RegexClass::RegularExpression re;
    re.SetExpression(kExpressions[0]);
    re.SetStringToMatch(makeFile(random, size_t(state.range(0))));
    re.SetOnGrepping([](RegexClass::RegularExpression*, const std::vector<RegexClass::REMatch>&, unsigned, unsigned,
                        bool&) {});
    for (auto _ : state)
        benchmark::DoNotOptimize(re.Grep());
    state.SetBytesProcessed(int64_t(state.iterations()) * state.range(0));
}
BENCHMARK(GrepReported)->Arg(16 * 1024)->Arg(256 * 1024)->Unit(benchmark::kMillisecond)->UseRealTime();

void MergeLargeText(benchmark::State& state)
{
    std::mt19937 random(42);
    RegexClass::RegularExpression re;
    re.SetExpression(kExpressions[0]);
    re.SetFormatString("<$&>");
    re.SetMergeCopy(true);
    re.SetStringToMatch(makeFile(random, 8u * 1024 * 1024));
    std::string merged;
    for (auto _ : state) {
        re.Merge(merged);
        benchmark::DoNotOptimize(merged.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * 8 * 1024 * 1024);
}
BENCHMARK(MergeLargeText)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
