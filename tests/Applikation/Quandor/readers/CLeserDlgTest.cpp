// The reader list without a reader on the line: its grid, renaming, the
// settings button, the context menu's targets and the identification's gate.

#include "ReaderViewFixture.h"
#include "TestWait.h"

#include "CDialogRunner.h"
#include "CGridCellBase.h"
#include "CParamHeron_KiteDlg.h"
#include "CParamWrenDlg.h"
#include "CWrenSettings.h"
#include "CtblLeser.h"
#include "GridConstants.h"
#include "CWindowMessage.h"

#include <QLineEdit>
#include <QRegularExpression>

namespace {

// One reader of each model, and a row whose model nobody knows.
const QStringList kEveryModel = {
    "INSERT INTO tblLeser (ID_Leser, strBezeichnung, strAdresse, strSeriennummer, boolUpdateOK, strLeserTyp,"
    " strModus, strParameter) VALUES"
    " (1,'Eingang','01','0123456789ABCDEF0123',1,'Kite','6','A5'),"
    " (2,'Lager','02','0223456789ABCDEF0123',0,'Heron','6','A5'),"
    " (3,'Tor','03','0323456789ABCDEF0123',0,'Egret','6','A5'),"
    " (4,'Büro','---','---',0,'Wren','5','3'),"
    " (5,'Keller','---','---',0,'Tern','',''),"
    " (6,'Alt','---','---',0,'Sparrow','','')",
};

class ReaderListTest : public ReaderView
{
};

class RenameTest : public ReaderView, public ::testing::WithParamInterface<bool>
{
protected:
    void SetUp() override
    {
        ReaderView::SetUp();
        Sql({"INSERT INTO tblLeser (ID_Leser, strBezeichnung, strLeserTyp, strSeriennummer) VALUES"
             " (1,'Anna','Kite','K1'),(2,'Bert','Heron','H1'),(3,'Anna2','Tern','---')"});
        if (GetParam())
            TestEnvironment::WriteOdbcDsn("Quandor", DatabaseFile());
        StartShown();
    }
    void TearDown() override
    {
        ReaderView::TearDown();
        TestEnvironment::ClearOdbcDsns();
    }

    // Types a name into a row's name cell, as the user does.
    void Rename(int row, const QString& name)
    {
        Grid()->MoveFocusCell(row, 4);
        Grid()->BeginCellEdit(row, 4, QPoint(-1, -1), CGridEditKey());
        auto* editor = qobject_cast<QLineEdit*>(Grid()->GetActiveEditor());
        ASSERT_NE(editor, nullptr);
        editor->selectAll();
        QTest::keyClicks(editor, name);
        QTest::keyClick(editor, Qt::Key_Return);
        QCoreApplication::processEvents();
    }
    QStringList Names() const
    {
        QStringList names;
        for (const StoredReader& r : Stored())
            names << r.name;
        return names;
    }
};

} // namespace

TEST_F(ReaderListTest, EveryModelsRowShowsItsTextsAndReadOnlyLook)
{
    Sql(kEveryModel);
    StartShown();
    ASSERT_NE(Grid(), nullptr);
    EXPECT_EQ(Grid()->GetDlgCtrlID(), 1003u);
    ASSERT_EQ(Grid()->GetRowCount(), 7);
    const QString reader = Text(14) + QStringLiteral(": ");
    EXPECT_EQ((QStringList{Grid()->GetItemText(1, 1), Grid()->GetItemText(1, 3), Grid()->GetItemText(1, 4),
                           Grid()->GetItemText(1, 5), Grid()->GetItemText(1, 6), Grid()->GetItemText(1, 7)}),
              (QStringList{"1", reader + "Kite", "Eingang", "0123456789ABCDEF0123", "01", Text(59)}));
    EXPECT_EQ(Grid()->GetCellAt(1, 2)->GetValue(), "1");
    EXPECT_EQ(Grid()->GetItemText(5, 3), reader + "Tern");
    for (int row = 1; row <= 6; ++row) {
        for (int col = 1; col <= 7; ++col) {
            const bool greyed = col != 4 && (col != 7 || row == 5);
            EXPECT_EQ((Grid()->GetCellAt(row, col)->GetState() & GVIS_READONLY) != 0, greyed) << row << "," << col;
        }
    }
    // The update mark cannot be ticked here.
    Click(2, 2);
    EXPECT_EQ(Grid()->GetCellAt(2, 2)->GetValue(), "0");
    EXPECT_EQ(Stored()[1].updateOK, 0);
    QDir().mkpath(kShots);
    EXPECT_TRUE(Frame()->grab().save(kShots + "reader-list-de.png"));

    // A width the user set survives a refill; a language switch retitles.
    Grid()->SetColumnWidth(4, 201, true, true);
    View()->Reload(0);
    EXPECT_EQ(Grid()->GetColumnWidth(4), 201);
    Frame()->OnCommand(CMainFrame::ID_LANGUAGE_ENGLISH);
    EXPECT_EQ(Grid()->GetItemText(0, 4), "Name");
    EXPECT_EQ(Grid()->GetItemText(1, 3), "Reader: Kite");
    TestWait::Settle();
    EXPECT_TRUE(Frame()->grab().save(kShots + "reader-list-en.png"));
}

