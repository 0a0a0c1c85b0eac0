#include "FileCommandFixture.h"
#include "TestWait.h"

#include "CCsvFormat.h"
#include "CDataProgressDlg.h"
#include "CImportDataDlg.h"
#include "CImportErrorDlg.h"
#include "ShellTestSupport.h"
#include "FileSizeLimit.h"
#include "TestShots.h"

#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QRadioButton>

#include <QPushButton>
#include <QTimer>

#include <thread>

namespace {

const QStringList kReadersAndSchema = {
    // Two readers share the name "Tor": the first one counts.
    "INSERT INTO tblLeser (ID_Leser, strBezeichnung, strLeserTyp) VALUES (1,'Tor','Kite'),(2,'Halle','Heron'),"
    "(3,'Keller','Egret'),(4,'Tor','Kite')",
    "INSERT INTO tblZeitschema (ID_Zeitschema, strBezeichnung, strVon, strBis) VALUES (5,'Nacht','2000','0600'),"
    "(6,'Nacht','0000','0000'),(7,'Nacht','0000','0000'),(8,'Nacht','0000','0000')",
};

} // namespace

class CCsvImportTest : public FileCommandFixture
{
protected:
    // Imports the text (written as code page 1252 with CR LF unless given
    // as bytes) and returns ImportCsv's result; the error dialog's lines, in
    // the order it shows them, land in m_errorLines.
    int Import(int choice, const QStringList& lines)
    {
        QByteArray bytes;
        for (const QString& line : lines)
            bytes += CCsvFormat::EncodeLine(line);
        return ImportBytes(choice, bytes);
    }
    int ImportBytes(int choice, const QByteArray& bytes)
    {
        const QString path = m_files + QStringLiteral("/in%1.csv").arg(++m_fileCount);
        WriteBytes(path, bytes);
        return ImportFile(choice, path);
    }
    int ImportFile(int choice, const QString& path)
    {
        Choose(path);
        m_errorLines.clear();
        m_errorEntries.clear();
        ModalDriver driver([this](QWidget* dialog) {
            if (auto* errors = qobject_cast<CImportErrorDlg*>(dialog)) {
                for (int i = 0; i < errors->List()->count(); ++i) {
                    // Each entry is the line, then its reason in brackets.
                    const QString entry = errors->List()->item(i)->text();
                    m_errorEntries << entry;
                    m_errorLines << entry.left(entry.lastIndexOf(QStringLiteral("   (")));
                }
                if (!m_shot.isEmpty())
                    errors->grab().save(TestShots("data") + m_shot);
                m_errorDialogs++;
                errors->accept();
            }
        });
        const int result = m_app->GetMainFrame()->ImportCsv(choice);
        ExpectIdle();
        EXPECT_TRUE(ProgressWindows().isEmpty()) << "the progress window is gone";
        return result;
    }

    static QList<CDataProgressDlg*> ProgressWindows()
    {
        QList<CDataProgressDlg*> found;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* p = qobject_cast<CDataProgressDlg*>(w); p && p->isVisible())
                found << p;
        }
        return found;
    }

    // number|person|schema|reader list|update mark, in key order.
    QStringList Transponders()
    {
        return Rows("SELECT t.strTransponderNummer, COALESCE(p.strName,'-'), t.Zeitfenster_ID, t.strLeser_IDS,"
                    " t.boolUpdateOK FROM tblTransponder t LEFT JOIN tblPerson p ON p.ID_Person = t.Person_ID"
                    " ORDER BY t.ID_Transponder");
    }
    // name|number of the linked transponder, in key order.
    QStringList Persons()
    {
        return Rows("SELECT p.strName, COALESCE(t.strTransponderNummer,'-') FROM tblPerson p LEFT JOIN"
                    " tblTransponder t ON t.ID_Transponder = p.Transponder_ID ORDER BY p.ID_Person");
    }
    // Every link is kept on both sides.
    void ExpectLinksAgree()
    {
        EXPECT_EQ(Rows("SELECT COUNT(*) FROM tblTransponder t JOIN tblPerson p ON p.ID_Person = t.Person_ID"
                       " WHERE p.Transponder_ID <> t.ID_Transponder"),
                  QStringList({"0"}));
    }

    QStringList m_errorLines;
    QStringList m_errorEntries;
    // The error dialog's picture goes to this file when set.
    QString m_shot;
    int m_errorDialogs = 0;
    int m_fileCount = 0;
};

TEST_F(CCsvImportTest, BadLinesAreAskedAboutAndRecordsNumberedByAcceptedLines)
{
    Start();
    // Yes skips a bad line; reading goes on.
    m_defaultAnswer = QMessageBox::Yes;
    EXPECT_EQ(Import(1, {"Event;0000000009;x;y", "", "Transponder;0000000001;---;Vollzugriff",
                         "Transponders;0000000002;---", "Transponder;0000000003", "Person;Anna;0000000004",
                         "Transponder;0000000005;Bert"}),
              1);
    // The questions name the file's lines 1, 2, 5 and 6.
    ASSERT_EQ(m_messages.size(), 4);
    EXPECT_EQ(m_messages[0], Language()->GetLangItem(94, 1) + "\n" + Text(95));
    EXPECT_EQ(m_messages[1], Language()->GetLangItem(94, 2) + "\n" + Text(95));
    EXPECT_EQ(m_messages[2], Language()->GetLangItem(94, 5) + "\n" + Text(95));
    EXPECT_EQ(m_messages[3], Language()->GetLangItem(94, 6) + "\n" + Text(95));
    // "Transponders;" passes the prefix test, loses twelve characters, and
    // then fails on its number: the second accepted line.
    EXPECT_EQ(m_errorLines, QStringList({"Nr.: 2 -> ;0000000002;---"}));
    EXPECT_EQ(Transponders(), QStringList({"0000000001|-|1||1", "0000000005|Bert|1||1"}));
    ExpectLinksAgree();
    // The wait cursor gave way to the normal one over every box.
    for (Qt::CursorShape shape : m_cursorsDuringBoxes)
        EXPECT_EQ(shape, Qt::ArrowCursor);
}

