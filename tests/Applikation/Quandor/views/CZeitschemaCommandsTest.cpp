#include "ZeitschemaViewFixture.h"
#include "TestWait.h"

#include "CTransponderDlg.h"
#include "TestShots.h"

#include <QDir>
#include <QRegularExpression>
#include <QScrollBar>

namespace {

const QString kGerman = QStringLiteral("Vollzugriff");

class ZeitschemaCommandsTest : public ZeitschemaViewTest
{
protected:
    // Every group of the table is whole: four rows of one name and
    // consecutive keys.
    void ExpectWholeGroups()
    {
        const QList<QStringList> rows =
            Rows("SELECT ID_Zeitschema, strBezeichnung FROM tblZeitschema ORDER BY ID_Zeitschema");
        ASSERT_EQ(rows.size() % 4, 0) << rows.size() << " rows";
        for (int i = 0; i < rows.size(); i += 4) {
            for (int r = 1; r < 4; ++r) {
                EXPECT_EQ(rows[i + r][1], rows[i][1]) << "row " << rows[i + r][0].toStdString();
                EXPECT_EQ(rows[i + r][0].toInt(), rows[i][0].toInt() + r);
            }
        }
        EXPECT_EQ(Db()->Get_Ptr_To_tblZeitschema()->GetAnz_Zeitschema(), rows.size()) << "cache and table";
        EXPECT_EQ(Grid()->GetRowCount(), rows.size() / 4 + 1) << "grid and table";
        EXPECT_EQ(SchemaNode()->childCount(), rows.size() / 4) << "tree and table";
    }

    void Inject(const QString& trigger) { Exec(trigger); }

    // Selects overview rows by the mouse (the first plainly, the others
    // with Ctrl).
    void Select(std::initializer_list<int> rows)
    {
        bool first = true;
        for (int row : rows) {
            Click(row, 1, first ? Qt::NoModifier : Qt::ControlModifier);
            first = false;
        }
    }
};

} // namespace

TEST_P(ZeitschemaCommandsTest, TheContextMenuFollowsTheSelectionAndTheClickedRow)
{
    Open();
    auto entries = [](const QList<MenuEntry>& menu) {
        QStringList out;
        for (const MenuEntry& e : menu)
            out << QStringLiteral("%1 %2").arg(e.command).arg(e.enabled ? "on" : "off");
        return out;
    };
    QList<MenuEntry> menu = RightClick(2, 3);
    EXPECT_EQ(entries(menu), (QStringList{"32785 on", "32786 off", "32818 off", "32819 off", "32787 on"}));
    EXPECT_EQ(menu[0].text, Language()->GetLangItem(61));
    EXPECT_EQ(menu[1].text, Language()->GetLangItem(62));
    EXPECT_EQ(menu[2].text, Language()->GetLangItem(204));
    EXPECT_EQ(menu[3].text, Language()->GetLangItem(206));
    EXPECT_EQ(menu[4].text, Language()->GetLangItem(63));
    EXPECT_EQ(View()->m_strClickedSchema, "Früh");
    EXPECT_EQ(View()->m_nClickedSchemaId, 5);

    Select({2});
    EXPECT_EQ(entries(RightClick(3, 3)), (QStringList{"32785 on", "32786 on", "32818 on", "32819 on", "32787 on"}));
    EXPECT_EQ(View()->m_nClickedSchemaId, 9);
    Select({2, 3});
    menu = RightClick(3, 3);
    EXPECT_EQ(menu[1].text, Language()->GetLangItem(67));
    // After a descending sort by name (Vollzugriff, Spät, Nacht, Früh), the
    // clicked row's own schema.
    Grid()->SortByColumn(3, 2);
    RightClick(2, 3);
    EXPECT_EQ(View()->m_strClickedSchema, "Spät");
    Grid()->SortByColumn(3, 0);

    // Below the last schema: nothing to reset or copy.
    Select({2});
    EXPECT_EQ(entries(RightClickAt(At(4, 3) + QPoint(0, 60))), (QStringList{"32785 on", "32786 on", "32818 off", "32819 off", "32787 on"}));
    EXPECT_TRUE(View()->m_strClickedSchema.isEmpty());

    // One schema shown: no menu.
    ShowNode(1);
    EXPECT_TRUE(RightClick(1, 4).isEmpty());
}

