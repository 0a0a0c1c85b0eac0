#include "CRowLookup.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

struct Row
{
    int key;
    int tag;
};

// A cache of rows that live apart, as the table caches keep them.
class Cache
{
public:
    void Add(int key, int tag) { rows.push_back(std::make_unique<Row>(Row{key, tag})); }
    int Count() const { return int(rows.size()); }
    std::vector<std::unique_ptr<Row>> rows;
};

} // namespace

TEST(CRowLookup, FindsTheFirstRowOfAKeyAndFollowsTheCacheWhenItChanges)
{
    Cache cache;
    CRowLookup<Row, int> lookup([&](int i) { return cache.rows[std::size_t(i)].get(); },
                                [](const Row& row) { return row.key; });
    EXPECT_EQ(lookup.Find(1, cache.Count()), nullptr);
    cache.Add(1, 10);
    cache.Add(2, 20);
    cache.Add(1, 11);
    EXPECT_EQ(lookup.Find(1, cache.Count())->tag, 10);
    EXPECT_EQ(lookup.Find(3, cache.Count()), nullptr);

    // A row added: the count tells.
    cache.Add(3, 30);
    EXPECT_EQ(lookup.Find(3, cache.Count())->tag, 30);
    // Re-read with as many rows: new rows tell.
    Cache reread;
    for (const auto& row : cache.rows)
        reread.Add(row->key == 2 ? 5 : row->key, row->tag);
    cache.rows.swap(reread.rows);
    EXPECT_EQ(lookup.Find(2, cache.Count()), nullptr);
    EXPECT_EQ(lookup.Find(5, cache.Count())->tag, 20);
    // A key changed in place is never answered with the wrong row.
    cache.rows[0]->key = 7;
    EXPECT_EQ(lookup.Find(1, cache.Count())->tag, 11);
    EXPECT_EQ(lookup.Find(7, cache.Count())->tag, 10);
}