TEST_P(RenameTest, ANewNameReachesTheDatabaseTheCacheAndTheTree)
{
    ExpectReaderChildren({"Anna", "Bert"});
    // A set left standing at its end by earlier work finds the record too.
    CtblLeser* set = Cache();
    ASSERT_TRUE(set->Open());
    while (!set->IsEOF())
        set->MoveNext();
    Rename(1, "Anton");
    EXPECT_FALSE(set->IsOpen());
    EXPECT_EQ(Names(), (QStringList{"Anton", "Bert", "Anna2"}));
    EXPECT_EQ(Cache()->Get_Leser(0)->Bezeichnung, "Anton");
    EXPECT_EQ(Grid()->GetItemText(1, 4), "Anton");
    ExpectReaderChildren({"Anton", "Bert"});

    // The Tern, renamed like the Heron and back, leaves the Heron's children.
    Rename(3, "Bert");
    Rename(3, "Carl");
    EXPECT_EQ(Names(), (QStringList{"Anton", "Bert", "Carl"}));
    ExpectReaderChildren({"Anton", "Bert"});
    // Only the name column is stored.
    GRID_NOTIFY other;
    other.row = other.dataRow = 2;
    other.column = 5;
    other.text1 = other.text2 = "X";
    EXPECT_TRUE(View()->StoreEditedCell(&other));
    EXPECT_EQ(Stored()[1].serial, "H1");
    EXPECT_TRUE(m_messages.isEmpty()) << qPrintable(m_messages.join('|'));
}

TEST_P(RenameTest, ARefusedUpdateLeavesTheStoredNameEverywhere)
{
    Sql({"CREATE TRIGGER refuse BEFORE UPDATE ON tblLeser BEGIN SELECT RAISE(ABORT, 'Datensatz gesperrt'); END"});
    Rename(2, "Bruno");
    ASSERT_EQ(m_messages.size(), 1) << qPrintable(Names().join('|'));
    EXPECT_TRUE(m_messages[0].contains("Datensatz gesperrt")) << qPrintable(m_messages[0]);
    EXPECT_EQ(m_icons[0], QMessageBox::Warning);
    EXPECT_EQ(Names(), (QStringList{"Anna", "Bert", "Anna2"}));
    EXPECT_EQ(Cache()->Get_Leser(1)->Bezeichnung, "Bert");
    EXPECT_EQ(Grid()->GetItemText(2, 4), "Bert");
    ExpectReaderChildren({"Anna", "Bert"});
    EXPECT_FALSE(Cache()->IsOpen());

    // A reader removed behind the program's back is not renamed anywhere.
    Sql({"DROP TRIGGER refuse", "DELETE FROM tblLeser WHERE ID_Leser = 2"});
    m_messages.clear();
    Rename(2, "Bruno");
    EXPECT_EQ(Names(), (QStringList{"Anna", "Anna2"}));
    EXPECT_EQ(Grid()->GetItemText(2, 4), "Bert");
    ExpectReaderChildren({"Anna", "Bert"});
}

