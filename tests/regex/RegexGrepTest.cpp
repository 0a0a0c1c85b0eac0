#include "RegexInterfaces.h"
#include "TestEnvironment.h"

#include <boost/regex.hpp>

#include <fstream>
#include <stdexcept>

// Grep, merge, split and format, against the documented examples and
// against the engine's own functions on the same inputs.

namespace {

using Parts = std::vector<std::pair<std::string, int>>;

struct GrepReport
{
    Parts parts;
    unsigned line;
    unsigned lineStart;
};

} // namespace

template <class I>
class RegexGrep : public ::testing::Test
{
protected:
    using R = typename I::Regex;
    using Matches = std::vector<typename I::Match>;

    // Runs Grep and collects every report; "stopAt" (counted from 1) is the
    // report whose handler says stop.
    std::vector<GrepReport> grep(R& re, const std::string& expression, const std::string& subject,
                                 unsigned& count, size_t stopAt = 0)
    {
        std::vector<GrepReport> reports;
        int receiver = 0;
        re.OnGrepping.Subscribe(&receiver, [&](R*, const Matches& m, unsigned line, unsigned start, bool& go) {
            reports.push_back({PartsOf<I>(m), line, start});
            if (reports.size() == stopAt)
                go = false;
        });
        re.SetExpression(I::Text(expression));
        re.SetStringToMatch(I::Text(subject));
        count = re.Grep();
        re.RemoveAllEventHandlers(&receiver);
        return reports;
    }

    static std::string merge(R& re, const std::string& expression, const std::string& format,
                             const std::string& subject)
    {
        re.SetExpression(I::Text(expression));
        re.SetFormatString(I::Text(format));
        re.SetStringToMatch(I::Text(subject));
        return I::Merge(re);
    }

    static std::vector<std::string> split(R& re, const std::string& expression, const std::string& subject)
    {
        re.SetExpression(I::Text(expression));
        re.SetStringToMatch(I::Text(subject));
        return I::Split(re);
    }
};
TYPED_TEST_SUITE(RegexGrep, RegexInterfaces, InterfaceNames);

using Pieces = std::vector<std::string>;

TYPED_TEST(RegexGrep, GrepReportsEveryMatchAndStopsWhenAsked)
{
    typename TypeParam::Regex re;
    unsigned count = 0;
    const auto all = this->grep(re, "a", "banana", count);
    EXPECT_EQ(count, 3u);
    ASSERT_EQ(all.size(), 3u);
    // Whole match, prefix (since the previous match), suffix.
    EXPECT_EQ(all[0].parts, (Parts{{"a", 1}, {"b", 0}, {"nana", 2}}));
    EXPECT_EQ(all[1].parts, (Parts{{"a", 3}, {"n", 2}, {"na", 4}}));
    EXPECT_EQ(all[2].parts, (Parts{{"a", 5}, {"n", 4}, {"", -1}}));

    const auto first = this->grep(re, "a", "banana", count, 1);
    EXPECT_EQ(first.size(), 1u);
    EXPECT_EQ(count, 1u);

    this->grep(re, "(", "banana", count);
    EXPECT_EQ(count, 0u) << "an expression that does not compile greps nothing";
}

TYPED_TEST(RegexGrep, GrepGivesLinesAndSubexpressions)
{
    typename TypeParam::Regex re;
    unsigned count = 0;
    const auto reports = this->grep(re, "(x)(y)?", "x\nab x\n\nxy", count);
    ASSERT_EQ(count, 3u);
    EXPECT_EQ(reports[0].line, 1u);
    EXPECT_EQ(reports[0].lineStart, 0u);
    EXPECT_EQ(reports[1].line, 2u);
    EXPECT_EQ(reports[1].lineStart, 2u);
    EXPECT_EQ(reports[2].line, 4u);
    EXPECT_EQ(reports[2].lineStart, 8u);
    EXPECT_EQ(reports[1].parts, (Parts{{"x", 5}, {"x", 5}, {"", -1}, {"\nab ", 1}, {"\n\nxy", 6}}));
    EXPECT_EQ(reports[2].parts, (Parts{{"xy", 8}, {"x", 8}, {"y", 9}, {"\n\n", 6}, {"", -1}}));
}

