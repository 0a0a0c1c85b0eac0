#include "CRowSorter.h"
#include "CSortRow.h"

#include <QRandomGenerator>

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>

namespace
{

std::vector<uint> Sort(const std::vector<QStringList>& rows, bool ascending)
{
    std::vector<const QStringList*> pointers;
    for (const QStringList& row : rows)
        pointers.push_back(&row);
    std::vector<uint> order{99};
    EXPECT_EQ(CRowSorter::SortRows(&pointers, &order, ascending), 1);
    return order;
}

std::vector<QStringList> Rows(std::initializer_list<const char*> texts)
{
    std::vector<QStringList> rows;
    for (const char* text : texts)
        rows.push_back({QString::fromUtf8(text)});
    return rows;
}

}  // namespace

TEST(CRowSorter, EmptyOneAndNull)
{
    EXPECT_TRUE(Sort({}, true).empty());
    EXPECT_EQ(Sort(Rows({"x"}), false), std::vector<uint>{0});

    std::vector<const QStringList*> none;
    std::vector<uint> order{5, 6};
    EXPECT_EQ(CRowSorter::SortRows(nullptr, &order, true), 0);
    EXPECT_EQ(CRowSorter::SortRows(&none, nullptr, true), 0);
    EXPECT_EQ(order, (std::vector<uint>{5, 6})) << "untouched";
}

TEST(CRowSorter, TextsCompareCaseSensitivelyByCharacterCode)
{
    const std::vector<QStringList> rows = Rows({"b", "a", "B", "", "A", "10", "9", "\xc3\xa4"});
    EXPECT_EQ(Sort(rows, true), (std::vector<uint>{3, 5, 6, 4, 2, 1, 0, 7}));
    EXPECT_EQ(Sort(rows, false), (std::vector<uint>{7, 0, 1, 2, 4, 6, 5, 3}));
}

TEST(CRowSorter, ARowEqualToTheStartOfALongerOneIsEqualToIt)
{
    const QStringList shorter{QStringLiteral("x")};
    const QStringList longer{QStringLiteral("x"), QStringLiteral("y")};
    const CSortRow a(&shorter, 0);
    const CSortRow b(&longer, 1);
    EXPECT_TRUE(a.IsBeforeOrEqual(b) && a.IsAfterOrEqual(b));
    EXPECT_TRUE(b.IsBeforeOrEqual(a) && b.IsAfterOrEqual(a));
    EXPECT_EQ(Sort({longer, shorter}, true), (std::vector<uint>{0, 1}));
    EXPECT_EQ(Sort({longer, shorter}, false), (std::vector<uint>{0, 1}));

    // Later texts decide between rows equal in the first.
    const std::vector<QStringList> rows{{"d", "2"}, {"d", "1"}, {"c", "9"}};
    EXPECT_EQ(Sort(rows, true), (std::vector<uint>{2, 1, 0}));
    EXPECT_EQ(Sort(rows, false), (std::vector<uint>{0, 1, 2}));
}

TEST(CRowSorter, RowsWithoutTextsSortAsEmptyTextsAndTheSortEnds)
{
    std::vector<QStringList> rows{{"b"}, {}, {"a"}, {}, {""}, {"a"}};
    EXPECT_EQ(Sort(rows, true), (std::vector<uint>{1, 3, 4, 2, 5, 0}));
    std::vector<const QStringList*> pointers{&rows[0], nullptr, &rows[2], nullptr};
    std::vector<uint> order;
    ASSERT_EQ(CRowSorter::SortRows(&pointers, &order, false), 1);
    EXPECT_EQ(order, (std::vector<uint>{0, 2, 1, 3}));
}

TEST(CRowSorter, OrderedStableAndAPermutationWhateverTheInput)
{
    QRandomGenerator random(11);
    const QStringList alphabet{"", "a", "A", "b", "ab", "B"};
    for (int trial = 0; trial < 600; ++trial) {
        // Rows of one width (as the grid sorts them: a key and maybe a
        // second one; rows without texts count as one empty text), and
        // every fourth trial rows of mixed widths, which the prefix rule
        // cannot order consistently: those must still come back whole.
        const bool mixed = trial % 4 == 3;
        const int width = 1 + trial % 2;
        const bool ascending = (trial / 2) % 2 == 0;
        const int count = int(random.bounded(300));
        std::vector<QStringList> rows(static_cast<std::size_t>(count));
        for (QStringList& row : rows) {
            const int texts = mixed ? int(random.bounded(4)) : width;
            for (int i = 0; i < texts; ++i)
                row.append(alphabet.at(int(random.bounded(alphabet.size()))));
            if (width == 1 && random.bounded(20) == 0)
                row.clear();
        }
        const std::vector<uint> order = Sort(rows, ascending);
        std::vector<uint> all(rows.size());
        std::iota(all.begin(), all.end(), 0u);
        std::vector<uint> sorted = order;
        std::sort(sorted.begin(), sorted.end());
        ASSERT_EQ(sorted, all) << "trial " << trial << ": a permutation";
        if (mixed)
            continue;

        // Exactly what std::stable_sort gives with the same comparison:
        // ordered, and equal rows in their input order.
        std::vector<CSortRow> sortRows;
        for (std::size_t i = 0; i < rows.size(); ++i)
            sortRows.emplace_back(&rows[i], uint(i));
        std::vector<uint> expected(all);
        std::stable_sort(expected.begin(), expected.end(), [&](uint a, uint b) {
            const int compared = sortRows[a].Compare(sortRows[b]);
            return ascending ? compared < 0 : compared > 0;
        });
        ASSERT_EQ(order, expected) << "trial " << trial;
    }
}

TEST(CRowSorter, OrderedRowsStayAndReversedRowsTurn)
{
    const std::vector<QStringList> rows = Rows({"a", "b", "b", "c", "d"});
    EXPECT_EQ(Sort(rows, true), (std::vector<uint>{0, 1, 2, 3, 4}));
    EXPECT_EQ(Sort(rows, false), (std::vector<uint>{4, 3, 1, 2, 0}));
    const std::vector<QStringList> reversed = Rows({"e", "d", "c", "b", "a"});
    EXPECT_EQ(Sort(reversed, true), (std::vector<uint>{4, 3, 2, 1, 0}));
}
