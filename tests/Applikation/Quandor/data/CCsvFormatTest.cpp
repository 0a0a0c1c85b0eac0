#include "CCsvExportCommand.h"
#include "CCsvFormat.h"
#include "CCsvLineReader.h"
#include "CDatabaseBackup.h"
#include "CFileNameRule.h"
#include "TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

TEST(CCsvFormatTest, SplitKeepsTheLastPieceAndGivesNothingForAnEmptyText)
{
    EXPECT_EQ(CCsvFormat::SplitCsvLine(""), QStringList());
    EXPECT_EQ(CCsvFormat::SplitCsvLine(";"), QStringList({"", ""}));
    EXPECT_EQ(CCsvFormat::SplitCsvLine("a;b;"), QStringList({"a", "b", ""}));
    EXPECT_EQ(CCsvFormat::SplitCsvLine("abc"), QStringList({"abc"}));
    EXPECT_EQ(CCsvFormat::SplitCsvLine(";;x"), QStringList({"", "", "x"}));
}

TEST(CCsvFormatTest, LinesAreWindows1252WithCrLfAndAQuestionMarkForTheRest)
{
    // ä ö ü ß € as single bytes; a letter outside the code page is "?", never
    // the 0x1A a Windows reader takes for the end of the file.
    const QByteArray bytes = CCsvFormat::EncodeLine(QString::fromUtf8("Person;Jörg Müß;ä€;Ωx"));
    EXPECT_EQ(bytes, QByteArray("Person;J\xF6rg M\xFC\xDF;\xE4\x80;?x\r\n"));
    EXPECT_EQ(CCsvFormat::EncodeLine(""), QByteArray("\r\n"));
    EXPECT_EQ(CCsvFormat::DecodeLine("Person;J\xF6rg\r\n"), QString::fromUtf8("Person;Jörg"));
    EXPECT_EQ(CCsvFormat::DecodeLine("a;b\n"), QStringLiteral("a;b"));
    EXPECT_EQ(CCsvFormat::DecodeLine("a;b"), QStringLiteral("a;b"));
    // Only one CR belongs to the line end.
    EXPECT_EQ(CCsvFormat::DecodeLine("a\r\r\n"), QStringLiteral("a\r"));
}

TEST(CCsvFormatTest, TransponderNumbersAreTenHexDigits)
{
    EXPECT_TRUE(CCsvFormat::IsTransponderNumber("0123456789"));
    EXPECT_TRUE(CCsvFormat::IsTransponderNumber("ABCDEFabcd"));
    EXPECT_FALSE(CCsvFormat::IsTransponderNumber(""));
    EXPECT_FALSE(CCsvFormat::IsTransponderNumber("012345678"));
    EXPECT_FALSE(CCsvFormat::IsTransponderNumber("01234567890"));
    EXPECT_FALSE(CCsvFormat::IsTransponderNumber("012345678G"));
    EXPECT_FALSE(CCsvFormat::IsTransponderNumber(QString::fromUtf8("012345678\u0660")));
}

TEST(CCsvFormatTest, ExtensionRuleChangesOnlyTheFileName)
{
    const QString csv = QStringLiteral(".csv");
    EXPECT_EQ(CFileNameRule::ApplyExtension("/d/x", csv), "/d/x.csv");
    EXPECT_EQ(CFileNameRule::ApplyExtension("/d/x.txt", csv), "/d/x.csv");
    EXPECT_EQ(CFileNameRule::ApplyExtension("/d/x.csv", csv), "/d/x.csv");
    EXPECT_EQ(CFileNameRule::ApplyExtension("/d/a.b/x", csv), "/d/a.b/x.csv");
    EXPECT_EQ(CFileNameRule::ApplyExtension("/d/a.b/x.tar.gz", csv), "/d/a.b/x.tar.csv");
    // The comparison is exact, so another case is another extension.
    EXPECT_EQ(CFileNameRule::ApplyExtension("/d/A.CSV", csv), "/d/A.csv");
    EXPECT_EQ(CFileNameRule::ApplyExtension("/d/.x", csv), "/d/.csv");
    EXPECT_EQ(CFileNameRule::ApplyExtension("/d/save", ".mdb"), "/d/save.mdb");
    EXPECT_EQ(CFileNameRule::ApplyExtension("/d/save.bak", ".mdb"), "/d/save.mdb");
}

