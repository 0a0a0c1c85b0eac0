#include "ValidateText.h"

#include <gtest/gtest.h>
#include <stdexcept>

using namespace TextValidation;

TEST(ValidateTextTest, LengthRulesAreInclusiveAndTheMinimumDecidesFirst)
{
    EXPECT_EQ(ValidateText("abc", 0, "", 5, 1), Valid);
    EXPECT_EQ(ValidateText("abc", MinimumLength | MaximumLength, "", 3, 3), Valid);
    EXPECT_EQ(ValidateText("ab", MinimumLength | MaximumLength, "", 3, 5), TooShort);
    EXPECT_EQ(ValidateText("abcdef", MinimumLength | MaximumLength, "", 3, 5), TooLong);
    // Both rules fail: the minimum is checked first.
    EXPECT_EQ(ValidateText("abcd", MinimumLength | MaximumLength, "", 5, 3), TooShort);
    // A rule not chosen is not checked, and unknown bits are ignored.
    EXPECT_EQ(ValidateText("", MaximumLength | 0x80, "", 5, 0), Valid);
    // Characters, not bytes of some encoding.
    EXPECT_EQ(ValidateText(QString::fromUtf8("ÄÖÜ"), MaximumLength, "", 0, 3), Valid);
}

TEST(ValidateTextTest, TheExpressionMustMatchTheWholeText)
{
    EXPECT_EQ(ValidateText("A", WholeMatch, "[0-9A-F]", 0, 0), Valid);
    EXPECT_EQ(ValidateText("G", WholeMatch, "[0-9A-F]", 0, 0), NoMatch);
    EXPECT_EQ(ValidateText("12", WholeMatch, "[0-9]", 0, 0), NoMatch);
    EXPECT_EQ(ValidateText("12", WholeMatch, "[0-9]+", 0, 0), Valid);
    EXPECT_EQ(ValidateText(QString::fromUtf8("Ä"), WholeMatch, QString::fromUtf8("[A-ZÄÖÜ]"), 0, 0),
              Valid);
    // Length rules come before the expression.
    EXPECT_EQ(ValidateText("G", WholeMatch | MinimumLength, "[0-9A-F]", 2, 0), TooShort);
}

TEST(ValidateTextTest, ABadOrEmptyExpressionGivesMinusTwoForAnyNonEmptyText)
{
    EXPECT_EQ(ValidateText("1", WholeMatch, "[0-9", 0, 0), BadExpression);
    EXPECT_EQ(ValidateText("1", WholeMatch, "(", 0, 0), BadExpression);
    EXPECT_EQ(ValidateText("1", WholeMatch, "", 0, 0), BadExpression);
    EXPECT_EQ(ValidateText("", WholeMatch, "[0-9", 0, 0), Valid);
}

namespace {

// Stands in for the component: counts the objects built and throws on
// request, which the real component never does.
struct FakeEngine
{
    enum { standard_locale = 0, no_error = 0, format_all = 0 };
    static inline int built = 0;
    static inline bool throwOnMatch = false;
    static inline int parseResult = 0;
    QString text;
    QString expression;

    FakeEngine() { ++built; }
    void SetExpression(const QString& e) { expression = e; }
    void SetLocaleModel(int) {}
    int ParseExpression() { return parseResult; }
    void SetStringToMatch(const QString& t) { text = t; }
    void SetFormatType(int) {}
    bool MatchAll()
    {
        if (throwOnMatch)
            throw std::runtime_error("engine failure");
        return text == expression;
    }
};

} // namespace

TEST(ValidateTextTest, AnEmptyTextBuildsNoEngineAndAnExceptionGivesMinusOne)
{
    FakeEngine::built = 0;
    EXPECT_EQ(ValidateTextWith<FakeEngine>("", WholeMatch, "x", 0, 0), Valid);
    EXPECT_EQ(FakeEngine::built, 0);
    EXPECT_EQ(ValidateTextWith<FakeEngine>("x", WholeMatch, "x", 0, 0), Valid);
    EXPECT_EQ(FakeEngine::built, 1);

    // Any parse code other than 0 (e.g. an unusable locale library, 20).
    FakeEngine::parseResult = 20;
    EXPECT_EQ(ValidateTextWith<FakeEngine>("x", WholeMatch, "x", 0, 0), BadExpression);
    FakeEngine::parseResult = 0;

    FakeEngine::throwOnMatch = true;
    EXPECT_EQ(ValidateTextWith<FakeEngine>("x", WholeMatch, "x", 0, 0), Failed);
    FakeEngine::throwOnMatch = false;
}
