#include "CDialogSetup.h"
#include "ShellTestSupport.h"
#include "TestEnvironment.h"
#include "FileSizeLimit.h"

#include <QDir>
#include <QDomDocument>
#include <QFileInfo>
#include <QFile>
#include <gtest/gtest.h>

#include <climits>

namespace {

const QString kFile = QStringLiteral("DialogSetup.xml");

QByteArray readBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

QString golden(const QString& name)
{
    return TestEnvironment::SourceDir() + QStringLiteral("/tests/Applikation/Quandor/settings/golden/") + name;
}

// Compares bytes with a golden file. With QUANDOR_UPDATE_GOLDEN set, the
// golden file is rewritten instead (review the change before committing).
void expectGolden(const QByteArray& actual, const QString& name)
{
    if (qEnvironmentVariableIsSet("QUANDOR_UPDATE_GOLDEN")) {
        writeBytes(golden(name), actual);
        return;
    }
    const QByteArray expected = readBytes(golden(name));
    ASSERT_FALSE(expected.isEmpty()) << name.toStdString();
    EXPECT_EQ(actual, expected) << name.toStdString();
}

// A folder holding "DialogSetup.xml" with the given content.
QString folderWith(const QByteArray& content, const char* hint = "layout")
{
    const QString folder = TestEnvironment::NewFolder(QString::fromLatin1(hint));
    writeBytes(QDir(folder).filePath(kFile), content);
    return folder;
}

QDomDocument parse(const QString& path)
{
    QDomDocument document;
    EXPECT_TRUE(document.setContent(readBytes(path)));
    return document;
}

// Stores sizes for the five views of the program.
void storeSeveralViews(CDialogSetup& store)
{
    const char* views[] = {"01", "02", "03", "04", "05"};
    int n = 0;
    for (const char* view : views) {
        const QString id = QString::fromLatin1(view);
        EXPECT_TRUE(store.SetRowHeight(id, QStringLiteral("0"), true, 24 + n));
        EXPECT_TRUE(store.SetRowHeight(id, QStringLiteral("0"), false, 18));
        for (int column = 0; column < 4; ++column)
            EXPECT_TRUE(store.SetColumnWidth(id, QStringLiteral("0"), QString::number(column), 40 + 10 * column + n));
        ++n;
    }
}

} // namespace

TEST(CDialogSetup, FirstStartCreatesTheEmptyStore)
{
    RecordingPresenter boxes;
    const QString folder = TestEnvironment::NewFolder("first") + QStringLiteral("/SysFiles");
    CDialogSetup store(folder);
    ASSERT_TRUE(store.OpenFile(kFile));
    EXPECT_EQ(store.GetPath(), QDir(folder).filePath(kFile));
    EXPECT_EQ(readBytes(store.GetPath()), QByteArray("<dialogsetup></dialogsetup>"));
    EXPECT_EQ(readBytes(store.GetPath()).size(), 27);
    EXPECT_EQ(store.GetRowHeight(QStringLiteral("01"), QStringLiteral("0"), true), -1);
    EXPECT_EQ(store.GetRowHeight(QStringLiteral("01"), QStringLiteral("0"), false), -1);
    EXPECT_EQ(store.GetColumnWidth(QStringLiteral("01"), QStringLiteral("0"), QStringLiteral("0")), -1);
    EXPECT_TRUE(boxes.Requests().empty());
}

