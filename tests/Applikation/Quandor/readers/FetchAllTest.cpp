#include "WriteAllFixture.h"
#include "TestWait.h"

#include "CDialogRunner.h"
#include "CFetchedListStore.h"
#include "CSendWrenDlg.h"
#include "CtblPerson.h"
#include "TestShots.h"

#include <QDir>
#include <QFile>

namespace {

// Fetching all data from the simulated reader; the question before
// fetching a marked reader is answered as the test says.
class FetchAll : public WriteAll
{
protected:
    void SetUp() override
    {
        WriteAll::SetUp();
        m_presenter.Set([this](const CUiMessage::Request& request) {
            m_messages << request.text;
            if (request.buttons & QMessageBox::Yes)
                return m_answer;
            return QMessageBox::Ok;
        });
    }

    // The reader holds these numbers in its slots.
    void Holds(const QList<QByteArray>& numbers)
    {
        reader->SetTransponderCount(int(numbers.size()));
        for (int i = 0; i < numbers.size(); ++i)
            reader->SetTransponder(i, numbers[i]);
    }
    void Fetch(int id = kReaderId)
    {
        Click(id);
        View()->OnFetchAllData();
        ASSERT_TRUE(WaitEnd());
        QCoreApplication::processEvents();
    }

    // Number | readers | schema | person | mark, in key order.
    QStringList Transponders() const
    {
        return Rows("SELECT strTransponderNummer, strLeser_IDS, Zeitfenster_ID, Person_ID, boolUpdateOK "
                    "FROM tblTransponder ORDER BY ID_Transponder");
    }
    QStringList Everything() const
    {
        return Rows("SELECT * FROM tblTransponder ORDER BY 1") + Rows("SELECT * FROM tblPerson ORDER BY 1")
               + Rows("SELECT * FROM tblLeser ORDER BY 1");
    }
    QStringList CachedTransponders() const
    {
        QStringList rows;
        CtblTransponder* t = Db()->Get_Ptr_To_tblTransponder();
        for (int i = 0; i < t->GetAnz_Transponder(); ++i) {
            const auto* row = t->Get_Transponder(i);
            rows << QStringLiteral("%1|%2|%3|%4|%5")
                        .arg(row->TransponderNummer, row->Leser_IDS)
                        .arg(row->Zeitfenster_ID)
                        .arg(row->Person_ID)
                        .arg(row->UpdateOK);
        }
        return rows;
    }
    qint32 PersonLink(const QString& name) const
    {
        CtblPerson* persons = Db()->Get_Ptr_To_tblPerson();
        for (int i = 0; i < persons->GetAnz_Person(); ++i) {
            if (persons->Get_Person(i)->Name == name)
                return persons->Get_Person(i)->Transponder_ID;
        }
        return -1;
    }
    QMessageBox::StandardButton m_answer = QMessageBox::Yes;
};

} // namespace

TEST_F(FetchAll, TheReadersListIsMergedIntoTheTransponders)
{
    Sql({Transponder("000000000A", "3;5"), Transponder("000000000D", "", 101, 1), Transponder("000000000E", "9"),
         "INSERT INTO tblPerson (ID_Person, strName, Transponder_ID) VALUES (1, 'P', 2)"});
    Online(CSimulatedReader::Egret);
    Reader({Settings(7, "", "", 1)});
    Holds({"000000000A", "000000000B", "000000000B", "000000000C"});
    reader->ClearLog();
    Fetch();

    EXPECT_EQ(Received().filter(QRegularExpression("^FFL[PT]")),
              QStringList({"FFLP0002EA", "FFLT0000EC", "FFLT0001ED", "FFLT0002EE", "FFLT0003EF"}));
    EXPECT_TRUE(NoPollBetween("FFLP0002", "FFLT0003"));
    EXPECT_EQ(m_messages, QStringList{Text(185) + "\n" + Text(186)});
    EXPECT_EQ(m_notices, QStringList{Text(173)});
    EXPECT_EQ(Transponders(), QStringList({"000000000A|3;5;7|101|0|0", "000000000E|9|101|0|0", "000000000B|7|1|0|0",
                                           "000000000B|7|1|0|0", "000000000C|7|1|0|0"}));
    EXPECT_EQ(CachedTransponders(), Transponders());
    EXPECT_EQ(Rows("SELECT Transponder_ID FROM tblPerson"), QStringList{"0"});
    EXPECT_EQ(PersonLink("P"), 0);
    EXPECT_EQ(MarkInDatabase(7), 0);
    EXPECT_EQ(MarkInCache(7), 0);
    ExpectEndedCleanly();
}

