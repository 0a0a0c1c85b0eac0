#include "ExpressionOptionSet.h"
#include "RegexEnums.h"

#include <gtest/gtest.h>

#include <random>

using tramex::ExpressionOptionSet;
using E = tramex::RegexEnums;

namespace {

ExpressionOptionSet setOf(std::initializer_list<int> values)
{
    ExpressionOptionSet set;
    set.Clear();
    for (int v : values)
        set.Insert(v);
    return set;
}

std::set<int> families(const ExpressionOptionSet& set)
{
    std::set<int> found;
    for (int v : set.Values())
        if (ExpressionOptionSet::IsFamily(v))
            found.insert(v);
    return found;
}

} // namespace

TEST(ExpressionOptionSet, RuleExamples)
{
    struct Case
    {
        std::initializer_list<int> start;
        bool add;
        int option;
        std::set<int> result;
    };
    const std::initializer_list<int> defaults{0, 1, 2, 8, 12, 15};
    const Case cases[] = {
        {defaults, true, E::extended, {1, 2, 8, 14}},
        {defaults, true, E::emacs, {6, 7, 8, 9, 16}},
        {defaults, true, E::egrep, {1, 2, 4, 8, 19}},
        {defaults, true, E::basic, {1, 2, 3, 6, 7, 8, 13}},
        {defaults, true, E::perl, {0, 1, 2, 8, 12, 21}},
        {defaults, false, E::normal, {}},
        {defaults, false, E::nocollate, {0, 1, 2, 8}},
        {{1, 2, 3, 6, 7, 8, 13}, false, 3, {1, 2, 6, 7, 8}},
        {{1, 2, 3, 6, 7, 8, 13}, true, E::sed, {1, 2, 3, 6, 7, 8, 20}},
        {{1, 2, 3, 6, 7, 8, 13}, true, E::newline_alt, {1, 2, 3, 4, 6, 7, 8, 18}},
        {{1, 2, 3, 4, 6, 7, 8, 18}, true, E::normal, {0, 1, 2, 8, 12, 15}},
        {{0, 1, 2, 8}, true, E::nocollate, {0, 1, 2, 8, 12, 15}},
        {{0, 1, 2, 8, 21}, true, E::nocollate, {0, 1, 2, 8, 12, 21}},
        {{1, 2}, true, 8, {1, 2, 8, 14}},
        {{0, 1, 2}, true, 8, {0, 1, 2, 8, 17}},
        {{1, 2, 4}, true, 8, {1, 2, 4, 8, 19}},
        {{6, 7, 8}, true, 9, {6, 7, 8, 9, 16}},
        {{1, 2, 8, 14}, false, 2, {1, 8}},
        {{6, 7, 8, 9, 16}, false, E::emacs, {}},
    };
    for (const Case& c : cases) {
        ExpressionOptionSet set = setOf(c.start);
        EXPECT_TRUE(c.add ? set.Add(c.option) : set.Delete(c.option));
        EXPECT_EQ(set.Values(), c.result) << (c.add ? "add " : "delete ") << c.option;
    }
}

TEST(ExpressionOptionSet, NoChangeIsReportedAsNoChange)
{
    ExpressionOptionSet set;
    EXPECT_FALSE(set.Add(E::normal));
    EXPECT_FALSE(set.Add(E::escape_in_lists));
    EXPECT_FALSE(set.Delete(E::icase));
    EXPECT_TRUE(set.Clear());
    EXPECT_FALSE(set.Clear());
}

// After any sequence of Add and Delete the set holds at most one family
// (twins aside), together with every switch of that family.
TEST(ExpressionOptionSet, RulesKeepFamiliesConsistent)
{
    std::mt19937 random(20240611);
    std::uniform_int_distribution<int> option(0, 21);
    std::uniform_int_distribution<int> coin(0, 2);
    for (int run = 0; run < 500; ++run) {
        ExpressionOptionSet set;
        for (int step = 0; step < 40; ++step) {
            const int o = option(random);
            if (coin(random))
                set.Add(o);
            else
                set.Delete(o);
            std::set<int> found = families(set);
            if (found.count(E::sed))
                found.erase(E::basic), found.insert(E::basic);
            if (found.count(E::perl))
                found.erase(E::normal), found.insert(E::normal);
            found.erase(E::sed);
            found.erase(E::perl);
            ASSERT_LE(found.size(), 1u) << "run " << run << " step " << step;
            for (int family : families(set))
                for (int s : ExpressionOptionSet::SwitchesOf(family))
                    ASSERT_TRUE(set.Contains(s)) << "family " << family << " lost switch " << s;
        }
    }
}