TEST(CDialogSetup, StoringCreatesTheNestingAndKeepsAttributesInOrder)
{
    RecordingPresenter boxes;
    CDialogSetup store(TestEnvironment::NewFolder("nest"));
    ASSERT_TRUE(store.OpenFile(kFile));
    const QString path = store.GetPath();

    EXPECT_TRUE(store.SetColumnWidth(QStringLiteral("05"), QStringLiteral("0"), QStringLiteral("3"), 120));
    EXPECT_EQ(store.GetColumnWidth(QStringLiteral("05"), QStringLiteral("0"), QStringLiteral("3")), 120);
    EXPECT_EQ(store.GetColumnWidth(QStringLiteral("05"), QStringLiteral("0"), QStringLiteral("2")), -1);
    // Getters create nothing.
    EXPECT_EQ(store.GetRowHeight(QStringLiteral("04"), QStringLiteral("0"), true), -1);

    EXPECT_TRUE(store.SetRowHeight(QStringLiteral("05"), QStringLiteral("0"), true, 25));
    EXPECT_EQ(store.GetRowHeight(QStringLiteral("05"), QStringLiteral("0"), false), -1);
    EXPECT_TRUE(store.SetRowHeight(QStringLiteral("05"), QStringLiteral("0"), false, -7));
    EXPECT_EQ(store.GetRowHeight(QStringLiteral("05"), QStringLiteral("0"), true), 25);
    EXPECT_EQ(store.GetRowHeight(QStringLiteral("05"), QStringLiteral("0"), false), -7);

    // Sizes reach the file only at Save.
    EXPECT_EQ(readBytes(path), QByteArray("<dialogsetup></dialogsetup>"));
    store.Save();
    const QByteArray saved = readBytes(path);
    EXPECT_TRUE(saved.contains("<grid id=\"0\" headerheight=\"25\" rowheight=\"-7\">")) << saved.toStdString();

    const QDomElement root = parse(path).documentElement();
    const QDomNodeList dialogs = root.elementsByTagName(QStringLiteral("dialog"));
    ASSERT_EQ(dialogs.count(), 1);
    const QDomElement dialog = dialogs.item(0).toElement();
    EXPECT_EQ(dialog.attribute(QStringLiteral("id")), QStringLiteral("05"));
    EXPECT_EQ(dialog.parentNode(), root);
    const QDomElement column = dialog.firstChildElement(QStringLiteral("grid")).firstChildElement(QStringLiteral("column"));
    EXPECT_EQ(column.attribute(QStringLiteral("id")), QStringLiteral("3"));
    EXPECT_EQ(column.attribute(QStringLiteral("width")), QStringLiteral("120"));

    // After Save the path is spent: a second Save writes nothing.
    EXPECT_TRUE(store.GetPath().isEmpty());
    ASSERT_TRUE(QFile::remove(path));
    store.Save();
    EXPECT_FALSE(QFile::exists(path));
}

TEST(CDialogSetup, RoundTripMatchesTheGoldenFileByteForByte)
{
    RecordingPresenter boxes;
    CDialogSetup store(TestEnvironment::NewFolder("golden"));
    ASSERT_TRUE(store.OpenFile(kFile));
    const QString path = store.GetPath();
    storeSeveralViews(store);
    store.Save();
    expectGolden(readBytes(path), QStringLiteral("DialogSetup_views.xml"));
    const QByteArray expected = readBytes(golden(QStringLiteral("DialogSetup_views.xml")));

    // A new run reads every size back and writes the same bytes again.
    CDialogSetup again(QFileInfo(path).path());
    ASSERT_TRUE(again.OpenFile(kFile));
    int n = 0;
    for (const char* view : {"01", "02", "03", "04", "05"}) {
        const QString id = QString::fromLatin1(view);
        EXPECT_EQ(again.GetRowHeight(id, QStringLiteral("0"), true), 24 + n);
        EXPECT_EQ(again.GetRowHeight(id, QStringLiteral("0"), false), 18);
        for (int column = 0; column < 4; ++column)
            EXPECT_EQ(again.GetColumnWidth(id, QStringLiteral("0"), QString::number(column)), 40 + 10 * column + n);
        ++n;
    }
    ASSERT_TRUE(QFile::remove(path));
    again.Save();
    EXPECT_EQ(readBytes(path), expected);
    EXPECT_TRUE(boxes.Requests().empty());
}

