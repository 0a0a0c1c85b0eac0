#include "CRecordsetRegistry.h"

#include <gtest/gtest.h>

// A rollback re-reads the sets its thread used last, never another
// thread's: those may be in use there.
TEST(CRecordsetRegistry, ASetBelongsToTheThreadThatUsedItLast)
{
    // Only addresses are kept; nothing is called on them.
    static double storage[3];
    auto* first = reinterpret_cast<CRecordset*>(&storage[0]);
    auto* second = reinterpret_cast<CRecordset*>(&storage[1]);
    auto* third = reinterpret_cast<CRecordset*>(&storage[2]);
    CRecordsetRegistry registry;
    registry.Add(first, 1);
    registry.Add(second, 2);
    registry.Add(third, 1);
    EXPECT_EQ(registry.SetsOf(1), (std::vector<CRecordset*>{first, third}));
    registry.NoteUse(first, 2);
    EXPECT_EQ(registry.SetsOf(1), (std::vector<CRecordset*>{third}));
    EXPECT_EQ(registry.SetsOf(2), (std::vector<CRecordset*>{first, second}));
    registry.Remove(second);
    registry.NoteUse(second, 3);
    EXPECT_EQ(registry.SetsOf(2), (std::vector<CRecordset*>{first}));
    EXPECT_TRUE(registry.SetsOf(3).empty()) << "a removed set is not brought back by a use";
}
