#include "RegEx.h"

#include "FileWalker.h"
#include "TraitsLock.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <locale>

namespace pattorn {

namespace rc = boost::regex_constants;

class RegEx::Matcher : public MatchFormatter
{
public:
    using Results = FileMatch::Results;
    using Visit = std::function<bool(const Results&)>;

    virtual bool Search(const char* first, const char* last, rc::match_flag_type flags) const = 0;
    // The engine's count: every match found, the one "visit" stopped at too.
    virtual unsigned Grep(const char* first, const char* last, rc::match_flag_type flags, const Visit& visit) const = 0;
};

template <class Regex>
class RegEx::MatcherOf : public RegEx::Matcher
{
public:
    explicit MatcherOf(Regex regex) : m_regex(std::move(regex)) {}

    bool Search(const char* first, const char* last, rc::match_flag_type flags) const override
    {
        Results results;
        return boost::regex_search(first, last, results, m_regex, flags);
    }

    unsigned Grep(const char* first, const char* last, rc::match_flag_type flags, const Visit& visit) const override
    {
        return boost::regex_grep([&visit](const Results& results) { return visit(results); }, first, last, m_regex,
                                 flags);
    }

    std::string Format(const Results& results, const std::string& format) const override
    {
        // The expression's own traits read the format, so formatting never
        // builds traits of its own (which would read the catalogue setting).
        return results.format(format, rc::format_all, m_regex);
    }

private:
    Regex m_regex;
};

namespace {

using StandardRegex = boost::basic_regex<char, boost::cpp_regex_traits<char>>;
using RuntimeRegex = boost::basic_regex<char, boost::c_regex_traits<char>>;

std::locale userLocale()
{
    try {
        return std::locale("");
    } catch (...) {
        // The environment names a locale this system does not have.
        return std::locale::classic();
    }
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

// Carries an exception of a callback past the engine, which must not
// mistake it for one of its own.
class CallbackGuard
{
public:
    template <class Call>
    bool Run(Call&& call)
    {
        try {
            return call();
        } catch (...) {
            m_exception = std::current_exception();
            return false;
        }
    }
    void RethrowIfAny() const
    {
        if (m_exception)
            std::rethrow_exception(m_exception);
    }

private:
    std::exception_ptr m_exception;
};

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
            m_matcher = std::make_unique<MatcherOf<RuntimeRegex>>(RuntimeRegex(expression, flags));
        } else {
            std::lock_guard<std::mutex> lock(TraitsLock());
            StandardRegex regex;
            if (m_model == native_locale)
                regex.imbue(userLocale());
            regex.assign(expression, flags);
            m_matcher = std::make_unique<MatcherOf<StandardRegex>>(std::move(regex));
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

RegEx::Read RegEx::readFile(const std::string& path, std::vector<FilesContinueInfo>& problems)
{
    // Non-blocking, so a pipe put in a file's place since the listing
    // cannot stop the run.
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return record(problems, path, open_failed, errno) ? Read::Skipped : Read::Failed;

    struct stat info;
    Read result = Read::Done;
    if (fstat(fd, &info) != 0) {
        result = record(problems, path, read_failed, errno) ? Read::Skipped : Read::Failed;
    } else if (!S_ISREG(info.st_mode)) {
        result = Read::Skipped;
    } else if (std::size_t(info.st_size) > kMaxFileSize) {
        result = record(problems, path, search_failed, EFBIG) ? Read::Skipped : Read::Failed;
    } else {
        const std::size_t size = std::size_t(info.st_size);
        if (size > m_capacity) {
            m_buffer.reset(new char[size]);
            m_capacity = size;
        }
        m_size = 0;
        while (m_size < size) {
            const ssize_t got = read(fd, m_buffer.get() + m_size, size - m_size);
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0) {
                result = record(problems, path, read_failed, errno) ? Read::Skipped : Read::Failed;
                break;
            }
            if (got == 0)
                break; // the file shrank since fstat: search what is there
            m_size += std::size_t(got);
        }
    }
    close(fd);
    return result;
}

void RegEx::walk(const std::string& files, bool recurse, std::vector<FilesContinueInfo>& problems,
                 const std::function<bool(const std::string& path)>& work)
{
    FileWalker::Walk(
        files, recurse,
        [&](const std::string& path) {
            switch (readFile(path, problems)) {
            case Read::Done: return work(path);
            case Read::Skipped: return true;
            default: return false;
            }
        },
        [&](const std::string& folder, int error) { return record(problems, folder, search_failed, error); });
}

unsigned RegEx::FindFiles(const FindCallback& callback, const std::string& files, bool recurse,
                          rc::match_flag_type flags)
{
    m_findProblems.clear();
    if (!m_matcher)
        return 0;
    unsigned count = 0;
    walk(files, recurse, m_findProblems, [&](const std::string& path) {
        const char* first = fileStart();
        bool found = false;
        try {
            found = m_matcher->Search(first, first + m_size, flags);
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
    });
    return count;
}

unsigned RegEx::GrepFiles(const GrepCallback& callback, const std::string& files, bool recurse,
                          rc::match_flag_type flags)
{
    m_grepProblems.clear();
    if (!m_matcher)
        return 0;
    unsigned count = 0;
    walk(files, recurse, m_grepProblems, [&](const std::string& path) {
        const char* const first = fileStart();
        const char* const last = first + m_size;
        // Lines are counted once over the file, up to each match's start.
        const char* counted = first;
        unsigned line = 1;
        CallbackGuard guard;
        auto visit = [&](const Matcher::Results& results) {
            const char* start = results[0].first;
            while (counted < start) {
                const void* end = std::memchr(counted, '\n', std::size_t(start - counted));
                if (!end) {
                    counted = start;
                    break;
                }
                ++line;
                counted = static_cast<const char*>(end) + 1;
            }
            const FileMatch match(results, first, line, *m_matcher);
            return guard.Run([&] { return callback(path, match); });
        };
        try {
            count += m_matcher->Grep(first, last, flags, visit);
        } catch (const std::exception& e) {
            guard.RethrowIfAny();
            return record(m_grepProblems, path, search_failed, engineCode(e));
        }
        guard.RethrowIfAny();
        return true;
    });
    return count;
}

} // namespace pattorn