TEST_F(FetchAll, AFailedSlotLeavesTheDatabaseAsItWas)
{
    Sql({Transponder("000000000A", "7"), Transponder("000000000D", "")});
    Online(CSimulatedReader::Kite);
    Holds({"000000000A", "000000000B", "000000000C"});
    reader->NakNextTo("FFLT0002", 10);
    const QStringList before = Everything();
    Fetch();
    EXPECT_EQ(reader->Count("FFLT0002"), 10);
    EXPECT_EQ(m_messages, QStringList{Text(141)});
    EXPECT_TRUE(m_notices.isEmpty());
    EXPECT_EQ(Everything(), before);
    ExpectEndedCleanly();
}

TEST_F(FetchAll, CountRepliesThatGiveNothingToFetch)
{
    struct Case {
        const char* name;
        QByteArray payload;
        int count;
        QString message;
    };
    Online(CSimulatedReader::Heron);
    Holds({"000000000A"});
    const Case cases[] = {
        {"ten malformed", "FFLP12", 10, Text(141) + Text(14)},
        {"ten bad checksums", "FFLP0001", 0, Text(141) + Text(14)},
        {"count 0", "FFLP0000", 1, Text(230)},
        {"not hexadecimal", "FFLPZZZZ", 1, Text(230)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.count)
            reader->AnswerNext("LP0002", c.payload, c.count);
        else
            reader->CorruptNextTo("FFLP0002", 10);
        m_messages.clear();
        reader->ClearLog();
        const QStringList before = Everything();
        Fetch();
        EXPECT_EQ(m_messages, QStringList{c.message});
        EXPECT_EQ(reader->Count("FFLT"), 0);
        EXPECT_TRUE(m_notices.isEmpty());
        EXPECT_EQ(Everything(), before);
        ExpectEndedCleanly();
    }
}

TEST_F(FetchAll, NoToTheMarkedReadersQuestionSendsNothing)
{
    Online(CSimulatedReader::Kite);
    Reader({Settings(7, "", "", 1)});
    Holds({"000000000A"});
    m_answer = QMessageBox::No;
    reader->ClearLog();
    Click(kReaderId);
    View()->OnFetchAllData();
    EXPECT_EQ(CTransferRun::Active(), nullptr);
    EXPECT_EQ(m_messages, QStringList{Text(185) + "\n" + Text(186)});
    // Nothing may reach the reader: no event to wait for, the line is watched a while.
    QTest::qWait(100);
    EXPECT_EQ(reader->Count("FFL"), 0);
    EXPECT_FALSE(Tree()->Link().IsLinkTaken());
    EXPECT_EQ(MarkInDatabase(7), 1);
}

// Another transfer started while the question was open: the fetch cannot
// start and says so in its own words.
TEST_F(FetchAll, AFetchThatCannotStartSaysSo)
{
    Online(CSimulatedReader::Kite);
    Reader({Settings(7, "", "", 1)});
    Holds({"000000000A"});
    QObject owner;
    CTransferRun other(Tree()->Link(), &m_app->Context(), &owner);
    CTransferRun::Body body;
    body.work = [](CTransferRun& run, int*) {
        // Holds the link until the test stops it.
        while (run.Pause(60000)) {
        }
        return qint64(0);
    };
    body.waitCursor = false;
    m_presenter.Set([&](const CUiMessage::Request& request) {
        m_messages << request.text;
        if (request.buttons & QMessageBox::Yes) {
            EXPECT_TRUE(other.Start(body));
        }
        return QMessageBox::Yes;
    });
    reader->ClearLog();
    Click(kReaderId);
    View()->OnFetchAllData();
    other.Stop();
    EXPECT_EQ(m_messages, (QStringList{Text(185) + "\n" + Text(186), Text(322)}));
    EXPECT_EQ(reader->Count("FFL"), 0);
    EXPECT_EQ(CTransferRun::Active(), nullptr);
    EXPECT_EQ(MarkInDatabase(7), 1);
}

TEST_F(FetchAll, ADatabaseFailureMidWayChangesNothing)
{
    Sql({Transponder("000000000A", "3"), Transponder("000000000D", ""),
         "CREATE TRIGGER refuse BEFORE INSERT ON tblTransponder WHEN NEW.strTransponderNummer = '000000000C' "
         "BEGIN SELECT RAISE(ABORT, 'the disk says no'); END"});
    Online(CSimulatedReader::Egret);
    Holds({"000000000A", "000000000B", "000000000C"});
    const QStringList before = Everything();
    Fetch();
    ASSERT_EQ(m_messages.size(), 1);
    EXPECT_TRUE(m_messages[0].contains("the disk says no")) << qPrintable(m_messages[0]);
    EXPECT_TRUE(m_notices.isEmpty());
    EXPECT_EQ(Everything(), before);
    EXPECT_EQ(CachedTransponders(), Transponders());
    ExpectEndedCleanly();
}

