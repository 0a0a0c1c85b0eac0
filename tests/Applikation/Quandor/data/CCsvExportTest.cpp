#include "FileCommandFixture.h"
#include "TestWait.h"

#include "CCsvExportCommand.h"
#include "CCsvExporter.h"
#include "FileSizeLimit.h"
#include "CCsvFormat.h"
#include "CEventsDlg.h"
#include "CExportDataDlg.h"
#include "CGridCtrl.h"
#include "CGridNotifyReceiver.h"
#include "CNameDlg.h"
#include "CTransponderDlg.h"
#include "ShellTestSupport.h"

#include <QPushButton>
#include <algorithm>
#include <QRadioButton>


namespace {

// Five readers A to E (identities 1 to 5), the built-in schema (1) and a
// schema "Nacht" (identity 5).
const QStringList kFiveReaders = {
    "INSERT INTO tblLeser (strBezeichnung, strLeserTyp) VALUES ('A','Kite'),('B','Kite'),('C','Heron'),"
    "('D','Egret'),('E','Kite')",
    "INSERT INTO tblZeitschema (strBezeichnung, strVon, strBis) VALUES ('Nacht','2000','0600'),"
    "('Nacht','0000','0000'),('Nacht','0000','0000'),('Nacht','0000','0000')",
};

// A grid owner answering from a table of texts (row = data row - 1).
class TableOwner : public QObject, public CGridNotifyReceiver
{
public:
    void OnGridDispInfo(GRID_DISPINFO& info) override
    {
        if (info.hdr.code == GRIDN_GETCELLTEXT && info.row > 0)
            info.valueText = rows.value(info.dataRow - 1).value(info.column);
    }
    QList<QStringList> rows;
};

CGridCtrl* addGrid(QWidget* view, TableOwner* owner, const QStringList& titles, const QList<QStringList>& rows)
{
    auto* grid = new CGridCtrl(nullptr, QStringLiteral("05"), QStringLiteral("0"), 0, 0, 0, 0, view);
    grid->SetVirtualMode(true);
    grid->SetOwner(owner);
    grid->SetColumnCount(int(titles.size()));
    grid->SetRowCount(int(rows.size()) + 1);
    grid->SetFixedRowCount(1);
    grid->SetFixedColumnCount(1);
    for (int col = 0; col < titles.size(); ++col)
        grid->SetColumnTitle(col, titles[col]);
    owner->rows = rows;
    return grid;
}

} // namespace

class CCsvExportTest : public FileCommandFixture
{
protected:
    // Exports "choice" into the file "name" and returns the bytes written.
    QByteArray Export(int choice, const QString& name = QStringLiteral("out.csv"))
    {
        Choose(m_files + "/" + name);
        EXPECT_EQ(m_app->GetMainFrame()->ExportCsv(choice), 1);
        ExpectIdle();
        return ReadBytes(m_files + "/" + name);
    }
};

// A list that names reader 5 as "05" names it in the file as on screen: the
// database export, and the current view of both record views, agree.
TEST_F(CCsvExportTest, AReaderNamedWithALeadingZeroIsExportedAsTheViewsShowIt)
{
    Sql(kFiveReaders);
    Sql({"INSERT INTO tblPerson (ID_Person, strName, Transponder_ID) VALUES (1,'Anna',1)",
         "INSERT INTO tblTransponder (ID_Transponder, strTransponderNummer, Person_ID, Zeitfenster_ID, strLeser_IDS)"
         " VALUES (1,'0000000001',1,1,'05')"});
    Start();
    const QByteArray transponder("Transponder;0000000001;Anna;Vollzugriff;;;;;E\r\n");
    const QByteArray person("Person;Anna;0000000001;Vollzugriff;;;;;E\r\n");
    EXPECT_EQ(Export(1, "t.csv"), transponder);
    EXPECT_EQ(Export(2, "p.csv"), person);

    CMainFrame* frame = m_app->GetMainFrame();
    auto* transponders = new CTransponderDlg(m_app->Context());
    frame->ReplaceRightPane(transponders);
    transponders->ShowForReader(5);
    EXPECT_EQ(Export(0, "tv.csv"), transponder);
    auto* persons = new CNameDlg(m_app->Context());
    frame->ReplaceRightPane(persons);
    persons->Reload(5);
    EXPECT_EQ(Export(0, "pv.csv"), person);
}

