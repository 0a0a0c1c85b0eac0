#include "RegularExpression.h"
#include "TestEnvironment.h"

#include <QFile>

#include <gtest/gtest.h>

#include <locale>

// What is particular to the QString interface: characters outside the
// single-byte code page, broken UTF-16, and the locale of the object.

namespace {

struct Found
{
    std::vector<REMatch> parts;
};

Found* g_found = nullptr;

void remember(RegularExpression*, const std::vector<REMatch>& parts, unsigned, unsigned)
{
    if (g_found)
        g_found->parts = parts;
}

// A locale whose classification knows the German umlaut ä/Ä (0xE4/0xC4 in
// code page 1252) and whose collation puts ä between a and b, where the
// classic locale knows neither.
class UmlautCtype : public std::ctype<char>
{
public:
    UmlautCtype() : std::ctype<char>(table(), false) {}

private:
    static const mask* table()
    {
        static mask entries[table_size];
        static const bool filled = [] {
            std::copy(classic_table(), classic_table() + table_size, entries);
            entries[0xE4] = lower | alpha | alnum | print | graph;
            entries[0xC4] = upper | alpha | alnum | print | graph;
            return true;
        }();
        (void)filled;
        return entries;
    }
    char do_toupper(char c) const override
    {
        if (static_cast<unsigned char>(c) == 0xE4)
            return char(0xC4);
        return (c >= 'a' && c <= 'z') ? char(c - 32) : c;
    }
    const char* do_toupper(char* low, const char* high) const override
    {
        for (; low != high; ++low)
            *low = do_toupper(*low);
        return high;
    }
    char do_tolower(char c) const override
    {
        if (static_cast<unsigned char>(c) == 0xC4)
            return char(0xE4);
        return (c >= 'A' && c <= 'Z') ? char(c + 32) : c;
    }
    const char* do_tolower(char* low, const char* high) const override
    {
        for (; low != high; ++low)
            *low = do_tolower(*low);
        return high;
    }
};

class UmlautCollate : public std::collate<char>
{
protected:
    std::string do_transform(const char* low, const char* high) const override
    {
        std::string key;
        for (; low != high; ++low) {
            const auto c = static_cast<unsigned char>(*low);
            key += c == 0xE4 ? 'a' : char(c);
            key += c == 0xE4 ? '\x02' : '\x01';
        }
        return key;
    }
};

std::locale umlautLocale()
{
    return std::locale(std::locale(std::locale::classic(), new UmlautCollate), new UmlautCtype);
}

bool matchAll(RegularExpression& re, const QString& expression, const QString& subject)
{
    re.SetExpression(expression);
    re.SetStringToMatch(subject);
    return re.MatchAll();
}

} // namespace

TEST(RegularExpressionText, CodePageCharactersMatchAsThemselves)
{
    RegularExpression re;
    EXPECT_TRUE(matchAll(re, QStringLiteral("Stra\u00DFe [\u20AC$]"), QStringLiteral("Stra\u00DFe \u20AC")));
    EXPECT_TRUE(matchAll(re, QStringLiteral("[\u00C4\u00D6\u00DC]+"), QStringLiteral("\u00D6\u00C4")));
    EXPECT_FALSE(matchAll(re, QStringLiteral("[\u00C4\u00D6\u00DC]"), QStringLiteral("A")));
}

TEST(RegularExpressionText, OffsetsAreCharacterIndicesAndTextsStayWhole)
{
    RegularExpression re;
    Found found;
    g_found = &found;
    re.SetOnSearching(&remember);
    re.SetExpression(QStringLiteral("b+"));
    re.SetStringToMatch(QStringLiteral("\u0416\u20AC\u0416bb\u4E2D"));
    ASSERT_TRUE(re.Search());
    g_found = nullptr;
    ASSERT_EQ(found.parts.size(), 3u);
    EXPECT_EQ(found.parts[0], (REMatch{QStringLiteral("bb"), 3}));
    EXPECT_EQ(found.parts[1], (REMatch{QStringLiteral("\u0416\u20AC\u0416"), 0}));
    EXPECT_EQ(found.parts[2], (REMatch{QStringLiteral("\u4E2D"), 5}));
}