TEST(CDialogSetup, ForeignContentIsIgnoredOnReadingAndKeptOnSaving)
{
    RecordingPresenter boxes;
    const QString folder = folderWith(readBytes(golden(QStringLiteral("DialogSetup_foreign.xml"))));
    CDialogSetup store(folder);
    ASSERT_TRUE(store.OpenFile(kFile));
    EXPECT_EQ(store.GetColumnWidth(QStringLiteral("01"), QStringLiteral("0"), QStringLiteral("0")), 55);
    EXPECT_EQ(store.GetRowHeight(QStringLiteral("01"), QStringLiteral("0"), true), 30);
    // A grid directly under the root and a column directly under a dialog
    // are not read.
    EXPECT_EQ(store.GetRowHeight(QStringLiteral("01"), QStringLiteral("9"), true), -1);
    EXPECT_EQ(store.GetColumnWidth(QStringLiteral("01"), QStringLiteral("0"), QStringLiteral("7")), -1);
    EXPECT_EQ(store.GetColumnWidth(QStringLiteral("02"), QStringLiteral("0"), QStringLiteral("1")), -1);

    EXPECT_TRUE(store.SetColumnWidth(QStringLiteral("01"), QStringLiteral("0"), QStringLiteral("1"), 66));
    store.Save();
    expectGolden(readBytes(QDir(folder).filePath(kFile)), QStringLiteral("DialogSetup_foreign_saved.xml"));

    // The saved form reads back to the same document.
    CDialogSetup again(folder);
    ASSERT_TRUE(again.OpenFile(kFile));
    EXPECT_EQ(again.GetColumnWidth(QStringLiteral("01"), QStringLiteral("0"), QStringLiteral("1")), 66);
    again.Save();
    EXPECT_EQ(readBytes(QDir(folder).filePath(kFile)),
              readBytes(golden(QStringLiteral("DialogSetup_foreign_saved.xml"))));
}

TEST(CDialogSetup, DamagedFilesAreReportedAndLeftAsTheyAre)
{
    struct Case
    {
        const char* content;
        bool parseMessage;
    };
    const Case cases[] = {
        {"<dialogsetup><dialog id=\"01\"><grid id=\"0\" rowheight=\"1", true}, // cut short
        {"", true},                                                            // 0 bytes
        {"<dialogsetup><dialog id=\"01\"></grid></dialogsetup>", true},        // not well-formed
        {"\x01\x02garbage", true},                                             // binary
        {"<setup><dialog id=\"01\"/></setup>", false},                         // no root element
    };
    for (const Case& c : cases) {
        RecordingPresenter boxes;
        const QByteArray content(c.content, int(qstrlen(c.content)));
        const QString folder = folderWith(content, "dam%2aged");
        CDialogSetup store(folder);
        EXPECT_FALSE(store.OpenFile(kFile)) << c.content;
        EXPECT_TRUE(store.GetPath().isEmpty());
        const auto requests = boxes.Requests();
        ASSERT_EQ(requests.size(), 1u) << c.content;
        if (c.parseMessage) {
            EXPECT_TRUE(requests[0].text.startsWith(QStringLiteral("Fehler beim Parsen von: ")));
            EXPECT_TRUE(requests[0].text.contains(QDir::toNativeSeparators(QDir(folder).filePath(kFile))));
            EXPECT_TRUE(requests[0].text.contains(QString::fromUtf8(" in Zeile: ")));
            EXPECT_TRUE(requests[0].text.contains(QString::fromUtf8(". Begründung: ")));
            EXPECT_FALSE(requests[0].text.endsWith(QString::fromUtf8("Begründung: ")));
            EXPECT_EQ(requests[0].icon, QMessageBox::Warning);
        } else {
            EXPECT_EQ(requests[0].text, QString::fromUtf8("CDialogSetup::OpenFile: Fehler beim Öffnen des XML-Files_2"));
        }
        // Nothing is stored into a store that did not open, and the file
        // stays as it was.
        EXPECT_FALSE(store.SetColumnWidth(QStringLiteral("01"), QStringLiteral("0"), QStringLiteral("0"), 5));
        EXPECT_EQ(store.GetColumnWidth(QStringLiteral("01"), QStringLiteral("0"), QStringLiteral("0")), -1);
        store.Save();
        EXPECT_EQ(readBytes(QDir(folder).filePath(kFile)), content);
    }
}

