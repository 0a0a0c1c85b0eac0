#include "LinePrefilter.h"
#include "PattornFilesFixture.h"

#include <cstdlib>
#include <functional>
#include <random>
#include <sstream>

using pattorn::FileMatch;
using pattorn::LinePrefilter;
using pattorn::RegEx;

namespace {

// What the line engine is given, or "" where the expression is left to the
// backtracking engine alone.
TEST(LinePrefilter, TakesOnlyTheSubsetBothEnginesReadAlike)
{
    const struct
    {
        const char* expression;
        const char* translated;
    } table[] = {
        {"[0-9A-F]{10}", "[0-9A-F]{10}"},
        {"timeout|refused", "timeout|refused"},
        {"^tag (ab)+?$", "tag (ab)+?"},
        {"\\bdoor\\b\\.", "door\\."},
        {"(?:x|y){2,}z", "(?:x|y){2,}z"},
        {"a.c", "a.c"},
        // Back references, look-arounds, escapes for classes and
        // characters, negated lists, classes in lists, options.
        {"(a)\\1", ""},
        {"(?=a)b", ""},
        {"(?i)a", ""},
        {"\\d+", ""},
        {"\\x41", ""},
        {"[^a]b", ""},
        {"[[:alpha:]]", ""},
        {"[a\\]]", ""},
        // Possessive repeats, repeats of assertions, repeated groups that
        // repeat (where the engine may give up), unbalanced groups.
        {"a++", ""},
        {"\\b*", ""},
        {"(a*)*b", ""},
        {"(a)(b", ""},
        {"a)", ""},
        // A line end in the expression, also within a list.
        {"a\nb", ""},
        {"a[\nb]", ""},
    };
    for (const auto& row : table) {
        bool hasDot = false;
        EXPECT_EQ(LinePrefilter::Translate(row.expression, hasDot), row.translated) << row.expression;
    }
    // Accepted only where no match can be empty, and for case folding only
    // where folding cannot reach an ASCII letter from elsewhere.
    EXPECT_EQ(LinePrefilter::Create("a*", false, true), nullptr);
    EXPECT_EQ(LinePrefilter::Create("^$", false, true), nullptr);
    EXPECT_NE(LinePrefilter::Create("a+", false, true), nullptr);
    EXPECT_NE(LinePrefilter::Create("tag", true, true), nullptr);
    EXPECT_EQ(LinePrefilter::Create("tag", true, false), nullptr);
    EXPECT_EQ(LinePrefilter::Create("t\xE4g", true, true), nullptr);
}

class LineFilteredSearch : public PattornFilesFixture
{
protected:
    struct Found
    {
        int position;
        int length;
        std::vector<int> marks;
        unsigned line;
        bool operator==(const Found& other) const
        {
            return position == other.position && length == other.length && marks == other.marks
                   && line == other.line;
        }
    };

    static std::string Describe(const std::vector<Found>& found)
    {
        std::ostringstream text;
        for (const Found& f : found)
            text << "@" << f.position << "+" << f.length << " line " << f.line << "; ";
        return text.str();
    }

    // The engine's own grep over the whole text, as the search ran before
    // it had a line filter.
    static std::vector<Found> Boost(const std::string& expression, bool icase, const std::string& text,
                                    boost::regex_constants::match_flag_type flags)
    {
        boost::regex regex(expression, icase ? boost::regex::perl | boost::regex::icase : boost::regex::perl);
        std::vector<Found> found;
        const char* first = text.data();
        boost::regex_grep(
            [&](const boost::match_results<const char*>& m) {
                Found f{int(m[0].first - first), int(m[0].length()), {}, 1};
                for (std::size_t i = 1; i < m.size(); ++i)
                    f.marks.push_back(m[i].matched ? int(m[i].first - first) : -1);
                f.line += unsigned(std::count(first, m[0].first, '\n'));
                found.push_back(f);
                return true;
            },
            first, first + text.size(), regex, flags);
        return found;
    }

    std::vector<Found> Search(const std::string& expression, bool icase, const std::string& text,
                              boost::regex_constants::match_flag_type flags)
    {
        write("f.txt", text);
        RegEx engine;
        EXPECT_EQ(engine.SetExpression(expression, icase), 0) << expression;
        std::vector<Found> found;
        engine.GrepFiles(
            [&](const std::string&, const FileMatch& match) {
                Found f{match.Position(0), int(match[0].size()), {}, match.Line()};
                for (unsigned i = 1; i < match.Marks(); ++i)
                    f.marks.push_back(match.Position(int(i)));
                found.push_back(f);
                return true;
            },
            m_root + "/f.txt", false, flags);
        const bool any = engine.FindFiles([](const std::string&) { return true; }, m_root + "/f.txt", false, flags) == 1;
        EXPECT_EQ(any, !found.empty()) << expression;
        return found;
    }

