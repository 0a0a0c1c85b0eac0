#include "LinePrefilter.h"

#include <re2/re2.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstring>
#include <vector>

namespace pattorn {

namespace rc = boost::regex_constants;

namespace {

using ByteSet = ByteRuns::ByteSet;

std::atomic<std::uint64_t> s_lastId{0};

bool isPunctuation(unsigned char c)
{
    return c < 0x80 && std::ispunct(c);
}

// Copies a bracket list of literals and ranges starting at s[i] == '[';
// false for anything the two engines might read apart.
bool copyList(const std::string& s, std::size_t& i, std::string& out)
{
    std::size_t j = i + 1;
    // A negated list matches a line end; a leading ']' is read apart.
    if (j >= s.size() || s[j] == '^' || s[j] == ']')
        return false;
    for (; j < s.size() && s[j] != ']'; ++j) {
        // Escapes, classes, equivalents and collating elements; a line end
        // (or any control character) would let a match run past its line.
        const unsigned char c = static_cast<unsigned char>(s[j]);
        if (c == '\\' || c == '[' || c < 0x20 || c == 0x7f)
            return false;
    }
    if (j >= s.size())
        return false;
    out.append(s, i, j - i + 1);
    i = j + 1;
    return true;
}

// Copies a counted repeat "{n}", "{n,}" or "{n,m}" starting at s[i] == '{'.
bool copyCount(const std::string& s, std::size_t& i, std::string& out)
{
    std::size_t j = i + 1;
    const std::size_t digits = j;
    while (j < s.size() && std::isdigit(static_cast<unsigned char>(s[j])))
        ++j;
    if (j == digits)
        return false;
    if (j < s.size() && s[j] == ',') {
        ++j;
        while (j < s.size() && std::isdigit(static_cast<unsigned char>(s[j])))
            ++j;
    }
    if (j >= s.size() || s[j] != '}')
        return false;
    out.append(s, i, j - i + 1);
    i = j + 1;
    return true;
}

// Reads a translated expression (alternatives of items, each a byte, an
// escaped byte, a dot, a bracket list or a group, with an optional repeat)
// for the bytes a match may hold and its shortest length.
class MatchBytesReader
{
public:
    MatchBytesReader(const std::string& s, ByteSet& bytes) : m_s(s), m_bytes(bytes) {}

    std::size_t Alternatives()
    {
        std::size_t shortest = Sequence();
        while (more() && m_s[m_i] == '|') {
            ++m_i;
            shortest = std::min(shortest, Sequence());
        }
        return shortest;
    }

private:
    // Long enough that a match never holds it; sums cannot overflow.
    static constexpr std::size_t kTooLong = std::size_t(1) << 40;

    bool more() const { return m_i < m_s.size(); }
    unsigned char at(std::size_t i) const { return static_cast<unsigned char>(m_s[i]); }

    std::size_t Sequence()
    {
        std::size_t length = 0;
        while (more() && m_s[m_i] != '|' && m_s[m_i] != ')') {
            const std::size_t item = Item();
            length = std::min(kTooLong, length + std::min(kTooLong, item * Repeats()));
        }
        return length;
    }

    std::size_t Item()
    {
        const unsigned char c = at(m_i);
        if (c == '(') {
            m_i += m_s.compare(m_i, 3, "(?:") == 0 ? 3 : 1;
            const std::size_t length = Alternatives();
            ++m_i; // ')'
            return length;
        }
        if (c == '[') {
            List();
            return 1;
        }
        if (c == '.') {
            std::fill(m_bytes.begin(), m_bytes.end(), true);
            m_bytes['\n'] = false;
        } else if (c == '\\') {
            m_bytes[at(++m_i)] = true;
        } else {
            m_bytes[c] = true;
        }
        ++m_i;
        return 1;
    }

    // Every byte named and every byte within a range. A '-' between two
    // bytes makes a range; right after a range it may also stand for itself.
    void List()
    {
        const std::size_t first = m_i + 1;
        const std::size_t close = m_s.find(']', first);
        std::size_t rangeEnd = 0;
        for (std::size_t j = first; j < close; ++j) {
            if (m_s[j] == '-' && j > first && j + 1 < close) {
                for (unsigned b = at(j - 1); b <= at(j + 1); ++b)
                    m_bytes[b] = true;
                if (j - 1 == rangeEnd)
                    m_bytes['-'] = true;
                rangeEnd = j + 1;
            } else {
                m_bytes[at(j)] = true;
            }
        }
        m_i = close + 1;
    }