TEST(CDialogSetup, RootFoundBelowAnotherElement)
{
    RecordingPresenter boxes;
    CDialogSetup store(folderWith("<wrapper><dialogsetup><dialog id=\"03\"><grid id=\"0\" headerheight=\"21\"/>"
                                  "</dialog></dialogsetup></wrapper>"));
    ASSERT_TRUE(store.OpenFile(kFile));
    EXPECT_EQ(store.GetRowHeight(QStringLiteral("03"), QStringLiteral("0"), true), 21);
}

TEST(CDialogSetup, NumbersReadLikeAtolAndSaturate)
{
    EXPECT_EQ(CDialogSetup::ReadNumber(QStringLiteral(" 12")), 12);
    EXPECT_EQ(CDialogSetup::ReadNumber(QStringLiteral("\t+7")), 7);
    EXPECT_EQ(CDialogSetup::ReadNumber(QStringLiteral("-3")), -3);
    EXPECT_EQ(CDialogSetup::ReadNumber(QStringLiteral("abc")), 0);
    EXPECT_EQ(CDialogSetup::ReadNumber(QStringLiteral("12px")), 12);
    EXPECT_EQ(CDialogSetup::ReadNumber(QString()), 0);
    EXPECT_EQ(CDialogSetup::ReadNumber(QStringLiteral("- 5")), 0);
    EXPECT_EQ(CDialogSetup::ReadNumber(QStringLiteral("2147483647")), INT_MAX);
    EXPECT_EQ(CDialogSetup::ReadNumber(QStringLiteral("2147483648")), INT_MAX);
    EXPECT_EQ(CDialogSetup::ReadNumber(QStringLiteral("-2147483648")), INT_MIN);
    EXPECT_EQ(CDialogSetup::ReadNumber(QStringLiteral("99999999999999999999999999")), INT_MAX);
    EXPECT_EQ(CDialogSetup::ReadNumber(QStringLiteral("-99999999999999999999999999")), INT_MIN);
    // Digits of other scripts are not digits to atol.
    EXPECT_EQ(CDialogSetup::ReadNumber(QString::fromUtf8("\xd9\xa3")), 0);

    RecordingPresenter boxes;
    CDialogSetup store(folderWith("<dialogsetup><dialog id=\"01\"><grid id=\"0\" headerheight=\"99999999999\" rowheight=\"x\">"
                                  "<column id=\"0\" width=\" 12\"/><column id=\"1\" width=\"12px\"/>"
                                  "<column id=\"2\" width=\"-99999999999\"/><column id=\"3\"/>"
                                  "</grid></dialog></dialogsetup>"));
    ASSERT_TRUE(store.OpenFile(kFile));
    EXPECT_EQ(store.GetRowHeight(QStringLiteral("01"), QStringLiteral("0"), true), INT_MAX);
    EXPECT_EQ(store.GetRowHeight(QStringLiteral("01"), QStringLiteral("0"), false), 0);
    EXPECT_EQ(store.GetColumnWidth(QStringLiteral("01"), QStringLiteral("0"), QStringLiteral("0")), 12);
    EXPECT_EQ(store.GetColumnWidth(QStringLiteral("01"), QStringLiteral("0"), QStringLiteral("1")), 12);
    EXPECT_EQ(store.GetColumnWidth(QStringLiteral("01"), QStringLiteral("0"), QStringLiteral("2")), INT_MIN);
    // A missing width reads as empty text, that is 0.
    EXPECT_EQ(store.GetColumnWidth(QStringLiteral("01"), QStringLiteral("0"), QStringLiteral("3")), 0);
}