TYPED_TEST(RegexGrep, GrepCountsWhatTheEngineFinds)
{
    // The same matches as the engine's own grep, empty matches included.
    const char* const cases[][2] = {
        {"a", "banana"}, {"x*", "abc"}, {"a*", "baa"}, {"\\b", "one two"}, {"^", "a\nb\nc"},
        {"(?=a)", "aaa"}, {"[0-9]+", "12 345 6"},
    };
    for (const auto& c : cases) {
        typename TypeParam::Regex re;
        unsigned count = 0;
        const auto reports = this->grep(re, c[0], c[1], count);
        std::vector<int> positions;
        const std::string subject = c[1];
        const unsigned expected = boost::regex_grep(
            [&](const boost::smatch& m) {
                positions.push_back(int(m.position(size_t(0))));
                return true;
            },
            subject, boost::regex(c[0]));
        EXPECT_EQ(count, expected) << c[0] << " on " << c[1];
        ASSERT_EQ(reports.size(), positions.size()) << c[0];
        for (size_t i = 0; i < positions.size(); ++i)
            EXPECT_EQ(reports[i].parts[0].second, positions[i]) << c[0] << " match " << i;
    }
}

TYPED_TEST(RegexGrep, MergeCopiesReplacesAndStops)
{
    typename TypeParam::Regex re;
    re.SetMergeCopy(true);
    EXPECT_EQ(this->merge(re, "a", "o", "banana"), "bonono");
    re.SetMergeCopy(false);
    EXPECT_EQ(this->merge(re, "a", "o", "banana"), "ooo");
    re.SetMergeCopy(true);
    re.SetMergeOnlyFirst(true);
    EXPECT_EQ(this->merge(re, "a", "o", "banana"), "bonana");
    re.SetMergeOnlyFirst(false);

    // A receiver that declines the second match ends the merge there.
    int receiver = 0;
    int seen = 0;
    re.OnMerging.Subscribe(&receiver, [&](typename TypeParam::Regex*, const std::vector<typename TypeParam::Match>&,
                                          unsigned, unsigned, bool& replace) { replace = ++seen != 2; });
    EXPECT_EQ(this->merge(re, "a", "o", "banana"), "bonana");
    EXPECT_EQ(seen, 2);
    re.RemoveAllEventHandlers(&receiver);

    // Empty matches are replaced once each, never in a loop.
    EXPECT_EQ(this->merge(re, "x*", "-", "abc"), "-a-b-c-");
    EXPECT_EQ(this->merge(re, "(", "-", "abc"), "") << "nothing when the expression does not compile";
    EXPECT_EQ(this->merge(re, "a", "o", ""), "");
}

TYPED_TEST(RegexGrep, MergeEqualsTheEnginesReplace)
{
    const char* const cases[][3] = {
        {"a", "o", "banana"},
        {"([a-z]+)@([a-z]+)", "$2 at $1", "mail anna@home and bert@work now"},
        {"(\\d+)-(\\d+)", "(?1[$1]:none)\\2", "1-2 and 30-40"},
        {"\\s+", " ", "a  b\t\tc\n\nd"},
        {"^(\\w)", "\\u$1", "first\nsecond line"},
        {"\\bcat\\b", "dog", "cat concat cat."},
        {"é", "e", "caf\xE9 \xE9t\xE9"},
    };
    for (const auto& c : cases) {
        typename TypeParam::Regex re;
        const boost::regex engine(c[0]);
        re.SetMergeCopy(true);
        EXPECT_EQ(this->merge(re, c[0], c[1], c[2]), boost::regex_replace(std::string(c[2]), engine, c[1], boost::format_all))
            << c[0] << " -> " << c[1];
        re.SetMergeCopy(false);
        EXPECT_EQ(this->merge(re, c[0], c[1], c[2]),
                  boost::regex_replace(std::string(c[2]), engine, c[1], boost::format_all | boost::format_no_copy))
            << c[0] << " -> " << c[1] << " without copy";
    }
}

