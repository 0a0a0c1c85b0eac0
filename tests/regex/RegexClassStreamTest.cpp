#include "RegexClass/RegularExpression.h"

#include <gtest/gtest.h>

#include <chrono>
#include <iomanip>
#include <iterator>
#include <locale>
#include <random>
#include <sstream>

// The settings of the standard-string interface as text: the exact
// characters written, both readable versions, and what damaged or hostile
// texts do.

using RegexClass::RegularExpression;

namespace {

const char* const kDefaultText = "2 6 0 1 2 8 12 15 1 0 0 0 0 0 1 0 0 0 0 0 0 0 0 0";

std::string written(const RegularExpression& re)
{
    std::ostringstream out;
    out << re;
    return out.str();
}

// Reads "text" into "re"; the stream's state afterwards.
std::ios::iostate readInto(RegularExpression& re, const std::string& text)
{
    std::istringstream in(text);
    in >> re;
    return in.rdstate() & (std::ios::failbit | std::ios::badbit);
}

void matchingCallback(RegularExpression*, const std::vector<RegexClass::REMatch>&, unsigned, unsigned) {}

// Every setting away from its default.
RegularExpression populated()
{
    RegularExpression re;
    re.SetExpression(std::string("a b\n\0c", 6));
    re.SetStringToMatch(" leading and trailing ");
    re.SetFilesToMatch("/data/*.txt");
    re.SetFormatString("$1");
    re.SetSaveExtension("bak");
    re.SetLocaleDll("msgs \xE4");
    re.AddExpressionOption(RegularExpression::icase);
    re.AddMatchOption(RegularExpression::match_not_bol);
    re.SetDirectoryRecursion(true);
    re.SetMergeCopy(true);
    re.SetMergeOnlyFirst(true);
    re.SetSplitInputDelete(true);
    re.SetContinueFiles(false);
    re.SetMaximumSplits(4000000000ul);
    re.SetFormatType(RegularExpression::format_sed);
    re.SetLocaleModel(RegularExpression::runtime_library_locale);
    return re;
}

} // namespace

TEST(RegexClassStream, NewObjectWritesTheGoldenText)
{
    EXPECT_EQ(written(RegularExpression()), kDefaultText);
}

TEST(RegexClassStream, EverySettingWritesItsText)
{
    EXPECT_EQ(written(populated()), std::string("2 7 0 1 2 8 11 12 15 1 1 1 1 1 1 0 4000000000 1 2 6 a b\n") + '\0'
                                        + "c 22  leading and trailing  11 /data/*.txt 2 $1 3 bak 6 msgs \xE4");
}

TEST(RegexClassStream, TheGoldenTextRestoresTheDefaultsAndKeepsHandlers)
{
    RegularExpression re = populated();
    re.SetOnMatching(&matchingCallback);
    int receiver = 0;
    re.OnGrepping.Subscribe(&receiver, [](RegularExpression*, const std::vector<RegexClass::REMatch>&, unsigned,
                                          unsigned, bool&) {});
    re.SetLocaleModel(RegularExpression::standard_locale);
    re.SetExpression("(a)");
    ASSERT_EQ(re.NumberOfSubexpressions(), 1u);

    EXPECT_EQ(readInto(re, kDefaultText), 0);
    EXPECT_TRUE(re == RegularExpression());
    EXPECT_EQ(re.GetOnMatching(), &matchingCallback);
    EXPECT_EQ(re.OnGrepping.Count(), 1u);
    EXPECT_EQ(static_cast<const RegularExpression&>(re).NumberOfSubexpressions(), 0u)
        << "reading the options clears the parse states";
}

TEST(RegexClassStream, TextsOfAnyContentRoundTrip)
{
    const RegularExpression source = populated();
    RegularExpression copy;
    EXPECT_EQ(readInto(copy, written(source)), 0);
    EXPECT_TRUE(copy == source);
    EXPECT_EQ(copy.GetExpression(), std::string("a b\n\0c", 6));
    EXPECT_EQ(copy.GetStringToMatch(), " leading and trailing ");
    EXPECT_EQ(copy.GetMaximumSplits(), 4000000000ul);
    EXPECT_EQ(copy.GetLocaleModel(), RegularExpression::runtime_library_locale);

    // Two objects in one stream.
    std::stringstream both;
    both << source << ' ' << RegularExpression();
    RegularExpression first;
    RegularExpression second = populated();
    both >> first >> second;
    EXPECT_FALSE(both.fail());
    EXPECT_TRUE(first == source);
    EXPECT_TRUE(second == RegularExpression());
}

