// The persons' writes where they meet the database: both sides of a
// person's link or neither, and a person goes only with its transponders'
// links. On the embedded file, through the ODBC source and on the server.
#include "FerroldTestDb.h"
#include "CPersonStore.h"
#include "CUiMessage.h"
#include "CtblPerson.h"
#include "CtblTransponder.h"
#include "ScopedSeam.h"

namespace {

// Anna holds AA, Bert nothing, Cleo holds CC; BB is free.
const QStringList kPersons = {"Anna|1", "Bert|0", "Cleo|3"};
const QStringList kLinks = {"1", "0", "3"};

class CPersonStoreTest : public FerroldTest
{
protected:
    void SetUp() override
    {
        FerroldTest::SetUp();
        m_presenter.Set([this](const CUiMessage::Request& request) {
            m_boxes << request.text;
            return QMessageBox::Ok;
        });
    }

    // The three persons and transponders again, with a table that refuses
    // the operation where the condition holds (none without a table), and
    // a handler that reads them.
    CFerrold_Handler& Seed(const char* table = nullptr, const char* operation = "UPDATE", const char* condition = "")
    {
        m_handler.reset();
        for (const char* name : {"tblPerson", "tblTransponder"}) {
            for (const QString& drop : TestEnvironment::DropRefusalSql(Postgres(), m_refusal, QLatin1String(name)))
                SqlIfPossible(drop);
        }
        Sql("DELETE FROM tblPerson");
        Sql("DELETE FROM tblTransponder");
        Sql("INSERT INTO tblPerson (ID_Person, strName, Transponder_ID) VALUES (1,'Anna',1),(2,'Bert',0),(3,'Cleo',3)");
        Sql("INSERT INTO tblTransponder (ID_Transponder, strTransponderNummer, Person_ID) VALUES "
            "(1,'00000000AA',1),(2,'00000000BB',0),(3,'00000000CC',3)");
        if (table) {
            // A name of its own each time: the server keeps a refusal's function.
            m_refusal = QStringLiteral("refuse%1").arg(++m_refusals);
            for (const QString& statement :
                 TestEnvironment::RefusalSql(Postgres(), m_refusal, QLatin1String(operation), QLatin1String(table),
                                             QLatin1String(condition), QStringLiteral("Platte voll")))
                Sql(statement);
        }
        m_boxes.clear();
        return Handler();
    }

    // Dropping a refusal that is not there fails, which is fine here.
    void SqlIfPossible(const QString& statement)
    {
        if (Postgres()) {
            QString error;
            TestEnvironment::PostgresExec(m_server, {ServerSql(statement)}, &error);
            return;
        }
        const QString name = QStringLiteral("test-drop");
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
            db.setDatabaseName(m_file);
            if (db.open())
                QSqlQuery(db).exec(statement);
        }
        QSqlDatabase::removeDatabase(name);
    }

    // "name|transponder" of every person and the person of every
    // transponder, as the table holds them and as the caches do.
    std::pair<QStringList, QStringList> Stored()
    {
        return {Rows("SELECT strName, Transponder_ID FROM tblPerson ORDER BY ID_Person"),
                Rows("SELECT Person_ID FROM tblTransponder ORDER BY ID_Transponder")};
    }
    static std::pair<QStringList, QStringList> Cached(CFerrold_Handler& h)
    {
        QStringList persons, links;
        CtblPerson* p = h.Get_Ptr_To_tblPerson();
        for (int i = 0; i < p->GetAnz_Person(); ++i)
            persons << QStringLiteral("%1|%2").arg(p->Get_Person(i)->Name).arg(p->Get_Person(i)->Transponder_ID);
        CtblTransponder* t = h.Get_Ptr_To_tblTransponder();
        for (int i = 0; i < t->GetAnz_Transponder(); ++i)
            links << QString::number(t->Get_Transponder(i)->Person_ID);
        return {persons, links};
    }

    QStringList m_boxes;
    QString m_refusal = QStringLiteral("refuse0");
    int m_refusals = 0;
    ScopedSeam<CUiMessage::Presenter> m_presenter{CUiMessage::PresenterSeam()};
};