TEST_F(CCsvExportTest, ReaderFieldsFollowTheReadersWhateverFormTheListHas)
{
    Sql(kFiveReaders);
    Sql({"INSERT INTO tblPerson (ID_Person, strName, Transponder_ID) VALUES (1,'Anna',1)",
         "INSERT INTO tblTransponder (strTransponderNummer, Person_ID, Zeitfenster_ID, strLeser_IDS) VALUES"
         " ('0000000001',1,1,'2;5'),('0000000002',1,5,';2;5;'),('0000000003',1,1,'2;5;'),"
         " ('0000000004',1,1,'2;99;5'),('0000000005',1,1,'03;x;;')"});
    Start();
    EXPECT_EQ(Export(1), QByteArray("Transponder;0000000001;Anna;Vollzugriff;;B;;;E\r\n"
                                    "Transponder;0000000002;Anna;Nacht;;B;;;E\r\n"
                                    "Transponder;0000000003;Anna;Vollzugriff;;B;;;E\r\n"
                                    "Transponder;0000000004;Anna;Vollzugriff;;B;;;E\r\n"
                                    "Transponder;0000000005;Anna;Vollzugriff;;;C;;\r\n"));
}

TEST_F(CCsvExportTest, NoValueOfOneRecordLeaksIntoTheNext)
{
    Sql({"INSERT INTO tblPerson (ID_Person, strName, Transponder_ID) VALUES (1,'Anna',1),(2,'Bert',0),(3,'Cem',42)",
         "INSERT INTO tblTransponder (ID_Transponder, strTransponderNummer, Person_ID, Zeitfenster_ID, strLeser_IDS)"
         " VALUES (1,'00000000AA',1,1,''),(2,'00000000BB',77,55,'1;')",
         "INSERT INTO tblEvents (strTranspondernummer, strDatum, strUhrzeit, strBinaerwert1, strEvent1,"
         " strBinaerwert2, strEvent2, strLeserName) VALUES"
         " ('00000000AA','24121999','2359','01','Zutritt','10','Tür',''),"
         " ('FFFFFFFFFF','1','','','','','','Haupteingang')"});
    Start();
    // No reader: a transponder line ends after its schema, without ";".
    EXPECT_EQ(Export(1, "t.csv"), QByteArray("Transponder;00000000AA;Anna;Vollzugriff\r\n"
                                             "Transponder;00000000BB;---;\r\n"));
    EXPECT_EQ(Export(2, "p.csv"), QByteArray("Person;Anna;00000000AA;Vollzugriff\r\n"
                                             "Person;Bert;;\r\n"
                                             "Person;Cem;;\r\n"));
    const QString b1 = Text(202), b2 = Text(203);
    const QByteArray events = Export(3, "e.csv");
    EXPECT_EQ(events, CCsvFormat::EncodeLine("Event;00000000AA;Anna;;24.12.1999;23:59;" + b1 + "01;Zutritt;" + b2
                                             + QString::fromUtf8("10;Tür"))
                          + CCsvFormat::EncodeLine("Event;FFFFFFFFFF;;Haupteingang;1..1;:;" + b1 + ";;" + b2 + ";"));
}

TEST_F(CCsvExportTest, APersonWithoutTransponderHasOneEmptyFieldPerReader)
{
    Sql(kFiveReaders);
    Sql({"INSERT INTO tblPerson (strName) VALUES ('Dora')"});
    Start();
    EXPECT_EQ(Export(2), QByteArray("Person;Dora;;;;;;;\r\n"));
    // An empty table gives an empty file, and success.
    EXPECT_EQ(Export(3, "none.csv"), QByteArray());
    EXPECT_TRUE(QFileInfo::exists(m_files + "/none.csv"));
}

TEST_F(CCsvExportTest, TheDialogProposesANameAndTheChosenPathIsKept)
{
    SetLanguage(1);
    Start();
    Choose(m_files + "/list");
    EXPECT_EQ(m_app->GetMainFrame()->ExportCsv(2), 1);
    ASSERT_EQ(m_requests.size(), 1u);
    const CFileChooser::Request& request = m_requests[0];
    EXPECT_TRUE(request.save);
    EXPECT_EQ(request.title, "Save Events as ...");
    EXPECT_EQ(request.proposedName, "Persons_24121999_235959");
    EXPECT_EQ(request.filter, "CSV Dateien (*.csv)");
    EXPECT_EQ(request.defaultSuffix, "csv");
    EXPECT_EQ(request.folder, QDir::homePath());
    EXPECT_TRUE(QFileInfo::exists(m_files + "/list.csv"));
    EXPECT_EQ(Setting("SavePath"), m_files + "/list.csv");
    EXPECT_EQ(m_app->GetMainFrame()->m_strCsvPath, m_files + "/list.csv");

    // The next export starts in that folder.
    Choose("");
    EXPECT_EQ(m_app->GetMainFrame()->ExportCsv(3), 1);
    EXPECT_EQ(m_requests.back().folder, m_files);
    EXPECT_EQ(m_requests.back().proposedName, "Events_24121999_235959");
}