TEST(RegexClassStream, VersionOneLeavesTheLaterSettingsAlone)
{
    RegularExpression re = populated();
    EXPECT_EQ(readInto(re, "1 1 14 0 0 1 3 a.b 0 0 0 3 sav"), 0);
    EXPECT_TRUE(re.IsExpressionOption(RegularExpression::extended));
    EXPECT_FALSE(re.IsExpressionOption(RegularExpression::char_classes)) << "options go in as stored";
    EXPECT_FALSE(re.IsMatchOption(RegularExpression::match_default));
    EXPECT_FALSE(re.GetDirectoryRecursion());
    EXPECT_TRUE(re.GetMergeCopy());
    EXPECT_EQ(re.GetExpression(), "a.b");
    EXPECT_EQ(re.GetStringToMatch(), "");
    EXPECT_EQ(re.GetSaveExtension(), "sav");
    // Not in a version-1 text.
    EXPECT_TRUE(re.GetMergeOnlyFirst());
    EXPECT_TRUE(re.GetSplitInputDelete());
    EXPECT_FALSE(re.GetContinueFiles());
    EXPECT_EQ(re.GetMaximumSplits(), 4000000000ul);
    EXPECT_EQ(re.GetFormatType(), RegularExpression::format_sed);
    EXPECT_EQ(re.GetLocaleModel(), RegularExpression::runtime_library_locale);
    EXPECT_EQ(re.GetLocaleDll(), "msgs \xE4");

    EXPECT_EQ(readInto(re, "1 0 0 0 0 0 0 0 0 0"), 0);
    EXPECT_EQ(re.GetSaveExtension(), "") << "an empty last text ends the text";
}

TEST(RegexClassStream, NewerAndMeaninglessVersions)
{
    const RegularExpression before = populated();
    RegularExpression re = before;
    EXPECT_EQ(readInto(re, std::string("3") + (kDefaultText + 1)), std::ios::failbit);
    EXPECT_TRUE(re == before) << "a newer version changes nothing";

    for (const char* version : {"0 ", "-1 "}) {
        std::istringstream in(std::string(version) + (kDefaultText + 2));
        in >> re;
        EXPECT_TRUE(in.good()) << version;
        EXPECT_TRUE(re == before) << version;
    }
    EXPECT_EQ(readInto(re, ""), std::ios::failbit);
    EXPECT_EQ(readInto(re, "two"), std::ios::failbit);
    EXPECT_TRUE(re == before);
}

TEST(RegexClassStream, DamagedTextsFailWhereTheDamageShows)
{
    // Ends inside the match options: the expression options are loaded, the
    // match options are partly loaded.
    RegularExpression re = populated();
    EXPECT_EQ(readInto(re, "2 1 14 2 3"), std::ios::failbit);
    EXPECT_TRUE(re.IsExpressionOption(RegularExpression::extended));
    EXPECT_FALSE(re.IsExpressionOption(RegularExpression::icase));
    EXPECT_TRUE(re.IsMatchOption(RegularExpression::match_not_bob));
    EXPECT_FALSE(re.IsMatchOption(RegularExpression::match_not_bol));
    EXPECT_TRUE(re.GetDirectoryRecursion()) << "fields after the damage keep their values";

    const std::string head = "2 6 0 1 2 8 12 15 1 0 0 0 0 0 1 0 0 ";
    re = populated();
    EXPECT_EQ(readInto(re, "2 6 0 1 2 8 12 15 1 0 2 0 0 0 1 0 0 0 0 0 0 0 0 0"), std::ios::failbit)
        << "a boolean other than 0 or 1";
    re = populated();
    EXPECT_EQ(readInto(re, head + "7 0 0 0 0 0 0"), std::ios::failbit) << "a locale model the component lacks";
    EXPECT_EQ(re.GetLocaleModel(), RegularExpression::runtime_library_locale);
    re = populated();
    EXPECT_EQ(readInto(re, "2 -1 0"), std::ios::failbit) << "a negative count";
    re = populated();
    EXPECT_EQ(readInto(re, head + "0 5 abc"), std::ios::failbit) << "a text shorter than its length";
    EXPECT_EQ(re.GetExpression(), std::string("a b\n\0c", 6)) << "the text keeps its old value";

    // A length far beyond the stream fails at once, without reserving it.
    re = populated();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(readInto(re, head + "0 4000000000 abc"), std::ios::failbit);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    EXPECT_EQ(readInto(re, head + "0 99999999999999999999 abc"), std::ios::failbit);
}

