#include "RegEx.h"

#include "ByteRuns.h"
#include "FileWalker.h"
#include "FolderHandle.h"
#include "HandlerGuard.h"
#include "LinePrefilter.h"
#include "ReadAhead.h"
#include "ReadFully.h"
#include "TraitsLock.h"

#include <fcntl.h>
#include <sched.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <clocale>
#include <locale>
#include <thread>

namespace pattorn {

namespace rc = boost::regex_constants;
using Results = FileMatch::Results;

class RegEx::Matcher : public MatchFormatter
{
public:
    // A match and the line it starts in, counted from 1.
    using Visit = std::function<bool(const Results&, unsigned line)>;

    virtual bool Search(const char* first, const char* last, rc::match_flag_type flags) const = 0;
    // Calls "visit" for every match; false from it ends the grep. "narrow":
    // the engine runs only where the line engine finds a match may be.
    virtual void Grep(const char* first, const char* last, rc::match_flag_type flags, bool narrow,
                      const Visit& visit) const = 0;
};

template <class Regex>
class RegEx::MatcherOf : public RegEx::Matcher
{
public:
    MatcherOf(Regex regex, std::unique_ptr<LinePrefilter> prefilter)
        : m_regex(std::move(regex)), m_prefilter(std::move(prefilter))
    {
    }

    bool Search(const char* first, const char* last, rc::match_flag_type flags) const override
    {
        Results results;
        if (!m_prefilter || !m_prefilter->Covers(flags))
            return boost::regex_search(first, last, results, m_regex, flags);
        bool found = false;
        eachMatch(first, last, flags, results, [&](unsigned) {
            found = true;
            return false;
        });
        return found;
    }

    void Grep(const char* first, const char* last, rc::match_flag_type flags, bool narrow,
              const Visit& visit) const override
    {
        if (!narrow || !m_prefilter || !m_prefilter->Covers(flags)) {
            // Counts lines once over the text, up to each match's start.
            const char* counted = first;
            unsigned line = 1;
            boost::regex_grep(
                [&](const Results& results) {
                    if (counted < results[0].first) {
                        line += unsigned(ByteRuns::LineFeeds(counted, results[0].first));
                        counted = results[0].first;
                    }
                    return visit(results, line);
                },
                first, last, m_regex, flags);
            return;
        }
        Results results;
        eachMatch(first, last, flags, results, [&](unsigned line) { return visit(results, line); });
    }

    Results Refind(const char* start, const char* last, rc::match_flag_type flags) const override
    {
        Results results;
        boost::regex_search(start, last, results, m_regex, flags);
        return results;
    }

    std::string Format(const Results& results, const std::string& format) const override
    {
        // The expression's own traits read the format, so formatting never
        // builds traits of its own (which would read the catalogue setting).
        return results.format(format, rc::format_all, m_regex);
    }

private:
    // Finds the matches the engine's own grep finds, each as "results",
    // until "found" (given the match's line) says stop. Every match lies
    // within one line, holds a character and no line feed, so the engine
    // runs only from where the line engine says a match may start to the
    // end of that line, and goes on from the end of the match as its own
    // grep does. The byte before and the line feed after stay in view, so
    // boundaries read as in the whole file.
    template <class Found>
    void eachMatch(const char* first, const char* last, rc::match_flag_type flags, Results& results,
                   const Found& found) const
    {
        const char* from = first;
        const char* start = nullptr;
        const char* lineEnd = nullptr;
        LinePrefilter::Tally tally;
        std::size_t lineFeeds = 0;
        while (from < last && m_prefilter->Next(from, last, start, lineEnd, tally, lineFeeds)) {
            const rc::match_flag_type at = start == first ? flags : flags | rc::match_prev_avail;
            if (!boost::regex_search(start, lineEnd, results, m_regex, at)) {
                tally.Missed();
                if (lineEnd[-1] == '\n')
                    ++lineFeeds;
                from = lineEnd;
                continue;
            }
            if (!found(unsigned(lineFeeds + 1)))
                return;
            from = results[0].second;
        }
    }