TEST_P(ZeitschemaCommandsTest, NewAndCopiedSchemasAreWholeUnmarkedAndUniquelyNamed)
{
    Open();
    RightClick(2, 3, CZeitschemaDlg::ID_INSERT_ENTRY);
    RightClick(2, 3, CZeitschemaDlg::ID_INSERT_ENTRY);
    QStringList table = SchemaTable();
    ASSERT_EQ(table.size(), 24);
    const QRegularExpression fresh("^(\\d+) (Zeitplan_[0-9A-F]{1,4}) 0000 2359 1111111 0$");
    const auto first = fresh.match(table[16]);
    const auto second = fresh.match(table[20]);
    ASSERT_TRUE(first.hasMatch()) << table[16].toStdString();
    ASSERT_TRUE(second.hasMatch()) << table[20].toStdString();
    EXPECT_NE(first.captured(2), second.captured(2)) << "two within one second differ";
    // Last in the tree with its identity; the grid scrolled to its end.
    EXPECT_EQ(ChildTexts().mid(4), (QStringList{first.captured(2), second.captured(2)}));
    EXPECT_EQ(ChildIds().mid(4), (QList<int>{first.captured(1).toInt(), second.captured(1).toInt()}));
    EXPECT_EQ(Grid()->verticalScrollBar()->value(), Grid()->verticalScrollBar()->maximum());
    ExpectWholeGroups();

    // A copy of "Früh": its windows, unmarked, after the clicked name.
    Select({2});
    m_dialogs.clear();
    RightClick(2, 3, CZeitschemaDlg::ID_COPY_AND_INSERT_ENTRY);
    table = SchemaTable();
    ASSERT_EQ(table.size(), 28);
    const QRegularExpression copy("^\\d+ (Früh_[0-9A-F]{1,4}) (.*)$");
    for (int r = 0; r < 4; ++r) {
        const auto match = copy.match(table[24 + r]);
        ASSERT_TRUE(match.hasMatch()) << table[24 + r].toStdString();
        EXPECT_EQ(match.captured(2), table[4 + r].section(' ', 2)) << "window " << r;
    }
    EXPECT_EQ(m_dialogs, QStringList{"CShowMessage"});
    EXPECT_EQ(ReaderMarks(), "0000");
    ExpectWholeGroups();

    // In English the new schema is a "Timeplan_".
    m_app->GetMainFrame()->OnCommand(CMainFrame::ID_LANGUAGE_ENGLISH);
    RightClick(2, 3, CZeitschemaDlg::ID_INSERT_ENTRY);
    EXPECT_TRUE(SchemaTable().last().contains(QRegularExpression(" Timeplan_[0-9A-F]{1,4} ")));
    EXPECT_EQ(ChildTexts().first(), "Full access");
}

TEST_P(ZeitschemaCommandsTest, ResetClearsTheWindowsAndMarksTheUsersAfterAYes)
{
    Open();
    Select({3});
    m_answer = QMessageBox::No;
    RightClick(3, 3, CZeitschemaDlg::ID_RESET_ENTRY);
    EXPECT_EQ(m_messages, QStringList{Language()->GetLangItem(207)});
    EXPECT_EQ(SchemaTable()[8], "9 Spät 1400 2200 0111110 0");

    m_answer = QMessageBox::Yes;
    Select({3});
    RightClick(3, 3, CZeitschemaDlg::ID_RESET_ENTRY);
    EXPECT_EQ(SchemaTable().mid(8, 4),
              (QStringList{"9 Spät 0000 0000 0000000 1", "10 Spät 0000 0000 0000000 1", "11 Spät 0000 0000 0000000 1",
                           "12 Spät 0000 0000 0000000 1"}));
    EXPECT_EQ(SchemaCache().mid(8, 4), SchemaTable().mid(8, 4));
    EXPECT_EQ(TransponderTable(), (QStringList{"1 5 0", "2 5 0", "3 9 1", "4 1 0", "5 13 0"}));
    EXPECT_EQ(TransponderCache(), TransponderTable());
    EXPECT_EQ(ReaderMarks(), "0010");
    EXPECT_EQ(m_dialogs, QStringList{"CShowMessage"});
    ShowNode(2);
    EXPECT_EQ(ShownRow(1).mid(3), (QStringList{"00", "00", "00", "00", "0", "0", "0", "0", "0", "0", "0"}));
}

