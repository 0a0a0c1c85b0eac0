#include "CZeitschemaRules.h"
#include "CZeitschemaStore.h"

#include <gtest/gtest.h>

#include <vector>

TEST(CZeitschemaRules, HoursAndMinutesAreOneOrTwoDigitsInRange)
{
    struct Case
    {
        QString typed;
        int maximum;
        QString stored; // empty: refused
    };
    const std::vector<Case> cases = {
        {"7", 23, "07"},  {"07", 23, "07"}, {"0", 23, "00"},  {"23", 23, "23"}, {"59", 59, "59"},
        {"24", 23, ""},   {"60", 59, ""},   {"", 23, ""},     {"7x", 23, ""},   {"+7", 23, ""},
        {"-0", 23, ""},   {"007", 23, ""},  {"abc", 59, ""},  {" 7", 23, ""},   {"7 ", 23, ""},
        {"٧", 23, ""}, // an Arabic-Indic seven: a digit, but not one a reader takes
        {"99", 59, ""},
    };
    for (const Case& c : cases) {
        const std::optional<QString> stored = CZeitschemaRules::TwoDigitField(c.typed, c.maximum);
        EXPECT_EQ(stored.value_or(QString()), c.stored) << '"' << c.typed.toStdString() << '"';
    }
}

TEST(CZeitschemaRules, NamesMustBeGivenFreeAndNotTheBuiltInSchemas)
{
    const QStringList others = {"Vollzugriff", "Früh", "Spät"};
    struct Case
    {
        QString name;
        unsigned int problem;
    };
    const std::vector<Case> cases = {
        {"Nacht", 0},
        {"früh", 0}, // names compare exactly, as the table holds them
        {"", CZeitschemaRules::kNameEmptyText},
        {"   ", CZeitschemaRules::kNameEmptyText},
        {"Vollzugriff", CZeitschemaRules::kNameReservedText},
        {"Full access", CZeitschemaRules::kNameReservedText},
        {"Früh", CZeitschemaRules::kNameTakenText},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CZeitschemaRules::NameProblem(c.name, others), c.problem) << c.name.toStdString();
    // The built-in names are reserved even where no schema holds them.
    EXPECT_EQ(CZeitschemaRules::NameProblem("Full access", {}), CZeitschemaRules::kNameReservedText);
}

TEST(CZeitschemaRules, NewNamesAreUniqueHexadecimalSuffixes)
{
    EXPECT_EQ(CZeitschemaRules::NewNamePrefix(0), "Zeitplan_");
    EXPECT_EQ(CZeitschemaRules::NewNamePrefix(1), "Timeplan_");
    // The same draw twice (two schemas within one second) still gives two names.
    auto same = [] { return quint32(0x1A); };
    const QString first = CZeitschemaRules::UniqueName("Zeitplan_", {}, same);
    EXPECT_EQ(first, "Zeitplan_1A");
    EXPECT_EQ(CZeitschemaRules::UniqueName("Zeitplan_", {first}, same), "Zeitplan_1B");
    // Draws are reduced below 0xFFFF: at most four digits, no leading zeros.
    EXPECT_EQ(CZeitschemaRules::UniqueName("X_", {}, [] { return quint32(0xFFFF); }), "X_0");
    EXPECT_EQ(CZeitschemaRules::UniqueName("X_", {}, [] { return quint32(0x1FFFD); }), "X_FFFE");
    EXPECT_EQ(CZeitschemaRules::UniqueName("X_", {"X_FFFE"}, [] { return quint32(0xFFFE); }), "X_0");
}

TEST(CZeitschemaRules, GridColumnsNameTheWeekdaysFromMonday)
{
    const std::vector<std::pair<int, int>> cases = {{7, -1}, {8, 1}, {9, 2}, {13, 6}, {14, 0}, {15, -1}, {3, -1}};
    for (const auto& [column, weekday] : cases)
        EXPECT_EQ(CZeitschemaRules::WeekdayOfColumn(column), weekday) << column;
}