TEST_F(CCsvImportTest, AFileOfEveryKindOfBadLineWritesOnlyTheValidRecords)
{
    Sql({"INSERT INTO tblLeser (strBezeichnung, strLeserTyp) VALUES ('Tor','Kite')",
         "INSERT INTO tblTransponder (strTransponderNummer, Zeitfenster_ID) VALUES ('00000000FF',1)"});
    Start();
    QByteArray file;
    for (const QByteArray& line : {
             // Not lines of this import: asked about, then skipped.
             QByteArray(""), QByteArray("Nummer;Person;Zeitschema"), QByteArray("Event;0000000001;x;y;1;2;a;b;c;d"),
             QByteArray("Transponder;0000000001"), QByteArray("\0\x01\xFF" "binary", 9),
             QByteArray("Person;Anna;0000000002"), QByteArray("\xEF\xBB\xBFTransponder;0000000004;---"),
             // Records that fail their checks: in the error list.
             QByteArray("Transponders;0000000003;---"), QByteArray("Transponder;;---"),
             QByteArray("Transponder;12345;---"), QByteArray("Transponder;0123456789AB;---"),
             QByteArray("Transponder;XYZ4567890;---"), QByteArray("Transponder;0000000010;---;Unbekannt"),
             QByteArray("Transponder;0000000011;---;"), "Transponder;0000000012;" + QByteArray(300, 'n'),
             QByteArray("Transponder;00000000ff;---"), QByteArray("Transponder;0000000020;---"),
             QByteArray("Transponder;0000000020;---"),
             // Valid, with readers that name nothing and fields too many.
             QByteArray("Transponder;0000000021;Anna;Vollzugriff;Nirgendwo;;"),
             QByteArray("Transponder;0000000022;---;Vollzugriff;Tor;Tor;x;y;z"),
             QByteArray("Transponder;0000000023;J\xF6rg;Full access")})
        file += line + "\r\n";
    m_defaultAnswer = QMessageBox::Yes;
    EXPECT_EQ(ImportBytes(1, file), 1);
    EXPECT_EQ(m_messages.size(), 7) << "one question per line that is not a transponder line";
    EXPECT_EQ(m_errorLines, QStringList({"Nr.: 1 -> ;0000000003;---", "Nr.: 11 -> 0000000020;---",
                                         "Nr.: 2 -> ;---", "Nr.: 3 -> 12345;---", "Nr.: 4 -> 0123456789AB;---",
                                         "Nr.: 5 -> XYZ4567890;---", "Nr.: 6 -> 0000000010;---;Unbekannt",
                                         "Nr.: 7 -> 0000000011;---;", "Nr.: 8 -> 0000000012;" + QString(300, u'n'),
                                         "Nr.: 9 -> 00000000ff;---"}));
    EXPECT_EQ(Transponders(), QStringList({"00000000FF|-|1||0", "0000000020|-|1||1", "0000000021|Anna|1||1",
                                           "0000000022|-|1|1;|1", QString::fromUtf8("0000000023|Jörg|1||1")}));
    ExpectLinksAgree();
}

TEST_F(CCsvImportTest, NoStopsReadingButWritesTheLinesBeforeIt)
{
    Start();
    Answer(QMessageBox::No);
    EXPECT_EQ(Import(1, {"Transponder;0000000001;---", "garbage", "Transponder;0000000002;---"}), 1);
    EXPECT_EQ(Transponders(), QStringList({"0000000001|-|1||1"}));
    EXPECT_EQ(m_errorDialogs, 0);
}

TEST_F(CCsvImportTest, NumbersAreCheckedAlwaysAndNeverStoredTwice)
{
    Start();
    // An empty table checks as strictly as a full one.
    EXPECT_EQ(Import(1, {"Transponder;;---", "Transponder;ABC;---", "Transponder;12345678901;---",
                         "Transponder;XYZ4567890;---", "Transponder;0123456789;---"}),
              1);
    EXPECT_EQ(Transponders(), QStringList({"0123456789|-|1||1"}));
    EXPECT_EQ(m_errorLines.size(), 4);

    // In the database, twice in the file, and once in another case.
    EXPECT_EQ(Import(1, {"Transponder;0123456789;---", "Transponder;00000000ab;---", "Transponder;00000000AB;---",
                         "Transponder;00000000cd;---"}),
              1);
    EXPECT_EQ(Transponders(), QStringList({"0123456789|-|1||1", "00000000AB|-|1||1", "00000000CD|-|1||1"}));
    EXPECT_EQ(m_errorLines, QStringList({"Nr.: 1 -> 0123456789;---", "Nr.: 3 -> 00000000AB;---"}));
}

