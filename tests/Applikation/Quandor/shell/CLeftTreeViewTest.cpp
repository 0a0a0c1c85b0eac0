#include "QuandorAppFixture.h"
#include "TestWait.h"

#include "CColorStatic.h"
#include "CEventsDlg.h"
#include "CFerrold_Handler.h"
#include "CLeftTreeView.h"
#include "CLeserDlg.h"
#include "CNameDlg.h"
#include "CTransponderDlg.h"
#include "CZeitschemaDlg.h"
#include "CtblLeser.h"
#include "CtblZeitschema.h"

#include <QSettings>
#include <QTimer>
#include <QTreeWidgetItem>

class CLeftTreeViewTest : public QuandorAppFixture
{
protected:
    // Readers A and B, a Tern, and schemas "Früh" and "Spät" around the built-in one.
    void Fixture()
    {
        Sql({"INSERT INTO tblLeser (strBezeichnung, strLeserTyp, strSeriennummer) VALUES ('A', 'Kite', 'K1')",
             "INSERT INTO tblLeser (strBezeichnung, strLeserTyp, strSeriennummer) VALUES ('Tür', 'Tern', '---')",
             "INSERT INTO tblLeser (strBezeichnung, strLeserTyp, strSeriennummer) VALUES ('B', 'Heron', 'H1')",
             "INSERT INTO tblZeitschema (strBezeichnung) VALUES ('Früh'),('Früh'),('Früh'),('Früh')",
             "INSERT INTO tblZeitschema (strBezeichnung) VALUES ('Spät'),('Spät'),('Spät'),('Spät')"});
    }

    // Moves the built-in schema behind the others, as a copy would leave it.
    void BuiltInSchemaLast()
    {
        Sql({"UPDATE tblZeitschema SET ID_Zeitschema = ID_Zeitschema + 100 WHERE ID_Zeitschema <= 4"});
    }

    CLeftTreeView* Tree() const { return m_app->GetMainFrame()->GetLeftTreeView(); }
    QWidget* Pane() const { return m_app->GetMainFrame()->GetRightPane(); }

    void Select(QTreeWidgetItem* item)
    {
        Tree()->setCurrentItem(item);
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
    }

    QTreeWidgetItem* Child(CLeftTreeView::NodeKind kind, const QString& text) const
    {
        QTreeWidgetItem* node = Tree()->Node(kind);
        for (int i = 0; i < node->childCount(); ++i) {
            if (node->child(i)->text(0) == text)
                return node->child(i);
        }
        return nullptr;
    }

    static QStringList Texts(QTreeWidgetItem* node)
    {
        QStringList texts;
        for (int i = 0; i < node->childCount(); ++i)
            texts << node->child(i)->text(0);
        return texts;
    }

    qint32 ReaderId(const QString& name) const
    {
        CtblLeser* readers = m_app->GetDBHandler()->Get_Ptr_To_tblLeser();
        for (int i = 0; i < readers->GetAnz_Leser(); ++i) {
            if (readers->Get_Leser(i)->Bezeichnung == name)
                return readers->Get_Leser(i)->ID_Leser;
        }
        return -1;
    }
};

TEST_F(CLeftTreeViewTest, BuildsTheNodesFromTheCaches)
{
    Fixture();
    Start();
    CLeftTreeView* tree = Tree();
    QTreeWidgetItem* root = tree->Node(CLeftTreeView::RootNode);
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->text(0), Language()->GetLangItem(13));
    EXPECT_EQ(Texts(root), QStringList({Language()->GetLangItem(14), Language()->GetLangItem(15),
                                         Language()->GetLangItem(16), Language()->GetLangItem(18),
                                         Language()->GetLangItem(17)}));
    // The Tern has no children; each other reader one under each of three nodes.
    for (auto kind : {CLeftTreeView::TranspondersNode, CLeftTreeView::PersonsNode, CLeftTreeView::EventsNode})
        EXPECT_EQ(Texts(tree->Node(kind)), QStringList({"A", "B"}));
    EXPECT_EQ(Texts(tree->Node(CLeftTreeView::TimeSchemasNode)), QStringList({"Vollzugriff", "Früh", "Spät"}));
    EXPECT_EQ(tree->Node(CLeftTreeView::ReadersNode)->childCount(), 0);
    for (auto kind : {CLeftTreeView::RootNode, CLeftTreeView::EventsNode, CLeftTreeView::TranspondersNode,
                      CLeftTreeView::PersonsNode, CLeftTreeView::TimeSchemasNode})
        EXPECT_TRUE(tree->Node(kind)->isExpanded());
    EXPECT_EQ(tree->currentItem(), tree->Node(CLeftTreeView::ReadersNode));
    EXPECT_NE(qobject_cast<CLeserDlg*>(Pane()), nullptr);
    // The port choice is asked for once; no port is opened by the start.
    EXPECT_EQ(m_dialogs, QStringList({"169"}));
    EXPECT_FALSE(tree->IsPortOpen());
}