TEST_F(CCsvExportTest, AFileTheExtensionRuleWouldReplaceIsOnlyReplacedWhenConfirmed)
{
    Start();
    WriteBytes(m_files + "/keep.csv", "precious");
    Choose(m_files + "/keep.txt");
    Answer(QMessageBox::No);
    EXPECT_EQ(m_app->GetMainFrame()->ExportCsv(1), 1);
    EXPECT_EQ(ReadBytes(m_files + "/keep.csv"), "precious");
    ASSERT_EQ(m_messages.size(), 1);
    EXPECT_TRUE(m_messages[0].contains(m_files + "/keep.csv"));

    Choose(m_files + "/keep.txt");
    Answer(QMessageBox::Yes);
    EXPECT_EQ(m_app->GetMainFrame()->ExportCsv(1), 1);
    EXPECT_EQ(ReadBytes(m_files + "/keep.csv"), QByteArray());
    EXPECT_FALSE(QFileInfo::exists(m_files + "/keep.txt"));
}

TEST_F(CCsvExportTest, FailuresReturnZeroAndLeaveTheChosenFileAlone)
{
    Sql({"INSERT INTO tblEvents (strTranspondernummer, strDatum, strUhrzeit) VALUES ('0000000001','01012000','0800')"});
    Start();
    WriteBytes(m_files + "/old.csv", "old contents");

    // The current view (the reader list) has nothing to export: the file is
    // not even opened.
    Choose(m_files + "/old.csv");
    EXPECT_EQ(m_app->GetMainFrame()->ExportCsv(0), 0);
    EXPECT_EQ(ReadBytes(m_files + "/old.csv"), "old contents");
    ExpectIdle();

    // A folder that does not exist.
    Choose(m_files + "/missing/new.csv");
    EXPECT_EQ(m_app->GetMainFrame()->ExportCsv(3), 0);
    ExpectIdle();

    // The disk fills up: the old file stays whole.
    Exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 3000)"
         " INSERT INTO tblEvents (strTranspondernummer, strDatum, strUhrzeit) SELECT '0000000001','01012000','0800'"
         " FROM n");
    Db()->Get_Ptr_To_tblEvents()->_Requery();
    Choose(m_files + "/whole.csv");
    ASSERT_EQ(m_app->GetMainFrame()->ExportCsv(3), 1);
    const qint64 size = QFileInfo(m_files + "/whole.csv").size();
    for (const DiskFullCase& full : kDiskFullCases) {
        CCsvExportCommand command(m_app->Context(), Language());
        int result = 1;
        {
            FileSizeLimit limit(full.Limit(size));
            if (!limit.Active())
                GTEST_SKIP() << "no file-size limit can be set here";
            Choose(m_files + "/old.csv");
            result = command.ExportCsv(3);
        }
        EXPECT_EQ(result, 0) << full.name;
        EXPECT_FALSE(command.ErrorString().isEmpty()) << full.name;
        EXPECT_EQ(ReadBytes(m_files + "/old.csv"), "old contents") << full.name;
        EXPECT_EQ(QDir(m_files).entryList(QDir::Files).filter("old.csv.").size(), 0) << full.name;
        ExpectIdle();
    }
    // A disk full at the first byte cannot keep the chosen path either, and says so.
    m_messages.erase(std::remove_if(m_messages.begin(), m_messages.end(),
                                    [this](const QString& m) { return m.startsWith(Text(341)); }),
                     m_messages.end());
    EXPECT_TRUE(m_messages.isEmpty()) << "ExportCsv leaves the message to its caller";
}