TEST_F(CCsvImportTest, ANumberAnotherPcStoredMeanwhileIsADuplicateToo)
{
    Start();
    // Stored by another PC after this program read its cache.
    Sql({"INSERT INTO tblTransponder (ID_Transponder, strTransponderNummer, Zeitfenster_ID) VALUES (7, '0000000042', 1)"});
    EXPECT_EQ(Import(1, {"Transponder;0000000042;---", "Transponder;0000000043;---"}), 1);
    EXPECT_EQ(Rows("SELECT strTransponderNummer FROM tblTransponder ORDER BY ID_Transponder"),
              QStringList({"0000000042", "0000000043"}));
    EXPECT_EQ(m_errorLines, QStringList({"Nr.: 1 -> 0000000042;---"}));
}

TEST_F(CCsvImportTest, APersonMovesToTheNewTransponderAndLinksUseTheNewKeys)
{
    Sql({"INSERT INTO tblPerson (ID_Person, strName, Transponder_ID) VALUES (5,'Anna',3)",
         "INSERT INTO tblTransponder (ID_Transponder, strTransponderNummer, Person_ID, Zeitfenster_ID) VALUES"
         " (3,'00000000A1',5,1)"});
    Start();
    EXPECT_EQ(Import(1, {"Transponder;00000000A2;Anna;Vollzugriff", "Transponder;00000000A3;Zoe;Vollzugriff",
                         "Transponder;00000000A4;Zoe;Vollzugriff"}),
              1);
    // Anna's old row went; one Zoe, on the later transponder.
    EXPECT_EQ(Persons(), QStringList({"Anna|00000000A2", "Zoe|00000000A4"}));
    EXPECT_EQ(Transponders(), QStringList({"00000000A1|-|1||0", "00000000A2|Anna|1||1", "00000000A3|-|1||1",
                                           "00000000A4|Zoe|1||1"}));
    ExpectLinksAgree();
    // The deleted person's key is never given again.
    EXPECT_TRUE(Rows("SELECT ID_Person FROM tblPerson WHERE ID_Person = 5").isEmpty());
    EXPECT_EQ(Rows("SELECT Person_ID FROM tblTransponder WHERE ID_Transponder = 3"), QStringList({"5"}));
    // The caches show what the database holds.
    EXPECT_EQ(Db()->Get_Ptr_To_tblTransponder()->GetAnz_Transponder(), 4);
    EXPECT_EQ(Db()->Get_Ptr_To_tblPerson()->GetAnz_Person(), 2);
}

TEST_F(CCsvImportTest, ReadersAndSchemasAreFoundByNameAndAnUnknownSchemaRejectsTheLine)
{
    Sql(kReadersAndSchema);
    Start();
    EXPECT_EQ(Import(1, {"Transponder;0000000001;---;Nacht;Keller;;Tor;Unbekannt;Tor",
                         "Transponder;0000000002;---;Full access;Halle", "Transponder;0000000003;---;Vollzugriff",
                         "Transponder;0000000004;---", "Transponder;0000000005;---;Tag;Halle",
                         "Transponder;0000000006;---;;Halle"}),
              1);
    EXPECT_EQ(Transponders(), QStringList({"0000000001|-|5|3;1;|1", "0000000002|-|1|2;|1", "0000000003|-|1||1",
                                           "0000000004|-|1||1"}));
    EXPECT_EQ(m_errorLines, QStringList({"Nr.: 5 -> 0000000005;---;Tag;Halle", "Nr.: 6 -> 0000000006;---;;Halle"}));
    // Readers named by written lines are marked for the next transfer.
    EXPECT_EQ(Rows("SELECT ID_Leser, boolUpdateOK FROM tblLeser ORDER BY ID_Leser"),
              QStringList({"1|1", "2|1", "3|1", "4|0"}));
}

TEST_F(CCsvImportTest, PersonLinesReplaceTransponderRowsAndRejectDuplicateNames)
{
    Sql(kReadersAndSchema);
    Sql({"INSERT INTO tblPerson (ID_Person, strName, Transponder_ID) VALUES (1,'Alt',1)",
         "INSERT INTO tblTransponder (ID_Transponder, strTransponderNummer, Person_ID, Zeitfenster_ID,"
         " strLeser_IDS) VALUES (1,'0000000001',1,1,'1;')"});
    Start();
    EXPECT_EQ(Import(2, {"Person;Neu;0000000001;Nacht;Halle", "Person;---;0000000002;Vollzugriff;Keller",
                         "Person;", "Person;Ohne;", "Person;---;", "Person;Neu;0000000003",
                         "Person;Kaputt;12345", "PersonX;0000000004"}),
              1);
    // "PersonX;" loses seven characters: an empty name and a number remain.
    EXPECT_EQ(Transponders(), QStringList({"0000000001|Neu|5|2;|1", "0000000002|-|1|3;|1", "0000000004|-|1||1"}));
    EXPECT_EQ(Persons(), QStringList({"Alt|-", "Neu|0000000001", "Ohne|-"}));
    ExpectLinksAgree();
    EXPECT_EQ(m_errorLines, QStringList({"Nr.: 3 -> ", "Nr.: 5 -> ---;", "Nr.: 6 -> Neu;0000000003",
                                         "Nr.: 7 -> Kaputt;12345"}));
}

