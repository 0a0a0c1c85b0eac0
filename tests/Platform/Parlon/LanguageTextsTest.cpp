#include "CLanguageHandler.h"
#include "TestEnvironment.h"

#include <QFile>
#include <QRegularExpression>
#include <QStringList>
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <vector>

namespace {

// Every text number the program shows, grouped by where it appears. A number
// missing here is a text nobody checks; a number in the files but not here is
// a text nobody shows.
struct TextGroup
{
    const char* where;
    std::vector<unsigned int> numbers;
};

const std::vector<TextGroup>& UsedTexts()
{
    static const std::vector<TextGroup> groups = {
        {"main menu", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 117, 208, 219, 220}},
        {"navigation tree nodes; 14 also the word 'reader'", {13, 14, 15, 16, 17, 18}},
        {"grid column titles", {20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 34, 35, 36, 37,
                                38, 39, 40, 41, 42, 43, 44, 58, 59, 73}},
        {"database layer messages", {47, 48, 49, 50, 51, 52, 53, 54, 55, 56, 57, 72, 83, 84, 290}},
        {"grid creation, context menus, deleting", {60, 61, 62, 63, 64, 65, 66, 67, 68, 69, 70, 71,
                                                    75, 76, 77, 78, 79, 80, 85}},
        {"deleting many records: how many stay", {300}},
        {"program title, built-in schema name, about box, done notice", {74, 81, 82, 173}},
        {"help file that cannot be opened", {248}},
        {"CSV export and import", {86, 87, 88, 89, 90, 91, 92, 93, 94, 95, 98, 99, 100, 104, 202,
                                   203, 234, 252}},
        {"reader search, status bar, port dialog, tag label", {101, 102, 103, 105, 106, 107, 108,
                                                               109, 110, 114, 115, 116, 201, 216,
                                                               235}},
        {"reader model names", {111, 112, 113, 225, 237}},
        {"reader identification and choice dialogs", {119, 120, 121, 122, 123, 166, 209, 210, 211,
                                                      212, 224}},
        {"framed reader settings dialog", {124, 125, 126, 127, 128, 129, 130, 131, 132, 133, 134,
                                           135, 136, 137, 139, 247}},
        {"Wren settings dialog", {140, 145, 146, 147, 148, 149, 150, 151, 153, 154, 172}},
        {"both settings dialogs", {138, 142, 143, 144, 152}},
        {"reader commands and transfers", {141, 156, 157, 158, 159, 160, 161, 185, 186, 190, 213, 363,
                                           214, 215, 226, 227, 230, 236, 238, 240, 322}},
        {"reading events and the event kinds", {162, 163, 164, 165, 167, 169, 188, 189, 191, 192,
                                                193, 194, 195, 196, 197, 198, 199, 200, 229}},
        {"plain reader transponder list", {174, 175, 176, 177, 178, 181, 182, 183, 184, 187, 321}},
        {"transponder and time-schema views", {170, 171, 204, 206, 207, 217, 231, 232, 233}},
        {"time-schema names refused, the built-in schema unchanged", {280, 281, 282, 283}},
        {"manual and USB transponder entry", {241, 242, 243, 244, 245, 246}},
        {"database backup, restore and clear-all; 249 also the CSV export", {218, 221, 222, 223, 249, 250, 251}},
        {"database commands refused while a reader transfer runs", {253}},
        {"layout and settings that could not be saved", {340, 341}},
        {"reasons of refused CSV import records", {342, 343, 344, 345, 346, 347}},
        {"a name longer than the database keeps", {364}},
        {"several writers: broken time schemas, another program's lock, a replaced file", {360, 361, 362}},
        {"a database that can only be read", {365}},
        {"a transfer whose answers could not be matched", {370}},
    };
    return groups;
}

// Texts filled with one value: a number through GetLangItem(n, value), or
// a file's path (248, 249, 250).
const std::set<unsigned int> kFormats = {94, 103, 200, 240, 248, 249, 250, 300, 342, 343, 344, 345, 347, 360, 364};
// Texts the program puts something directly behind: a blank must separate them.
const std::set<unsigned int> kEndInBlank = {109, 110, 201, 202, 203, 211, 212, 216};
// Texts shown alone and also with the word "reader" (14) appended.
const std::set<unsigned int> kEndInLineBreak = {114, 141};