TEST_F(CCsvExportTest, TheCurrentViewIsWrittenAsTheGridShowsIt)
{
    Start();
    CMainFrame* frame = m_app->GetMainFrame();
    TableOwner owner;

    auto* transponders = new CTransponderDlg(m_app->Context());
    addGrid(transponders, &owner, {"", "Nr", "x", "Nummer", "Person", "Zeitschema", "A", "B", "C"},
            {{"", "1", "", "0000000001", "Anna", "Vollzugriff", "0", "1", "1"},
             {"", "2", "", "0000000002", "---", "Nacht", "0", "0", "0"}});
    frame->ReplaceRightPane(transponders);
    EXPECT_EQ(Export(0, "t.csv"), QByteArray("Transponder;0000000001;Anna;Vollzugriff;;B;C\r\n"
                                             "Transponder;0000000002;---;Nacht;;;\r\n"));

    // Without reader columns a line ends in ";".
    auto* bare = new CTransponderDlg(m_app->Context());
    addGrid(bare, &owner, {"", "Nr", "x", "Nummer", "Person", "Zeitschema"},
            {{"", "1", "", "0000000001", "Anna", "Vollzugriff"}});
    frame->ReplaceRightPane(bare);
    EXPECT_EQ(Export(0, "bare.csv"), QByteArray("Transponder;0000000001;Anna;Vollzugriff;\r\n"));

    // The transponder column is a list whose "---" stands for none: the file
    // says what the grid shows, and the import reads "---" as none.
    auto* persons = new CNameDlg(m_app->Context());
    addGrid(persons, &owner, {"", "Nr", "Name", "Nummer", "Zeitschema", "A", "B"},
            {{"", "1", "Anna", "0000000001", "Vollzugriff", "1", "0"}});
    frame->ReplaceRightPane(persons);
    EXPECT_EQ(Export(0, "p.csv"), QByteArray("Person;Anna;0000000001;Vollzugriff;A;\r\n"));

    auto* events = new CEventsDlg(m_app->Context());
    QStringList eventRow = {"", "1"};
    for (int col = 2; col <= 10; ++col)
        eventRow << QStringLiteral("c%1").arg(col);
    addGrid(events, &owner, QStringList(11, "t"), {eventRow});
    frame->ReplaceRightPane(events);
    EXPECT_EQ(Export(0, "e.csv"), QByteArray("Event;c2;c3;c4;c5;c6;c7;c8;c9;c10\r\n"));
}

TEST_F(CCsvExportTest, ReadingALargeViewKeepsNoCopyOfEveryCell)
{
    Start();
    TableOwner owner;
    auto* events = new CEventsDlg(m_app->Context());
    QList<QStringList> rows;
    for (int i = 0; i < 5000; ++i)
        rows << QStringList({"", QString::number(i + 1), "0000000001", "P", "R", "01.01.2000", "08:00", "a", "b",
                             "c", "d"});
    CGridCtrl* grid = addGrid(events, &owner, QStringList(11, "t"), rows);
    m_app->GetMainFrame()->ReplaceRightPane(events);
    const QByteArray bytes = Export(0);
    EXPECT_EQ(bytes.count('\n'), 5000);
    EXPECT_LT(grid->DisplayCacheSize(), 1100u * 11u);
}

TEST_F(CCsvExportTest, TheChoiceDialogOffersTheCurrentViewOnlyWhenItCanBeExported)
{
    Start();
    CExportDataDlg cannot(Language(), 0);
    EXPECT_FALSE(cannot.Radio(0)->isEnabled());
    EXPECT_TRUE(cannot.Radio(1)->isChecked());
    EXPECT_EQ(cannot.GetChoice(), 1);
    cannot.Radio(3)->click();
    EXPECT_EQ(cannot.GetChoice(), 3);

    CExportDataDlg can(Language(), 1);
    EXPECT_TRUE(can.Radio(0)->isEnabled());
    EXPECT_TRUE(can.Radio(0)->isChecked());
    EXPECT_EQ(can.GetChoice(), 0);
    EXPECT_EQ(can.windowTitle(), Text(86));
    EXPECT_EQ(can.Radio(0)->text(), Text(87));
    EXPECT_EQ(can.Radio(2)->text(), Text(16));
    can.show();
    TestWait::Settle();
    Screenshot(can, "export-choice");
}