TEST_F(CCsvImportTest, AFailingWriteUndoesTheWholeImportAndSaysSo)
{
    Sql(Refusal("boom", "INSERT", "tblPerson", "NEW.strName = 'BOOM'", "injected failure"));
    Start();
    EXPECT_EQ(Import(1, {"Transponder;0000000001;Anna", "Transponder;0000000002;BOOM",
                         "Transponder;0000000003;Cem"}),
              1);
    EXPECT_TRUE(Transponders().isEmpty());
    EXPECT_TRUE(Persons().isEmpty());
    ASSERT_EQ(m_messages.size(), 1);
    EXPECT_TRUE(m_messages[0].contains("injected failure"));
    EXPECT_TRUE(m_messages[0].endsWith(Text(252)));
    EXPECT_EQ(m_icons[0], QMessageBox::Warning);
    EXPECT_EQ(Db()->Get_Ptr_To_tblTransponder()->GetAnz_Transponder(), 0);
    // The database is usable afterwards.
    EXPECT_EQ(Import(1, {"Transponder;0000000001;Anna"}), 1);
    EXPECT_EQ(Transponders(), QStringList({"0000000001|Anna|1||1"}));
}

TEST_F(CCsvImportTest, AReaderThatCannotBeMarkedFailsTheImport)
{
    Sql(kReadersAndSchema);
    Sql(Refusal("stuck", "UPDATE", "tblLeser", "", "reader locked"));
    Start();
    Choose(m_files + "/r.csv");
    WriteBytes(m_files + "/r.csv", "Transponder;0000000001;---;Vollzugriff;Halle\r\n");
    ModalDriver driver([](QWidget* dialog) {
        if (auto* choice = qobject_cast<CImportDataDlg*>(dialog))
            choice->accept();
    });
    m_app->GetMainFrame()->OnCommand(CMainFrame::ID_CSV_IMPORT);
    EXPECT_TRUE(Transponders().isEmpty());
    ASSERT_EQ(m_messages.size(), 2);
    EXPECT_TRUE(m_messages[0].contains("reader locked"));
    EXPECT_EQ(m_messages[1], Text(92));
    ExpectIdle();
}

TEST_F(CCsvImportTest, AnOldRowThatCannotBeDeletedIsReportedAndTheLineGoesOn)
{
    Sql({"INSERT INTO tblPerson (strName) VALUES ('Anna')"});
    Sql(Refusal("keep", "DELETE", "tblPerson", "", "kept"));
    Start();
    EXPECT_EQ(Import(1, {"Transponder;0000000001;Anna"}), 1);
    ASSERT_EQ(m_messages.size(), 1);
    EXPECT_TRUE(m_messages[0].contains("kept"));
    EXPECT_EQ(Persons(), QStringList({"Anna|-", "Anna|0000000001"}));
}

TEST_F(CCsvImportTest, WithoutAnOnlineRowOrAReadableFileNothingIsRead)
{
    Sql({"DELETE FROM tblOnline"});
    Start();
    EXPECT_EQ(Import(1, {"Transponder;0000000001;---"}), 1);
    EXPECT_EQ(m_messages, QStringList({Text(93)}));
    EXPECT_TRUE(Transponders().isEmpty());

    Exec("INSERT INTO tblOnline (strOnline) VALUES ('1')");
    Choose(m_files + "/does-not-exist.csv");
    EXPECT_EQ(m_app->GetMainFrame()->ImportCsv(1), 0);
    ExpectIdle();
    // Cancelling the dialog is no failure.
    Choose("");
    EXPECT_EQ(m_app->GetMainFrame()->ImportCsv(2), 1);
    EXPECT_EQ(m_requests.back().title, "CSV Daten importieren ...");
    EXPECT_EQ(m_requests.back().filter, "CSV Dateien (*.csv)");
    EXPECT_FALSE(m_requests.back().save);
}

TEST_F(CCsvImportTest, Windows1252NamesMatchAndLineEndsDoNotMatter)
{
    Sql({QString::fromUtf8("INSERT INTO tblPerson (strName) VALUES ('Jörg Weiß')")});
    Start();
    EXPECT_EQ(ImportBytes(1, "Transponder;0000000001;J\xF6rg Wei\xDF\n"
                             "Transponder;0000000002;Zo\xEB\r\n"
                             "Transponder;0000000003;\x80uro"),
              1);
    EXPECT_EQ(Persons(), QStringList({QString::fromUtf8("Jörg Weiß|0000000001"), QString::fromUtf8("Zoë|0000000002"),
                                      QString::fromUtf8("€uro|0000000003")}));
    EXPECT_EQ(Import(1, {QString(300, u'x').prepend("Transponder;0000000009;")}), 1);
    EXPECT_EQ(m_errorLines.size(), 1) << "a name longer than a text column holds";
}

TEST_F(CCsvImportTest, AFileSavedAsUtf8WithAMarkOrWithCrLineEndsReadsEveryLineAsWritten)
{
    Start();
    EXPECT_EQ(ImportBytes(1, "\xEF\xBB\xBFTransponder;0000000001;J\xC3\xB6rg\r\n"
                             "Transponder;0000000002;Zo\xC3\xAB\r\n"),
              1);
    EXPECT_EQ(Persons(), QStringList({QString::fromUtf8("Jörg|0000000001"), QString::fromUtf8("Zoë|0000000002")}));
    EXPECT_TRUE(m_errorLines.isEmpty()) << m_errorLines.join('\n').toStdString();
    EXPECT_EQ(ImportBytes(1, "Transponder;0000000003;Ann\rTransponder;0000000004;Bo\r"), 1);
    EXPECT_TRUE(m_errorLines.isEmpty()) << m_errorLines.join('\n').toStdString();
    EXPECT_EQ(Persons().mid(2), QStringList({"Ann|0000000003", "Bo|0000000004"}));
}