    // The fewest repeats of the item before.
    std::size_t Repeats()
    {
        std::size_t least = 1;
        if (!more())
            return least;
        switch (m_s[m_i]) {
        case '*':
        case '?': least = 0; ++m_i; break;
        case '+': ++m_i; break;
        case '{': {
            const std::size_t digits = m_s.find_first_not_of("0123456789", m_i + 1) - m_i - 1;
            least = digits > 12 ? kTooLong : std::size_t(std::stoull(m_s.substr(m_i + 1, digits)));
            m_i = m_s.find('}', m_i) + 1;
            break;
        }
        default: return least;
        }
        if (more() && m_s[m_i] == '?')
            ++m_i;
        return least;
    }

    const std::string& m_s;
    ByteSet& m_bytes;
    std::size_t m_i = 0;
};

// The bytes a match of a translated expression may hold, and the fewest
// bytes a match holds.
ByteSet matchBytes(const std::string& translated, bool icase, std::size_t& shortest)
{
    ByteSet bytes{};
    MatchBytesReader reader(translated, bytes);
    shortest = reader.Alternatives();
    if (icase) {
        for (unsigned b = 'a'; b <= 'z'; ++b) {
            const unsigned upper = b - 'a' + 'A';
            bytes[b] = bytes[upper] = bytes[b] || bytes[upper];
        }
    }
    return bytes;
}

} // namespace

std::string LinePrefilter::Translate(const std::string& s, bool& hasDot)
{
    hasDot = false;
    std::string out;
    // Per open group, whether it holds a repeat: a repeat of such a group
    // is where the backtracking engine may give up on a line the line
    // engine rules out, and giving up is a result the search reports.
    std::vector<bool> groups;
    bool lastClosedRepeats = false;
    bool lastWasGroup = false;
    // Whether the last item may take a repeat: a repeated assertion, or a
    // repeat of a repeat, is refused rather than read alike.
    bool repeatable = false;
    std::size_t i = 0;
    while (i < s.size()) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        // Control characters, line ends among them, are refused: a match
        // holding a line end is not confined to one line.
        if (c < 0x20 || c == 0x7f)
            return {};
        switch (c) {
        case '\\': {
            if (i + 1 >= s.size())
                return {};
            const unsigned char d = static_cast<unsigned char>(s[i + 1]);
            if (d == 'b' || d == 'B' || d == '<' || d == '>') {
                // A word boundary is left to the confirming engine.
                repeatable = false;
            } else if (isPunctuation(d)) {
                out += '\\';
                out += char(d);
                repeatable = true;
            } else {
                return {};
            }
            i += 2;
            break;
        }
        case '(':
            if (i + 1 < s.size() && s[i + 1] == '?') {
                if (i + 2 >= s.size() || s[i + 2] != ':')
                    return {};
                out += "(?:";
                i += 3;
            } else {
                out += '(';
                ++i;
            }
            groups.push_back(false);
            repeatable = false;
            break;
        case ')':
            if (groups.empty())
                return {};
            lastClosedRepeats = groups.back();
            groups.pop_back();
            if (lastClosedRepeats && !groups.empty())
                groups.back() = true;
            out += ')';
            ++i;
            repeatable = true;
            lastWasGroup = true;
            continue;
        case '|':
            out += '|';
            ++i;
            repeatable = false;
            break;
        case '^':
        case '$':
            // Line anchors are left to the confirming engine, which also
            // takes a carriage return for a line end.
            ++i;
            repeatable = false;
            break;
        case '.':
            hasDot = true;
            out += '.';
            ++i;
            repeatable = true;
            break;
        case '[':
            if (!copyList(s, i, out))
                return {};
            repeatable = true;
            break;
        case '*':
        case '+':
        case '?':
        case '{':
            if (!repeatable || (lastWasGroup && lastClosedRepeats))
                return {};
            if (!groups.empty())
                groups.back() = true;
            if (c == '{') {
                if (!copyCount(s, i, out))
                    return {};
            } else {
                out += char(c);
                ++i;
            }
            // Lazy repeats find the same lines; possessive ones are not read alike.
            if (i < s.size() && s[i] == '?') {
                out += '?';
                ++i;
            } else if (i < s.size() && s[i] == '+') {
                return {};
            }
            repeatable = false;
            break;
        case ']':
        case '}':
            return {};
        default:
            out += char(c);
            ++i;
            repeatable = true;
            break;
        }
        lastWasGroup = false;
    }
    if (!groups.empty())
        return {};
    return out;
}