TEST(CDialogSetup, MissingAttributesReadAsEmpty)
{
    RecordingPresenter boxes;
    CDialogSetup store(folderWith("<dialogsetup>"
                                  "<dialog><grid id=\"0\" headerheight=\"5\"/></dialog>"
                                  "<dialog id=\"02\"><grid headerheight=\"6\"><column width=\"7\"/></grid>"
                                  "<grid id=\"0\" headerheight=\"31\"><column width=\"8\"/></grid></dialog>"
                                  "</dialogsetup>"));
    ASSERT_TRUE(store.OpenFile(kFile));
    EXPECT_TRUE(boxes.Requests().empty());
    // Elements without an id never match any id.
    EXPECT_EQ(store.GetRowHeight(QString(), QStringLiteral("0"), true), -1);
    EXPECT_EQ(store.GetRowHeight(QStringLiteral("02"), QString(), true), -1);
    EXPECT_EQ(store.GetColumnWidth(QStringLiteral("02"), QStringLiteral("0"), QString()), -1);
    // A grid without "rowheight" reads -1 for the data row.
    EXPECT_EQ(store.GetRowHeight(QStringLiteral("02"), QStringLiteral("0"), true), 31);
    EXPECT_EQ(store.GetRowHeight(QStringLiteral("02"), QStringLiteral("0"), false), -1);
    // Empty ids store nothing.
    EXPECT_FALSE(store.SetRowHeight(QString(), QStringLiteral("0"), true, 1));
    EXPECT_FALSE(store.SetRowHeight(QStringLiteral("02"), QString(), true, 1));
    EXPECT_FALSE(store.SetColumnWidth(QStringLiteral("02"), QStringLiteral("0"), QString(), 1));
}

// With a view listed twice, the later one is read, and what is stored for
// the view must land in that same element, or it is gone at the next start.
TEST(CDialogSetup, DuplicateViewsKeepMemoryAndFileInStep)
{
    RecordingPresenter boxes;
    const QString folder = folderWith("<dialogsetup>"
                                      "<dialog id=\"05\"><grid id=\"0\"><column id=\"1\" width=\"10\"/></grid></dialog>"
                                      "<dialog id=\"05\"><grid id=\"0\"><column id=\"1\" width=\"20\"/></grid></dialog>"
                                      "</dialogsetup>");
    {
        CDialogSetup store(folder);
        ASSERT_TRUE(store.OpenFile(kFile));
        EXPECT_EQ(store.GetColumnWidth(QStringLiteral("05"), QStringLiteral("0"), QStringLiteral("1")), 20);
        EXPECT_TRUE(store.SetColumnWidth(QStringLiteral("05"), QStringLiteral("0"), QStringLiteral("2"), 33));
        EXPECT_TRUE(store.SetRowHeight(QStringLiteral("05"), QStringLiteral("1"), true, 44));
        EXPECT_TRUE(store.SetColumnWidth(QStringLiteral("05"), QStringLiteral("1"), QStringLiteral("0"), 55));
        store.Save();
    }
    CDialogSetup again(folder);
    ASSERT_TRUE(again.OpenFile(kFile));
    EXPECT_EQ(again.GetColumnWidth(QStringLiteral("05"), QStringLiteral("0"), QStringLiteral("1")), 20);
    EXPECT_EQ(again.GetColumnWidth(QStringLiteral("05"), QStringLiteral("0"), QStringLiteral("2")), 33);
    EXPECT_EQ(again.GetRowHeight(QStringLiteral("05"), QStringLiteral("1"), true), 44);
    EXPECT_EQ(again.GetColumnWidth(QStringLiteral("05"), QStringLiteral("1"), QStringLiteral("0")), 55);

    const QDomNodeList dialogs = parse(QDir(folder).filePath(kFile)).elementsByTagName(QStringLiteral("dialog"));
    ASSERT_EQ(dialogs.count(), 2);
    EXPECT_EQ(dialogs.item(0).toElement().elementsByTagName(QStringLiteral("column")).count(), 1);
    EXPECT_EQ(dialogs.item(1).toElement().elementsByTagName(QStringLiteral("column")).count(), 3);
}