TEST_F(CLeftTreeViewTest, EveryNodeShowsItsViewWithItsFilter)
{
    Fixture();
    Start();
    CLeftTreeView* tree = Tree();

    Select(tree->Node(CLeftTreeView::TranspondersNode));
    ASSERT_NE(qobject_cast<CTransponderDlg*>(Pane()), nullptr);
    EXPECT_EQ(qobject_cast<CTransponderDlg*>(Pane())->Filter(), 0u);
    Select(Child(CLeftTreeView::TranspondersNode, "B"));
    ASSERT_NE(qobject_cast<CTransponderDlg*>(Pane()), nullptr);
    EXPECT_EQ(qobject_cast<CTransponderDlg*>(Pane())->Filter(), static_cast<quint32>(ReaderId("B")));

    Select(tree->Node(CLeftTreeView::PersonsNode));
    ASSERT_NE(qobject_cast<CNameDlg*>(Pane()), nullptr);
    Select(Child(CLeftTreeView::PersonsNode, "A"));
    ASSERT_NE(qobject_cast<CNameDlg*>(Pane()), nullptr);
    EXPECT_EQ(qobject_cast<CNameDlg*>(Pane())->Filter(), static_cast<quint32>(ReaderId("A")));

    Select(Child(CLeftTreeView::EventsNode, "A"));
    ASSERT_NE(qobject_cast<CEventsDlg*>(Pane()), nullptr);
    EXPECT_EQ(qobject_cast<CEventsDlg*>(Pane())->Filter(), static_cast<quint32>(ReaderId("A")));
    EXPECT_TRUE(qobject_cast<CEventsDlg*>(Pane())->Heading().endsWith("A"));

    Select(tree->Node(CLeftTreeView::TimeSchemasNode));
    ASSERT_NE(qobject_cast<CZeitschemaDlg*>(Pane()), nullptr);
    EXPECT_EQ(qobject_cast<CZeitschemaDlg*>(Pane())->Filter(), 0u);
    Select(Child(CLeftTreeView::TimeSchemasNode, "Spät"));
    EXPECT_EQ(qobject_cast<CZeitschemaDlg*>(Pane())->Filter(), 3u);
    Select(Child(CLeftTreeView::TimeSchemasNode, "Vollzugriff"));
    EXPECT_EQ(qobject_cast<CZeitschemaDlg*>(Pane())->Filter(), 1u);

    Select(tree->Node(CLeftTreeView::ReadersNode));
    EXPECT_NE(qobject_cast<CLeserDlg*>(Pane()), nullptr);

    // The root leaves the pane as it is.
    QWidget* before = Pane();
    Select(tree->Node(CLeftTreeView::RootNode));
    EXPECT_EQ(Pane(), before);
}

TEST_F(CLeftTreeViewTest, AReaderNamedLikeANodeStillOpensItsOwnView)
{
    SetLanguage(0);
    CLanguageHandler german(0, QString());
    Sql({QStringLiteral("INSERT INTO tblLeser (strBezeichnung, strLeserTyp) VALUES ('%1', 'Kite')")
             .arg(german.GetLangItem(16)),
         QStringLiteral("INSERT INTO tblLeser (strBezeichnung, strLeserTyp) VALUES ('%1', 'Heron')")
             .arg(german.GetLangItem(14))});
    Start();
    Select(Child(CLeftTreeView::TranspondersNode, german.GetLangItem(16)));
    ASSERT_NE(qobject_cast<CTransponderDlg*>(Pane()), nullptr);
    EXPECT_EQ(qobject_cast<CTransponderDlg*>(Pane())->Filter(), static_cast<quint32>(ReaderId(german.GetLangItem(16))));
    Select(Child(CLeftTreeView::EventsNode, german.GetLangItem(14)));
    ASSERT_NE(qobject_cast<CEventsDlg*>(Pane()), nullptr);
    EXPECT_EQ(qobject_cast<CEventsDlg*>(Pane())->Filter(), static_cast<quint32>(ReaderId(german.GetLangItem(14))));
}