TEST_P(ZeitschemaCommandsTest, DeletingSchemasMovesTheirTranspondersToFullAccessAndMarksTheirReaders)
{
    Open();
    Select({2, 4});
    RightClick(4, 3, CZeitschemaDlg::ID_DELETE_ENTRY);
    EXPECT_EQ(m_messages, QStringList{Language()->GetLangItem(68)});
    EXPECT_EQ(SchemaTable().size(), 8);
    EXPECT_EQ(SchemaTable()[4], "9 Spät 1400 2200 0111110 0");
    EXPECT_EQ(SchemaCache(), SchemaTable());
    // The schema numbers follow: "Spät" is number 2 now.
    EXPECT_EQ(ShownRow(2).mid(0, 3), (QStringList{"2", "0", "Spät"}));
    EXPECT_EQ(Grid()->GetItemState(1, 1) & GVIS_SELECTED, 0u);
    EXPECT_EQ(TransponderTable(), (QStringList{"1 1 1", "2 1 1", "3 9 0", "4 1 0", "5 1 1"}));
    EXPECT_EQ(TransponderCache(), TransponderTable());
    EXPECT_EQ(ReaderMarks(), "1101");
    EXPECT_EQ(ReaderCacheMarks(), "1101");
    EXPECT_EQ(ChildIds(), (QList<int>{1, 9}));
    ExpectWholeGroups();

    // The transponder view names the new schema of the moved ones.
    Tree()->setCurrentItem(Tree()->Node(CLeftTreeView::TranspondersNode));
    Settle();
    auto* transponders = qobject_cast<CTransponderDlg*>(m_app->GetMainFrame()->GetRightPane());
    ASSERT_NE(transponders, nullptr);
    EXPECT_EQ(transponders->GetGrid()->GetItemText(1, 5), kGerman);
    EXPECT_EQ(transponders->GetGrid()->GetItemText(3, 5), "Spät");
}

TEST_P(ZeitschemaCommandsTest, DeleteAllLeavesTheBuiltInSchemaAndItsTransponders)
{
    Open();
    RightClick(2, 3, CZeitschemaDlg::ID_DELETE_ALL_ENTRIES);
    EXPECT_EQ(m_messages, QStringList{Language()->GetLangItem(64)});
    EXPECT_EQ(SchemaTable(), (QStringList{"1 Vollzugriff 0000 2359 1111111 0", "2 Vollzugriff 0000 2359 1111111 0",
                                          "3 Vollzugriff 0000 2359 1111111 0", "4 Vollzugriff 0000 2359 1111111 0"}));
    EXPECT_EQ(TransponderTable(), (QStringList{"1 1 1", "2 1 1", "3 1 1", "4 1 0", "5 1 1"}));
    EXPECT_EQ(TransponderCache(), TransponderTable());
    EXPECT_EQ(ReaderMarks(), "1111");
    EXPECT_EQ(ChildTexts(), QStringList{kGerman});
    ExpectWholeGroups();
    // Nothing left to delete all of.
    EXPECT_FALSE(RightClick(1, 3).last().enabled);
}