TEST(CDialogSetup, DuplicateGridsUseTheFirstInMemoryAndFile)
{
    RecordingPresenter boxes;
    const QString folder = folderWith("<dialogsetup><dialog id=\"01\">"
                                      "<grid id=\"0\" headerheight=\"11\"/><grid id=\"0\" headerheight=\"22\"/>"
                                      "</dialog></dialogsetup>");
    {
        CDialogSetup store(folder);
        ASSERT_TRUE(store.OpenFile(kFile));
        EXPECT_EQ(store.GetRowHeight(QStringLiteral("01"), QStringLiteral("0"), true), 11);
        EXPECT_TRUE(store.SetRowHeight(QStringLiteral("01"), QStringLiteral("0"), true, 12));
        EXPECT_TRUE(store.SetColumnWidth(QStringLiteral("01"), QStringLiteral("0"), QStringLiteral("0"), 13));
        store.Save();
    }
    CDialogSetup again(folder);
    ASSERT_TRUE(again.OpenFile(kFile));
    EXPECT_EQ(again.GetRowHeight(QStringLiteral("01"), QStringLiteral("0"), true), 12);
    EXPECT_EQ(again.GetColumnWidth(QStringLiteral("01"), QStringLiteral("0"), QStringLiteral("0")), 13);
}

TEST(CDialogSetup, AFolderThatCannotBeMadeFailsWithTheCreationMessage)
{
    RecordingPresenter boxes;
    const QString blocker = TestEnvironment::NewFolder("blocked") + QStringLiteral("/file");
    writeBytes(blocker, "not a folder");
    CDialogSetup store(blocker + QStringLiteral("/SysFiles"));
    EXPECT_FALSE(store.OpenFile(kFile));
    const auto requests = boxes.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].text, QStringLiteral("CDialogSetup::OpenFile: Fehler beim Anlegen des XML-Files_1"));
    EXPECT_FALSE(store.SetRowHeight(QStringLiteral("01"), QStringLiteral("0"), true, 3));

    // The program then falls back to the user's folder.
    const QString user = TestEnvironment::NewFolder("user");
    EXPECT_EQ(CDialogSetup::ResolveFolder(blocker + QStringLiteral("/SysFiles"), user), user);
    const QString program = TestEnvironment::NewFolder("program") + QStringLiteral("/SysFiles");
    EXPECT_EQ(CDialogSetup::ResolveFolder(program, user), program);
    EXPECT_TRUE(QFileInfo(program).isDir());
}