TYPED_TEST(RegexGrep, FormatTypesChooseTheSyntax)
{
    using R = typename TypeParam::Regex;
    R re;
    re.SetMergeCopy(true);
    re.SetFormatType(R::format_perl);
    EXPECT_EQ(this->merge(re, "(b)", "[$1$&]", "abc"), "a[bb]c");
    re.SetFormatType(R::format_sed);
    EXPECT_EQ(this->merge(re, "(b)", "[\\1&]", "abc"), "a[bb]c");
    re.SetFormatType(R::format_all);
    EXPECT_EQ(this->merge(re, "(b)|(c)", "(?1B:C)", "abc"), "aBC");
    re.SetFormatType(typename R::FormatTypes(7));
    EXPECT_EQ(this->merge(re, "(b)|(c)", "(?1B:C)", "abc"), "aBC") << "other types format as type 0";
}

TYPED_TEST(RegexGrep, FormatWorksOnlyInsideReports)
{
    using R = typename TypeParam::Regex;
    R re;
    re.SetFormatString(TypeParam::Text("<$1>"));
    EXPECT_EQ(TypeParam::Format(re), "") << "nothing has matched";

    std::vector<std::string> seen;
    int receiver = 0;
    re.OnGrepping.Subscribe(&receiver, [&](R* sender, const std::vector<typename TypeParam::Match>&, unsigned,
                                           unsigned, bool&) { seen.push_back(TypeParam::Format(*sender)); });
    re.OnSearching.Subscribe(&receiver, [&](R* sender, const std::vector<typename TypeParam::Match>&, unsigned,
                                            unsigned) { seen.push_back(TypeParam::Format(*sender)); });
    re.SetExpression(TypeParam::Text("([0-9])"));
    re.SetStringToMatch(TypeParam::Text("a1b2"));
    EXPECT_EQ(re.Grep(), 2u);
    EXPECT_TRUE(re.Search());
    EXPECT_EQ(seen, (Pieces{"<1>", "<2>", "<1>"}));
    EXPECT_EQ(TypeParam::Format(re), "") << "the match is gone after the report";
}

TYPED_TEST(RegexGrep, HandlersMayChangeTheObjectWhileItRuns)
{
    using R = typename TypeParam::Regex;
    R re;
    std::vector<int> positions;
    int receiver = 0;
    re.OnGrepping.Subscribe(&receiver, [&](R* sender, const std::vector<typename TypeParam::Match>& m, unsigned,
                                           unsigned, bool&) {
        positions.push_back(m[0].position);
        // Ignored while the grep runs; a new expression and subject take
        // effect only for the next run.
        sender->SetLocaleModel(R::runtime_library_locale);
        sender->SetExpression(TypeParam::Text("q"));
        sender->SetStringToMatch(TypeParam::Text("zzz"));
        EXPECT_EQ(sender->ParseExpression(), R::no_error);
    });
    re.SetExpression(TypeParam::Text("a"));
    re.SetStringToMatch(TypeParam::Text("banana"));
    EXPECT_EQ(re.Grep(), 3u);
    EXPECT_EQ(positions, (std::vector<int>{1, 3, 5}));
    EXPECT_EQ(re.GetLocaleModel(), R::standard_locale);
    re.SetLocaleModel(R::runtime_library_locale);
    EXPECT_EQ(re.GetLocaleModel(), R::runtime_library_locale) << "not busy any more";

    R merging;
    merging.OnMerging.Subscribe(&receiver, [](R* sender, const std::vector<typename TypeParam::Match>&, unsigned,
                                              unsigned, bool&) {
        sender->SetLocaleModel(R::win32_locale);
        // A nested grep on the same object leaves the outer merge intact.
        sender->Grep();
    });
    merging.SetMergeCopy(true);
    EXPECT_EQ(this->merge(merging, "a", "o", "banana"), "bonono");
    EXPECT_EQ(merging.GetLocaleModel(), R::standard_locale);
}

TYPED_TEST(RegexGrep, AnExceptionOfAHandlerReachesTheCaller)
{
    using R = typename TypeParam::Regex;
    R re;
    int receiver = 0;
    re.OnGrepping.Subscribe(&receiver, [](R*, const std::vector<typename TypeParam::Match>&, unsigned, unsigned,
                                          bool&) { throw std::runtime_error("from the handler"); });
    re.SetExpression(TypeParam::Text("a"));
    re.SetStringToMatch(TypeParam::Text("banana"));
    EXPECT_THROW(re.Grep(), std::runtime_error);
    re.SetLocaleModel(R::runtime_library_locale);
    EXPECT_EQ(re.GetLocaleModel(), R::runtime_library_locale) << "the object is not left busy";
}