TEST(RegularExpressionText, ForeignCharactersInTheSubjectAreOnlyAnyCharacter)
{
    RegularExpression re;
    EXPECT_TRUE(matchAll(re, QStringLiteral("."), QStringLiteral("\u0416")));
    EXPECT_TRUE(matchAll(re, QStringLiteral("[^0-9]"), QStringLiteral("\u0416")));
    EXPECT_FALSE(matchAll(re, QStringLiteral("[0-9A-F]"), QStringLiteral("\u0416")));
    EXPECT_FALSE(matchAll(re, QStringLiteral("\\?"), QStringLiteral("\u0416")));
}

TEST(RegularExpressionText, AnExpressionWithForeignCharactersDoesNotCompile)
{
    RegularExpression re;
    re.SetExpression(QStringLiteral("a\u0416?"));
    EXPECT_EQ(re.ParseExpression(), RegularExpression::error_bad_pattern);
    EXPECT_FALSE(re.GetExpressionError().isEmpty());
    EXPECT_EQ(re.GetExpression(), QStringLiteral("a\u0416?"));
    re.SetStringToMatch(QStringLiteral("a"));
    EXPECT_FALSE(re.MatchAll());

    // The same bytes with different characters are a different expression.
    re.SetExpression(QStringLiteral("a\u4E2D?"));
    EXPECT_EQ(re.GetExpression(), QStringLiteral("a\u4E2D?"));
    RegularExpression other;
    other.SetExpression(QStringLiteral("a\u0416?"));
    EXPECT_FALSE(re == other);
}

TEST(RegularExpressionText, BrokenUtf16IsHandledLikeAnyForeignCharacter)
{
    const QString loneHigh(QChar(0xD800));
    const QString loneLow(QChar(0xDC00));
    const QString pair = QString::fromUcs4(U"\U0001F600");
    RegularExpression re;
    EXPECT_TRUE(matchAll(re, QStringLiteral("."), loneHigh));
    EXPECT_TRUE(matchAll(re, QStringLiteral(".."), pair)) << "one character per UTF-16 unit";
    EXPECT_TRUE(matchAll(re, QStringLiteral("a.b"), QStringLiteral("a") + loneLow + QStringLiteral("b")));
    EXPECT_EQ(re.GetStringToMatch(), QStringLiteral("a") + loneLow + QStringLiteral("b"));

    re.SetExpression(loneHigh + QStringLiteral("+"));
    EXPECT_EQ(re.ParseExpression(), RegularExpression::error_bad_pattern);
    EXPECT_EQ(re.GetExpression(), loneHigh + QStringLiteral("+"));
}

TEST(RegularExpressionText, StandardModelFollowsTheObjectsLocale)
{
    const QString lower(QChar(0xE4));
    const QString upper(QChar(0xC4));
    RegularExpression re;
    re.AddExpressionOption(RegularExpression::icase);
    EXPECT_FALSE(matchAll(re, lower, upper)) << "the classic locale has no case for this letter";
    EXPECT_FALSE(matchAll(re, QStringLiteral("[[:alpha:]]"), lower));

    re.SetLocale(umlautLocale());
    EXPECT_TRUE(matchAll(re, lower, upper));
    EXPECT_TRUE(matchAll(re, QStringLiteral("[[:alpha:]]"), lower));

    re.SetLocaleModel(RegularExpression::runtime_library_locale);
    EXPECT_FALSE(matchAll(re, QStringLiteral("[[:alpha:]]"), lower)) << "the C runtime's locale decides";
    re.SetLocaleModel(RegularExpression::standard_locale);
    EXPECT_TRUE(matchAll(re, QStringLiteral("[[:alpha:]]"), lower));
}

TEST(RegularExpressionText, RangesCollateOnlyWithoutTheNoCollateOption)
{
    const QString umlaut(QChar(0xE4));
    RegularExpression re;
    re.SetLocale(umlautLocale());
    EXPECT_FALSE(matchAll(re, QStringLiteral("[a-b]"), umlaut)) << "the default options do not collate";
    re.DeleteExpressionOption(RegularExpression::nocollate);
    EXPECT_TRUE(matchAll(re, QStringLiteral("[a-b]"), umlaut));
    EXPECT_FALSE(matchAll(re, QStringLiteral("[b-c]"), umlaut));

    re.SetLocaleModel(RegularExpression::runtime_library_locale);
    EXPECT_FALSE(matchAll(re, QStringLiteral("[a-b]"), umlaut));
}

