#include "ZeitschemaViewFixture.h"

#include "CGridComboList.h"
#include "CDialogSetup.h"

#include <QDir>

namespace {

const QString kGerman = QStringLiteral("Vollzugriff");

QList<int> VisibleColumns(CGridCtrl* grid)
{
    QList<int> visible;
    for (int col = 1; col < grid->GetColumnCount(); ++col) {
        if (grid->GetColumnWidth(col) > 0)
            visible << col;
    }
    return visible;
}

} // namespace

TEST_P(ZeitschemaViewTest, TheOverviewAndOneSchemaShowTheirColumnsAndTheStoredLayoutHidesNothingItShouldNot)
{
    Open();
    EXPECT_EQ(Grid()->GetRowCount(), 5);
    EXPECT_EQ(VisibleColumns(Grid()), (QList<int>{1, 3}));
    EXPECT_EQ(ShownRow(2).mid(0, 3), (QStringList{"2", "0", "Früh"}));
    EXPECT_EQ(ChildTexts(), (QStringList{kGerman, "Früh", "Spät", "Nacht"}));
    EXPECT_EQ(ChildIds(), (QList<int>{1, 5, 9, 13}));

    ShowNode(1);
    EXPECT_EQ(View()->Filter(), 2u);
    EXPECT_EQ(Grid()->GetRowCount(), 5);
    EXPECT_EQ(VisibleColumns(Grid()), (QList<int>{1, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14}));
    EXPECT_EQ(ShownRow(1), (QStringList{"2", "0", "Früh", "06", "30", "14", "00", "1", "1", "1", "1", "1", "0", "0"}));
    // Nacht: the table's Sunday shows in the last column, Monday in the first.
    ShowNode(3);
    EXPECT_EQ(ShownRow(4).mid(7), (QStringList{"0", "0", "0", "0", "0", "1", "1"}));

    // Every fill gives the hour and minute lists their own values, once.
    ShowNode(1);
    View()->ShowSchemas(2);
    for (const auto& [col, count, shown] : {std::tuple{4, 24, "06"}, std::tuple{5, 60, "30"}}) {
        auto* list = qobject_cast<CGridComboList*>(OpenEditor(1, col));
        ASSERT_NE(list, nullptr);
        EXPECT_EQ(list->count(), count);
        EXPECT_EQ(list->currentText(), shown);
        EXPECT_EQ(list->itemText(0), "00");
        QTest::keyClick(list, Qt::Key_Escape);
        Settle();
    }

    // A width the user gave a window column is the schema's, not the
    // overview's; the change mark stays hidden whatever is stored.
    m_app->GetDialogSetup()->SetColumnWidth("04", "0", "5", 80);
    m_app->GetDialogSetup()->SetColumnWidth("04", "0", "2", 40);
    View()->ShowSchemas(0);
    EXPECT_EQ(VisibleColumns(Grid()), (QList<int>{1, 3}));
    View()->ShowSchemas(2);
    EXPECT_EQ(Grid()->GetColumnWidth(5), 80);
    EXPECT_EQ(Grid()->GetColumnWidth(2), 0);
}

