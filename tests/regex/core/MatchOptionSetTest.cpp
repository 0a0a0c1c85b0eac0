#include "MatchOptionSet.h"

#include <gtest/gtest.h>

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