    // Only read once compiled: workers match with it side by side.
    const Regex m_regex;
    const std::unique_ptr<LinePrefilter> m_prefilter;
};

namespace {

using StandardRegex = boost::basic_regex<char, boost::cpp_regex_traits<char>>;
using RuntimeRegex = boost::basic_regex<char, boost::c_regex_traits<char>>;

// More matches than this in one file are not kept for a later report: the
// file is searched again while it is reported.
constexpr std::size_t kMaxKeptMatches = 20000;
// How many matches ahead of its report a match's text is fetched.
constexpr std::size_t kFetchAhead = 8;

std::locale userLocale()
{
    try {
        return std::locale("");
    } catch (...) {
        // The environment names a locale this system does not have.
        return std::locale::classic();
    }
}

// Whether folding case in this locale maps a byte to an ASCII letter only
// from an ASCII letter: so in the byte locale and in UTF-8, where no single
// byte past ASCII is a letter; a single-byte locale may fold one onto an
// ASCII letter (a dotted capital I onto "i").
bool foldsOnlyAscii(const std::string& name)
{
    if (name == "C" || name == "POSIX")
        return true;
    std::string lower;
    for (const char c : name)
        lower += char(std::tolower(static_cast<unsigned char>(c)));
    return lower.find("utf-8") != std::string::npos || lower.find("utf8") != std::string::npos;
}

// The code of what the engine threw while matching. It gives up on an
// expression with a plain runtime error when the match grows too complex or
// deep.
int engineCode(const std::exception& e)
{
    if (const auto* error = dynamic_cast<const boost::regex_error*>(&e))
        return int(error->code());
    if (dynamic_cast<const std::bad_alloc*>(&e))
        return ENOMEM;
    if (dynamic_cast<const std::runtime_error*>(&e))
        return int(rc::error_complexity);
    return int(rc::error_unknown);
}

// The processors this process may run on: on fewer than the machine has
// (pinned, or in a container), workers beyond them only take turns with
// the caller, and the files they read ahead leave the cache before their
// report reads them again.
std::size_t usableProcessors()
{
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) == 0)
        return std::size_t(std::max(1, CPU_COUNT(&set)));
    return std::max(1u, std::thread::hardware_concurrency());
}

enum class Opened { Ready, Skipped, Failed };

// Opens a file for searching and tells its size; a problem as kind and code.
Opened openFile(const std::string& path, FolderHandle& folder, int& fd, std::size_t& size, int& kind, int& code)
{
    // Non-blocking, so a pipe put in a file's place since the listing
    // cannot stop the run.
    fd = folder.Open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        kind = RegEx::open_failed;
        code = errno;
        return Opened::Failed;
    }
    struct stat info;
    Opened result = Opened::Ready;
    if (fstat(fd, &info) != 0) {
        kind = RegEx::read_failed;
        code = errno;
        result = Opened::Failed;
    } else if (!S_ISREG(info.st_mode)) {
        result = Opened::Skipped;
    } else if (std::size_t(info.st_size) > RegEx::kMaxFileSize) {
        kind = RegEx::search_failed;
        code = EFBIG;
        result = Opened::Failed;
    } else {
        size = std::size_t(info.st_size);
        return result;
    }
    close(fd);
    fd = -1;
    return result;
}

// Reads a whole file into an outcome of its own.
void readInto(const std::string& path, FileOutcome& outcome, const std::function<bool(std::size_t)>& reserve)
{
    // A worker's own; its thread ends with the search.
    thread_local FolderHandle folder;
    int fd = -1;
    std::size_t size = 0;
    switch (openFile(path, folder, fd, size, outcome.kind, outcome.code)) {
    case Opened::Failed: outcome.read = FileOutcome::Read::Problem; return;
    case Opened::Skipped: outcome.read = FileOutcome::Read::Skipped; return;
    case Opened::Ready: break;
    }
    if (!reserve(size)) {
        close(fd);
        return;
    }
    if (!outcome.buffer || outcome.capacity < size) {
        outcome.buffer = NewFileBuffer(size);
        outcome.capacity = size;
    }
    const ssize_t got = ReadFully(fd, outcome.buffer.get(), size);
    if (got < 0) {
        outcome.read = FileOutcome::Read::Problem;
        outcome.kind = RegEx::read_failed;
        outcome.code = errno;
    } else {
        outcome.read = FileOutcome::Read::Done;
        outcome.size = std::size_t(got);
    }
    close(fd);
}

} // namespace

RegEx::RegEx() = default;
RegEx::~RegEx() = default;

int RegEx::SetExpression(const std::string& expression, bool icase)
{
    m_matcher.reset();
    m_error.clear();
    const rc::syntax_option_type flags = icase ? (boost::regbase::perl | boost::regbase::icase) : boost::regbase::perl;
    try {
        if (m_model == c_locale) {
            RuntimeRegex regex(expression, flags);
            const char* ctype = std::setlocale(LC_CTYPE, nullptr);
            m_matcher = std::make_shared<MatcherOf<RuntimeRegex>>(
                std::move(regex), LinePrefilter::Create(expression, icase, foldsOnlyAscii(ctype ? ctype : "")));
        } else {
            std::lock_guard<std::mutex> lock(TraitsLock());
            StandardRegex regex;
            // Unimbued, the standard traits read the global locale.
            const std::locale locale = m_model == native_locale ? userLocale() : std::locale();
            if (m_model == native_locale)
                regex.imbue(locale);
            regex.assign(expression, flags);
            m_matcher = std::make_shared<MatcherOf<StandardRegex>>(
                std::move(regex), LinePrefilter::Create(expression, icase, foldsOnlyAscii(locale.name())));
        }
        return 0;
    } catch (const boost::regex_error& e) {
        m_error = e.what();
        return int(e.code());
    } catch (const std::exception& e) {
        m_error = e.what();
        return int(rc::error_unknown);
    }
}

