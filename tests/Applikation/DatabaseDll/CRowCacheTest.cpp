#include "CRowCache.h"

#include <gtest/gtest.h>

// The cache side of the bulk writes by key, few keys and many: the rows
// changed are those the database changes, found by the key index.
namespace {

struct Row
{
    qint32 id = 0;
    QString text;
    qint32 nNr = 0;
};

CRowCache<Row> Cache(const std::vector<qint32>& keys)
{
    CRowCache<Row> cache({&Row::id, &Row::text});
    for (qint32 key : keys) {
        Row row;
        row.id = key;
        row.nNr = cache.NextNumber();
        cache.Append(std::move(row));
    }
    return cache;
}

std::vector<QString> Texts(const CRowCache<Row>& cache)
{
    std::vector<QString> texts;
    for (int i = 0; i < cache.Count(); ++i)
        texts.push_back(cache.Get(i)->text);
    return texts;
}

QList<QVariant> Keys(std::initializer_list<qint64> keys)
{
    QList<QVariant> values;
    for (qint64 key : keys)
        values << QVariant(key);
    return values;
}

} // namespace

TEST(CRowCacheTest, AssignByKeysChangesEachNamedRowOnce)
{
    struct Case
    {
        const char* name;
        QList<QVariant> keys;
        int changed;
        std::vector<QString> texts; // rows with keys 1..12
    };
    const QString x = QStringLiteral("x");
    const QString o;
    const Case cases[] = {
        {"one key", Keys({3}), 1, {o, o, x, o, o, o, o, o, o, o, o, o}},
        {"unknown and out-of-range keys", Keys({99, 4294967299LL, -4294967295LL}), 0, {o, o, o, o, o, o, o, o, o, o, o, o}},
        {"a key named twice", Keys({2, 2}), 1, {o, x, o, o, o, o, o, o, o, o, o, o}},
        {"more keys than the few-key path", Keys({1, 2, 3, 5, 6, 7, 8, 9, 10, 11, 11, 40}), 10,
         {x, x, x, o, x, x, x, x, x, x, x, o}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CRowCache<Row> cache = Cache({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12});
        EXPECT_EQ(cache.AssignWhere(0, c.keys, {{1, x}}), c.changed);
        EXPECT_EQ(Texts(cache), c.texts);
    }
}

TEST(CRowCacheTest, RepeatedKeysChangeEveryRowThatHoldsThem)
{
    // A table read without its key constraint: the database changes every
    // row under a key, and the cache must not show only the first changed.
    for (int extra : {0, 10}) {
        SCOPED_TRACE(extra);
        std::vector<qint32> keys{5, 6, 5};
        QList<QVariant> named = Keys({5});
        for (int i = 0; i < extra; ++i) {
            keys.push_back(100 + i);
            named << QVariant(100 + i);
        }
        CRowCache<Row> cache = Cache(keys);
        EXPECT_EQ(cache.FindByKey(5), cache.Get(0));
        EXPECT_EQ(cache.AssignWhere(0, named, {{1, QStringLiteral("x")}}), 2 + extra);
        EXPECT_EQ(cache.Get(1)->text, QString());
        EXPECT_EQ(cache.Get(2)->text, QStringLiteral("x"));
    }
    // A repeat appended behind a built index leaves the first row found.
    CRowCache<Row> cache = Cache({1, 2});
    EXPECT_EQ(cache.IndexOfKey(1), 0);
    Row again;
    again.id = 1;
    cache.Append(std::move(again));
    EXPECT_EQ(cache.IndexOfKey(1), 0);
    EXPECT_EQ(cache.AssignWhere(0, Keys({1}), {{1, QStringLiteral("y")}}), 2);
}

TEST(CRowCacheTest, AssigningTheKeyKeepsTheIndexTrue)
{
    for (int count : {2, 20}) {
        SCOPED_TRACE(count);
        std::vector<qint32> keys;
        QList<QVariant> named;
        for (int i = 1; i <= count; ++i) {
            keys.push_back(i);
            named << QVariant(i);
        }
        CRowCache<Row> cache = Cache(keys);
        EXPECT_EQ(cache.IndexOfKey(1), 0);
        EXPECT_EQ(cache.AssignWhere(0, Keys({1}), {{0, 500}}), 1);
        EXPECT_EQ(cache.IndexOfKey(1), -1);
        EXPECT_EQ(cache.IndexOfKey(500), 0);
        // Every row to one key: all change, and the key now repeats.
        named[0] = QVariant(500);
        EXPECT_EQ(cache.AssignWhere(0, named, {{0, 7}}), count);
        EXPECT_EQ(cache.AssignWhere(0, Keys({7}), {{1, QStringLiteral("z")}}), count);
    }
}