TEST_F(FetchAll, TheClickedOfTwoReadersOfOneNameGetsTheNumbers)
{
    Sql({Transponder("000000000A", "")});
    Online(CSimulatedReader::Kite, QStringLiteral("Door"));
    Reader({Settings(7, "", "", 1), Settings(8, "", "", 1)});
    Holds({"000000000A", "000000000B"});
    Fetch(8);
    EXPECT_EQ(Transponders(), QStringList({"000000000A|8|101|0|0", "000000000B|8|1|0|0"}));
    EXPECT_EQ(MarkInDatabase(8), 0);
    EXPECT_EQ(MarkInCache(8), 0);
    EXPECT_EQ(MarkInDatabase(7), 1);
    EXPECT_EQ(MarkInCache(7), 1);
}

TEST_F(FetchAll, APlainReaderIsHandedToItsListDialog)
{
    Online(CSimulatedReader::Kite);
    QList<std::pair<int, qint32>> opened;
    ScopedSeam runner(CDialogRunner::RunnerSeam(), [&opened](QDialog& dialog) {
        if (auto* list = dynamic_cast<CSendWrenDlg*>(&dialog))
            opened.append({list->Mode(), list->ReaderId()});
        return int(QDialog::Rejected);
    });
    Click(8);
    View()->m_nClickedModelCode = int(CReaderModel::ModelCode::Wren);
    reader->ClearLog();
    View()->OnFetchAllData();
    View()->OnWriteAllData();
    EXPECT_EQ(opened, (QList<std::pair<int, qint32>>{{CLeserDlg::PlainFetch, 8}, {CLeserDlg::PlainWrite, 8}}));
    EXPECT_EQ(CTransferRun::Active(), nullptr);
    EXPECT_EQ(reader->Count("FFL") + reader->Count("FFS"), 0);
}

TEST(FetchedListMatch, EachRowTakesOneEntry)
{
    CtblTransponder t(nullptr, nullptr);
    const auto add = [&t](const char* number, const char* readers) {
        t.InsertAt(t.GetAnz_Transponder(), t.GetAnz_Transponder() + 1, number, 0, 1, readers, 0, 0);
    };
    add("000000000A", "3;7");  // 1: held by the reader already
    add("000000000A", "");     // 2: a second row of A: takes the reader's second copy
    add("000000000B", "05");   // 3: names reader 5 by a leading zero
    add("000000000C", "");     // 4: not held, nobody's: removed
    add("000000000D", "3");    // 5: not held, but another reader's: stays
    const QStringList fetched{"000000000B", "000000000A", "000000000E", "000000000A", "000000000A", "000000000E"};

    const CFetchedListStore::Plan plan = CFetchedListStore::Match(t, fetched, "5");
    EXPECT_EQ(plan.known, 3);
    EXPECT_EQ(plan.added, QStringList({"000000000E", "000000000A", "000000000E"}));
    ASSERT_EQ(plan.extended.size(), 2u);
    EXPECT_EQ(plan.extended[0].id, 1);
    EXPECT_EQ(plan.extended[0].readers, "3;7;5");
    EXPECT_EQ(plan.extended[1].id, 2);
    EXPECT_EQ(plan.extended[1].readers, "5");
    EXPECT_EQ(plan.removed, std::vector<qint32>{4});

    // Reader 0 (its row is gone) extends nobody.
    EXPECT_TRUE(CFetchedListStore::Match(t, fetched, "0").extended.empty());
}

// The windows of the two transfers as the operator sees them: the progress
// window of a write-all on a slow line, and the question before a marked
// reader is fetched (in English).
TEST_F(FetchAll, Screenshots)
{
    const QString shots = TestShots(QStringLiteral("readers"));
    QDir().mkpath(shots);
    SetLanguage(1);
    QStringList sql;
    for (int i = 0; i < 30; ++i)
        sql << Transponder(QStringLiteral("%1").arg(i, 10, 10, QLatin1Char('0')), "7");
    Sql(sql);
    Online(CSimulatedReader::Kite);
    Frame()->resize(1000, 700);
    Frame()->show();
    Reader({Settings(7, "9C", "12", 1)});
    reader->SetLatency(30);
    StartWrite();
    ASSERT_TRUE(WaitUntil([this] { return reader->Count("FFST") >= 12; }, 10000));
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (qobject_cast<CDataProgressDlg*>(w)) {
            EXPECT_TRUE(w->grab().save(shots + "write-all-progress.png"));
        }
    }
    ASSERT_TRUE(WaitEnd());
    QCoreApplication::processEvents();
    reader->SetLatency(0);

    Reader({Settings(7, "9C", "12", 1)});
    m_presenter.Set([this, shots](const CUiMessage::Request& request) {
        m_messages << request.text;
        QMessageBox box(request.icon, request.caption, request.text, request.buttons, Frame());
        box.show();
        TestWait::Settle();
        box.grab().save(shots + "fetch-marked-question.png");
        return QMessageBox::No;
    });
    Click(kReaderId);
    View()->OnFetchAllData();
    EXPECT_EQ(m_messages, QStringList{Text(185) + "\n" + Text(186)});
    EXPECT_TRUE(QFile::exists(shots + "write-all-progress.png"));
}
