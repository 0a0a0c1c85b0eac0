#include "MatchOptionSet.h"

#include <gtest/gtest.h>

#include <functional>

using tramex::MatchOptionSet;

TEST(MatchOptionSet, DefaultAndPositionOptionsExcludeEachOther)
{
    MatchOptionSet set;
    EXPECT_EQ(set.Values(), (std::set<int>{0}));
    EXPECT_TRUE(set.Add(1));
    EXPECT_EQ(set.Values(), (std::set<int>{1}));
    EXPECT_TRUE(set.Add(8));
    EXPECT_TRUE(set.Add(12));
    EXPECT_TRUE(set.Add(0));
    EXPECT_EQ(set.Values(), (std::set<int>{0, 12}));
    EXPECT_FALSE(set.Add(0));
    EXPECT_TRUE(set.Add(9));
    EXPECT_EQ(set.Values(), (std::set<int>{0, 9, 12}));
}

TEST(MatchOptionSet, DeletingTheLastPositionOptionBringsTheDefaultBack)
{
    MatchOptionSet set;
    set.Add(3);
    set.Add(5);
    EXPECT_TRUE(set.Delete(3));
    EXPECT_EQ(set.Values(), (std::set<int>{5}));
    EXPECT_TRUE(set.Delete(5));
    EXPECT_EQ(set.Values(), (std::set<int>{0}));
    EXPECT_TRUE(set.Delete(0));
    EXPECT_TRUE(set.Values().empty());
    EXPECT_FALSE(set.Delete(4));

    set.Insert(11);
    EXPECT_TRUE(set.Delete(11));
    EXPECT_EQ(set.Values(), (std::set<int>{0}));
}

// The mask the engine flags are read from follows every change of the set.
TEST(MatchOptionSet, MaskFollowsEveryChange)
{
    MatchOptionSet set;
    auto maskOf = [](const std::set<int>& values) {
        std::uint32_t mask = 0;
        for (const int option : values)
            mask |= std::uint32_t(1) << option;
        return mask;
    };
    const std::function<void()> steps[] = {
        [&] { set.Add(3); },    [&] { set.Add(11); }, [&] { set.Add(0); },   [&] { set.Delete(11); },
        [&] { set.Delete(0); }, [&] { set.Clear(); }, [&] { set.Insert(7); }, [&] { set.Delete(7); },
    };
    EXPECT_EQ(set.Mask(), maskOf(set.Values()));
    for (const auto& step : steps) {
        step();
        EXPECT_EQ(set.Mask(), maskOf(set.Values()));
    }
}