TEST_F(CCsvImportTest, ExportThenImportRestoresTheRecordsInBothLanguages)
{
    Sql(kReadersAndSchema);
    const QStringList original = {
        "INSERT INTO tblPerson (ID_Person, strName, Transponder_ID) VALUES (1,'Anna',1),(2,'Bert',0),(3,'Cem',2)",
        "INSERT INTO tblTransponder (ID_Transponder, strTransponderNummer, Person_ID, Zeitfenster_ID, strLeser_IDS)"
        " VALUES (1,'0000000001',1,5,'1;3;'),(2,'0000000002',3,1,'2'),(3,'0000000003',0,1,'')"};
    Sql(original);
    Start();
    auto wipe = [this] {
        Exec("DELETE FROM tblTransponder");
        Exec("DELETE FROM tblPerson");
    };
    auto requery = [this] {
        Db()->Get_Ptr_To_tblTransponder()->_Requery();
        Db()->Get_Ptr_To_tblPerson()->_Requery();
    };
    // Transponders with their person, schema and readers; persons with
    // their transponder's. Reader lists compare as sets, whatever their form.
    const QString transponderQuery =
        "SELECT t.strTransponderNummer, COALESCE(p.strName,'-'), t.Zeitfenster_ID, t.strLeser_IDS"
        " FROM tblTransponder t LEFT JOIN tblPerson p ON p.ID_Person = t.Person_ID ORDER BY 1";
    const QString personQuery =
        "SELECT p.strName, COALESCE(t.strTransponderNummer,'-'), COALESCE(CAST(t.Zeitfenster_ID AS TEXT),'-'),"
        " COALESCE(t.strLeser_IDS,'') FROM tblPerson p LEFT JOIN tblTransponder t"
        " ON t.ID_Transponder = p.Transponder_ID ORDER BY 1";
    auto records = [this](const QString& query) {
        QStringList rows = Rows(query);
        for (QString& row : rows) {
            QStringList parts = row.split('|');
            QStringList readers = parts[3].split(';', Qt::SkipEmptyParts);
            readers.sort();
            parts[3] = readers.join(',');
            row = parts.join('|');
        }
        return rows;
    };
    const QStringList transpondersBefore = records(transponderQuery);
    const QStringList personsBefore = records(personQuery);
    ASSERT_EQ(transpondersBefore.size(), 3);
    ASSERT_EQ(personsBefore.size(), 3);

    for (int language : {0, 1}) {
        if (language == 1)
            m_app->GetMainFrame()->OnCommand(CMainFrame::ID_LANGUAGE_ENGLISH);
        for (int kind : {1, 2}) {
            wipe();
            for (const QString& sql : original)
                Exec(sql);
            requery();
            const QString file = m_files + QStringLiteral("/round%1%2.csv").arg(language).arg(kind);
            Choose(file);
            ASSERT_EQ(m_app->GetMainFrame()->ExportCsv(kind), 1);

            // Into the same database: every record is there already.
            ASSERT_EQ(ImportBytes(kind, ReadBytes(file)), 1);
            EXPECT_EQ(m_errorLines.size(), 3) << "language " << language << " kind " << kind;

            wipe();
            requery();
            ASSERT_EQ(ImportBytes(kind, ReadBytes(file)), 1);
            EXPECT_TRUE(m_errorLines.isEmpty());
            const QString query = kind == 1 ? transponderQuery : personQuery;
            EXPECT_EQ(records(query), kind == 1 ? transpondersBefore : personsBefore)
                << "language " << language << " kind " << kind;
            ExpectLinksAgree();
        }
    }
    EXPECT_TRUE(ReadBytes(m_files + "/round11.csv").contains("Full access"));
    EXPECT_TRUE(ReadBytes(m_files + "/round01.csv").contains("Vollzugriff"));
}

TEST_F(CCsvImportTest, TheProgressWindowShowsWhileTheFileIsRead)
{
    Start();
    QStringList seen;
    m_presenter.Set([&](const CUiMessage::Request&) {
        for (CDataProgressDlg* p : ProgressWindows()) {
            seen << p->GetTextControl()->text();
            EXPECT_FALSE(p->GetProgressCtrl()->isVisible());
            Screenshot(*p, "import-progress");
        }
        return QMessageBox::Yes;
    });
    EXPECT_EQ(Import(1, {"bad", "Transponder;0000000001;---"}), 1);
    EXPECT_EQ(seen, QStringList({"\n" + Text(234) + "\n" + Text(104)}));
}

TEST_F(CCsvImportTest, TheErrorListSortsAsTextAndAllowsNoSelection)
{
    Start();
    QStringList errors;
    for (int i = 1; i <= 12; ++i)
        errors << QStringLiteral("Nr.: %1 -> x").arg(i);
    CImportErrorDlg dialog(Language(), &errors);
    ASSERT_EQ(dialog.List()->count(), 12);
    EXPECT_EQ(dialog.List()->item(0)->text(), "Nr.: 1 -> x");
    EXPECT_EQ(dialog.List()->item(1)->text(), "Nr.: 10 -> x");
    EXPECT_EQ(dialog.List()->item(4)->text(), "Nr.: 2 -> x");
    EXPECT_EQ(dialog.List()->selectionMode(), QAbstractItemView::NoSelection);
    EXPECT_EQ(dialog.windowTitle(), Text(98));
    EXPECT_EQ(dialog.findChild<QLabel*>("1032")->text(), Text(99) + "\n" + Text(100));
    dialog.show();
    TestWait::Settle();
    Screenshot(dialog, "import-errors");

    CImportDataDlg choice(Language());
    EXPECT_EQ(choice.GetChoice(), 1);
    EXPECT_TRUE(choice.Radio(1)->isChecked());
    choice.Radio(2)->click();
    EXPECT_EQ(choice.GetChoice(), 2);
    EXPECT_EQ(choice.windowTitle(), Text(91));
    choice.show();
    TestWait::Settle();
    Screenshot(choice, "import-choice");
}

