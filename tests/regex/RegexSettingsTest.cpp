#include "RegexInterfaces.h"

#include <functional>
#include <locale>

template <class I>
class RegexSettings : public ::testing::Test
{
};
TYPED_TEST_SUITE(RegexSettings, RegexInterfaces, InterfaceNames);

namespace {

template <class R>
std::vector<int> expressionOptions(const R& re)
{
    std::vector<int> values;
    for (int o = 0; o <= 21; ++o)
        if (re.IsExpressionOption(typename R::Options(o)))
            values.push_back(o);
    return values;
}

template <class R>
std::vector<int> matchOptions(const R& re)
{
    std::vector<int> values;
    for (int m = 0; m <= 12; ++m)
        if (re.IsMatchOption(typename R::Matches(m)))
            values.push_back(m);
    return values;
}

template <class R, class S>
void fillEverySetting(R& re, const S& expression)
{
    re.SetExpression(expression);
    re.SetStringToMatch(expression);
    re.SetFilesToMatch(expression);
    re.SetFormatString(expression);
    re.SetSaveExtension(expression);
    re.SetLocaleDll(expression);
    re.SetFormatType(R::format_perl);
    re.SetLocaleModel(R::runtime_library_locale);
    re.SetDirectoryRecursion(true);
    re.SetMergeCopy(true);
    re.SetMergeOnlyFirst(true);
    re.SetContinueFiles(false);
    re.SetSplitInputDelete(true);
    re.SetMaximumSplits(7);
    re.AddExpressionOption(R::icase);
    re.AddMatchOption(R::match_not_bol);
}

template <class R, class M>
void noMatch(R*, const std::vector<M>&, unsigned, unsigned)
{
}

} // namespace

TYPED_TEST(RegexSettings, NewObjectHasTheDefaults)
{
    using R = typename TypeParam::Regex;
    R re;
    EXPECT_EQ(expressionOptions(re), (std::vector<int>{0, 1, 2, 8, 12, 15}));
    EXPECT_EQ(matchOptions(re), (std::vector<int>{0}));
    EXPECT_EQ(re.GetFormatType(), R::format_all);
    EXPECT_EQ(re.GetLocaleModel(), R::standard_locale);
    EXPECT_TRUE(re.GetContinueFiles());
    EXPECT_FALSE(re.GetDirectoryRecursion());
    EXPECT_FALSE(re.GetMergeCopy());
    EXPECT_FALSE(re.GetMergeOnlyFirst());
    EXPECT_FALSE(re.GetSplitInputDelete());
    EXPECT_EQ(re.GetMaximumSplits(), 0u);
    EXPECT_TRUE(TypeParam::Bytes(re.GetExpression()).empty());
    EXPECT_TRUE(TypeParam::Bytes(re.GetLocaleDll()).empty());
    EXPECT_TRUE(re.GetLocale() == std::locale());
    EXPECT_EQ(re.GetOnMatching(), nullptr);
    EXPECT_EQ(re.GetFindFilesErrors(), nullptr);
    EXPECT_EQ(re.GetGrepFilesErrors(), nullptr);
    EXPECT_EQ(re.GetChangeFilesErrors(), nullptr);
}

TYPED_TEST(RegexSettings, EverySettingReadsBackAsStored)
{
    using R = typename TypeParam::Regex;
    R re;
    const auto text = TypeParam::Text(std::string("Stra\xDF" "e \x80 a\0b", 11));
    fillEverySetting(re, text);
    EXPECT_EQ(re.GetExpression(), text);
    EXPECT_EQ(re.GetStringToMatch(), text);
    EXPECT_EQ(re.GetFilesToMatch(), text);
    EXPECT_EQ(re.GetFormatString(), text);
    EXPECT_EQ(re.GetSaveExtension(), text);
    EXPECT_EQ(re.GetLocaleDll(), text);
    EXPECT_EQ(re.GetFormatType(), R::format_perl);
    EXPECT_EQ(re.GetLocaleModel(), R::runtime_library_locale);
    EXPECT_TRUE(re.GetDirectoryRecursion());
    EXPECT_TRUE(re.GetMergeCopy());
    EXPECT_TRUE(re.GetMergeOnlyFirst());
    EXPECT_FALSE(re.GetContinueFiles());
    EXPECT_TRUE(re.GetSplitInputDelete());
    EXPECT_EQ(re.GetMaximumSplits(), 7u);
    EXPECT_TRUE(re.IsExpressionOption(R::icase));
    EXPECT_EQ(matchOptions(re), (std::vector<int>{1}));

    const std::locale classic = std::locale::classic();
    re.SetLocale(classic);
    EXPECT_TRUE(re.GetLocale() == classic);
}