TEST_F(CPersonStoreTest, ALinkChangesBothRecordsOrNeither)
{
    using R = CPersonStore::LinkResult;
    const struct {
        qint32 person, transponder;
        const char* refusing; // the table that refuses updates, if any
        R result;
        QStringList persons, links;
    } cases[] = {
        // The transponder held before keeps naming its person.
        {1, 2, nullptr, R::Stored, {"Anna|2", "Bert|0", "Cleo|3"}, {"1", "1", "3"}},
        {1, 0, nullptr, R::Stored, {"Anna|0", "Bert|0", "Cleo|3"}, kLinks},
        {2, 1, nullptr, R::Stored, {"Anna|1", "Bert|1", "Cleo|3"}, {"2", "0", "3"}},
        {9, 2, nullptr, R::PersonNotFound, kPersons, kLinks},
        {2, 9, nullptr, R::TransponderNotFound, kPersons, kLinks},
        {2, 2, "tblTransponder", R::Failed, kPersons, kLinks},
        {2, 2, "tblPerson", R::Failed, kPersons, kLinks},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "person " << c.person << " takes " << c.transponder << ", refusing "
                                        << (c.refusing ? c.refusing : "nothing"));
        CFerrold_Handler& h = Seed(c.refusing);
        EXPECT_EQ(CPersonStore(h).SetTransponder(c.person, c.transponder), c.result);
        EXPECT_EQ(Stored(), std::make_pair(c.persons, c.links));
        EXPECT_EQ(Cached(h), Stored());
        // Only a refusal is said here, with the database's reason; the
        // view words what was not found.
        ASSERT_EQ(m_boxes.size(), c.refusing ? 1 : 0) << m_boxes.join('|').toStdString();
        if (c.refusing) {
            EXPECT_TRUE(m_boxes[0].contains("Platte voll")) << m_boxes[0].toStdString();
        }
    }
}

TEST_F(CPersonStoreTest, APersonGoesOnlyWithItsTransponderLinks)
{
    const std::vector<qint32> anna{1}, annaAndCleo{1, 3}, nobody{9};
    const struct {
        const std::vector<qint32>* keys; // null: every person
        const char* refusing;            // the transponders refuse where this holds
        int deleted, failed;
        QStringList persons, links;
    } cases[] = {
        {&anna, nullptr, 1, 0, {"Bert|0", "Cleo|3"}, {"0", "0", "3"}},
        {&annaAndCleo, nullptr, 2, 0, {"Bert|0"}, {"0", "0", "0"}},
        {nullptr, nullptr, 3, 0, {}, {"0", "0", "0"}},
        {&nobody, nullptr, 0, 1, kPersons, kLinks},
        // A link that cannot be cleared keeps its person, and the rest stays
        // too: the links go in one statement.
        {&annaAndCleo, "OLD.Person_ID = 3", 0, 2, kPersons, kLinks},
        {nullptr, "OLD.Person_ID = 3", 0, 3, kPersons, kLinks},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << (c.keys ? c.keys->size() : 0) << " keys, refusing "
                                        << (c.refusing ? c.refusing : "nothing"));
        CFerrold_Handler& h = Seed(c.refusing ? "tblTransponder" : nullptr, "UPDATE", c.refusing ? c.refusing : "");
        int busy = 0;
        int refills = 0;
        const CRecordDeleter::Result result = CPersonStore(h).Delete(c.keys, &busy, [&] { ++refills; });
        EXPECT_EQ(result.deleted, c.deleted);
        EXPECT_EQ(result.failed, c.failed);
        EXPECT_EQ(refills, 1);
        EXPECT_EQ(busy, 0);
        EXPECT_EQ(Stored(), std::make_pair(c.persons, c.links));
        EXPECT_EQ(Cached(h), Stored());
    }
}

TEST_F(CPersonStoreTest, ANameAndANewPersonAreStoredAndCached)
{
    CFerrold_Handler& h = Seed();
    CPersonStore store(h);
    EXPECT_EQ(store.Rename(2, QStringLiteral("Bärbel")), CRecordWriter::Result::Written);
    EXPECT_EQ(store.Rename(9, QStringLiteral("Niemand")), CRecordWriter::Result::NotFound);
    EXPECT_TRUE(store.Add(QStringLiteral("Person_1A2B")));
    EXPECT_EQ(Stored().first, (QStringList{"Anna|1", QString::fromUtf8("Bärbel|0"), "Cleo|3", "Person_1A2B|0"}));
    EXPECT_EQ(Cached(h), Stored());
    EXPECT_TRUE(m_boxes.isEmpty()) << m_boxes.join('|').toStdString();
}

} // namespace