TYPED_TEST(RegexGrep, SplitAtBlanksByDefault)
{
    using R = typename TypeParam::Regex;
    R re;
    EXPECT_EQ(this->split(re, "", "a b  c"), (Pieces{"a", "b", "c"}));
    EXPECT_EQ(TypeParam::Bytes(re.GetExpression()), "");
    EXPECT_EQ(re.ParseExpression(), R::empty_expression) << "the default is used for the one call";

    // The default splits at blanks whatever syntax the options choose.
    for (auto family : {R::basic, R::grep, R::emacs, R::literal, R::awk}) {
        R other;
        other.AddExpressionOption(family);
        EXPECT_EQ(this->split(other, "", "a b\tc"), (Pieces{"a", "b", "c"})) << "option " << family;
        EXPECT_TRUE(other.IsExpressionOption(family)) << "the options stay";
    }

    EXPECT_EQ(this->split(re, "", ""), Pieces{}) << "nothing to split";
    EXPECT_EQ(this->split(re, "(", "a b"), Pieces{}) << "an expression that does not compile";
}

TYPED_TEST(RegexGrep, SplitLimitAndInputDelete)
{
    using R = typename TypeParam::Regex;
    R re;
    re.SetMaximumSplits(1);
    re.SetSplitInputDelete(true);
    EXPECT_EQ(this->split(re, "", "a b  c"), (Pieces{"a"}));
    EXPECT_EQ(TypeParam::Bytes(re.GetStringToMatch()), "b  c");
    EXPECT_EQ(TypeParam::Split(re), (Pieces{"b"}));
    EXPECT_EQ(TypeParam::Bytes(re.GetStringToMatch()), "c");
    re.SetMaximumSplits(0);
    EXPECT_EQ(TypeParam::Split(re), (Pieces{"c"}));
    EXPECT_EQ(TypeParam::Bytes(re.GetStringToMatch()), "") << "all of it split";

    re.SetSplitInputDelete(false);
    EXPECT_EQ(this->split(re, ",", "1,2,3"), (Pieces{"1", "2", "3"}));
    EXPECT_EQ(TypeParam::Bytes(re.GetStringToMatch()), "1,2,3");
}

TYPED_TEST(RegexGrep, SplitEqualsTheEnginesSplit)
{
    const char* const cases[][2] = {
        {"\\s+", "  leading and trailing  "}, {",", "a,,b,"}, {"(\\d)", "a1b2c3"}, {"(x)|(y)", "axbyc"},
        {"-*", "a-b--c"}, {";", ";"}, {"\\b", "one two"}, {"z", "no match at all"},
    };
    for (const auto& c : cases) {
        for (unsigned limit : {0u, 1u, 2u, 5u}) {
            typename TypeParam::Regex re;
            re.SetMaximumSplits(limit);
            re.SetSplitInputDelete(true);
            std::string rest = c[1];
            Pieces expected;
            boost::regex_split(std::back_inserter(expected), rest, boost::regex(c[0]), boost::match_default,
                               limit ? limit : UINT_MAX);
            EXPECT_EQ(this->split(re, c[0], c[1]), expected) << c[0] << " on '" << c[1] << "' limit " << limit;
            EXPECT_EQ(TypeParam::Bytes(re.GetStringToMatch()), rest) << c[0] << " limit " << limit;
        }
    }
}

TYPED_TEST(RegexGrep, SplitTakesTheCataloguesSpaceLetter)
{
    using R = typename TypeParam::Regex;
    const std::string catalogue = TestEnvironment::NewFolder(QStringLiteral("split")).toStdString() + "/msgs.cat";
    // The letter of a catalogue whose class names differ: here "S" stands
    // in, so the default splits at everything but blanks.
    std::ofstream(catalogue, std::ios::binary) << "143\tS\n";
    R re;
    re.SetLocaleDll(TypeParam::Text(catalogue));
    EXPECT_EQ(this->split(re, "", "ab cd"), (Pieces{" "}));
    re.SetLocaleModel(R::runtime_library_locale);
    EXPECT_EQ(this->split(re, "", "ab cd"), (Pieces{"ab", "cd"})) << "the runtime-library model has no catalogue";
}
