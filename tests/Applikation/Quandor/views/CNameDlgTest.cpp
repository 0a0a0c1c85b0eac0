#include "RecordViewFixture.h"
#include "ScopedSeam.h"
#include "TestWait.h"

#include "CGridComboList.h"
#include "CInPlaceEdit.h"
#include "CNameDlg.h"
#include "CtblPerson.h"
#include "CtblTransponder.h"


namespace {

// Readers A (1) and B (2); a second schema "Nacht"; Anna holds AA (reader
// A), Bert nothing, Cleo holds CC (readers A and B); BB and DD are free.
const QStringList kPersons = {
    "INSERT INTO tblLeser (ID_Leser, strBezeichnung, strLeserTyp) VALUES (1,'A','Kite'),(2,'B','Heron')",
    "INSERT INTO tblZeitschema (ID_Zeitschema, strBezeichnung, strVon, strBis) VALUES"
    " (5,'Nacht','2200','2359'),(6,'Nacht','',''),(7,'Nacht','',''),(8,'Nacht','','')",
    "INSERT INTO tblPerson (ID_Person, strName, Transponder_ID) VALUES (1,'Anna',1),(2,'Bert',0),(3,'Cleo',3)",
    "INSERT INTO tblTransponder (ID_Transponder, strTransponderNummer, Person_ID, Zeitfenster_ID, strLeser_IDS)"
    " VALUES (1,'00000000AA',1,1,'1'),(2,'00000000BB',0,1,'2'),(3,'00000000CC',3,5,'1;2'),(4,'00000000DD',0,1,'')",
};

class CNameDlgTest : public RecordViewFixture
{
protected:
    CNameDlg* Persons() const { return qobject_cast<CNameDlg*>(Pane()); }
    CtblPerson* PersonCache() const { return m_app->GetDBHandler()->Get_Ptr_To_tblPerson(); }
    CtblTransponder* TransponderCache() const { return m_app->GetDBHandler()->Get_Ptr_To_tblTransponder(); }

    // "name:transponder" of every cached person, and "number:person" of
    // every cached transponder, in cache order.
    QStringList CachedPersons() const
    {
        QStringList rows;
        for (int i = 0; i < PersonCache()->GetAnz_Person(); ++i)
            rows << QStringLiteral("%1:%2").arg(PersonCache()->Get_Person(i)->Name).arg(PersonCache()->Get_Person(i)->Transponder_ID);
        return rows;
    }
    QStringList CachedLinks() const
    {
        QStringList rows;
        for (int i = 0; i < TransponderCache()->GetAnz_Transponder(); ++i)
            rows << QString::number(TransponderCache()->Get_Transponder(i)->Person_ID);
        return rows;
    }
    QStringList StoredPersons()
    {
        const QStringList names = Stored("tblPerson", "strName");
        const QStringList links = Stored("tblPerson", "Transponder_ID");
        QStringList rows;
        for (int i = 0; i < names.size(); ++i)
            rows << names[i] + ":" + links.value(i);
        return rows;
    }
    QStringList StoredLinks() { return Stored("tblTransponder", "Person_ID"); }

    void StartShown(int child = -1)
    {
        Sql(kPersons);
        StartOnBackend();
        m_app->GetMainFrame()->resize(1212, 874);
        m_app->GetMainFrame()->show();
        TestWait::Settle();
        Show(CLeftTreeView::PersonsNode, child);
        ASSERT_NE(Persons(), nullptr);
    }
    void Settle()
    {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
    }
    // Focuses a cell by a mouse click and opens its editor with F2.
    QWidget* OpenEditor(int row, int column)
    {
        QRect rect;
        EXPECT_TRUE(Grid()->GetCellRect(row, column, &rect));
        QTest::mouseClick(Grid()->viewport(), Qt::LeftButton, {}, rect.center());
        Settle();
        QTest::keyClick(Grid(), Qt::Key_F2);
        Settle();
        return Grid()->GetActiveEditor();
    }
    // Types a name into row's name cell and confirms it with Enter.
    void TypeName(int row, const QString& name)
    {
        auto* edit = qobject_cast<QLineEdit*>(OpenEditor(row, 2));
        ASSERT_NE(edit, nullptr);
        edit->selectAll();
        QTest::keyClicks(edit, name);
        QTest::keyClick(edit, Qt::Key_Return);
        Settle();
    }
    // Opens row's transponder list, chooses the entry and confirms it.
    QStringList Choose(int row, const QString& entry, const QString& shot = QString())
    {
        auto* list = qobject_cast<CGridComboList*>(OpenEditor(row, 3));
        EXPECT_NE(list, nullptr);
        if (!list)
            return {};
        QStringList offered;
        for (int i = 0; i < list->count(); ++i)
            offered << list->itemText(i);
        list->showPopup();
        Settle();
        if (!shot.isEmpty())
            SaveShotWithPopup(list->view()->window(), shot);
        list->setCurrentIndex(list->findText(entry));
        list->hidePopup();
        QTest::keyClick(list, Qt::Key_Return);
        Settle();
        return offered;
    }
    void Trigger(const QString& name, const QString& event, const QString& when)
    {
        SqlNow({QStringLiteral("CREATE TRIGGER %1 BEFORE %2 WHEN %3 BEGIN SELECT RAISE(ABORT, '%1 says no'); END")
                    .arg(name, event, when)});
    }
};

} // namespace

