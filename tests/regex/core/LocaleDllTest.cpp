#include "LocaleDll.h"
#include "MessageCatalogue.h"
#include "NoSink.h"
#include "RegularExpressionData.h"
#include "TestEnvironment.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <fstream>

using tramex::LocaleDll;
using tramex::MessageCatalogue;

namespace {

std::string newFolder(const char* hint)
{
    return TestEnvironment::NewFolder(QString::fromLatin1(hint)).toStdString();
}

using testfiles::write;

} // namespace

TEST(LocaleDll, NamesFromTheSettingAndTheUserLocale)
{
    EXPECT_EQ(LocaleDll::ComposeName("msgs", true, "de_DE.UTF-8"), "msgs.DeD");
    EXPECT_EQ(LocaleDll::ComposeName("msgs", false, "de_DE.UTF-8"), "msgs.De");
    EXPECT_EQ(LocaleDll::ComposeName("msgs", true, "en_US"), "msgs.EnU");
    EXPECT_EQ(LocaleDll::ComposeName("msgs", true, "de@euro"), "") << "no country";
    EXPECT_EQ(LocaleDll::ComposeName("msgs", false, "de@euro"), "msgs.De");
    EXPECT_EQ(LocaleDll::ComposeName("msgs", false, "C"), "");
    EXPECT_EQ(LocaleDll::ComposeName("msgs", false, "POSIX"), "msgs.Po") << "a name, however odd, is a name";
    EXPECT_EQ(LocaleDll::ComposeName("msgs", false, "C.UTF-8"), "");
    EXPECT_EQ(LocaleDll::ComposeName("msgs", false, ""), "");
    EXPECT_EQ(LocaleDll::ComposeName("", true, "de_DE"), "");
    EXPECT_EQ(LocaleDll::ComposeName("/x/msgs.res", true, "de_DE"), "/x/msgs.res");
}

TEST(LocaleDll, ExplicitNamesHaveADotInTheirLastPart)
{
    EXPECT_TRUE(LocaleDll::IsExplicit("msgs.res"));
    EXPECT_TRUE(LocaleDll::IsExplicit("C:\\lang\\msgs.res"));
    EXPECT_FALSE(LocaleDll::IsExplicit("C:\\lang.old\\msgs"));
    EXPECT_FALSE(LocaleDll::IsExplicit("/x/lang.old/msgs"));
    EXPECT_FALSE(LocaleDll::IsExplicit("msgs"));
}

TEST(LocaleDll, CandidatesInTheirOrder)
{
    EXPECT_EQ(LocaleDll::CandidateNames("msgs", "de_DE.UTF-8"),
              (std::vector<std::string>{"msgs.DeD", "msgs.De", "msgs.dll"}));
    EXPECT_EQ(LocaleDll::CandidateNames("msgs", "C"), (std::vector<std::string>{"msgs.dll"}));
    EXPECT_EQ(LocaleDll::CandidateNames("/x/msgs.res", "de_DE"), (std::vector<std::string>{"/x/msgs.res"}));
    EXPECT_TRUE(LocaleDll::CandidateNames("", "de_DE").empty());
}

TEST(LocaleDll, TheFirstReadableCandidateGivesItsTexts)
{
    const std::string stem = newFolder("load") + "/msgs";
    write(stem + ".De", "143\tz\n251\tLeer\n252\tKaputt: \n");
    write(stem + ".dll", "251\tdll\n");
    LocaleDll::Texts texts;
    EXPECT_EQ(LocaleDll::Load(stem, "de_DE", texts), stem + ".De");
    EXPECT_EQ(texts.spaceClassLetter, 'z');
    EXPECT_EQ(texts.emptyExpression, "Leer");
    EXPECT_EQ(texts.failure, "Kaputt: ");

    LocaleDll::Texts none;
    EXPECT_EQ(LocaleDll::Load(stem, "fr_FR", none), stem + ".dll");
    EXPECT_EQ(none.spaceClassLetter, '\0') << "a catalogue without 143 keeps the plain split";
    EXPECT_EQ(LocaleDll::Load(stem + "2", "de_DE", none), "");
}

TEST(LocaleDll, TheRecordTakesItsTextsFromTheCatalogueOfItsLastCompile)
{
    const std::string path = newFolder("record") + "/msgs.cat";
    write(path, "143\tS\n251\tLeer\n");
    tramex::RegularExpressionData data;
    data.SetLocaleDll(path);
    data.SetExpression("a");
    ASSERT_EQ(data.ParseExpression(), 0);
    EXPECT_EQ(data.GetSpaceClassLetter(), 'S');
    EXPECT_EQ(data.GetEmptyExpressionText(), "Leer");

    tramex::RegularExpressionData copy(data);
    EXPECT_EQ(copy.GetSpaceClassLetter(), 'S') << "copies take the catalogue's texts";

    data.SetLocaleDll(path + ".gone");
    ASSERT_EQ(data.ParseExpression(), 0);
    EXPECT_EQ(data.GetSpaceClassLetter(), '\0');
    EXPECT_EQ(data.GetEmptyExpressionText(), "Empty expression");
    NoSink sink;
    data.SetStringToMatch("a");
    EXPECT_TRUE(data.MatchAll(sink));
}

TEST(MessageCatalogue, EntriesCommentsAndLineEnds)
{
    const std::string path = newFolder("cat") + "/c.txt";
    write(path, "# comment\n\n1\t\xE4 \t x\r\n2147483647\tlast\n7\t" + std::string(300, 'y') + "\n");
    const auto catalogue = MessageCatalogue::Load(path, true);
    ASSERT_TRUE(catalogue);
    EXPECT_EQ(*catalogue->Find(1), "\xE4 \t x");
    EXPECT_EQ(*catalogue->Find(2147483647), "last");
    EXPECT_EQ(catalogue->Find(7)->size(), MessageCatalogue::MaximumTextLength);
    EXPECT_EQ(catalogue->Find(2), nullptr);
}

TEST(MessageCatalogue, StrictReadingRefusesWhatLenientReadingSkips)
{
    const std::string folder = newFolder("strict");
    for (const char* bad : {"no tab here\n", "x1\ttext\n", "-1\ttext\n", "2147483648\ttoo big\n",
                                   "5\tfirst\n5\tagain\n", "\tno id\n"}) {
        write(folder + "/bad.txt", std::string("9\tgood\n") + bad);
        EXPECT_FALSE(MessageCatalogue::Load(folder + "/bad.txt", true)) << bad;
        const auto lenient = MessageCatalogue::Load(folder + "/bad.txt", false);
        ASSERT_TRUE(lenient) << bad;
        EXPECT_EQ(*lenient->Find(9), "good");
    }
}

TEST(MessageCatalogue, OnlyReadableRegularFilesOfSaneSize)
{
    const std::string folder = newFolder("files");
    EXPECT_FALSE(MessageCatalogue::Load(folder, false)) << "a folder";
    EXPECT_FALSE(MessageCatalogue::Load(folder + "/missing", false));
    EXPECT_FALSE(MessageCatalogue::Load("/dev/zero", false)) << "a device never ends";
    EXPECT_FALSE(MessageCatalogue::Load("", false));
    write(folder + "/cut", "1\tx\n");
    EXPECT_FALSE(MessageCatalogue::Load(folder + "/cut" + std::string(1, '\0') + "tail", false));
    write(folder + "/huge", std::string(MessageCatalogue::MaximumFileSize + 1, '#'));
    EXPECT_FALSE(MessageCatalogue::Load(folder + "/huge", false));
    write(folder + "/empty", "");
    EXPECT_TRUE(MessageCatalogue::Load(folder + "/empty", true));
}