TEST_P(ZeitschemaViewTest, EditsOfEveryKindAreStoredAndMarkExactlyTheSchemasTranspondersAndTheirReaders)
{
    Open();
    ShowNode(1); // Früh, rows 5 to 8
    const QStringList before = SchemaTable();

    // The hour chosen from the list of the second window.
    auto* list = qobject_cast<CGridComboList*>(OpenEditor(2, 4));
    ASSERT_NE(list, nullptr);
    QTest::keyClick(list, Qt::Key_Down);
    QTest::keyClick(list, Qt::Key_Return);
    Settle();
    EXPECT_EQ(SchemaTable()[5], "6 Früh 0730 1400 0111110 0");
    EXPECT_EQ(SchemaTable()[4], "5 Früh 0630 1400 0111110 1") << "the schema is marked by its first row";
    EXPECT_EQ(SchemaCache()[5], "6 Früh 0730 1400 0111110 1") << "the cache marks the edited row too";
    EXPECT_EQ(TransponderTable(), (QStringList{"1 5 1", "2 5 1", "3 9 0", "4 1 0", "5 13 0"}));
    EXPECT_EQ(TransponderCache(), TransponderTable());
    EXPECT_EQ(ReaderMarks(), "1100");
    EXPECT_EQ(ReaderCacheMarks(), "1100");
    EXPECT_EQ(Grid()->GetItemText(2, 4), "07");

    // A minute and the window's end chosen by typing in the lists; Sunday
    // ticked by a click in its box.
    for (const auto& [col, typed] : {std::pair{5, "05"}, std::pair{7, "45"}}) {
        QWidget* editor = OpenEditor(2, col);
        ASSERT_NE(editor, nullptr);
        QTest::keyClicks(editor, typed);
        QTest::keyClick(editor, Qt::Key_Return);
        Settle();
    }
    ClickAfresh(3, 14);
    EXPECT_EQ(SchemaTable()[5], "6 Früh 0705 1445 0111110 0");
    EXPECT_EQ(SchemaTable()[6], "7 Früh 0630 1400 1111110 0");
    EXPECT_EQ(ShownRow(3).mid(7), (QStringList{"1", "1", "1", "1", "1", "0", "1"}));
    // Unticked again: Monday stays as it was.
    ClickAfresh(3, 14);
    EXPECT_EQ(SchemaTable()[6], "7 Früh 0630 1400 0111110 0");
    // The other schemas and their users are untouched.
    EXPECT_EQ(SchemaTable().mid(8), before.mid(8));
    EXPECT_EQ(ReaderMarks(), "1100");

    // A rename in the overview: the four rows, the cache, the tree; no marks.
    ShowNode(-1);
    Type(3, 3, "Abend");
    EXPECT_EQ(Value("SELECT group_concat(strBezeichnung) FROM tblZeitschema WHERE ID_Zeitschema BETWEEN 9 AND 12"),
              "Abend,Abend,Abend,Abend");
    EXPECT_EQ(SchemaCache()[8].section(' ', 1, 1), "Abend");
    EXPECT_EQ(ChildTexts(), (QStringList{kGerman, "Früh", "Abend", "Nacht"}));
    EXPECT_EQ(TransponderTable()[2], "3 9 0");
    EXPECT_EQ(ReaderMarks(), "1100");
    EXPECT_TRUE(m_messages.isEmpty()) << m_messages.join('|').toStdString();
}

TEST_P(ZeitschemaViewTest, RefusedInputStoresNothingAndTheCellShowsTheStoredValue)
{
    Open();
    ShowNode(1);
    const QStringList table = SchemaTable();
    // Pasted over the row (the grid pastes into every editable cell of it),
    // no hour, minute or tick takes them.
    for (const char* bad : {"60", "7x", "+7", "-0", "007", "abc", "99", "1:"}) {
        Paste(1, 4, bad);
        EXPECT_EQ(ShownRow(1).mid(3), (QStringList{"06", "30", "14", "00", "1", "1", "1", "1", "1", "0", "0"})) << bad;
    }
    EXPECT_EQ(SchemaTable(), table);
    // A cell's end of edit with no text at all (no list offers it).
    EXPECT_FALSE(StoreDirect(1, 4, QString()));
    EXPECT_FALSE(StoreDirect(1, 4, "24"));
    EXPECT_EQ(SchemaTable(), table);
    EXPECT_EQ(TransponderTable()[0], "1 5 0");
    EXPECT_EQ(ReaderMarks(), "0000");
    EXPECT_TRUE(m_messages.isEmpty());

    // Names: the built-in schema's, another schema's, none.
    ShowNode(-1);
    const struct
    {
        QString name;
        unsigned int text;
    } names[] = {{"Vollzugriff", 281}, {"Full access", 281}, {"Spät", 282}};
    for (const auto& n : names) {
        m_messages.clear();
        Type(2, 3, n.name);
        ASSERT_EQ(m_messages.size(), 1) << n.name.toStdString();
        EXPECT_EQ(m_messages.front(), Language()->GetLangItem(n.text));
        EXPECT_EQ(Grid()->GetItemText(2, 3), "Früh");
    }
    m_messages.clear();
    EXPECT_FALSE(StoreDirect(2, 3, "  "));
    EXPECT_EQ(m_messages, QStringList{Language()->GetLangItem(280)});
    // A name longer than the database keeps: the editor takes no more, a
    // pasted one is refused.
    m_messages.clear();
    EXPECT_FALSE(StoreDirect(2, 3, QString(256, u'n')));
    EXPECT_EQ(m_messages, QStringList{Language()->GetLangItem(364, 255)});
    Type(2, 3, QString(300, u'n'));
    EXPECT_EQ(Grid()->GetItemText(2, 3), QString(255, u'n'));
    Type(2, 3, "Früh");
    EXPECT_EQ(SchemaTable(), table);
    EXPECT_EQ(ChildTexts()[1], "Früh");

    // "24" is a minute but no hour: pasted over a row, the hours keep theirs.
    ShowNode(1);
    Paste(1, 4, "24");
    EXPECT_EQ(ShownRow(1).mid(3, 4), (QStringList{"06", "24", "14", "24"}));
    EXPECT_EQ(SchemaTable()[4], "5 Früh 0624 1424 0111110 1");
}