TYPED_TEST(RegexSettings, LocaleModelOutsideTheEnumerationIsIgnored)
{
    using R = typename TypeParam::Regex;
    R re;
    re.SetLocaleModel(R::win32_locale);
    re.SetLocaleModel(typename R::LocaleModels(3));
    re.SetLocaleModel(typename R::LocaleModels(-1));
    EXPECT_EQ(re.GetLocaleModel(), R::win32_locale);
}

TYPED_TEST(RegexSettings, SameExpressionKeepsParseStatesNewOneClearsAllThree)
{
    using R = typename TypeParam::Regex;
    R re;
    re.SetExpression(TypeParam::Text("(a)(b)"));
    for (int model : {2, 1, 0}) {
        re.SetLocaleModel(typename R::LocaleModels(model));
        ASSERT_EQ(re.ParseExpression(), R::no_error);
    }
    const R& view = re;
    re.SetExpression(TypeParam::Text("(a)(b)"));
    for (int model : {0, 1, 2}) {
        re.SetLocaleModel(typename R::LocaleModels(model));
        EXPECT_EQ(view.NumberOfSubexpressions(), 2u) << "model " << model;
    }
    re.SetExpression(TypeParam::Text("(a)"));
    for (int model : {0, 1, 2}) {
        re.SetLocaleModel(typename R::LocaleModels(model));
        EXPECT_EQ(view.NumberOfSubexpressions(), 0u) << "model " << model;
    }
}

TYPED_TEST(RegexSettings, WhichParseStatesEachSettingClears)
{
    using R = typename TypeParam::Regex;
    R re;
    re.SetExpression(TypeParam::Text("(x)"));
    const R& view = re;
    auto parseAll = [&re] {
        for (int model : {0, 1, 2}) {
            re.SetLocaleModel(typename R::LocaleModels(model));
            re.ParseExpression();
        }
    };
    auto parsed = [&]() {
        std::vector<int> models;
        for (int model : {0, 1, 2}) {
            re.SetLocaleModel(typename R::LocaleModels(model));
            if (view.NumberOfSubexpressions() == 1)
                models.push_back(model);
        }
        return models;
    };

    parseAll();
    re.SetLocaleDll(TypeParam::Text("no-such-catalogue"));
    EXPECT_EQ(parsed(), (std::vector<int>{2}));

    parseAll();
    re.SetLocaleDll(TypeParam::Text("no-such-catalogue"));
    EXPECT_EQ(parsed(), (std::vector<int>{0, 1, 2})) << "the same name changes nothing";

    re.SetLocale(std::locale::classic());
    EXPECT_EQ(parsed(), (std::vector<int>{1, 2}));

    parseAll();
    re.AddExpressionOption(R::normal);
    EXPECT_EQ(parsed(), (std::vector<int>{0, 1, 2})) << "a family already present changes nothing";
    re.AddMatchOption(R::match_not_eol);
    re.ClearMatchOptions();
    EXPECT_EQ(parsed(), (std::vector<int>{0, 1, 2})) << "match options never touch parse states";
    re.AddExpressionOption(R::icase);
    EXPECT_TRUE(parsed().empty());

    parseAll();
    re.DeleteExpressionOption(R::newline_alt);
    EXPECT_EQ(parsed().size(), 3u) << "deleting an absent option changes nothing";
    re.ClearExpressionOptions();
    EXPECT_TRUE(parsed().empty());
}

TYPED_TEST(RegexSettings, OptionRulesThroughTheObject)
{
    using R = typename TypeParam::Regex;
    {
        R re;
        re.AddExpressionOption(R::extended);
        EXPECT_EQ(expressionOptions(re), (std::vector<int>{1, 2, 8, 14}));
    }
    {
        R re;
        re.AddExpressionOption(R::emacs);
        EXPECT_EQ(expressionOptions(re), (std::vector<int>{6, 7, 8, 9, 16}));
    }
    {
        R re;
        re.AddExpressionOption(R::egrep);
        EXPECT_EQ(expressionOptions(re), (std::vector<int>{1, 2, 4, 8, 19}));
        re.DeleteExpressionOption(R::egrep);
        EXPECT_TRUE(expressionOptions(re).empty());
    }
    {
        R re;
        re.DeleteExpressionOption(R::normal);
        EXPECT_TRUE(expressionOptions(re).empty());
    }
    {
        R re;
        re.AddMatchOption(R::match_not_bol);
        EXPECT_EQ(matchOptions(re), (std::vector<int>{1}));
        re.DeleteMatchOption(R::match_not_bol);
        EXPECT_EQ(matchOptions(re), (std::vector<int>{0}));
        re.AddMatchOption(R::match_any);
        EXPECT_EQ(matchOptions(re), (std::vector<int>{0, 9}));
    }
}