TEST(CCsvFormatTest, NamesCarryTheStampOfTheTimeStampText)
{
    const QString stamp = CFileNameRule::Stamp("24-12-1999/23:59:59.123");
    EXPECT_EQ(stamp, "24121999_235959");
    EXPECT_EQ(CCsvExportCommand::ProposedName(0, true, stamp), "Aktuelle_Ansicht_24121999_235959");
    EXPECT_EQ(CCsvExportCommand::ProposedName(0, false, stamp), "Current_view_24121999_235959");
    EXPECT_EQ(CCsvExportCommand::ProposedName(1, true, stamp), "Transponder_24121999_235959");
    EXPECT_EQ(CCsvExportCommand::ProposedName(1, false, stamp), "Transponder_24121999_235959");
    EXPECT_EQ(CCsvExportCommand::ProposedName(2, true, stamp), "Personen_24121999_235959");
    EXPECT_EQ(CCsvExportCommand::ProposedName(2, false, stamp), "Persons_24121999_235959");
    EXPECT_EQ(CCsvExportCommand::ProposedName(3, true, stamp), "Ereignisse_24121999_235959");
    EXPECT_EQ(CCsvExportCommand::ProposedName(3, false, stamp), "Events_24121999_235959");
    EXPECT_EQ(CDatabaseBackup::BackupName(true, stamp), "Backup_Vondral Manager_24121999_235959");
    EXPECT_EQ(CDatabaseBackup::BackupName(false, stamp), "Backup_Kestrav Manager_24121999_235959");
    EXPECT_EQ(CDatabaseBackup::SafetyCopyPath("/data/Quandor.mdb", stamp),
              "/data/Quandor_Backup_24121999_235959.mdb");
}

TEST(CCsvFormatTest, DialogsStartInTheFolderOfTheFileChosenLast)
{
    const QString folder = TestEnvironment::NewFolder("start");
    EXPECT_EQ(CFileNameRule::StartFolder(""), QDir::homePath());
    EXPECT_EQ(CFileNameRule::StartFolder(folder + "/old.csv"), folder);
    EXPECT_EQ(CFileNameRule::StartFolder(folder), folder);
    EXPECT_EQ(CFileNameRule::StartFolder(folder + "/gone/old.csv"), QDir::homePath());
}

namespace {

QStringList readAll(const QByteArray& bytes, std::vector<bool>* tooLong = nullptr)
{
    const QString path = TestEnvironment::NewFolder("reader") + "/in.csv";
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(bytes);
    file.close();
    CCsvLineReader reader(path);
    EXPECT_TRUE(reader.Open());
    QStringList lines;
    QString line;
    bool cut = false;
    while (reader.ReadLine(&line, &cut)) {
        lines << line;
        if (tooLong)
            tooLong->push_back(cut);
    }
    EXPECT_FALSE(reader.Failed());
    return lines;
}

} // namespace

TEST(CCsvLineReaderTest, ReadsEveryKindOfLineEndAndEveryByte)
{
    EXPECT_EQ(readAll("a;1\r\nb;2\r\n"), QStringList({"a;1", "b;2"}));
    EXPECT_EQ(readAll("a;1\nb;2"), QStringList({"a;1", "b;2"}));
    EXPECT_EQ(readAll("a\n\nb\n"), QStringList({"a", "", "b"}));
    EXPECT_EQ(readAll(""), QStringList());
    // CR alone ends a line as well, and never stays inside one.
    EXPECT_EQ(readAll("a;1\rb;2\r"), QStringList({"a;1", "b;2"}));
    EXPECT_EQ(readAll("a\r\rb\r\n\nc"), QStringList({"a", "", "b", "", "c"}));
    EXPECT_EQ(readAll("a\n\rb"), QStringList({"a", "", "b"}));
    // The byte-order mark makes the file UTF-8; without it the same bytes
    // are code page 1252.
    EXPECT_EQ(readAll("\xEF\xBB\xBFPerson;J\xC3\xB6rg\r\nPerson;Zo\xC3\xAB\r\n"),
              QStringList({QString::fromUtf8("Person;Jörg"), QString::fromUtf8("Person;Zoë")}));
    EXPECT_EQ(readAll("Person;J\xC3\xB6rg"), QStringList({QString::fromUtf8("Person;JÃ¶rg")}));
    EXPECT_EQ(readAll("\xEF\xBB\xBF"), QStringList());
    // A NUL neither ends the line nor the file.
    const QStringList binary = readAll(QByteArray("x\0y;\xFF\n", 6));
    ASSERT_EQ(binary.size(), 1);
    EXPECT_EQ(binary[0].size(), 5);
    EXPECT_EQ(binary[0][1], QChar(0));
    EXPECT_EQ(binary[0][4], QChar(0xFF));
}