TEST_P(ZeitschemaViewTest, TheBuiltInSchemaRefusesEveryRoad)
{
    Open();
    const QStringList table = SchemaTable();
    // Shown alone: every cell grey and read-only; no editor, no tick, no paste.
    ShowNode(0);
    for (int row = 1; row <= 4; ++row) {
        for (int col = 1; col <= 14; ++col)
            EXPECT_TRUE(ReadOnly(row, col)) << row << "/" << col;
    }
    EXPECT_EQ(OpenEditor(1, 4), nullptr);
    QTest::keyClicks(Grid()->viewport(), "7");
    Settle();
    EXPECT_EQ(Grid()->GetActiveEditor(), nullptr);
    ClickAfresh(2, 8);
    Paste(3, 6, "07");
    // And the write path refuses what no mouse or key can reach.
    EXPECT_FALSE(StoreDirect(1, 4, "07"));
    EXPECT_EQ(SchemaTable(), table);

    // The overview: its name neither edited nor pasted over, nor kept selected
    // by the mouse.
    ShowNode(-1);
    EXPECT_TRUE(ReadOnly(1, 3));
    EXPECT_FALSE(ReadOnly(2, 3));
    ClickAfresh(1, 3);
    QTest::keyClicks(Grid()->viewport(), "X");
    Settle();
    EXPECT_EQ(Grid()->GetActiveEditor(), nullptr);
    Paste(1, 3, "Neu");
    EXPECT_FALSE(StoreDirect(1, 3, "Neu"));
    Click(2, 1);
    Click(1, 1, Qt::ControlModifier);
    EXPECT_FALSE(Grid()->GetItemState(1, 1) & GVIS_SELECTED);
    EXPECT_TRUE(Grid()->GetItemState(2, 1) & GVIS_SELECTED);

    // Reset is not offered for it, and refused when asked all the same.
    const QList<MenuEntry> menu = RightClick(1, 3);
    ASSERT_EQ(menu.size(), 5);
    EXPECT_FALSE(menu[2].enabled) << "reset";
    View()->m_nClickedSchemaId = 1;
    View()->OnResetEntry();
    EXPECT_EQ(m_messages.last(), Language()->GetLangItem(283));
    EXPECT_EQ(SchemaTable(), table);

    // Selected by keys (Ctrl+A) and deleted, it stays, with its child and
    // its transponders; the others go.
    Grid()->setFocus();
    QTest::keyClick(Grid()->viewport(), Qt::Key_A, Qt::ControlModifier);
    Settle();
    EXPECT_TRUE(Grid()->GetItemState(1, 1) & GVIS_SELECTED);
    RightClick(2, 3, CZeitschemaDlg::ID_DELETE_ENTRY);
    EXPECT_EQ(SchemaTable(), table.mid(0, 4));
    EXPECT_EQ(ChildIds(), QList<int>{1});
    EXPECT_EQ(TransponderTable()[3], "4 1 0");
    EXPECT_EQ(Grid()->GetRowCount(), 2);
    // Its only road to a change is a copy, which is a schema of the user's.
    QTest::keyClick(Grid()->viewport(), Qt::Key_A, Qt::ControlModifier);
    RightClick(1, 3, CZeitschemaDlg::ID_COPY_AND_INSERT_ENTRY);
    ASSERT_EQ(SchemaTable().size(), 8);
    EXPECT_TRUE(QRegularExpression("^\\d+ Vollzugriff_[0-9A-F]{1,4} 0000 2359 1111111 0$").match(SchemaTable()[4]).hasMatch())
        << SchemaTable()[4].toStdString();
    EXPECT_FALSE(ReadOnly(2, 3));
}