    void ExpectAsBoost(const std::string& expression, bool icase, const std::string& text,
                       boost::regex_constants::match_flag_type flags, const std::string& replay)
    {
        std::vector<Found> expected;
        try {
            expected = Boost(expression, icase, text, flags);
        } catch (const std::runtime_error&) {
            return; // the engine gives up on it: a problem of the file, whichever way it is searched
        }
        const std::vector<Found> found = Search(expression, icase, text, flags);
        EXPECT_TRUE(found == expected) << replay << "\n  expression " << expression << (icase ? " (icase)" : "")
                                       << "\n  found    " << Describe(found) << "\n  expected " << Describe(expected);
    }
};

// Lines with carriage returns, blank lines, a last line without its line
// feed, words at line starts and ends.
const char kLog[] =
    "2024-3-1 Kite-07 tag 00FF12AB9C accepted\r\n"
    "door opened\n"
    "\n"
    "tag 0123456789abcdefABCDEF0123 timeout\n"
    "refused: doorway door. ab abab abc\r\n"
    "x door\n"
    "axc a\nc tag";

TEST_F(LineFilteredSearch, FindsWhatTheEngineFindsInTheWholeFile)
{
    namespace rc = boost::regex_constants;
    const struct
    {
        const char* expression;
        bool icase;
        rc::match_flag_type flags;
    } table[] = {
        {"[0-9A-F]{10}", false, rc::match_default},
        {"timeout|refused", false, rc::match_default},
        {"TIMEOUT|Refused", true, rc::match_default},
        {"^tag", false, rc::match_default},
        {"door$", false, rc::match_default},
        {"accepted$", false, rc::match_default},
        {"\\bdoor\\b", false, rc::match_default},
        {"(ab)+c?", false, rc::match_default},
        {"(a|ab)(c|bcd)?", false, rc::match_default},
        {"a.c", false, rc::match_default},
        {"a.c", false, rc::match_not_dot_newline},
        {"[0-9]+?-", false, rc::match_default},
        {"a[\n]c", false, rc::match_default},
        {"[0-9-]{5}", false, rc::match_default},
        {"[-A-F0-9]{4}", false, rc::match_default},
        // Left to the engine alone: the same either way.
        {"(a)\\1", false, rc::match_default},
        {"\\d+", false, rc::match_default},
        {"[^ ]+$", false, rc::match_default},
        {"o*", false, rc::match_default},
    };
    for (const auto& row : table)
        ExpectAsBoost(row.expression, row.icase, kLog, row.flags, "table");
}

// Random expressions over a small alphabet on random texts with line ends:
// wherever the line engine is used, it finds what the engine finds.
TEST_F(LineFilteredSearch, RandomExpressionsFindWhatTheEngineFinds)
{
    // A fixed seed, so a run is repeatable; QUANDOR_SEED tries others.
    const char* given = std::getenv("QUANDOR_SEED");
    const unsigned seed = given ? unsigned(std::strtoul(given, nullptr, 10)) : 20261211u;
    std::mt19937 random(seed);
    auto pick = [&](std::initializer_list<const char*> items) {
        return *(items.begin() + random() % items.size());
    };
    std::function<std::string(int)> expression = [&](int depth) {
        std::string out;
        const int items = 1 + int(random() % 3);
        for (int i = 0; i < items; ++i) {
            const unsigned kind = random() % 10;
            if (kind < 5 || depth > 2)
                out += pick({"a", "b", " ", ".", "[ab]", "[a-b]", "\\.", "ab"});
            else if (kind < 7)
                out += pick({"^", "$", "\\b", "\\B"});
            else
                out += std::string(random() % 2 ? "(" : "(?:") + expression(depth + 1)
                       + (random() % 3 == 0 ? "|" + expression(depth + 1) : std::string()) + ")";
            if (random() % 3 == 0)
                out += pick({"*", "+", "?", "{1,2}", "*?", "+?", "{2}"});
        }
        return out;
    };
    constexpr int kCases = 1500;
    for (int i = 0; i < kCases && !HasFailure(); ++i) {
        std::string text;
        const int length = int(random() % 40);
        for (int c = 0; c < length; ++c)
            text += pick({"a", "b", " ", ".", "\n", "\r\n"});
        const std::string e = expression(0);
        try {
            boost::regex check(e, boost::regex::perl);
        } catch (const boost::regex_error&) {
            continue;
        }
        const auto flags = random() % 2 ? boost::regex_constants::match_not_dot_newline
                                        : boost::regex_constants::match_default;
        ExpectAsBoost(e, random() % 4 == 0, text, flags, "seed " + std::to_string(seed) + ", case " + std::to_string(i));
    }
}

} // namespace