std::set<unsigned int> AllUsed()
{
    std::set<unsigned int> all;
    for (const auto& group : UsedTexts())
        all.insert(group.numbers.begin(), group.numbers.end());
    return all;
}

QString SourceFolder()
{
    return TestEnvironment::SourceDir() + QStringLiteral("/Platform/Parlon/SysFiles");
}

struct ParsedFile
{
    std::map<unsigned int, QString> rawTexts; // as written, escapes not resolved
    QStringList problems;
};

// A stricter reading than the component's: the component skips what it cannot
// use, so a line with a blank instead of the tab, or a number given twice,
// would silently lose a text.
ParsedFile ParseStrictly(unsigned int language)
{
    ParsedFile parsed;
    QFile file(SourceFolder() + "/" + CLanguageHandler::FileName(language));
    if (!file.open(QIODevice::ReadOnly)) {
        parsed.problems << QStringLiteral("cannot open %1").arg(file.fileName());
        return parsed;
    }
    const QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n');
    static const QRegularExpression lineForm(QStringLiteral("^([0-9]+)\t(.*)$"));
    for (int i = 0; i < lines.size(); ++i) {
        const QString& line = lines[i];
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        const auto match = lineForm.match(line);
        if (!match.hasMatch() || line.contains(u'\r')) {
            parsed.problems << QStringLiteral("line %1 is not 'number<TAB>text': %2").arg(i + 1).arg(line);
            continue;
        }
        const unsigned int number = match.captured(1).toUInt();
        if (parsed.rawTexts.count(number))
            parsed.problems << QStringLiteral("number %1 given twice").arg(number);
        parsed.rawTexts[number] = match.captured(2);
    }
    return parsed;
}

const char* LanguageName(unsigned int language)
{
    return language == 0 ? "German" : "English";
}

} // namespace

class LanguageTexts : public ::testing::TestWithParam<unsigned int>
{
protected:
    void SetUp() override
    {
        // Without the files every check would pass on the built-in copy alone.
        ASSERT_TRUE(QFile::exists(SourceFolder() + "/" + CLanguageHandler::FileName(GetParam())))
            << SourceFolder().toStdString();
    }
};

TEST_P(LanguageTexts, SourceFileIsWellFormedAndHoldsExactlyTheNumbersInUse)
{
    const ParsedFile parsed = ParseStrictly(GetParam());
    EXPECT_TRUE(parsed.problems.isEmpty()) << parsed.problems.join('\n').toStdString();

    const std::set<unsigned int> used = AllUsed();
    for (unsigned int n : used)
        EXPECT_TRUE(parsed.rawTexts.count(n)) << LanguageName(GetParam()) << " file lacks text " << n;
    for (const auto& [n, text] : parsed.rawTexts)
        EXPECT_TRUE(used.count(n)) << LanguageName(GetParam()) << " text " << n
                                   << " is used nowhere: " << text.toStdString();
}

TEST_P(LanguageTexts, EveryUsedNumberHasATextInTheFileAndInTheBuiltInCopy)
{
    const unsigned int language = GetParam();
    const auto fromFile = CLanguageHandler::LoadTexts(language, SourceFolder());
    const auto builtIn = CLanguageHandler::LoadTexts(language, QString());
    for (const auto& group : UsedTexts()) {
        for (unsigned int n : group.numbers) {
            EXPECT_FALSE(fromFile.value(n).trimmed().isEmpty())
                << LanguageName(language) << " text " << n << " (" << group.where << ") is empty";
            EXPECT_EQ(builtIn.value(n), fromFile.value(n))
                << LanguageName(language) << " built-in text " << n << " differs from the file";
        }
    }
    EXPECT_EQ(builtIn, fromFile) << "the built-in copy is out of date";
}

