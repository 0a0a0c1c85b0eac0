#include "FileCommandFixture.h"

#include "CZeitschemaDlg.h"
#include "CtblEvents.h"
#include "CtblLeser.h"
#include "CtblZeitschema.h"
#include "CUiMessage.h"

#include <QPushButton>
#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QTimer>

class CDeleteAllEntriesTest : public FileCommandFixture
{
protected:
    void Seed()
    {
        Sql({"INSERT INTO tblLeser (strBezeichnung, strLeserTyp) VALUES ('Tor','Kite'),('Halle','Heron')",
             "INSERT INTO tblZeitschema (strBezeichnung) VALUES ('Nacht'),('Nacht'),('Nacht'),('Nacht')",
             "INSERT INTO tblPerson (strName) VALUES ('Anna'),('Bert')",
             "INSERT INTO tblTransponder (strTransponderNummer) VALUES ('0000000001')",
             "INSERT INTO tblEvents (strTranspondernummer) VALUES ('0000000001'),('0000000002')",
             "INSERT INTO tblOnline (strOnline) VALUES ('2')"});
    }
    QStringList Counts()
    {
        QStringList counts;
        for (const char* table : {"tblLeser", "tblEvents", "tblPerson", "tblTransponder", "tblZeitschema", "tblOnline"})
            counts << QString::number(Count(table));
        return counts;
    }
};

TEST_F(CDeleteAllEntriesTest, LeavesOnlyTheFullAccessSchemaAndTheOnlineRows)
{
    Seed();
    Start();
    auto* view = new CZeitschemaDlg(m_app->Context());
    m_app->GetMainFrame()->ReplaceRightPane(view);
    view->ShowSchemas(2);
    EXPECT_EQ(Children(CLeftTreeView::TranspondersNode), QStringList({"Tor", "Halle"}));

    Answer(QMessageBox::Yes);
    m_app->GetMainFrame()->OnCommand(CMainFrame::ID_DELETE_ALL_ENTRIES);
    ExpectIdle();
    EXPECT_EQ(m_messages, QStringList({Text(223)}));
    EXPECT_EQ(Counts(), QStringList({"0", "0", "0", "0", "4", "2"}));
    EXPECT_EQ(Rows("SELECT DISTINCT ID_Zeitschema <= 4, strBezeichnung FROM tblZeitschema"),
              QStringList({"1|Vollzugriff"}));
    // Caches, tree and view show an empty database.
    EXPECT_EQ(Db()->Get_Ptr_To_tblLeser()->GetAnz_Leser(), 0);
    EXPECT_EQ(Db()->Get_Ptr_To_tblEvents()->GetAnz_Events(), 0);
    EXPECT_EQ(Db()->Get_Ptr_To_tblZeitschema()->GetAnz_Zeitschema(), 4);
    for (auto kind : {CLeftTreeView::TranspondersNode, CLeftTreeView::PersonsNode, CLeftTreeView::EventsNode})
        EXPECT_TRUE(Children(kind).isEmpty());
    EXPECT_EQ(Children(CLeftTreeView::TimeSchemasNode), QStringList({Text(81)}));
    EXPECT_EQ(view->Filter(), 0u);
    EXPECT_TRUE(m_app->GetMainFrame()->GetLeftTreeView()->Node(CLeftTreeView::TimeSchemasNode)->isExpanded());
}

TEST_F(CDeleteAllEntriesTest, AnsweringNoChangesNothing)
{
    Seed();
    Start();
    const QStringList before = Counts();
    Answer(QMessageBox::No);
    m_app->GetMainFrame()->OnCommand(CMainFrame::ID_DELETE_ALL_ENTRIES);
    EXPECT_EQ(Counts(), before);
    EXPECT_EQ(Children(CLeftTreeView::PersonsNode), QStringList({"Tor", "Halle"}));
    ExpectIdle();
}

// Ctrl+A in the tree asks; a Return meant for something else answers No.
TEST_F(CDeleteAllEntriesTest, ReturnOnTheQuestionKeepsEverything)
{
    Seed();
    Start();
    CMainFrame* frame = m_app->GetMainFrame();
    frame->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(frame));
    const QStringList before = Counts();
    m_presenter.Set({}); // the real box
    QString asked;
    bool noIsDefault = false;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        asked = box->text();
        noIsDefault = box->standardButton(box->defaultButton()) == QMessageBox::No;
        if (!qEnvironmentVariableIsEmpty("QUANDOR_SCREENSHOTS")) {
            QDir().mkpath(qEnvironmentVariable("QUANDOR_SCREENSHOTS"));
            box->grab().save(qEnvironmentVariable("QUANDOR_SCREENSHOTS") + "/question-delete-all-de.png");
        }
        QTest::keyClick(box, Qt::Key_Return);
    });
    frame->GetLeftTreeView()->setFocus();
    QTest::keyClick(frame->GetLeftTreeView(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(asked, Language()->GetLangItem(223));
    EXPECT_TRUE(noIsDefault);
    EXPECT_EQ(Counts(), before);
    ExpectIdle();
}

TEST_F(CDeleteAllEntriesTest, ATableThatRefusesADeleteStaysWholeAndTheOthersAreEmptied)
{
    Seed();
    Sql(Refusal("keep", "DELETE", "tblPerson", "OLD.strName = 'Bert'", "person kept"));
    Start();
    Answer(QMessageBox::Yes);
    m_app->GetMainFrame()->OnCommand(CMainFrame::ID_DELETE_ALL_ENTRIES);
    ASSERT_EQ(m_messages.size(), 2);
    EXPECT_TRUE(m_messages[1].contains("person kept"));
    EXPECT_EQ(m_icons[1], QMessageBox::Warning);
    // Anna's delete was undone with Bert's: the table is as it was.
    EXPECT_EQ(Counts(), QStringList({"0", "0", "2", "0", "4", "2"}));
    EXPECT_EQ(Db()->Get_Ptr_To_tblPerson()->GetAnz_Person(), 2);
    ExpectIdle();
}

TEST_F(CDeleteAllEntriesTest, ATableThatCannotBeOpenedStopsTheCommandButTheScreenFollows)
{
    Seed();
    Start();
    // The persons table disappears under the running program.
    Exec("ALTER TABLE tblPerson RENAME TO tblGone");
    Answer(QMessageBox::Yes);
    m_app->GetMainFrame()->OnCommand(CMainFrame::ID_DELETE_ALL_ENTRIES);
    ASSERT_GE(m_messages.size(), 2);
    EXPECT_EQ(m_messages[1], Text(83) + "\n" + Text(84));
    EXPECT_EQ(m_icons[1], QMessageBox::Critical);
    EXPECT_EQ(Count("tblLeser"), 0);
    EXPECT_EQ(Count("tblEvents"), 0);
    EXPECT_EQ(Count("tblTransponder"), 1) << "tables after the failing one are kept";
    // The readers emptied before are gone from the tree too.
    EXPECT_TRUE(Children(CLeftTreeView::PersonsNode).isEmpty());
    ExpectIdle();
}