// Every name an operator can type goes out and comes back as it was, on
// every data source: letters of any script, quotes, the separator, line
// breaks, a name as long as a text column holds. The file stays code page
// 1252 while every name fits it, else it is UTF-8 with its mark.
TEST_F(CCsvImportTest, ExportAndImportKeepEveryNameExactly)
{
    const QStringList names = {
        QString::fromUtf8("Jörg Weiß-Müller"), QString::fromUtf8("Zażółć Gęślą"), QString::fromUtf8("Зоя Иванова"),
        QString::fromUtf8("Ελένη Παπαδοπούλου"), QString::fromUtf8("Anna 😀"), "O'Brien \"Bob\"", "\"Quoted\"",
        "Semi;colon;", "Two\r\nlines", "Line\nfeed", QString(255, u'x'), "trailing ", ";", "\"", ""};
    Sql({QString::fromUtf8("INSERT INTO tblLeser (ID_Leser, strBezeichnung, strLeserTyp) VALUES (1,'Tor;Nord','Kite'),"
                           "(2,'Halle \"B\"','Heron')"),
         QString::fromUtf8("INSERT INTO tblZeitschema (ID_Zeitschema, strBezeichnung, strVon, strBis) VALUES"
                           " (5,'Früh; spät','0600','1000'),(6,'Früh; spät','0000','0000'),"
                           "(7,'Früh; spät','0000','0000'),(8,'Früh; spät','0000','0000')")});
    Start();
    auto fill = [&](const QStringList& persons) {
        Exec("DELETE FROM tblTransponder");
        Exec("DELETE FROM tblPerson");
        for (int i = 0; i < persons.size(); ++i) {
            QSqlQuery query(Db()->GetDatabase()->Connection());
            query.prepare(Dialect("INSERT INTO tblPerson (ID_Person, strName, Transponder_ID) VALUES (?, ?, ?)"));
            query.addBindValue(i + 1);
            query.addBindValue(persons[i]);
            query.addBindValue(i + 1);
            ASSERT_TRUE(query.exec()) << query.lastError().text().toStdString();
            query.prepare(Dialect("INSERT INTO tblTransponder (ID_Transponder, strTransponderNummer, Person_ID,"
                                  " Zeitfenster_ID, strLeser_IDS) VALUES (?, ?, ?, ?, ?)"));
            query.addBindValue(i + 1);
            query.addBindValue(QStringLiteral("%1").arg(i + 1, 10, 10, QLatin1Char('0')));
            query.addBindValue(i + 1);
            query.addBindValue(i % 2 ? 5 : 1);
            query.addBindValue(i % 2 ? QStringLiteral("1;2;") : QStringLiteral("2;"));
            ASSERT_TRUE(query.exec()) << query.lastError().text().toStdString();
        }
        if (Postgres()) {
            QSqlQuery follow(Db()->GetDatabase()->Connection());
            for (const QString& sql : TestEnvironment::PostgresFollowKeys(
                     {"INSERT INTO tblPerson (ID_Person) VALUES (1)", "INSERT INTO tblTransponder (ID_Transponder) VALUES (1)"}))
                ASSERT_TRUE(follow.exec(sql)) << follow.lastError().text().toStdString();
        }
        Db()->Get_Ptr_To_tblTransponder()->_Requery();
        Db()->Get_Ptr_To_tblPerson()->_Requery();
    };
    const QString query = "SELECT t.strTransponderNummer, p.strName, t.Zeitfenster_ID, t.strLeser_IDS FROM tblTransponder t"
                          " JOIN tblPerson p ON p.ID_Person = t.Person_ID ORDER BY 1";
    // An empty name is no person on the way back.
    QStringList stored = names;
    stored.removeAll(QString());
    for (int kind : {1, 2}) {
        fill(stored);
        QStringList before = Rows(query);
        for (QString& row : before)
            row.replace("2;1;", "1;2;");
        const QString file = m_files + QStringLiteral("/names%1.csv").arg(kind);
        Choose(file);
        ASSERT_EQ(m_app->GetMainFrame()->ExportCsv(kind), 1);
        const QByteArray bytes = ReadBytes(file);
        EXPECT_TRUE(bytes.startsWith("\xEF\xBB\xBF")) << "names outside code page 1252 make the file UTF-8";
        EXPECT_FALSE(bytes.contains('?'));

        Exec("DELETE FROM tblTransponder");
        Exec("DELETE FROM tblPerson");
        Db()->Get_Ptr_To_tblTransponder()->_Requery();
        Db()->Get_Ptr_To_tblPerson()->_Requery();
        ASSERT_EQ(ImportBytes(kind, bytes), 1);
        EXPECT_TRUE(m_errorEntries.isEmpty()) << m_errorEntries.join('\n').toStdString();
        EXPECT_EQ(m_messages, QStringList()) << "no line is asked about";
        QStringList after = Rows(query);
        for (QString& row : after) {
            QStringList readers = row.section('|', 3).split(';', Qt::SkipEmptyParts);
            readers.sort();
            row = row.section('|', 0, 2) + '|' + readers.join(';') + (readers.isEmpty() ? "" : ";");
        }
        EXPECT_EQ(after, before) << "kind " << kind;
    }

    // Names the code page holds keep the file as peers read it.
    fill({QString::fromUtf8("Jörg"), "Anna \"A\""});
    Choose(m_files + "/plain.csv");
    ASSERT_EQ(m_app->GetMainFrame()->ExportCsv(2), 1);
    EXPECT_EQ(ReadBytes(m_files + "/plain.csv"),
              QByteArray("Person;J\xF6rg;0000000001;Vollzugriff;;Halle \"B\"\r\n"
                         "Person;Anna \"A\";0000000002;\"Fr\xFCh; sp\xE4t\";\"Tor;Nord\";Halle \"B\"\r\n"));
}