TEST_P(CNameDlgTest, TheGridShowsTransponderScheduleAndAColumnPerReader)
{
    StartShown();
    EXPECT_EQ(Grid()->GetColumnCount(), 7);
    EXPECT_EQ(Column(2), (QStringList{"Anna", "Bert", "Cleo"}));
    EXPECT_EQ(Column(3), (QStringList{"00000000AA", "---", "00000000CC"}));
    EXPECT_EQ(Column(4), (QStringList{"Vollzugriff", "---", "Nacht"}));
    EXPECT_EQ(Values(5), (QStringList{"1", "0", "1"}));
    EXPECT_EQ(Values(6), (QStringList{"0", "0", "1"}));
    // Only reader B's persons: Cleo.
    Show(CLeftTreeView::PersonsNode, 1);
    EXPECT_EQ(Column(2), QStringList{"Cleo"});

    // Two readers of one name: each column shows its own reader.
    SqlNow({"UPDATE tblLeser SET strBezeichnung = 'A' WHERE ID_Leser = 2"});
    m_app->GetDBHandler()->Get_Ptr_To_tblLeser()->_Requery();
    Persons()->Reload(0);
    EXPECT_EQ(Values(5), (QStringList{"1", "0", "1"}));
    EXPECT_EQ(Values(6), (QStringList{"0", "0", "1"}));
}

TEST_P(CNameDlgTest, ARenameTypedIntoTheGridIsStoredAndAnExistingNameIsRefused)
{
    StartShown();
    TypeName(2, "Berta");
    EXPECT_EQ(Grid()->GetItemText(2, 2), "Berta");
    EXPECT_EQ(Stored("tblPerson", "strName"), (QStringList{"Anna", "Berta", "Cleo"}));

    // Taken already: refused, and the cell shows the stored name again.
    m_boxes.clear();
    TypeName(2, "Anna");
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0].text, Lang(85));
    EXPECT_EQ(m_boxes[0].icon, QMessageBox::Warning);
    EXPECT_EQ(Grid()->GetItemText(2, 2), "Berta");
    // Another case is another name.
    TypeName(2, "anna");
    EXPECT_EQ(Grid()->GetItemText(2, 2), "anna");

    // Refused by the database: the stored name stays, in table, cache and grid.
    Trigger("noname", "UPDATE ON tblPerson", "1");
    m_boxes.clear();
    TypeName(1, "Annette");
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_TRUE(m_boxes[0].text.contains("noname says no"));
    EXPECT_EQ(Grid()->GetItemText(1, 2), "Anna");
    EXPECT_EQ(CachedPersons().first(), "Anna:1");

    // Gone behind the view: not found, nothing pretends it was stored.
    SqlNow({"DROP TRIGGER noname", "DELETE FROM tblPerson WHERE ID_Person = 3"});
    m_boxes.clear();
    TypeName(3, "Clea");
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0].text, Lang(77));
    EXPECT_EQ(Grid()->GetItemText(3, 2), "Cleo");

    // After a restart.
    m_app->ExitInstance();
    StartOnBackend();
    Show(CLeftTreeView::PersonsNode);
    EXPECT_EQ(Column(2), (QStringList{"Anna", "anna"}));
}