TYPED_TEST(RegexSettings, CopyTakesSettingsAndCallbacksButNothingParsed)
{
    using R = typename TypeParam::Regex;
    R source;
    fillEverySetting(source, TypeParam::Text("(a)(b)"));
    source.SetLocaleModel(R::standard_locale);
    source.SetLocaleDll(typename TypeParam::String());
    ASSERT_EQ(source.ParseExpression(), R::no_error);
    source.SetOnMatching(&noMatch<R, typename TypeParam::Match>);
    source.SetLocale(std::locale::classic());

    const R copy(source);
    EXPECT_TRUE(copy == source);
    EXPECT_EQ(copy.NumberOfSubexpressions(), 0u);
    EXPECT_EQ(copy.GetOnMatching(), source.GetOnMatching());
    EXPECT_TRUE(copy.GetLocale() == std::locale()) << "a copy starts with the global locale";

    R assigned;
    const std::locale own = std::locale(std::locale::classic(), new std::numpunct<char>());
    assigned.SetLocale(own);
    assigned = source;
    EXPECT_TRUE(assigned == source);
    EXPECT_TRUE(assigned.GetLocale() == own) << "assignment keeps the target's locale";
    EXPECT_EQ(assigned.GetOnMatching(), source.GetOnMatching());
}

TYPED_TEST(RegexSettings, SelfAssignmentKeepsParseStates)
{
    using R = typename TypeParam::Regex;
    R re;
    re.SetExpression(TypeParam::Text("(a)"));
    ASSERT_EQ(re.ParseExpression(), R::no_error);
    R& self = re;
    re = self;
    EXPECT_EQ(static_cast<const R&>(re).NumberOfSubexpressions(), 1u);
}

TYPED_TEST(RegexSettings, EqualityComparesSettingsOnly)
{
    using R = typename TypeParam::Regex;
    R a;
    R b;
    EXPECT_TRUE(a == b);
    EXPECT_TRUE(a == R(a));

    b.SetLocale(std::locale::classic());
    a.SetExpression(TypeParam::Text("x"));
    b.SetExpression(TypeParam::Text("x"));
    ASSERT_EQ(a.ParseExpression(), R::no_error);
    EXPECT_TRUE(a == b) << "locale and parse states do not count";

    // Each setting on its own makes a difference.
    std::vector<std::function<void(R&)>> changes{
        [](R& r) { r.SetStringToMatch(TypeParam::Text("s")); },
        [](R& r) { r.SetFilesToMatch(TypeParam::Text("*.txt")); },
        [](R& r) { r.SetFormatString(TypeParam::Text("$1")); },
        [](R& r) { r.SetSaveExtension(TypeParam::Text("bak")); },
        [](R& r) { r.SetLocaleDll(TypeParam::Text("msgs")); },
        [](R& r) { r.SetFormatType(R::format_sed); },
        [](R& r) { r.SetLocaleModel(R::win32_locale); },
        [](R& r) { r.SetDirectoryRecursion(true); },
        [](R& r) { r.SetMergeCopy(true); },
        [](R& r) { r.SetMergeOnlyFirst(true); },
        [](R& r) { r.SetContinueFiles(false); },
        [](R& r) { r.SetSplitInputDelete(true); },
        [](R& r) { r.SetMaximumSplits(1); },
        [](R& r) { r.AddExpressionOption(R::icase); },
        [](R& r) { r.AddMatchOption(R::match_any); },
    };
    for (size_t i = 0; i < changes.size(); ++i) {
        R changed(a);
        changes[i](changed);
        EXPECT_FALSE(changed == a) << "change " << i;
    }
}

TYPED_TEST(RegexSettings, MaximumSplitsBeyondThirtyTwoBitsIsKeptAsTheLargest)
{
    using R = typename TypeParam::Regex;
    R re;
    re.SetMaximumSplits(0xFFFFFFFFul);
    EXPECT_EQ(re.GetMaximumSplits(), 0xFFFFFFFFul);
    if (sizeof(unsigned long) > 4) {
        re.SetMaximumSplits(static_cast<unsigned long>(0x100000005ull));
        EXPECT_EQ(re.GetMaximumSplits(), 0xFFFFFFFFul);
    }
}