TEST_P(LanguageTexts, OnlyFormatTextsCarryAPlaceholderAndNoneUsesPrintfSyntax)
{
    const unsigned int language = GetParam();
    CLanguageHandler lang(language, SourceFolder());
    static const QRegularExpression printfLike(QStringLiteral("%[-+#0-9.]*[diouxXeEfgGaAcspn]"));
    for (unsigned int n : AllUsed()) {
        const QString text = lang.GetLangItem(n);
        EXPECT_FALSE(printfLike.match(text).hasMatch())
            << LanguageName(language) << " text " << n << " has printf syntax: " << text.toStdString();
        if (kFormats.count(n)) {
            EXPECT_EQ(text.count(QStringLiteral("%1")), 1)
                << LanguageName(language) << " format text " << n << ": " << text.toStdString();
            EXPECT_EQ(text.count(u'%'), 1) << LanguageName(language) << " text " << n;
            const QString filled = lang.GetLangItem(n, 4711);
            EXPECT_TRUE(filled.contains(QStringLiteral("4711"))) << filled.toStdString();
            EXPECT_FALSE(filled.contains(u'%')) << filled.toStdString();
        } else {
            EXPECT_FALSE(text.contains(u'%'))
                << LanguageName(language) << " text " << n << " is not a format: " << text.toStdString();
        }
    }
}

TEST_P(LanguageTexts, TextsThatOthersAreAppendedToEndInASeparator)
{
    CLanguageHandler lang(GetParam(), SourceFolder());
    for (unsigned int n : kEndInBlank)
        EXPECT_TRUE(lang.GetLangItem(n).endsWith(u' '))
            << LanguageName(GetParam()) << " text " << n << " must end in a blank";
    for (unsigned int n : kEndInLineBreak) {
        const QString text = lang.GetLangItem(n);
        EXPECT_TRUE(text.endsWith(u'\n')) << LanguageName(GetParam()) << " text " << n;
        // Shown alone it is a whole message; with the reader word appended
        // that word gets a line of its own.
        EXPECT_GT(text.trimmed().size(), 10);
    }
}

TEST_P(LanguageTexts, TextsThatTheProgramComparesAreDistinct)
{
    CLanguageHandler lang(GetParam(), SourceFolder());
    // The tree decides a node's view by its text; the schema view finds the
    // built-in schema by text 81; the framed settings dialog tells the unit by
    // its text; the reader choice recognises its extra entry by text; stored
    // event kinds are told apart by their words.
    const std::vector<std::vector<unsigned int>> mustDiffer = {
        {13, 14, 15, 16, 17, 18, 81},
        {126, 127},
        {123, 224},
        {124, 125},
        {191, 192, 193},
        {194, 195, 196, 197, 198, 229, 199},
        {170, 171},
        {177, 178},
    };
    for (const auto& set : mustDiffer) {
        std::set<QString> seen;
        for (unsigned int n : set)
            EXPECT_TRUE(seen.insert(lang.GetLangItem(n)).second)
                << LanguageName(GetParam()) << " text " << n << " repeats another text of its group";
    }
}

INSTANTIATE_TEST_SUITE_P(BothLanguages, LanguageTexts, ::testing::Values(0u, 1u),
                         [](const ::testing::TestParamInfo<unsigned int>& info) {
                             return std::string(LanguageName(info.param));
                         });

TEST(LanguageTexts, NamesTheDatabaseAndTheModelsRelyOn)
{
    ASSERT_TRUE(QFile::exists(SourceFolder() + "/lang_de.txt"));
    CLanguageHandler lang(0, SourceFolder());
    // The database stores the built-in schema under the German name and shows
    // it under the English one; both spellings are fixed.
    EXPECT_EQ(lang.GetLangItem(81), QStringLiteral("Vollzugriff"));
    EXPECT_EQ(lang.GetLangItem(74), QStringLiteral("Vondral Manager"));
    const QStringList models = {"Wren", "Kite", "Heron", "Tern", "Egret"};
    const unsigned int modelTexts[] = {111, 112, 113, 225, 237};
    for (unsigned int language : {0u, 1u}) {
        lang.SetAktLanguage(language);
        lang.GetAllItems();
        for (int i = 0; i < models.size(); ++i)
            EXPECT_EQ(lang.GetLangItem(modelTexts[i]), models[i]);
    }
    EXPECT_EQ(lang.GetLangItem(81), QStringLiteral("Full access"));
    EXPECT_EQ(lang.GetLangItem(74), QStringLiteral("Kestrav Manager"));
}
