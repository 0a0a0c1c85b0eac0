// Deleting readers where the statements meet the database itself: on the
// embedded file, through the ODBC source and on the database server, whose
// SQL takes no bracketed names.
#include "FerroldTestDb.h"
#include "CReaderDeleter.h"
#include "CUiMessage.h"
#include "CtblEvents.h"
#include "CtblLeser.h"
#include "CtblTransponder.h"
#include "ScopedSeam.h"

namespace {

class CReaderDeleterBackendTest : public FerroldTest, public ::testing::WithParamInterface<int>
{
protected:
    void SetUp() override
    {
        FerroldTest::SetUp();
        m_presenter.Set([this](const CUiMessage::Request& request) {
            m_boxes << request.text;
            return QMessageBox::Ok;
        });
        Sql("INSERT INTO tblLeser (ID_Leser, strBezeichnung, strLeserTyp) VALUES (1,'A','Kite'),(2,'B','Heron'),"
            "(3,'C','Wren')");
        Sql("INSERT INTO tblEvents (ID_Events, Leser_ID) VALUES (1,1),(2,2),(3,3)");
        Sql("INSERT INTO tblTransponder (ID_Transponder, strTransponderNummer, strLeser_IDS) VALUES "
            "(1,'00000000AA','1;2;3'),(2,'00000000BB','2;'),(3,'00000000CC','')");
    }

    // "id:reader" of every event and the lists, as the handler reads them afresh.
    std::pair<QStringList, QStringList> Stored()
    {
        auto& h = Handler();
        QStringList events, lists;
        for (int i = 0; i < h.Get_Ptr_To_tblEvents()->GetAnz_Events(); ++i) {
            const auto* e = h.Get_Ptr_To_tblEvents()->Get_Event(i);
            events << QStringLiteral("%1:%2").arg(e->ID_Events).arg(e->Leser_ID);
        }
        for (int i = 0; i < h.Get_Ptr_To_tblTransponder()->GetAnz_Transponder(); ++i)
            lists << h.Get_Ptr_To_tblTransponder()->Get_Transponder(i)->Leser_IDS;
        return {events, lists};
    }

    QStringList m_boxes;
    ScopedSeam<CUiMessage::Presenter> m_presenter{CUiMessage::PresenterSeam()};
};

const struct DeleteCase
{
    std::vector<qint32> ids; // empty: delete all
    bool removeEvents;
    QStringList events, lists;
} kCases[] = {
    {{2}, true, {"1:1", "3:3"}, {"1;3", "", ""}},
    {{1, 3}, false, {"1:0", "2:2", "3:0"}, {"2", "2;", ""}},
    {{}, false, {"1:0", "2:0", "3:0"}, {"", "", ""}},
};

TEST_P(CReaderDeleterBackendTest, TheReadersGoWithTheirAssignmentsAndEventsAsAsked)
{
    const DeleteCase& c = kCases[GetParam()];
    const int readersLeft = c.ids.empty() ? 0 : 3 - int(c.ids.size());
    {
        auto& h = Handler();
        CReaderDeleter deleter(h, nullptr);
        const CRecordDeleter::Result result = deleter.Delete(c.ids.empty() ? nullptr : &c.ids, c.removeEvents);
        EXPECT_FALSE(result.stopped);
        EXPECT_EQ(result.failed, 0);
        EXPECT_EQ(h.Get_Ptr_To_tblLeser()->GetAnz_Leser(), readersLeft);
    }
    EXPECT_EQ(Stored(), std::make_pair(c.events, c.lists));
    EXPECT_EQ(Handler().Get_Ptr_To_tblLeser()->GetAnz_Leser(), readersLeft);
    EXPECT_EQ(Messages() + m_boxes, QStringList());
}

INSTANTIATE_TEST_SUITE_P(Cases, CReaderDeleterBackendTest, ::testing::Range(0, int(std::size(kCases))));

// Lists as older files, the import and other PCs stored them: a list the
// deletion leaves as it was is not written at all (the table refuses any
// such write here), and a changed one keeps its other pieces as stored.
class StoredReaderListForms : public CReaderDeleterBackendTest
{
};

TEST_F(StoredReaderListForms, OnlyListsNamingTheReaderAreWrittenAndKeepTheirOtherPieces)
{
    Sql("DELETE FROM tblTransponder");
    const std::vector<std::pair<QString, QString>> lists = {
        {"1;2;3", "1;3"}, {"2;", ""},       {"3;1;", "3;1;"}, {";1", ";1"}, {"01;03", "01;03"}, {"0", "0"},
        {"02;1", "1"},    {"2;2;1", "1"},   {"x;;2", "x;"},   {";2", ""},   {"", ""},           {"12;20", "12;20"},
    };
    QStringList after;
    for (std::size_t i = 0; i < lists.size(); ++i) {
        Sql(QStringLiteral("INSERT INTO tblTransponder (ID_Transponder, strTransponderNummer, strLeser_IDS) VALUES "
                           "(%1,'%2','%3')")
                .arg(i + 1)
                .arg(i + 1, 10, 10, QLatin1Char('0'))
                .arg(lists[i].first));
        after << lists[i].second;
    }
    for (const QString& statement : TestEnvironment::RefusalSql(Postgres(), QStringLiteral("unchanged_list"),
                                                                QStringLiteral("UPDATE"), QStringLiteral("tblTransponder"),
                                                                QStringLiteral("NEW.strLeser_IDS = OLD.strLeser_IDS"),
                                                                QStringLiteral("an unchanged list was written")))
        Sql(statement);
    {
        auto& h = Handler();
        CReaderDeleter deleter(h, nullptr);
        const std::vector<qint32> reader{2};
        const CRecordDeleter::Result result = deleter.Delete(&reader, false);
        EXPECT_FALSE(result.stopped);
        EXPECT_EQ(result.failed, 0);
    }
    EXPECT_EQ(Stored().second, after);
    EXPECT_EQ(Messages() + m_boxes, QStringList());
}

} // namespace