TEST_P(ZeitschemaViewTest, TwoSchemasOfOneNameStayTwoInTheTreeTheViewAndTheirMarks)
{
    // A database written by other means: a second "Spät" (identity 17).
    Sql({"INSERT INTO tblZeitschema (ID_Zeitschema, strBezeichnung, strVon, strBis) VALUES"
         " (17,'Spät','1500','1600'),(18,'Spät','0000','0000'),(19,'Spät','0000','0000'),(20,'Spät','0000','0000')",
         "INSERT INTO tblTransponder (ID_Transponder, strTransponderNummer, Zeitfenster_ID, strLeser_IDS)"
         " VALUES (6,'00000000A6',17,'2')"});
    Open();
    EXPECT_EQ(ChildIds(), (QList<int>{1, 5, 9, 13, 17}));
    // The second child opens the second schema, not the first of the name.
    ShowNode(4);
    EXPECT_EQ(View()->Filter(), 5u);
    EXPECT_EQ(Grid()->GetItemText(1, 4), "15");
    // An edit there (pasted over its first window) marks the second
    // schema's transponder and reader only.
    Paste(1, 4, "16");
    EXPECT_EQ(Value("SELECT strVon FROM tblZeitschema WHERE ID_Zeitschema = 17"), "1616");
    EXPECT_EQ(Value("SELECT group_concat(boolUpdateOK) FROM tblZeitschema WHERE ID_Zeitschema IN (9, 17)"), "0,1");
    EXPECT_EQ(TransponderTable().mid(2), (QStringList{"3 9 0", "4 1 0", "5 13 0", "6 17 1"}));
    EXPECT_EQ(ReaderMarks(), "0100");
    // A rename of the second renames it alone; the first keeps its name.
    ShowNode(-1);
    Type(5, 3, "Spät2");
    EXPECT_EQ(Value("SELECT group_concat(DISTINCT strBezeichnung) FROM tblZeitschema WHERE ID_Zeitschema >= 17"),
              "Spät2");
    EXPECT_EQ(Value("SELECT group_concat(DISTINCT strBezeichnung) FROM tblZeitschema WHERE ID_Zeitschema IN (9,10,11,12)"),
              "Spät");
    EXPECT_EQ(ChildTexts(), (QStringList{kGerman, "Früh", "Spät", "Nacht", "Spät2"}));
}

TEST_P(ZeitschemaViewTest, ALanguageSwitchRetitlesTheShownViewAndNamesTheBuiltInSchemaAnew)
{
    Open();
    ShowNode(0);
    EXPECT_TRUE(View()->Heading().endsWith(kGerman));
    m_app->GetMainFrame()->OnCommand(CMainFrame::ID_LANGUAGE_ENGLISH);
    EXPECT_EQ(Grid()->GetItemText(0, 4), Language()->GetLangItem(34));
    EXPECT_EQ(Grid()->GetItemText(1, 3), "Full access");
    EXPECT_TRUE(View()->Heading().endsWith("Full access"));
    EXPECT_TRUE(ReadOnly(1, 4));
    ShowNode(-1);
    EXPECT_EQ(Grid()->GetItemText(1, 3), "Full access");
    EXPECT_TRUE(ReadOnly(1, 3));
    EXPECT_EQ(ChildTexts().first(), "Full access");
    m_app->GetMainFrame()->OnCommand(CMainFrame::ID_LANGUAGE_GERMAN);
    EXPECT_EQ(Grid()->GetItemText(1, 3), kGerman);
    EXPECT_EQ(Grid()->GetItemText(0, 3), Language()->GetLangItem(28));
    // The stored name never changed.
    EXPECT_EQ(Value("SELECT COUNT(*) FROM tblZeitschema WHERE strBezeichnung = 'Vollzugriff'"), "4");
}

INSTANTIATE_TEST_SUITE_P(Backends, ZeitschemaViewTest, ::testing::Values("sqlite", "odbc"),
                         [](const ::testing::TestParamInfo<const char*>& info) { return std::string(info.param); });