TEST_F(CCsvExportTest, TheMenuCommandExportsTheChosenKindAndReportsAFailure)
{
    Sql({"INSERT INTO tblTransponder (strTransponderNummer, Zeitfenster_ID) VALUES ('0000000001',1)"});
    Start();
    ModalDriver driver([](QWidget* dialog) {
        if (auto* choice = qobject_cast<CExportDataDlg*>(dialog)) {
            EXPECT_FALSE(choice->Radio(0)->isEnabled()) << "the reader list is no exportable view";
            choice->Radio(1)->click();
            choice->accept();
        }
    });
    Choose(m_files + "/menu");
    m_app->GetMainFrame()->OnCommand(CMainFrame::ID_CSV_EXPORT);
    EXPECT_EQ(driver.Handled(), 1);
    EXPECT_EQ(ReadBytes(m_files + "/menu.csv"), QByteArray("Transponder;0000000001;---;Vollzugriff\r\n"));
    EXPECT_TRUE(m_messages.isEmpty());

    Choose(m_files + "/no/such/folder/x.csv");
    m_app->GetMainFrame()->OnCommand(CMainFrame::ID_CSV_EXPORT);
    ASSERT_EQ(m_messages.size(), 1);
    EXPECT_TRUE(m_messages[0].startsWith(Text(89) + "\n\n")) << "with the reason";
    EXPECT_TRUE(m_messages[0].contains(m_files + "/no/such/folder")) << m_messages[0].toStdString();
    EXPECT_EQ(m_icons.back(), QMessageBox::Critical);
}

TEST_F(CCsvExportTest, TheCurrentViewOfTheRealViewsFollowsTheirColumnsAndOrder)
{
    Sql(kFiveReaders);
    Sql({"INSERT INTO tblPerson (ID_Person, strName, Transponder_ID) VALUES (1,'Anna',1),(2,'Bert',2),(3,'Cem',0)",
         "INSERT INTO tblTransponder (ID_Transponder, strTransponderNummer, Person_ID, Zeitfenster_ID, strLeser_IDS)"
         " VALUES (1,'0000000001',1,1,'2;5'),(2,'0000000002',2,5,''),(3,'0000000003',0,1,';1;')",
         "INSERT INTO tblEvents (strTranspondernummer, strDatum, strUhrzeit, strBinaerwert1, strEvent1,"
         " strBinaerwert2, strEvent2, Leser_ID, strLeserName) VALUES"
         " ('0000000001','24121999','2359','01','Zutritt','10','Tuer',2,'B')"});
    Start();
    CMainFrame* frame = m_app->GetMainFrame();

    auto* transponders = new CTransponderDlg(m_app->Context());
    frame->ReplaceRightPane(transponders);
    transponders->ShowForReader(0);
    EXPECT_EQ(Export(0, "t.csv"), QByteArray("Transponder;0000000001;Anna;Vollzugriff;;B;;;E\r\n"
                                             "Transponder;0000000002;Bert;Nacht;;;;;\r\n"
                                             "Transponder;0000000003;;Vollzugriff;A;;;;\r\n"));
    // Sorted by number, descending: the file follows the grid.
    GRID_NOTIFY header;
    header.hdr.code = NM_DBLCLK;
    header.row = 0;
    header.column = 3;
    transponders->OnGridNotify(header);
    transponders->OnGridNotify(header);
    EXPECT_EQ(Export(0, "sorted.csv"), QByteArray("Transponder;0000000003;;Vollzugriff;A;;;;\r\n"
                                                  "Transponder;0000000002;Bert;Nacht;;;;;\r\n"
                                                  "Transponder;0000000001;Anna;Vollzugriff;;B;;;E\r\n"));
    // A reader's transponders only.
    transponders->ShowForReader(5);
    EXPECT_EQ(Export(0, "filtered.csv"), QByteArray("Transponder;0000000001;Anna;Vollzugriff;;B;;;E\r\n"));

    // The transponder column is a list whose "---" stands for none: the file
    // says what the grid shows, and the import reads "---" as none.
    auto* persons = new CNameDlg(m_app->Context());
    frame->ReplaceRightPane(persons);
    persons->Reload(0);
    EXPECT_EQ(Export(0, "p.csv"), QByteArray("Person;Anna;0000000001;Vollzugriff;;B;;;E\r\n"
                                             "Person;Bert;0000000002;Nacht;;;;;\r\n"
                                             "Person;Cem;---;---;;;;;\r\n"));

    auto* events = new CEventsDlg(m_app->Context());
    frame->ReplaceRightPane(events);
    events->ShowEvents(0);
    EXPECT_EQ(Export(0, "e.csv"), QByteArray("Event;0000000001;Anna;B;24.12.1999;23:59;01;Zutritt;10;Tuer\r\n"));
}