const std::vector<RegEx::FilesContinueInfo>* RegEx::FilesContinueErrorsFind() const
{
    return m_findProblems.empty() ? nullptr : &m_findProblems;
}

const std::vector<RegEx::FilesContinueInfo>* RegEx::FilesContinueErrorsGrep() const
{
    return m_grepProblems.empty() ? nullptr : &m_grepProblems;
}

bool RegEx::record(std::vector<FilesContinueInfo>& problems, const std::string& name, int kind, int code)
{
    problems.push_back({name, kind, code});
    return m_continue;
}

bool RegEx::readFile(const std::string& path, FolderHandle& folder, std::vector<FilesContinueInfo>& problems,
                     bool& done)
{
    done = false;
    int fd = -1;
    std::size_t size = 0;
    int kind = 0;
    int code = 0;
    switch (openFile(path, folder, fd, size, kind, code)) {
    case Opened::Failed: return record(problems, path, kind, code);
    case Opened::Skipped: return true;
    case Opened::Ready: break;
    }
    if (size > m_capacity) {
        m_buffer = NewFileBuffer(size);
        m_capacity = size;
    }
    const ssize_t got = ReadFully(fd, m_buffer.get(), size);
    const int error = errno;
    close(fd);
    if (got < 0)
        return record(problems, path, read_failed, error);
    m_size = std::size_t(got);
    done = true;
    return true;
}

std::vector<RegEx::Item> RegEx::list(const std::string& files, bool recurse)
{
    std::vector<Item> items;
    FileWalker::Walk(
        files, recurse,
        [&](const std::string& path) {
            items.push_back({path, false, 0});
            return true;
        },
        [&](const std::string& folder, int error) {
            items.push_back({folder, true, error});
            // Without continue nothing after the problem is searched.
            return m_continue;
        });
    return items;
}

void RegEx::run(const std::vector<Item>& items, std::vector<FilesContinueInfo>& problems, const Search& search,
                const Collect& collect, const Report& report)
{
    const unsigned threads = unsigned(std::min<std::size_t>({usableProcessors(), items.size(), 8}));
    if (!m_readAhead || threads < 2) {
        for (const Item& item : items) {
            const bool go = item.folderProblem ? record(problems, item.path, search_failed, item.error)
                                               : search(item.path);
            if (!go)
                return;
        }
        return;
    }

    ReadAhead ahead(
        items.size(),
        [&](std::size_t index, FileOutcome& outcome, const ReadAhead::Reserve& reserve) {
            if (items[index].folderProblem)
                return;
            try {
                collect(items[index].path, outcome, reserve);
            } catch (...) {
                // Out of memory while keeping matches: the report searches again.
                outcome.spans.clear();
                outcome.lines.clear();
                outcome.tooMany = true;
            }
        },
        threads);
    for (std::size_t index = 0; index < items.size(); ++index) {
        const Item& item = items[index];
        FileOutcome& outcome = ahead.Take(index);
        bool go = true;
        if (item.folderProblem)
            go = record(problems, item.path, search_failed, item.error);
        else if (outcome.read == FileOutcome::Read::Problem)
            go = record(problems, item.path, outcome.kind, outcome.code);
        else if (outcome.tooMany)
            go = search(item.path);
        else if (outcome.read == FileOutcome::Read::Done)
            go = report(item.path, outcome);
        ahead.Release(index);
        if (!go)
            return;
    }
}