TEST(CCsvLineReaderTest, AnOverlongLineIsCutMarkedAndTheNextOneReadWhole)
{
    std::vector<bool> tooLong;
    const QByteArray huge(CCsvLineReader::kMaxLineBytes * 3, 'x');
    const QStringList lines = readAll("first\n" + huge + "\nlast\n", &tooLong);
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(tooLong, std::vector<bool>({false, true, false}));
    EXPECT_LE(lines[1].size(), CCsvLineReader::kMaxLineBytes);
    EXPECT_EQ(lines[2], "last");
}

// Fields are quoted only when they must be, so files of plain names stay as
// peers write them; what is quoted comes back as it was.
TEST(CCsvFormatTest, FieldsAreQuotedOnlyWhenTheyMustBeAndSplitBack)
{
    const struct
    {
        QString text;
        QString field;
    } cases[] = {
        {"Anna", "Anna"},
        {"O'Brien \"Bob\"", "O'Brien \"Bob\""},
        {"", ""},
        {"a;b", "\"a;b\""},
        {"\"Bob\"", "\"\"\"Bob\"\"\""},
        {"two\r\nlines", "\"two\r\nlines\""},
        {"cr\ronly", "\"cr\ronly\""},
        {";", "\";\""},
        {"\"", "\"\"\"\""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CCsvFormat::Field(c.text), c.field) << c.text.toStdString();
        const QString line = "Person;" + CCsvFormat::Field(c.text) + ";x";
        EXPECT_EQ(CCsvFormat::SplitCsvLine(line), QStringList({"Person", c.text, "x"})) << c.text.toStdString();
        if (!c.text.isEmpty()) { // an empty text has no field at all
            EXPECT_EQ(CCsvFormat::SplitCsvLine(CCsvFormat::Field(c.text)), QStringList({c.text}));
        }
    }
    // A field that starts with a quote but is no quoted field is its text.
    EXPECT_EQ(CCsvFormat::SplitCsvLine("\"Ann\" Berg;x"), QStringList({"\"Ann\" Berg", "x"}));
    EXPECT_EQ(CCsvFormat::SplitCsvLine("\"open;x"), QStringList({"\"open", "x"}));
    EXPECT_EQ(CCsvFormat::SplitCsvLine("a\"b;\"c\""), QStringList({"a\"b", "c"}));
    EXPECT_TRUE(CCsvFormat::EndsInsideQuotes("Person;\"two"));
    EXPECT_FALSE(CCsvFormat::EndsInsideQuotes("Person;a\"b"));
    EXPECT_FALSE(CCsvFormat::EndsInsideQuotes("Person;\"a\"\"b\";c"));
}

TEST(CCsvFormatTest, TheFileIsUtf8WithAMarkOnlyForTextTheCodePageCannotHold)
{
    EXPECT_TRUE(CCsvFormat::FitsCodePage(QString::fromUtf8("Jörg Müß €")));
    EXPECT_FALSE(CCsvFormat::FitsCodePage(QString::fromUtf8("Zażółć")));
    EXPECT_FALSE(CCsvFormat::FitsCodePage(QString::fromUtf8("😀")));
    EXPECT_EQ(CCsvFormat::EncodeLine(QString::fromUtf8("Ωx;😀"), true), QByteArray("\xCE\xA9x;\xF0\x9F\x98\x80\r\n"));
}

// A quoted field keeps its line break, whatever the break is; a quote that
// never closes leaves every line as it is.
TEST(CCsvFormatTest, TheReaderJoinsTheLinesOfAQuotedFieldOnly)
{
    const QString folder = TestEnvironment::NewFolder("quoted");
    const struct
    {
        const char* name;
        QByteArray bytes;
        QStringList lines;
    } cases[] = {
        {"crlf", "Person;\"two\r\nlines\";x\r\nPerson;b\r\n", {"Person;\"two\r\nlines\";x", "Person;b"}},
        {"lf", "Person;\"a\nb\nc\"\nnext", {"Person;\"a\nb\nc\"", "next"}},
        {"cr", "Person;\"a\rb\"\rnext\r", {"Person;\"a\rb\"", "next"}},
        {"unclosed", "Person;\"open\r\nPerson;b\r\nPerson;c", {"Person;\"open", "Person;b", "Person;c"}},
        {"utf8", "\xEF\xBB\xBFPerson;\"\xC3\xB6\r\n;\"\r\n", {QString::fromUtf8("Person;\"ö\r\n;\"")}},
    };
    for (const auto& c : cases) {
        const QString path = folder + "/" + c.name + ".csv";
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(c.bytes);
        file.close();
        CCsvLineReader reader(path);
        ASSERT_TRUE(reader.Open());
        QStringList lines;
        QString line;
        bool tooLong = false;
        while (reader.ReadLine(&line, &tooLong))
            lines << line;
        EXPECT_FALSE(reader.Failed()) << c.name;
        EXPECT_EQ(lines, c.lines) << c.name;
    }
}