// A save that fails half way (here: the file size limit, as with a full
// disk) must leave the old file whole, or every later start would stop at
// the parse message.
// The disk full before the first byte and during the last write, and a
// folder gone by the time of saving: the old file stays whole, and the
// failure comes back with its reason for the program to say at its end.
TEST(CDialogSetup, AFailedSaveLeavesTheOldFileWholeAndGivesTheReason)
{
    RecordingPresenter boxes;
    const QByteArray original = readBytes(golden(QStringLiteral("DialogSetup_views.xml")));
    qint64 size = 0;
    {
        CDialogSetup probe(folderWith(original));
        ASSERT_TRUE(probe.OpenFile(kFile));
        for (int column = 0; column < 200; ++column)
            probe.SetColumnWidth(QStringLiteral("09"), QStringLiteral("0"), QString::number(column), column);
        const QString path = probe.GetPath();
        ASSERT_TRUE(probe.Save());
        size = QFileInfo(path).size();
    }
    for (const DiskFullCase& full : kDiskFullCases) {
        const QString folder = folderWith(original);
        CDialogSetup store(folder);
        ASSERT_TRUE(store.OpenFile(kFile));
        for (int column = 0; column < 200; ++column)
            store.SetColumnWidth(QStringLiteral("09"), QStringLiteral("0"), QString::number(column), column);
        QString error;
        bool saved = true;
        {
            FileSizeLimit limit(full.Limit(size));
            if (!limit.Active())
                GTEST_SKIP() << "no file-size limit can be set here";
            saved = store.Save(&error);
        }
        EXPECT_FALSE(saved) << full.name;
        EXPECT_FALSE(error.isEmpty()) << full.name;
        EXPECT_EQ(readBytes(QDir(folder).filePath(kFile)), original) << full.name;
        EXPECT_EQ(QDir(folder).entryList(QDir::Files), QStringList{kFile}) << full.name;
    }
    CDialogSetup other(TestEnvironment::NewFolder("gone"));
    ASSERT_TRUE(other.OpenFile(kFile));
    ASSERT_TRUE(QDir(QFileInfo(other.GetPath()).path()).removeRecursively());
    QString error;
    EXPECT_FALSE(other.Save(&error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_TRUE(other.Save()) << "a second Save writes nothing";
    EXPECT_TRUE(boxes.Requests().empty()) << "the store itself shows nothing";
}

TEST(CDialogSetup, DeclaredEncodingsSurviveTheRoundTrip)
{
    RecordingPresenter boxes;
    QByteArray latin1("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<dialogsetup><note>Gr\xFC\xDF" "e</note>"
                      "<dialog id=\"01\"><grid id=\"0\" rowheight=\"19\"/></dialog></dialogsetup>");
    const QString folder = folderWith(latin1);
    {
        CDialogSetup store(folder);
        ASSERT_TRUE(store.OpenFile(kFile));
        store.Save();
    }
    const QByteArray saved = readBytes(QDir(folder).filePath(kFile));
    EXPECT_TRUE(saved.startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>")) << saved.toStdString();
    EXPECT_TRUE(saved.contains(QString::fromUtf8("Grüße").toUtf8()));
    CDialogSetup again(folder);
    ASSERT_TRUE(again.OpenFile(kFile));
    EXPECT_EQ(again.GetRowHeight(QStringLiteral("01"), QStringLiteral("0"), false), 19);
}

// Nesting that the format never has does not make reading or saving
// recurse into it; nesting far beyond it is refused as damaged instead of
// keeping the start busy for minutes.
TEST(CDialogSetup, DeeplyNestedFilesAreHandledSafely)
{
    auto nested = [](int depth) {
        QByteArray content("<dialogsetup><dialog id=\"01\"><grid id=\"0\" headerheight=\"9\"/>");
        for (int i = 0; i < depth; ++i)
            content += "<dialog id=\"01\"><grid id=\"0\">\n";
        for (int i = 0; i < depth; ++i)
            content += "</grid></dialog>";
        return content + "</dialog></dialogsetup>";
    };
    RecordingPresenter boxes;
    const QString folder = folderWith(nested(120));
    {
        CDialogSetup store(folder);
        ASSERT_TRUE(store.OpenFile(kFile));
        EXPECT_EQ(store.GetRowHeight(QStringLiteral("01"), QStringLiteral("0"), true), 9);
        EXPECT_TRUE(store.SetRowHeight(QStringLiteral("01"), QStringLiteral("0"), false, 4));
        store.Save();
    }
    EXPECT_EQ(parse(QDir(folder).filePath(kFile)).elementsByTagName(QStringLiteral("grid")).count(), 121);

    const QByteArray hostile = nested(100000);
    const QString hostileFolder = folderWith(hostile);
    CDialogSetup store(hostileFolder);
    EXPECT_FALSE(store.OpenFile(kFile));
    const auto requests = boxes.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_TRUE(requests[0].text.contains(QStringLiteral(" in Zeile: 128. ")));
    EXPECT_TRUE(requests[0].text.endsWith(QStringLiteral("elements nested more than 256 levels deep")));
    EXPECT_EQ(readBytes(QDir(hostileFolder).filePath(kFile)), hostile);
}
