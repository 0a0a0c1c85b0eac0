#include "CReaderIdList.h"

#include <gtest/gtest.h>

#include <limits>

// A transponder's reader list in every form stored lists take: those this
// program writes, the CSV import's trailing ";", the older ";5" of a tick,
// leading zeros and blanks written by hand, and text that names nobody.
namespace {

std::vector<qint32> Readers(const CReaderIdList& list)
{
    return {list.Readers().cbegin(), list.Readers().cend()};
}

TEST(CReaderIdList, EachPieceNamesTheReaderOfItsLeadingDigits)
{
    const struct {
        const char* list;
        std::vector<qint32> readers;
    } cases[] = {
        {"", {}},
        {"5", {5}},
        {"3;7", {3, 7}},
        {"3;7;", {3, 7}},
        {";5", {5}},
        {"0;5", {5}},
        {"05", {5}},
        {"05; 7", {5, 7}},
        {"7x;x7;;", {7}},
        {"3;0;;7;3", {3, 7}},
        {"-5;+6", {}},
        {"2147483647", {2147483647}},
        {"2147483648;99999999999999999999;4", {4}},
        {"\u0665", {}},
    };
    for (const auto& c : cases) {
        const CReaderIdList list(QString::fromUtf8(c.list));
        EXPECT_EQ(Readers(list), c.readers) << c.list;
        EXPECT_EQ(list.NamesNoReader(), c.readers.empty()) << c.list;
        for (qint32 reader : c.readers)
            EXPECT_TRUE(list.Holds(reader)) << c.list << " " << reader;
        EXPECT_EQ(list.Text(), QString::fromUtf8(c.list));
    }
    EXPECT_FALSE(CReaderIdList(QStringLiteral("0;5")).Holds(0));
    EXPECT_FALSE(CReaderIdList(QStringLiteral("15;50")).Holds(5));
}

TEST(CReaderIdList, AddingAndRemovingAReaderKeepsTheOtherPiecesAsStored)
{
    const struct {
        const char* list;
        const char* with5;
        const char* without5;
    } cases[] = {
        // Unchanged lists come back as stored, whatever their form.
        {"5", "5", ""},
        {"05", "05", ""},
        {";5", ";5", ""},
        {"5x", "5x", ""},
        {"3;5;", "3;5;", "3;"},
        {"x;0;;5", "x;0;;5", "x;0;"},
        // A reader listed twice is removed everywhere.
        {"5;3;05", "5;3;05", "3"},
        // Not named: appended after ";", an empty list takes the ID alone.
        {"", "5", ""},
        {"0", "0;5", "0"},
        {"3;7", "3;7;5", "3;7"},
        {"3;7;", "3;7;;5", "3;7;"},
        {"15;50", "15;50;5", "15;50"},
    };
    for (const auto& c : cases) {
        const CReaderIdList list(QString::fromLatin1(c.list));
        const CReaderIdList with = list.With(5);
        const CReaderIdList without = list.Without(5);
        EXPECT_EQ(with.Text(), QString::fromLatin1(c.with5)) << c.list;
        EXPECT_EQ(without.Text(), QString::fromLatin1(c.without5)) << c.list;
        EXPECT_TRUE(with.Holds(5)) << c.list;
        EXPECT_FALSE(without.Holds(5)) << c.list;
        // What the result names is what its text names.
        EXPECT_EQ(Readers(with), Readers(CReaderIdList(with.Text()))) << c.list;
        EXPECT_EQ(Readers(without), Readers(CReaderIdList(without.Text()))) << c.list;
        // The column takes no NULL.
        EXPECT_FALSE(with.Text().isNull()) << c.list;
        EXPECT_FALSE(without.Text().isNull()) << c.list;
    }
    // Reader 0 (or an impossible one) is never written or taken out.
    for (qint32 none : {0, -5}) {
        EXPECT_EQ(CReaderIdList(QStringLiteral("0;7")).With(none).Text(), QStringLiteral("0;7"));
        EXPECT_EQ(CReaderIdList(QStringLiteral("0;7")).Without(none).Text(), QStringLiteral("0;7"));
    }
    EXPECT_EQ(CReaderIdList(QStringLiteral("3;12;30")).Without(QSet<qint32>{12, 30}).Text(), QStringLiteral("3"));
    EXPECT_EQ(CReaderIdList(QStringLiteral("3;12")).Without(QSet<qint32>{}).Text(), QStringLiteral("3;12"));
    EXPECT_EQ(CReaderIdList(QString()).With(4).Text(), QStringLiteral("4"));
}

TEST(CReaderIdList, ImportAndExportForms)
{
    // The import has always ended each ID with ";".
    EXPECT_EQ(CReaderIdList::Imported({3, 7}).Text(), QStringLiteral("3;7;"));
    EXPECT_EQ(CReaderIdList::Imported({}).Text(), QStringLiteral(""));
    EXPECT_FALSE(CReaderIdList::Imported({}).Text().isNull());

    // One field per reader of the database, in its order; a reader the list
    // names by any form gets its name, one it does not an empty field.
    const QList<qint32> readers{1, 2, 5, 7, 9};
    const QStringList names{"A", "B", "E", "G", "I"};
    const struct {
        const char* list;
        const char* fields;
    } cases[] = {
        {"05", ";;;E;;"},        {"2;5", ";;B;E;;"},   {";2;5;", ";;B;E;;"}, {"7;7", ";;;;G;"},
        {"", ";;;;;"},           {"0;x", ";;;;;"},      {"42", ";;;;;"},      {"9;1", ";A;;;;I"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CReaderIdList(QString::fromLatin1(c.list)).ExportFields(readers, names), QString::fromLatin1(c.fields))
            << c.list;
    EXPECT_EQ(CReaderIdList(QStringLiteral("5")).ExportFields({}, {}), QString());
}

} // namespace
