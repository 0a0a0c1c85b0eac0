#include "EngineFlags.h"
#include "ExpressionOptionSet.h"
#include "MatchOptionSet.h"
#include "RegexEnums.h"

#include <gtest/gtest.h>

#include <random>

using tramex::EngineFlags;
using tramex::ExpressionOptionSet;
using tramex::MatchOptionSet;
using E = tramex::RegexEnums;
using rb = boost::regbase;
namespace rc = boost::regex_constants;

namespace {

ExpressionOptionSet afterAdding(int option)
{
    ExpressionOptionSet set;
    set.Add(option);
    return set;
}

} // namespace

TEST(EngineFlags, FamiliesBecomeTheEnginesSyntaxByName)
{
    EXPECT_EQ(EngineFlags::Compile(ExpressionOptionSet()), rb::perl);
    EXPECT_EQ(EngineFlags::Compile(afterAdding(E::basic)), rb::basic);
    EXPECT_EQ(EngineFlags::Compile(afterAdding(E::sed)), rb::sed);
    EXPECT_EQ(EngineFlags::Compile(afterAdding(E::perl)), rb::perl);
    // The component's extended syntax allows back references.
    EXPECT_EQ(EngineFlags::Compile(afterAdding(E::extended)), rb::extended & ~rb::no_bk_refs);
    EXPECT_EQ(EngineFlags::Compile(afterAdding(E::awk)), rb::awk & ~rb::no_bk_refs);
    EXPECT_EQ(EngineFlags::Compile(afterAdding(E::egrep)), rb::egrep & ~rb::no_bk_refs);
    EXPECT_EQ(EngineFlags::Compile(afterAdding(E::grep)), rb::grep);
    EXPECT_EQ(EngineFlags::Compile(afterAdding(E::emacs)),
              rb::emacs | rb::no_escape_in_lists | rb::no_char_classes | rb::no_intervals);
    EXPECT_EQ(EngineFlags::Compile(afterAdding(E::literal)), rb::literal);
    EXPECT_EQ(EngineFlags::Compile(afterAdding(E::icase)), rb::perl | rb::icase);
}

TEST(EngineFlags, SwitchesOutsideTheirSyntaxGroupAreIgnored)
{
    ExpressionOptionSet perlWithBasicSwitches;
    perlWithBasicSwitches.Insert(E::bk_plus_qm);
    perlWithBasicSwitches.Insert(E::bk_vbar);
    perlWithBasicSwitches.Insert(E::limited_ops);
    EXPECT_EQ(EngineFlags::Compile(perlWithBasicSwitches), rb::perl);

    ExpressionOptionSet noFamily;
    noFamily.Clear();
    noFamily.Insert(E::bk_braces);
    EXPECT_EQ(EngineFlags::Compile(noFamily),
              rb::basic_syntax_group | rb::no_escape_in_lists | rb::collate | rb::no_char_classes
                  | rb::no_intervals);
}

// Whatever a set holds (also one loaded from a file, untouched by the
// rules), the engine gets a valid combination.
TEST(EngineFlags, EverySetCompilesPlainExpressions)
{
    std::mt19937 random(7);
    std::uniform_int_distribution<int> option(-2, 25);
    std::uniform_int_distribution<int> size(0, 8);
    for (int run = 0; run < 3000; ++run) {
        ExpressionOptionSet set;
        set.Clear();
        for (int i = size(random); i > 0; --i)
            set.Insert(option(random));
        try {
            const boost::regex re("abc", EngineFlags::Compile(set));
            ASSERT_TRUE(boost::regex_match(std::string("abc"), re)) << "run " << run;
        } catch (const boost::regex_error& e) {
            FAIL() << "run " << run << ": " << e.what();
        }
    }
}

TEST(EngineFlags, MatchOptionsByNamePartialOnlyWhereAllowed)
{
    MatchOptionSet set;
    set.Clear();
    for (int m = 0; m <= 12; ++m)
        set.Insert(m);
    const rc::match_flag_type all = rc::match_not_bol | rc::match_not_eol | rc::match_not_bob | rc::match_not_eob
                                    | rc::match_not_bow | rc::match_not_eow | rc::match_not_dot_newline
                                    | rc::match_not_dot_null | rc::match_any | rc::match_not_null
                                    | rc::match_continuous;
    EXPECT_EQ(EngineFlags::Match(set, false), all);
    EXPECT_EQ(EngineFlags::Match(set, true), all | rc::match_partial);
    EXPECT_EQ(EngineFlags::Match(MatchOptionSet(), true), rc::match_default);
}

TEST(EngineFlags, FormatTypesByName)
{
    EXPECT_EQ(EngineFlags::Format(E::format_all), rc::format_all);
    EXPECT_EQ(EngineFlags::Format(E::format_sed), rc::format_sed);
    EXPECT_EQ(EngineFlags::Format(E::format_perl), rc::format_perl);
    EXPECT_EQ(EngineFlags::Format(9), rc::format_all);
}