TEST_P(CNameDlgTest, ATransponderChosenFromTheListLinksBothSides)
{
    StartShown();
    Grid()->SetColumnWidth(2, 177, true, false);
    // Bert is offered the free ones only, in cache order.
    EXPECT_EQ(Choose(2, "00000000DD", "persons_dropdown_open.png"), (QStringList{"---", "00000000BB", "00000000DD"}));
    EXPECT_EQ(Grid()->GetItemText(2, 3), "00000000DD");
    EXPECT_EQ(Grid()->GetColumnWidth(2), 177) << "an edit keeps the widths the operator sees";
    EXPECT_EQ(StoredPersons(), (QStringList{"Anna:1", "Bert:4", "Cleo:3"}));
    EXPECT_EQ(StoredLinks(), (QStringList{"1", "0", "3", "2"}));
    EXPECT_EQ(CachedPersons(), (QStringList{"Anna:1", "Bert:4", "Cleo:3"}));
    EXPECT_EQ(CachedLinks(), (QStringList{"1", "0", "3", "2"}));

    // Anna takes BB: AA keeps naming her, so it stays in her list only.
    EXPECT_EQ(Choose(1, "00000000BB"), (QStringList{"---", "00000000AA", "00000000BB"}));
    EXPECT_EQ(Persons()->OfferedTransponders(1), (QStringList{"---", "00000000AA", "00000000BB"}));
    EXPECT_EQ(Persons()->OfferedTransponders(2), (QStringList{"---", "00000000DD"}));
    // "---" clears the person's side only.
    Choose(3, "---");
    EXPECT_EQ(Grid()->GetItemText(3, 3), "---");
    EXPECT_EQ(StoredPersons(), (QStringList{"Anna:2", "Bert:4", "Cleo:0"}));
    EXPECT_EQ(StoredLinks(), (QStringList{"1", "1", "3", "2"}));
    EXPECT_EQ(CachedLinks(), (QStringList{"1", "1", "3", "2"}));

    // Shown after a refill and after a restart.
    Persons()->Reload(0);
    EXPECT_EQ(Column(3), (QStringList{"00000000BB", "00000000DD", "---"}));
    m_app->ExitInstance();
    StartOnBackend();
    Show(CLeftTreeView::PersonsNode);
    EXPECT_EQ(Column(3), (QStringList{"00000000BB", "00000000DD", "---"}));
}

TEST_P(CNameDlgTest, AChoiceTheDatabaseRefusesChangesNeitherSide)
{
    StartShown();
    Trigger("notag", "UPDATE ON tblTransponder", "1");
    Choose(2, "00000000BB");
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_TRUE(m_boxes[0].text.contains("notag says no"));
    EXPECT_EQ(Grid()->GetItemText(2, 3), "---");
    EXPECT_EQ(StoredPersons(), (QStringList{"Anna:1", "Bert:0", "Cleo:3"}));
    EXPECT_EQ(CachedPersons(), StoredPersons());
    EXPECT_EQ(CachedLinks(), StoredLinks());
    EXPECT_EQ(Persons()->OfferedTransponders(2), (QStringList{"---", "00000000BB", "00000000DD"}));
}

TEST_P(CNameDlgTest, WithANumberStoredTwiceTheOfferedTransponderIsTaken)
{
    Sql({"INSERT INTO tblTransponder (ID_Transponder, strTransponderNummer, Person_ID) VALUES (5,'00000000AA',0)"});
    StartShown();
    Choose(2, "00000000AA");
    EXPECT_EQ(StoredPersons(), (QStringList{"Anna:1", "Bert:5", "Cleo:3"}));
    EXPECT_EQ(StoredLinks(), (QStringList{"1", "0", "3", "0", "2"}));
}

TEST_P(CNameDlgTest, ReaderAndScheduleColumnsAreReadOnly)
{
    StartShown();
    QRect rect;
    ASSERT_TRUE(Grid()->GetCellRect(2, 5, &rect));
    QTest::mouseClick(Grid()->viewport(), Qt::LeftButton, {}, rect.center());
    Settle();
    EXPECT_EQ(Grid()->GetCellAt(2, 5)->GetValue(), "0");
    EXPECT_EQ(OpenEditor(1, 4), nullptr);
    EXPECT_EQ(StoredLinks(), (QStringList{"1", "0", "3", "0"}));
    EXPECT_EQ(Stored("tblTransponder", "strLeser_IDS"), (QStringList{"1", "2", "1;2", ""}));
}