namespace {

// Groups thousands with a dot, as German number formatting does.
struct GroupingPunct : std::numpunct<char>
{
    char do_thousands_sep() const override { return '.'; }
    std::string do_grouping() const override { return "\3"; }
    std::string do_truename() const override { return "ja"; }
};

} // namespace

TEST(RegexClassStream, TheCallersNumberFormattingIsSetAside)
{
    RegularExpression re = populated();
    re.SetMaximumSplits(1000);
    const std::string plain = written(re);

    std::ostringstream out;
    out.imbue(std::locale(std::locale::classic(), new GroupingPunct));
    out << std::hex << std::boolalpha << std::showpos << std::setw(10);
    const auto flags = out.flags();
    out << re;
    EXPECT_EQ(out.str(), plain);
    EXPECT_EQ(out.flags(), flags) << "the caller's formatting is restored";
    EXPECT_TRUE(std::has_facet<std::numpunct<char>>(out.getloc()));
    EXPECT_EQ(std::use_facet<std::numpunct<char>>(out.getloc()).thousands_sep(), '.');

    std::istringstream in(plain);
    in.imbue(out.getloc());
    in >> std::hex >> std::boolalpha >> std::noskipws;
    RegularExpression back;
    in >> back;
    EXPECT_FALSE(in.fail());
    EXPECT_TRUE(back == re);
    EXPECT_EQ(back.GetMaximumSplits(), 1000ul);
}

// Damaged and random texts in great number: reading never crashes, hangs or
// reads beyond what it holds, and a text read without failure writes back to
// a text that reads to the same settings.
TEST(RegexClassStream, FuzzedTextsAreReadSafely)
{
    const std::vector<std::string> seeds = {
        kDefaultText,
        written(populated()),
        "1 1 14 0 0 1 3 a.b 0 0 0 3 sav",
        "2 2 5 9 1 12 0 1 0 1 0 7 2 1 3 (a) 5 a b c 0 4 <$&> 0 0",
    };
    std::mt19937 random(20240611);
    auto pick = [&](size_t n) { return size_t(random() % (n ? n : 1)); };
    const std::string tokens[] = {" ", "0", "1", "2", "-1", "4294967296", "999999999999", "\n", std::string(1, '\0'),
                                  "(", "\xFF"};
    size_t failed = 0;
    size_t read = 0;
    for (int round = 0; round < 100000; ++round) {
        std::string text = seeds[pick(seeds.size())];
        const int edits = 1 + int(pick(4));
        for (int e = 0; e < edits; ++e) {
            const size_t at = pick(text.size() + 1);
            switch (pick(6)) {
            case 0: text.insert(at, tokens[pick(std::size(tokens))]); break;
            case 1: text.erase(at, pick(6)); break;
            case 2: if (at < text.size()) text[at] = char(random()); break;
            case 3: text.resize(at); break;
            case 4: text.insert(at, std::to_string(int(random()))); break;
            default: text.insert(at, text.substr(pick(text.size()), pick(12))); break;
            }
        }
        RegularExpression re;
        std::istringstream in(text);
        in >> re;
        if (in.fail()) {
            ++failed;
            continue;
        }
        ++read;
        RegularExpression back;
        std::istringstream again(written(re));
        again >> back;
        ASSERT_FALSE(again.fail()) << "input: " << text;
        ASSERT_TRUE(back == re) << "input: " << text;
        // Settings of any shape must be safe to use.
        if (round % 200 == 0) {
            re.ParseExpression();
            re.Search();
            std::vector<std::string> pieces;
            re.Split(pieces);
        }
    }
    EXPECT_GT(failed, 1000u);
    EXPECT_GT(read, 1000u);
}