TEST(RegularExpressionText, CatalogueNamesReachTheFileSystemAsTheyAre)
{
    const QString folder = TestEnvironment::NewFolder(QStringLiteral("Kataloge \u00E4\u0416"));
    const QString path = folder + QStringLiteral("/meldungen.txt");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("251\tLeer\n");
    file.close();

    RegularExpression re;
    re.SetLocaleDll(path);
    EXPECT_EQ(re.GetLocaleDll(), path);
    re.SetExpression(QStringLiteral("a"));
    ASSERT_EQ(re.ParseExpression(), RegularExpression::no_error);
    re.SetExpression(QString());
    EXPECT_EQ(re.GetExpressionError(), QStringLiteral("Leer"));
}

TEST(RegularExpressionText, CreatedByItsRuntimeClass)
{
    const CRuntimeClass* info = RegularExpression().GetRuntimeClass();
    EXPECT_STREQ(info->m_lpszClassName, "RegularExpression");
    EXPECT_EQ(info->m_wSchema, 2);
    EXPECT_EQ(info, &RegularExpression::classRegularExpression);
    std::unique_ptr<CObject> made(info->CreateObject());
    auto* re = dynamic_cast<RegularExpression*>(made.get());
    ASSERT_NE(re, nullptr);
    EXPECT_TRUE(*re == RegularExpression());
}

TEST(RegularExpressionText, MergeAndSplitGiveBackTheCallersCharacters)
{
    RegularExpression re;
    re.SetStringToMatch(QStringLiteral("a\u0416 b\u20AC \u4E2Dc"));
    re.SetExpression(QStringLiteral("b"));
    re.SetFormatString(QStringLiteral("x"));
    re.SetMergeCopy(true);
    QString merged;
    re.Merge(merged);
    EXPECT_EQ(merged, QStringLiteral("a\u0416 x\u20AC \u4E2Dc"));

    QStringList pieces;
    re.SetExpression(QString());
    EXPECT_EQ(re.Split(pieces), 3u);
    EXPECT_EQ(pieces, (QStringList{QStringLiteral("a\u0416"), QStringLiteral("b\u20AC"), QStringLiteral("\u4E2Dc")}));

    re.SetMaximumSplits(1);
    re.SetSplitInputDelete(true);
    EXPECT_EQ(re.Split(pieces), 1u);
    EXPECT_EQ(re.GetStringToMatch(), QStringLiteral("b\u20AC \u4E2Dc")) << "the rest keeps its characters";
    EXPECT_EQ(re.Split(pieces), 1u);
    EXPECT_EQ(pieces, QStringList{QStringLiteral("b\u20AC")});
    EXPECT_EQ(re.GetStringToMatch(), QStringLiteral("\u4E2Dc"));
}

TEST(RegularExpressionText, FileNamesAndFileTextsInTheirEncodings)
{
    const QString folder = TestEnvironment::NewFolder(QStringLiteral("Dateien \u00E4\u0416"));
    const QString name = folder + QStringLiteral("/Gr\u00FC\u00DFe \u4E2D.txt");
    QFile file(name);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("Stra\xDF" "e\n"); // code page 1252 in the file
    file.close();

    RegularExpression re;
    re.SetExpression(QStringLiteral("Stra\u00DF(e)"));
    re.SetFilesToMatch(folder + QStringLiteral("/*\u4E2D.txt"));
    QStringList names;
    std::vector<REMatch> parts;
    int receiver = 0;
    re.OnGreppingFiles.Subscribe(&receiver, [&](RegularExpression*, QString file, const std::vector<REMatch>& m,
                                                unsigned, bool&) {
        names.append(file);
        parts = m;
    });
    EXPECT_EQ(re.GrepFiles(), 1u);
    EXPECT_EQ(names, QStringList{name});
    EXPECT_EQ(parts, (std::vector<REMatch>{{QStringLiteral("Stra\u00DFe"), 0}, {QStringLiteral("e"), 5}}));

    re.SetSaveExtension(QStringLiteral("s\u00E4v"));
    re.SetFormatString(QStringLiteral("Gasse"));
    EXPECT_EQ(re.GetSaveExtension(), QStringLiteral("s\u00E4v"));
    EXPECT_EQ(re.ChangeFiles(), 1u);
    QFile backup(folder + QStringLiteral("/Gr\u00FC\u00DFe \u4E2D.s\u00E4v"));
    ASSERT_TRUE(backup.open(QIODevice::ReadOnly));
    EXPECT_EQ(backup.readAll(), QByteArray("Stra\xDF" "e\n"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("Gasse\n"));
}