TEST_P(CNameDlgTest, ANewPersonIsNamedByTheClockAndShownLast)
{
    ScopedSeam clock(CNameDlg::ClockSeam(), [] { return std::chrono::system_clock::from_time_t(1700000000); });
    StartShown();
    std::srand(1700000000);
    const QString name = "Person_" + QString::number(std::rand() % 0xFFFF, 16).toUpper();
    m_menuChoice = 32785;
    RightClick(1, 2);
    RightClick(1, 2);
    EXPECT_EQ(Column(2), (QStringList{"Anna", "Bert", "Cleo", name, name}));
    EXPECT_EQ(Stored("tblPerson", "strName").mid(3), (QStringList{name, name}));
    EXPECT_TRUE(Grid()->IsCellVisible(5, 2));
    // Not under a reader: the new person would not be shown there.
    Show(CLeftTreeView::PersonsNode, 0);
    m_menuChoice = 0;
    EXPECT_FALSE(RightClick(1, 2)[0].enabled);
}

TEST_P(CNameDlgTest, TheMenuFollowsTheSelection)
{
    StartShown();
    const auto entries = [this](bool insert, unsigned int deleteText, bool remove, bool all) {
        return Menu({{32785, Lang(61), insert}, {32786, Lang(deleteText), remove}, {32787, Lang(63), all}});
    };
    Grid()->SelectRows(nullptr);
    EXPECT_EQ(Persons()->ContextMenu().Entries(), entries(true, 62, false, true));
    const QList<uint> one{2};
    Grid()->SelectRows(&one);
    EXPECT_EQ(Persons()->ContextMenu().Entries(), entries(true, 62, true, true));
    const QList<uint> two{1, 3};
    Grid()->SelectRows(&two);
    EXPECT_EQ(Persons()->ContextMenu().Entries(), entries(true, 67, true, true));
    if (!Odbc()) {
        SaveShot(m_app->GetMainFrame(), "persons_german.png");
        SaveMenuShot(Persons()->ContextMenu(), 3, 2, "persons_menu_two_selected.png");
        m_app->GetMainFrame()->OnCommand(CMainFrame::ID_LANGUAGE_ENGLISH);
        Grid()->SelectRows(&one);
        SaveShot(m_app->GetMainFrame(), "persons_english.png");
        SaveMenuShot(Persons()->ContextMenu(), 2, 2, "persons_menu_english_one_selected.png");
        m_app->GetMainFrame()->OnCommand(CMainFrame::ID_LANGUAGE_GERMAN);
    }
    Show(CLeftTreeView::PersonsNode, 1);
    Grid()->SelectRows(nullptr);
    EXPECT_EQ(Persons()->ContextMenu().Entries(), entries(false, 62, false, true));
}

TEST_P(CNameDlgTest, DeletingSelectedPersonsReleasesTheirTransponders)
{
    StartShown();
    const QList<uint> two{1, 3};
    Grid()->SelectRows(&two);
    m_menuChoice = 32786;
    RightClick(1, 2);
    ASSERT_GE(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0].text, Lang(68));
    EXPECT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(Column(2), QStringList{"Bert"});
    EXPECT_EQ(StoredPersons(), QStringList{"Bert:0"});
    EXPECT_EQ(StoredLinks(), (QStringList{"0", "0", "0", "0"}));
    EXPECT_EQ(CachedLinks(), StoredLinks());
    EXPECT_EQ(View()->m_bBusy, 0);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    // One row: the single question.
    const QList<uint> first{1};
    Grid()->SelectRows(&first);
    m_boxes.clear();
    m_answer = QMessageBox::No;
    RightClick(1, 2);
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0].text, Lang(69));
    EXPECT_EQ(StoredPersons(), QStringList{"Bert:0"});
}

// The transponders' links cannot be cleared: the person stays too, so no
// transponder names a person that is gone; one box with the reason.
TEST_P(CNameDlgTest, APersonWhoseLinksCannotBeClearedIsKept)
{
    StartShown();
    Trigger("linked", "UPDATE ON tblTransponder", "1");
    const QList<uint> anna{1};
    Grid()->SelectRows(&anna);
    Persons()->OnDelete();
    ASSERT_EQ(m_boxes.size(), 2u);
    EXPECT_TRUE(m_boxes[1].text.contains("linked says no"));
    EXPECT_EQ(StoredPersons(), (QStringList{"Anna:1", "Bert:0", "Cleo:3"}));
    EXPECT_EQ(CachedPersons(), StoredPersons());
    EXPECT_EQ(CachedLinks(), StoredLinks());
    EXPECT_EQ(Column(2), (QStringList{"Anna", "Bert", "Cleo"}));
}