// A refused record says which field broke which rule.
TEST_F(CCsvImportTest, ARefusedRecordGivesItsReason)
{
    Sql({"INSERT INTO tblTransponder (strTransponderNummer, Zeitfenster_ID) VALUES ('0000000001',1)",
         "INSERT INTO tblPerson (strName) VALUES ('Anna')"});
    Start();
    const struct
    {
        int kind;
        QString line;
        QString reason;
    } cases[] = {
        {1, "Transponder;12345;---", Text(342).arg("12345")},
        {1, "Transponder;0000000001;---", Text(343).arg("0000000001")},
        {1, "Transponder;0000000002;" + QString(300, u'n'), Text(344).arg(300)},
        {1, "Transponder;0000000003;---;Unbekannt", Text(347).arg("Unbekannt")},
        {2, "Person;Anna;0000000004", Text(345).arg("Anna")},
        {2, "Person;---;", Text(346)},
        {2, "Person;" + QString(256, u'n') + ";0000000005", Text(344).arg(256)},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(Import(c.kind, {c.line}), 1);
        ASSERT_EQ(m_errorEntries.size(), 1) << c.line.toStdString();
        EXPECT_EQ(m_errorEntries[0], "Nr.: 1 -> " + c.line.mid(c.kind == 1 ? 12 : 7) + "   (" + c.reason + ")");
        EXPECT_FALSE(c.reason.isEmpty());
    }
    EXPECT_EQ(Count("tblTransponder"), 1);
    QStringList all;
    for (const auto& c : cases) {
        if (c.kind == 1)
            all << c.line;
    }
    m_shot = "import_error_reasons.png";
    ASSERT_EQ(Import(1, all), 1);
    EXPECT_EQ(m_errorEntries.size(), 4);
}

// The disk full before the first byte and during the growth of the file:
// the whole import is undone with a message, and the database goes on.
TEST_F(CCsvImportTest, AFullDiskUndoesTheImportAndKeepsTheDatabaseUsable)
{
    if (Postgres())
        GTEST_SKIP() << "a database server writes its own files";
    // Through the SQLite ODBC driver a full disk ends the transaction inside
    // SQLite while the driver goes on as if it were open, so the rows written
    // after it are kept; the record-set layer cannot see that yet.
    if (Odbc())
        GTEST_SKIP() << "the SQLite ODBC driver loses its transaction on a full disk";
    Start();
    QStringList lines;
    QByteArray bytes;
    for (int i = 1; i <= 3000; ++i) {
        lines << QStringLiteral("Transponder;%1;Person %1 with a longer name").arg(i, 10, 10, QLatin1Char('0'));
        bytes += CCsvFormat::EncodeLine(lines.back());
    }
    const QString file = m_files + "/many.csv";
    WriteBytes(file, bytes);
    for (const DiskFullCase& full : kDiskFullCases) {
        m_messages.clear();
        CRegistryKey::ResetFailureReport();
        const qint64 size = QFileInfo(DatabaseFile()).size();
        int result = 0;
        {
            // The database may not grow; at the first byte not even its journal is written.
            FileSizeLimit limit(full.atFirstByte ? 0 : rlim_t(size));
            if (!limit.Active())
                GTEST_SKIP() << "no file-size limit can be set here";
            result = ImportFile(1, file);
        }
        EXPECT_EQ(result, 1) << full.name;
        ASSERT_FALSE(m_messages.isEmpty()) << full.name;
        EXPECT_TRUE(m_messages.last().endsWith(Text(252))) << full.name << ": " << m_messages.last().toStdString();
        EXPECT_EQ(Count("tblTransponder"), 0) << full.name;
        EXPECT_EQ(Count("tblPerson"), 0) << full.name;
        EXPECT_EQ(Db()->Get_Ptr_To_tblTransponder()->GetAnz_Transponder(), 0) << full.name;
    }
    ASSERT_EQ(Import(1, lines.mid(0, 10)), 1);
    EXPECT_EQ(Count("tblTransponder"), 10);
    EXPECT_EQ(Rows("PRAGMA integrity_check"), QStringList({"ok"}));
}