TEST_P(ZeitschemaCommandsTest, AFailureInsideAGroupLeavesEveryGroupWholeAndSaysWhy)
{
    Open();
    const QStringList table = SchemaTable();
    // The third row of a new schema cannot be added.
    Inject("CREATE TRIGGER fail_third_add BEFORE INSERT ON tblZeitschema"
           " WHEN (SELECT COUNT(*) FROM tblZeitschema) % 4 = 2 BEGIN SELECT RAISE(ABORT, 'injected add'); END");
    RightClick(2, 3, CZeitschemaDlg::ID_INSERT_ENTRY);
    Select({2});
    RightClick(2, 3, CZeitschemaDlg::ID_COPY_AND_INSERT_ENTRY);
    EXPECT_EQ(SchemaTable(), table);
    ASSERT_EQ(m_messages.size(), 2);
    EXPECT_TRUE(m_messages[0].contains("injected add")) << m_messages[0].toStdString();
    EXPECT_TRUE(m_dialogs.isEmpty()) << "no notice of success";
    ExpectWholeGroups();
    Exec("DROP TRIGGER fail_third_add");

    // The third row of "Früh" cannot be renamed, nor deleted.
    Inject("CREATE TRIGGER fail_rename BEFORE UPDATE OF strBezeichnung ON tblZeitschema"
           " WHEN OLD.ID_Zeitschema = 7 BEGIN SELECT RAISE(ABORT, 'injected rename'); END");
    Inject("CREATE TRIGGER fail_delete BEFORE DELETE ON tblZeitschema"
           " WHEN OLD.ID_Zeitschema = 7 BEGIN SELECT RAISE(ABORT, 'injected delete'); END");
    m_messages.clear();
    Type(2, 3, "Morgen");
    EXPECT_EQ(SchemaTable(), table);
    EXPECT_EQ(Grid()->GetItemText(2, 3), "Früh");
    EXPECT_EQ(ChildTexts()[1], "Früh");
    EXPECT_EQ(m_messages.size(), 1);

    // Deleting "Früh" and "Spät": "Spät" goes, "Früh" stays whole with its
    // transponders where they were; the reason, then the count.
    m_messages.clear();
    Select({2, 3});
    RightClick(3, 3, CZeitschemaDlg::ID_DELETE_ENTRY);
    EXPECT_EQ(SchemaTable(), table.mid(0, 8) + table.mid(12));
    EXPECT_EQ(TransponderTable(), (QStringList{"1 5 0", "2 5 0", "3 1 1", "4 1 0", "5 13 0"}));
    EXPECT_EQ(ReaderMarks(), "0010");
    ASSERT_EQ(m_messages.size(), 3) << m_messages.join('|').toStdString();
    EXPECT_TRUE(m_messages[1].contains("injected delete"));
    EXPECT_EQ(m_messages[2], Language()->GetLangItem(300, 1));
    EXPECT_EQ(ChildIds(), (QList<int>{1, 5, 13}));
    ExpectWholeGroups();

    // A transponder that cannot be marked: the window edit is not stored.
    Inject("CREATE TRIGGER fail_mark BEFORE UPDATE ON tblTransponder"
           " WHEN NEW.ID_Transponder = 2 BEGIN SELECT RAISE(ABORT, 'injected mark'); END");
    ShowNode(1);
    const QStringList cache = SchemaCache();
    Paste(1, 4, "08");
    EXPECT_EQ(Value("SELECT strVon || boolUpdateOK FROM tblZeitschema WHERE ID_Zeitschema = 5"), "06300");
    EXPECT_EQ(SchemaCache(), cache);
    EXPECT_EQ(TransponderTable()[0], "1 5 0");
    EXPECT_EQ(TransponderCache()[0], "1 5 0");
    EXPECT_EQ(Grid()->GetItemText(1, 4), "06");
    EXPECT_TRUE(m_messages.last().contains("injected mark"));
}

TEST_P(ZeitschemaCommandsTest, ATableThatCannotBeReadStopsTheDeleteWithTheDatabaseBox)
{
    Open();
    const QStringList table = SchemaTable();
    Exec("ALTER TABLE tblTransponder RENAME TO tblTransponderAway");
    Select({2});
    RightClick(2, 3, CZeitschemaDlg::ID_DELETE_ENTRY);
    Exec("ALTER TABLE tblTransponderAway RENAME TO tblTransponder");
    ASSERT_EQ(m_messages.size(), 2) << m_messages.join('|').toStdString() << SchemaTable().join('|').toStdString();
    EXPECT_EQ(m_messages[1], Language()->GetLangItem(83) + "\n" + Language()->GetLangItem(84));
    EXPECT_EQ(m_icons[1], QMessageBox::Critical);
    EXPECT_EQ(SchemaTable(), table);
    EXPECT_EQ(TransponderCache()[0], "1 5 0");
    EXPECT_EQ(View()->m_bBusy, 0);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    ExpectWholeGroups();
}

TEST_P(ZeitschemaCommandsTest, Screenshots)
{
    if (Odbc())
        GTEST_SKIP() << "the pictures are the same on both backends";
    const QString shots = TestShots(QStringLiteral("schemas"));
    QDir().mkpath(shots);
    Open();
    Select({2});
    TestWait::Settle();
    EXPECT_TRUE(m_app->GetMainFrame()->grab().save(shots + "overview_de.png"));
    RightClick(2, 3, 0, shots + "menu_de.png");
    ShowNode(1);
    TestWait::Settle();
    EXPECT_TRUE(m_app->GetMainFrame()->grab().save(shots + "schema_de.png"));
    m_app->GetMainFrame()->OnCommand(CMainFrame::ID_LANGUAGE_ENGLISH);
    ShowNode(1);
    TestWait::Settle();
    EXPECT_TRUE(m_app->GetMainFrame()->grab().save(shots + "schema_en.png"));
    ShowNode(-1);
    Select({2});
    RightClick(2, 3, 0, shots + "menu_en.png");
    EXPECT_TRUE(m_app->GetMainFrame()->grab().save(shots + "overview_en.png"));
}

INSTANTIATE_TEST_SUITE_P(Backends, ZeitschemaCommandsTest, ::testing::Values("sqlite", "odbc"),
                         [](const ::testing::TestParamInfo<const char*>& info) { return std::string(info.param); });
