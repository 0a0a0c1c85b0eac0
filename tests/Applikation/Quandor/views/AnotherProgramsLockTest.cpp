// A name typed into the persons view while another program (a second
// instance, another PC) holds the database locked: the step waits a bounded
// time under the wait cursor, then says once and plainly that another
// program holds the database, and the name stays as stored; a lock let go
// during the wait lets the name be stored.
#include "RecordViewFixture.h"
#include "TestWait.h"

#include "CLockWaitCursor.h"
#include "CNameDlg.h"
#include "CtblPerson.h"
#include "LockHolder.h"

#include <QElapsedTimer>
#include <QLineEdit>

#ifdef LOCK_HOLDER
namespace {

class AnotherProgramsLockTest : public RecordViewBase
{
protected:
    struct Box
    {
        QString text;
        bool waitCursor;
    };

    void SetUp() override
    {
        RecordViewBase::SetUp();
        if (Odbc())
            GTEST_SKIP() << "runs on the embedded file and on the server";
        m_presenter.Set([this](const CUiMessage::Request& request) {
            m_boxes.push_back({request.text, m_app->IsWaitCursorOn()});
            return QMessageBox::Ok;
        });
        Sql({"INSERT INTO tblPerson (ID_Person, strName) VALUES (1,'Anna'),(2,'Bert')"});
        Start();
        m_app->GetMainFrame()->resize(1212, 874);
        m_app->GetMainFrame()->show();
        TestWait::Settle();
        Show(CLeftTreeView::PersonsNode);
        ASSERT_NE(qobject_cast<CNameDlg*>(Pane()), nullptr);
    }

    bool Hold(LockHolder& holder)
    {
        return holder.Start(QStringLiteral(LOCK_HOLDER), Postgres() ? QStringLiteral("odbc:Quandor") : DatabaseFile(),
                            QStringLiteral("write"));
    }

    // Types a name into row's name cell and confirms it with Enter, as the
    // operator does: every key is an event of its own.
    void TypeName(int row, const QString& name)
    {
        QRect rect;
        ASSERT_TRUE(Grid()->GetCellRect(row, 2, &rect));
        QTest::mouseClick(Grid()->viewport(), Qt::LeftButton, {}, rect.center());
        QTest::keyClick(Grid(), Qt::Key_F2);
        auto* edit = qobject_cast<QLineEdit*>(Grid()->GetActiveEditor());
        ASSERT_NE(edit, nullptr);
        edit->selectAll();
        QTest::keyClicks(edit, name);
        QTest::keyClick(edit, Qt::Key_Return);
        TestWait::Settle();
    }

    QStringList StoredNames()
    {
        if (!Postgres())
            return Stored("tblPerson", "strName");
        QString error;
        const QStringList rows = TestEnvironment::PostgresRows(
            m_server, TestEnvironment::PostgresSql("SELECT strName FROM tblPerson ORDER BY ID_Person"), &error);
        EXPECT_TRUE(error.isEmpty()) << error.toStdString();
        return rows;
    }
    QString CachedName(int index) const
    {
        return m_app->GetDBHandler()->Get_Ptr_To_tblPerson()->Get_Person(index)->Name;
    }

    std::vector<Box> m_boxes;
};

// The program's own wait cursor, and the other program let go once the
// step waits.
class ReleasingObserver : public CLockWaitCursor
{
public:
    ReleasingObserver(LockHolder& holder, CQuandorApp* app)
        : m_holder(holder)
        , m_app(app)
    {
    }
    void WaitBegins() override
    {
        CLockWaitCursor::WaitBegins();
        cursorWhileWaiting = m_app->IsWaitCursorOn();
        m_holder.Release(300);
    }
    bool cursorWhileWaiting = false;

private:
    LockHolder& m_holder;
    CQuandorApp* m_app;
};

TEST_F(AnotherProgramsLockTest, TheStepGivesUpWithinItsBoundSaysSoOnceAndStoresNothing)
{
    const int bound = 3000;
    m_app->GetDBHandler()->GetDatabase()->SetLockWaitMs(bound);
    LockHolder holder;
    ASSERT_TRUE(Hold(holder));

    QElapsedTimer clock;
    clock.start();
    TypeName(2, "Berta");
    const qint64 elapsed = clock.elapsed();
    EXPECT_GE(elapsed, bound - 100);
    EXPECT_LT(elapsed, 3 * bound) << "one bound for the step";
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_TRUE(m_boxes[0].text.startsWith(Lang(CUiMessage::kLockedText))) << m_boxes[0].text.toStdString();
    EXPECT_TRUE(m_boxes[0].waitCursor) << "the wait cursor is on while the step waits";
    EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "and off once it is over";
    EXPECT_EQ(Grid()->GetItemText(2, 2), "Bert");
    EXPECT_EQ(CachedName(1), "Bert");

    holder.Release();
    ASSERT_TRUE(holder.AwaitReleased());
    EXPECT_EQ(StoredNames(), QStringList({"Anna", "Bert"}));
}

TEST_F(AnotherProgramsLockTest, ALockLetGoDuringTheWaitLetsTheNameBeStored)
{
    m_app->GetDBHandler()->GetDatabase()->SetLockWaitMs(30000);
    LockHolder holder;
    ASSERT_TRUE(Hold(holder));
    auto observer = std::make_shared<ReleasingObserver>(holder, m_app);
    m_app->GetDBHandler()->GetDatabase()->SetLockWaitObserver(observer);

    TypeName(2, "Berta");
    EXPECT_TRUE(observer->cursorWhileWaiting);
    EXPECT_TRUE(m_boxes.empty()) << m_boxes.front().text.toStdString();
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(Grid()->GetItemText(2, 2), "Berta");
    ASSERT_TRUE(holder.AwaitReleased());
    EXPECT_EQ(StoredNames(), QStringList({"Anna", "Berta"}));
}

} // namespace
#endif