// The server goes away in the middle of an import and takes no connection
// until it is back: one box says the import was undone; the re-reads that
// follow it do not say it again.
TEST_F(CCsvImportTest, AServerLostDuringAnImportIsSaidOnce)
{
    if (!Postgres())
        GTEST_SKIP() << "a server's connections";
    // Each person waits a moment, so the server goes away mid-import.
    QString error;
    ASSERT_TRUE(TestEnvironment::PostgresExec(
        m_server, {"CREATE FUNCTION slow() RETURNS trigger AS $$ BEGIN PERFORM pg_sleep(0.05); RETURN NEW; END $$ "
                   "LANGUAGE plpgsql",
                   "CREATE TRIGGER slow BEFORE INSERT ON \"tblPerson\" FOR EACH ROW EXECUTE FUNCTION slow()"},
        &error))
        << error.toStdString();
    Start();
    QStringList lines;
    for (int i = 1; i <= 400; ++i)
        lines << QStringLiteral("Transponder;%1;Person %1").arg(i, 10, 10, QLatin1Char('0'));
    std::thread server([this] {
        // Once the import writes its persons.
        TestWait::UntilOnThisThread([this] {
            QString ignored;
            return !TestEnvironment::PostgresRows(
                        QStringLiteral("postgres"),
                        QStringLiteral("SELECT pid FROM pg_stat_activity WHERE datname = '%1' AND query LIKE '%%tblPerson%%'")
                            .arg(m_server),
                        &ignored)
                        .isEmpty();
        });
        TestEnvironment::PostgresExec(QStringLiteral("postgres"),
                                      {QStringLiteral("ALTER DATABASE \"%1\" ALLOW_CONNECTIONS false").arg(m_server)});
        TestEnvironment::DropPostgresConnections(m_server);
    });
    Import(1, lines);
    server.join();
    EXPECT_TRUE(TestEnvironment::PostgresExec(
        QStringLiteral("postgres"), {QStringLiteral("ALTER DATABASE \"%1\" ALLOW_CONNECTIONS true").arg(m_server)}));
    ASSERT_EQ(m_messages.size(), 1) << qPrintable(m_messages.join("\n--\n"));
    EXPECT_TRUE(m_messages[0].endsWith(Text(252)));
    EXPECT_EQ(Count("tblTransponder"), 0);
}

// A large import stays on the UI thread, but its progress window is painted
// and the main window paints on while it runs; a click meanwhile is
// dropped, as under a modal window. QUANDOR_IMPORT_LINES sets the size
// (default 100,000; the picture was taken at 1,000,000).
TEST_F(CCsvImportTest, ALargeImportKeepsTheWindowsPaintingAndDropsInput)
{
    if (Postgres() || Odbc())
        GTEST_SKIP() << "the windows, not the backend";
    Start();
    CMainFrame* frame = m_app->GetMainFrame();
    frame->show();
    const int count = qEnvironmentVariableIsSet("QUANDOR_IMPORT_LINES")
                          ? qEnvironmentVariableIntValue("QUANDOR_IMPORT_LINES")
                          : 100000;
    QByteArray bytes;
    for (int i = 1; i <= count; ++i)
        bytes += CCsvFormat::EncodeLine(QStringLiteral("Transponder;%1;---").arg(QString::number(i, 16).toUpper(), 10, QLatin1Char('0')));
    const QString file = m_files + "/large.csv";
    WriteBytes(file, bytes);

    // Paints of the progress window and of the main window, counted while
    // the import runs.
    struct Paints : QObject {
        int progress = 0;
        int frame = 0;
        QWidget* main = nullptr;
        bool eventFilter(QObject* watched, QEvent* event) override
        {
            if (event->type() == QEvent::Paint) {
                if (qobject_cast<CDataProgressDlg*>(watched))
                    ++progress;
                else if (watched == main)
                    ++frame;
            }
            return false;
        }
    } paints;
    paints.main = frame;
    qApp->installEventFilter(&paints);
    QPushButton probe(QStringLiteral("probe"));
    probe.show();
    int clicked = 0;
    QObject::connect(&probe, &QPushButton::clicked, [&clicked] { ++clicked; });
    int ticks = 0;
    int clickedWhileImporting = 0;
    bool shot = false;
    QTimer ticker;
    ticker.setInterval(20);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const QList<CDataProgressDlg*> progress = ProgressWindows();
        if (progress.isEmpty())
            return;
        ++ticks;
        clickedWhileImporting = clicked;
        frame->update();
        const QPoint centre = probe.rect().center();
        QCoreApplication::postEvent(&probe, new QMouseEvent(QEvent::MouseButtonPress, centre, probe.mapToGlobal(centre),
                                                            Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
        QCoreApplication::postEvent(&probe, new QMouseEvent(QEvent::MouseButtonRelease, centre, probe.mapToGlobal(centre),
                                                            Qt::LeftButton, Qt::NoButton, Qt::NoModifier));
        if (!shot && ticks >= 5 && paints.progress > 0) {
            shot = true;
            progress.first()->grab().save(TestShots("data") + "import-progress.png");
        }
    });
    ticker.start();
    const int before = paints.progress;
    EXPECT_EQ(ImportFile(1, file), 1);
    ticker.stop();
    const int progressPaints = paints.progress - before;
    const int framePaints = paints.frame;
    qApp->removeEventFilter(&paints);
    QCoreApplication::processEvents();

    EXPECT_GT(progressPaints, 0) << "the progress window was painted";
    EXPECT_GE(ticks, 3) << "the event loop ran while the import did";
    EXPECT_GE(framePaints, 2) << "the main window painted on";
    EXPECT_EQ(clickedWhileImporting, 0) << "a click during the import is dropped";
    EXPECT_EQ(Count("tblTransponder"), count) << qPrintable(m_messages.join('|'));
    std::printf("%d lines: %d turns of the event loop, %d paints of the progress window, %d of the main window\n",
                count, ticks, progressPaints, framePaints);
}