INSTANTIATE_TEST_SUITE_P(Backends, RenameTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Odbc" : "Sqlite"; });

TEST_F(ReaderListTest, TheButtonOpensTheModelsDialogWithACopyOfTheRow)
{
    Sql(kEveryModel);
    StartShown();
    using Dialog = CReaderModel::SettingsDialog;
    struct Opened {
        Dialog dialog;
        qint32 id;
        QString switchTime;
    };
    std::vector<Opened> opened;
    ScopedSeam runner(CDialogRunner::RunnerSeam(), [&](QDialog& dialog) {
        // The cache is re-read while the dialog is open; its row stays.
        View()->Reload(0);
        if (auto* wren = dynamic_cast<CParamWrenDlg*>(&dialog))
            opened.push_back({Dialog::Wren, wren->ReaderId(), wren->SwitchTime()->text()});
        else if (auto* framed = dynamic_cast<CParamHeron_KiteDlg*>(&dialog))
            opened.push_back({Dialog::HeronKite, framed->ReaderId(), framed->SwitchTimeEdit()->text()});
        return int(QDialog::Rejected);
    });
    // Sorted by name, descending: the rows of the grid are not the cache's.
    SortBy(4, 2);
    ASSERT_EQ(View()->m_nSortMode, 2);
    for (const char* name : {"Tor", "Lager", "Keller", "Eingang", "Büro", "Alt"})
        Click(RowOf(QString::fromUtf8(name)), 7);

    ASSERT_EQ(opened.size(), 5u); // not the Tern's
    const std::vector<std::pair<qint32, Dialog>> expected = {
        {3, Dialog::HeronKite}, {2, Dialog::HeronKite}, {1, Dialog::HeronKite}, {4, Dialog::Wren},
        {6, Dialog::HeronKite}};
    for (size_t i = 0; i < opened.size(); ++i) {
        EXPECT_EQ(opened[i].id, expected[i].first) << i;
        EXPECT_EQ(opened[i].dialog, expected[i].second) << i;
    }
    EXPECT_EQ(opened[3].switchTime, CWrenSettings::SwitchTimeShown("5")); // Büro's
}

TEST_F(ReaderListTest, TheMenuTargetsTheClickedRowsReaderUnderASortAndWithEqualNames)
{
    Sql({"INSERT INTO tblLeser (ID_Leser, strBezeichnung, strLeserTyp, strSeriennummer) VALUES"
         " (1,'Kasse','Kite','K1'),(2,'Lager','Kite','K2'),(3,'Kasse','Heron','H3'),(4,'Alt','Sparrow','---')"});
    StartShown();
    SortBy(5, 1);
    ASSERT_EQ(View()->m_nSortMode, 1); // serials ascending: ---, H3, K1, K2
    RightClick(2);
    EXPECT_EQ(View()->m_nClickedReaderID, 3);
    EXPECT_EQ(View()->m_strClickedReaderName, "Kasse");
    EXPECT_EQ(View()->m_nClickedModelCode, static_cast<int>(CReaderModel::ModelCode::Heron));
    EXPECT_EQ(View()->m_nClickedRow, 2);
    RightClick(3);
    EXPECT_EQ(View()->m_nClickedReaderID, 1);
    EXPECT_EQ(View()->m_nClickedModelCode, static_cast<int>(CReaderModel::ModelCode::Kite));
    // A model nobody knows gets no model of an earlier click.
    RightClick(1);
    EXPECT_EQ(View()->m_nClickedReaderID, 4);
    EXPECT_EQ(View()->m_nClickedModelCode, static_cast<int>(CReaderModel::ModelCode::None));

    // No reader online: nothing is asked, no reader command is offered.
    ASSERT_EQ(m_menu.size(), 7u);
    QStringList texts;
    for (const MenuItem& item : m_menu)
        texts << item.text;
    EXPECT_EQ(texts, Texts({61, 62, 63, 156, 157, 158, 159}));
    EXPECT_EQ(Enabled(), (QList<bool>{true, false, true, false, false, false, false}));
    Click(1, 1);
    EXPECT_EQ(SelectedRows(), QList<int>{1});
    Click(3, 1, Qt::ControlModifier);
    EXPECT_EQ(SelectedRows(), (QList<int>{1, 3}));
    RightClick(3);
    EXPECT_EQ(m_menu[1].text, Text(67));
    EXPECT_EQ(Enabled(), (QList<bool>{true, true, true, false, false, false, false}));
    Click(2, 1);
    EXPECT_EQ(SelectedRows(), QList<int>{2});
    RightClick(2);
    EXPECT_EQ(m_menu[1].text, Text(62));
    EXPECT_TRUE(m_menu[1].enabled);

    // Below the last row: no reader.
    QRect last;
    ASSERT_TRUE(Grid()->GetCellRect(4, 4, &last));
    RightClickAt(last.center() + QPoint(0, 3 * last.height()));
    EXPECT_EQ(View()->m_nClickedReaderID, 0);
    EXPECT_EQ(View()->m_strClickedReaderName, "");

    // The menu opens where the user clicked.
    RightClick(2);
    EXPECT_EQ(m_menuAt, Grid()->viewport()->mapToGlobal(CellCentre(2, 4)));
}

TEST_F(ReaderListTest, AnEmptyListOffersOnlyReconnect)
{
    StartShown();
    EXPECT_EQ(Grid()->GetRowCount(), 1);
    RightClickAt(QPoint(100, 100));
    EXPECT_EQ(Enabled(), (QList<bool>{true, false, false, false, false, false, false}));
}

TEST_F(ReaderListTest, OnlyAnAskedForConnectionIsIdentified)
{
    Sql(kEveryModel);
    StartShown();
    CWindowMessage::Post(View(), CWindowMessage::WM_IDENTIFY_READER);
    QCoreApplication::processEvents();
    EXPECT_EQ(View()->m_nIdentifyCount, 0);
    // Asked, but no reader on the line: nothing happens, the request is used up.
    Tree()->m_bIdentifyRequest = true;
    CWindowMessage::Post(View(), CWindowMessage::WM_IDENTIFY_READER);
    CWindowMessage::Post(View(), CWindowMessage::WM_IDENTIFY_READER);
    QCoreApplication::processEvents();
    EXPECT_EQ(View()->m_nIdentifyCount, 1);
    EXPECT_FALSE(Tree()->m_bIdentifyRequest);
    EXPECT_TRUE(m_messages.isEmpty());
    EXPECT_EQ(Stored().size(), 6u);
    // Offline, the status bar names no reader, not even one without serial.
    Sql({"UPDATE tblLeser SET strSeriennummer = '' WHERE ID_Leser = 6"});
    View()->Reload(0);
    EXPECT_EQ(Tree()->LinkStatus().readerName, "");
}