TEST_P(CNameDlgTest, DeleteAllUnderAReaderTakesEveryShownPersonAndARefusedOneStays)
{
    Sql({"INSERT INTO tblPerson (ID_Person, strName, Transponder_ID) VALUES (4,'Dora',2)"});
    StartShown(1); // reader B: Cleo (CC) and Dora (BB)
    ASSERT_EQ(Column(2), (QStringList{"Cleo", "Dora"}));
    SqlNow({"UPDATE tblTransponder SET Person_ID = 4 WHERE ID_Transponder = 2"});
    TransponderCache()->_Requery();
    Trigger("keepcleo", "DELETE ON tblPerson", "OLD.ID_Person = 3");
    Persons()->OnDeleteAll();
    ASSERT_EQ(m_boxes.size(), 3u);
    EXPECT_EQ(m_boxes[0].text, Lang(64));
    EXPECT_TRUE(m_boxes[1].text.contains("keepcleo says no"));
    EXPECT_EQ(m_boxes[2].text, Language()->GetLangItem(300, 1));
    EXPECT_EQ(StoredPersons(), (QStringList{"Anna:1", "Bert:0", "Cleo:3"}));
    EXPECT_EQ(StoredLinks(), (QStringList{"1", "0", "3", "0"}));
    EXPECT_EQ(CachedPersons(), StoredPersons());
    EXPECT_EQ(CachedLinks(), StoredLinks());
    EXPECT_EQ(Column(2), QStringList{"Cleo"});
}

TEST_P(CNameDlgTest, DeleteAllWithoutAReaderClearsEveryLink)
{
    Sql({"INSERT INTO tblTransponder (ID_Transponder, strTransponderNummer, Person_ID) VALUES (5, '00000000EE', 99)"});
    StartShown();
    Persons()->OnDeleteAll();
    EXPECT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(Grid()->GetRowCount(), 1);
    EXPECT_TRUE(StoredPersons().isEmpty());
    EXPECT_EQ(StoredLinks(), (QStringList{"0", "0", "0", "0", "0"}));
    EXPECT_EQ(CachedLinks(), StoredLinks());
    EXPECT_TRUE(CachedPersons().isEmpty());
    EXPECT_FALSE(Persons()->ContextMenu().Find(32787)->enabled);
}

TEST_P(CNameDlgTest, ARefillResetsASortedReaderColumnFarRight)
{
    QStringList readers;
    for (int i = 3; i <= 14; ++i)
        readers << QStringLiteral("(%1,'R%1','Kite')").arg(i);
    Sql({"INSERT INTO tblLeser (ID_Leser, strBezeichnung, strLeserTyp) VALUES " + readers.join(',')});
    StartShown();
    ASSERT_EQ(Grid()->GetColumnCount(), 19);
    GRID_NOTIFY header;
    header.hdr.code = NM_DBLCLK;
    header.row = 0;
    header.column = 6; // reader B: Cleo first, descending
    View()->OnGridNotify(header);
    View()->OnGridNotify(header);
    header.column = 17;
    View()->OnGridNotify(header);
    View()->OnGridNotify(header);
    ASSERT_EQ(View()->m_nSortMode, 2);
    ASSERT_EQ(Grid()->GetCell(0, 17)->GetBackClr(true), 0xFFFFBEu);
    Persons()->Reload(0); // as many rows as before
    EXPECT_EQ(View()->m_nSortMode, 0);
    EXPECT_EQ(Grid()->GetCell(0, 17)->GetBackClr(true), CLR_DEFAULT);
    EXPECT_TRUE(Grid()->GetRowOrder().empty());
}

TEST_P(CNameDlgTest, RowsTheCacheNoLongerHoldsShowNothingAndNeverEndTheProgram)
{
    StartShown();
    // As a re-read by someone else leaves it before the view is refilled.
    PersonCache()->RemoveIf([](const CtblPerson::structPerson& row) { return row.ID_Person != 1; });
    Grid()->Refresh();
    EXPECT_EQ(Column(2), (QStringList{"Anna", "", ""}));
    Show(CLeftTreeView::PersonsNode, 0);
    PersonCache()->RemoveAllData();
    Grid()->Refresh();
    EXPECT_EQ(Column(2), (QStringList{""}));
    EXPECT_EQ(OpenEditor(1, 2), nullptr);
}

RECORD_VIEW_BACKENDS(CNameDlgTest);