std::unique_ptr<LinePrefilter> LinePrefilter::Create(const std::string& expression, bool icase, bool asciiFolding)
{
    if (icase) {
        if (!asciiFolding)
            return nullptr;
        for (const char c : expression) {
            if (static_cast<unsigned char>(c) >= 0x80)
                return nullptr;
        }
    }
    bool hasDot = false;
    const std::string translated = Translate(expression, hasDot);
    if (translated.empty())
        return nullptr;
    RE2::Options options;
    options.set_encoding(RE2::Options::EncodingLatin1);
    options.set_case_sensitive(!icase);
    options.set_log_errors(false);
    auto engine = std::make_unique<RE2>(translated, options);
    // A match of nothing is not confined to a line either.
    if (!engine->ok() || RE2::FullMatch("", *engine))
        return nullptr;
    std::size_t shortest = 0;
    const ByteSet bytes = matchBytes(translated, icase, shortest);
    return std::unique_ptr<LinePrefilter>(new LinePrefilter(std::move(engine), hasDot, bytes, shortest));
}

LinePrefilter::LinePrefilter(std::unique_ptr<re2::RE2> engine, bool hasDot, const ByteSet& bytes,
                             std::size_t shortest)
    : m_engine(std::move(engine)), m_id(++s_lastId), m_hasDot(hasDot), m_runs(bytes, shortest),
      m_skipRuns(std::count(bytes.begin(), bytes.end(), true) <= 128)
{
}

const re2::RE2& LinePrefilter::engine() const
{
    // A few expressions per thread: a thread searches with one at a time.
    struct Copy
    {
        std::uint64_t id;
        std::unique_ptr<re2::RE2> engine;
    };
    thread_local std::vector<Copy> copies;
    for (const Copy& copy : copies) {
        if (copy.id == m_id)
            return *copy.engine;
    }
    if (copies.size() == 4)
        copies.erase(copies.begin());
    copies.push_back({m_id, std::make_unique<re2::RE2>(m_engine->pattern(), m_engine->options())});
    return *copies.back().engine;
}

LinePrefilter::~LinePrefilter() = default;

bool LinePrefilter::Covers(rc::match_flag_type flags) const
{
    const rc::match_flag_type narrowing = rc::match_not_dot_newline | rc::match_not_dot_null;
    if ((flags & ~narrowing) != rc::match_default)
        return false;
    return !m_hasDot || (flags & rc::match_not_dot_newline);
}

bool LinePrefilter::matchFrom(const char* from, const char* last, const char*& start) const
{
    const re2::StringPiece text(from, std::size_t(last - from));
    re2::StringPiece found;
    if (!engine().Match(text, 0, text.size(), RE2::UNANCHORED, &found, 1))
        return false;
    start = found.data();
    return true;
}

bool LinePrefilter::Next(const char* from, const char* last, const char*& start, const char*& lineEnd,
                         Tally& tally, std::size_t& lineFeeds) const
{
    if (!m_skipRuns) {
        if (!matchFrom(from, last, start))
            return false;
        lineFeeds += ByteRuns::LineFeeds(from, start);
        const void* after = std::memchr(start, '\n', std::size_t(last - start));
        lineEnd = after ? static_cast<const char*>(after) + 1 : last;
        return true;
    }
    // A match lies within one run and within one line, so the line engine
    // looks only from the run to the end of its line.
    while (const char* run = m_runs.Next(from, last, lineFeeds)) {
        const void* after = std::memchr(run, '\n', std::size_t(last - run));
        lineEnd = after ? static_cast<const char*>(after) + 1 : last;
        ++tally.m_candidates;
        if (!tally.askLineEngine()) {
            start = run;
            return true;
        }
        if (matchFrom(run, lineEnd, start))
            return true;
        tally.Missed();
        lineFeeds += after ? 1 : 0;
        from = lineEnd;
    }
    return false;
}

} // namespace pattorn