unsigned RegEx::FindFiles(const FindCallback& callback, const std::string& files, bool recurse,
                          rc::match_flag_type flags)
{
    m_findProblems.clear();
    if (!m_matcher)
        return 0;
    const std::shared_ptr<const Matcher> matcher = m_matcher;
    unsigned count = 0;
    const std::vector<Item> items = list(files, recurse);
    FolderHandle folder;

    auto search = [&](const std::string& path) {
        bool done = false;
        if (!readFile(path, folder, m_findProblems, done))
            return false;
        if (!done)
            return true;
        bool found = false;
        try {
            const char* first = fileStart();
            found = matcher->Search(first, first + m_size, flags);
        } catch (const std::exception& e) {
            return record(m_findProblems, path, search_failed, engineCode(e));
        }
        if (found) {
            ++count;
            // The callback's answer only ends the work on this file, which
            // is done already.
            callback(path);
        }
        return true;
    };
    auto collect = [&](const std::string& path, FileOutcome& outcome, const std::function<bool(std::size_t)>& reserve) {
        readInto(path, outcome, reserve);
        if (outcome.read != FileOutcome::Read::Done)
            return;
        try {
            outcome.found = matcher->Search(outcome.buffer.get(), outcome.buffer.get() + outcome.size, flags);
        } catch (const std::exception& e) {
            outcome.searchProblem = true;
            outcome.kind = search_failed;
            outcome.code = engineCode(e);
        }
    };
    auto report = [&](const std::string& path, FileOutcome& outcome) {
        if (outcome.searchProblem)
            return record(m_findProblems, path, search_failed, outcome.code);
        if (outcome.found) {
            ++count;
            callback(path);
        }
        return true;
    };
    run(items, m_findProblems, search, collect, report);
    return count;
}

unsigned RegEx::GrepFiles(const GrepCallback& callback, const std::string& files, bool recurse,
                          rc::match_flag_type flags)
{
    m_grepProblems.clear();
    if (!m_matcher)
        return 0;
    const std::shared_ptr<const Matcher> matcher = m_matcher;
    unsigned count = 0;
    const std::vector<Item> items = list(files, recurse);
    FolderHandle folder;

    // Searches a file on the calling thread, each match reported as found.
    auto search = [&](const std::string& path) {
        bool done = false;
        if (!readFile(path, folder, m_grepProblems, done))
            return false;
        if (!done)
            return true;
        const char* const first = fileStart();
        HandlerGuard guard;
        auto visit = [&](const Results& results, unsigned line) {
            ++count;
            const FileMatch match(results, first, line, *matcher);
            return guard.Run([&] { return callback(path, match); });
        };
        try {
            matcher->Grep(first, first + m_size, flags, m_lineFilter, visit);
        } catch (const std::exception& e) {
            guard.RethrowIfAny();
            return record(m_grepProblems, path, search_failed, engineCode(e));
        }
        guard.RethrowIfAny();
        return true;
    };
    // Searches a file ahead, keeping its matches.
    auto collect = [&](const std::string& path, FileOutcome& outcome, const std::function<bool(std::size_t)>& reserve) {
        readInto(path, outcome, reserve);
        if (outcome.read != FileOutcome::Read::Done)
            return;
        const char* const first = outcome.buffer.get();
        auto keep = [&](const Results& results, unsigned line) {
            if (outcome.lines.size() == kMaxKeptMatches) {
                outcome.tooMany = true;
                return false;
            }
            outcome.marks = unsigned(results.size());
            for (const auto& mark : results) {
                outcome.spans.push_back(mark.matched ? int(mark.first - first) : -1);
                outcome.spans.push_back(mark.matched ? int(mark.second - first) : -1);
            }
            outcome.lines.push_back(line);
            return true;
        };
        try {
            matcher->Grep(first, first + outcome.size, flags, m_lineFilter, keep);
        } catch (const std::exception& e) {
            outcome.searchProblem = true;
            outcome.code = engineCode(e);
        }
        if (outcome.tooMany) {
            outcome.spans.clear();
            outcome.lines.clear();
        }
        // The matches kept count against the budget too: many files ahead
        // may each hold thousands.
        if (!outcome.lines.empty())
            reserve(outcome.spans.capacity() * sizeof(int) + outcome.lines.capacity() * sizeof(unsigned));
    };
    // Reports what was found ahead, as the calling thread's search would.
    auto report = [&](const std::string& path, FileOutcome& outcome) {
        const char* const first = outcome.buffer.get();
        const std::size_t width = 2 * std::size_t(outcome.marks);
        for (std::size_t i = 0; i < outcome.lines.size(); ++i) {
            ++count;
            // The file was read on another core: its bytes are far from
            // this one, and fetching each match's text only when it is
            // reported would stall every report.
            if (i + kFetchAhead < outcome.lines.size())
                __builtin_prefetch(first + outcome.spans[width * (i + kFetchAhead)]);
            const FileMatch match(&outcome.spans[width * i], outcome.marks, first, first + outcome.size,
                                  outcome.lines[i], flags, *matcher);
            if (!callback(path, match))
                return true; // the engine would not have gone on to its failure
        }
        if (outcome.searchProblem)
            return record(m_grepProblems, path, search_failed, outcome.code);
        return true;
    };
    run(items, m_grepProblems, search, collect, report);
    return count;
}

} // namespace pattorn