TEST_F(CLeftTreeViewTest, AnUnusablePortNumberIsRepaired)
{
    QSettings("Velmora", "Quandor").setValue("nAktCom", 300);
    Start();
    EXPECT_EQ(Tree()->ChosenPort(), 256u);
    m_app->ExitInstance();
    QSettings settings("Velmora", "Quandor");
    EXPECT_EQ(settings.value("nAktCom").toString(), QStringLiteral("256"));
    EXPECT_FALSE(settings.contains("nAktCOM"));

    settings.setValue("nAktCom", 7);
    settings.sync();
    Start();
    EXPECT_EQ(Tree()->ChosenPort(), 7u);
}

TEST_F(CLeftTreeViewTest, LanguageSwitchRenamesTheBuiltInSchemaFoundByIdentity)
{
    Fixture();
    BuiltInSchemaLast();
    Start();
    CMainFrame* frame = m_app->GetMainFrame();
    CLeftTreeView* tree = Tree();
    CtblZeitschema* schemas = m_app->GetDBHandler()->Get_Ptr_To_tblZeitschema();
    ASSERT_EQ(schemas->Get_Zeitschema(0)->Bezeichnung, QStringLiteral("Früh"));

    frame->OnCommand(CMainFrame::ID_LANGUAGE_ENGLISH);
    EXPECT_EQ(QSettings("Velmora", "Quandor").value("nLanguage").toString(), QStringLiteral("1"));
    EXPECT_EQ(Texts(tree->Node(CLeftTreeView::TimeSchemasNode)), QStringList({"Früh", "Spät", "Full access"}));
    EXPECT_EQ(tree->Node(CLeftTreeView::RootNode)->text(0), Language()->GetLangItem(13));
    EXPECT_EQ(schemas->Get_Zeitschema(8)->Bezeichnung, QStringLiteral("Full access"));
    EXPECT_EQ(schemas->Get_Zeitschema(0)->Bezeichnung, QStringLiteral("Früh"));
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("  ") + Language()->GetLangItem(74));
    Select(Child(CLeftTreeView::TimeSchemasNode, "Full access"));
    EXPECT_EQ(qobject_cast<CZeitschemaDlg*>(Pane())->Filter(), 3u);

    frame->OnCommand(CMainFrame::ID_LANGUAGE_GERMAN);
    EXPECT_EQ(Texts(tree->Node(CLeftTreeView::TimeSchemasNode)), QStringList({"Früh", "Spät", "Vollzugriff"}));
    EXPECT_EQ(schemas->Get_Zeitschema(8)->Bezeichnung, QStringLiteral("Vollzugriff"));
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("  ") + Language()->GetLangItem(74));
}

TEST_F(CLeftTreeViewTest, APresentedTagShowsForAWhileAndReachesTheTransponderView)
{
    Start();
    CMainFrame* frame = m_app->GetMainFrame();
    Select(Tree()->Node(CLeftTreeView::TranspondersNode));
    Tree()->OnTagRead(QStringLiteral("00A1B2C3D4"));
    EXPECT_EQ(frame->GetInfoLabel()->text(), Language()->GetLangItem(201) + "00A1B2C3D4");
    EXPECT_EQ(qobject_cast<CTransponderDlg*>(Pane())->m_strLastReceived, QStringLiteral("00A1B2C3D4"));
    EXPECT_TRUE(Tree()->LabelTimer()->isActive());
    EXPECT_EQ(Tree()->LabelTimer()->interval(), 1500);
    EXPECT_TRUE(TestWait::Until([&] { return frame->GetInfoLabel()->text() == Language()->GetLangItem(201); }));
}
