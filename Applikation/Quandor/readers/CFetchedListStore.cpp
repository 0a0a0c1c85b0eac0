#include "CFetchedListStore.h"

#include "CBulkWriter.h"
#include "CDBException.h"
#include "CDatabase.h"
#include "CFerrold_Handler.h"
#include "CReaderIdList.h"
#include "CReaderPayload.h"
#include "CTransaction.h"
#include "CtblLeser.h"
#include "CtblPerson.h"
#include "CtblTransponder.h"

#include <QHash>
#include <QSet>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>

namespace {

// The schema every added transponder starts with.
constexpr qint32 kFullAccessSchema = 1;

// A statement with the driver's own quoting of table and column names:
// "%T" is the table, "%1".. the columns.
QString statement(const QSqlDatabase& db, const QString& pattern, const QString& table, const QStringList& columns)
{
    const QSqlDriver* driver = db.driver();
    QString sql = pattern;
    sql.replace(QStringLiteral("%T"), driver->escapeIdentifier(table, QSqlDriver::TableName));
    for (int i = columns.size(); i-- > 0;)
        sql.replace(QStringLiteral("%%1").arg(i + 1), driver->escapeIdentifier(columns[i], QSqlDriver::FieldName));
    return sql;
}

struct Failure {
    QString text;
};

void run(QSqlQuery& query, const QVariantList& values)
{
    for (int i = 0; i < values.size(); ++i)
        query.bindValue(i, values[i]);
    if (!query.exec())
        throw Failure{query.lastError().text()};
}

void prepare(QSqlQuery& query, const QString& sql)
{
    if (!query.prepare(sql))
        throw Failure{query.lastError().text()};
}

} // namespace

CFetchedListStore::Plan CFetchedListStore::Match(const CtblTransponder& cache, const QStringList& fetched,
                                                 const QString& readerText)
{
    Plan plan;
    // Entries left per number: each row consumes one, the rest are new.
    QHash<QString, int> total;
    for (const QString& number : fetched)
        ++total[number];
    QHash<QString, int> left = total;
    bool numeric = false;
    const qint32 readerId = readerText.toInt(&numeric);
    const int rows = cache.GetAnz_Transponder();
    for (int i = 0; i < rows; ++i) {
        const CtblTransponder::structTransponder* row = cache.Get_Transponder(i);
        auto entry = left.find(row->TransponderNummer);
        if (entry != left.end() && entry.value() > 0) {
            --entry.value();
            ++plan.known;
            if (!numeric)
                continue;
            const QString list = CReaderIdList(row->Leser_IDS).With(readerId).Text();
            if (list != row->Leser_IDS)
                plan.extended.push_back({row->ID_Transponder, list});
        } else if (row->Leser_IDS.isEmpty()) {
            // Missing from the reader and held by no reader at all.
            plan.removed.push_back(row->ID_Transponder);
        }
    }
    // The entries no row consumed are the later copies of each number.
    QHash<QString, int> seen;
    for (const QString& number : fetched) {
        if (seen[number]++ >= total.value(number) - left.value(number))
            plan.added << number;
    }
    return plan;
}

CFetchedListStore::CFetchedListStore(CFerrold_Handler& db)
    : m_db(db)
{
}

CReaderPayload CFetchedListStore::Expected(const Plan& plan, qint32 readerId) const
{
    QHash<qint32, QString> extended;
    for (const Plan::Extend& row : plan.extended)
        extended.insert(row.id, row.readers);
    const QSet<qint32> removed(plan.removed.begin(), plan.removed.end());
    std::vector<CReaderPayload::Assigned> assigned;
    const CtblTransponder* cache = m_db.Get_Ptr_To_tblTransponder();
    for (int i = 0; i < cache->GetAnz_Transponder(); ++i) {
        const CtblTransponder::structTransponder* row = cache->Get_Transponder(i);
        if (!removed.contains(row->ID_Transponder)
            && CReaderIdList(extended.value(row->ID_Transponder, row->Leser_IDS)).Holds(readerId))
            assigned.push_back({row->TransponderNummer, row->Zeitfenster_ID});
    }
    // Added rows take the next keys, in the plan's order.
    for (const QString& number : plan.added)
        assigned.push_back({number, kFullAccessSchema});
    return CReaderPayload::Make(CReaderPayload::Form::Framed, assigned, *m_db.Get_Ptr_To_tblZeitschema(),
                                m_db.Get_Ptr_To_tblLeser()->FindByKey(readerId));
}

CFetchedListStore::Result CFetchedListStore::Store(const Plan& plan, qint32 readerId, QString* error, bool* markKept)
{
    const CReaderPayload expected = Expected(plan, readerId);
    CReaderPayload::Clearing clearing = CReaderPayload::Clearing::Gone;
    std::vector<qint32> removed;
    CDatabase* database = m_db.GetDatabase();
    QString openError;
    QSqlDatabase db = database ? database->Connection(&openError) : QSqlDatabase();
    if (!db.isOpen()) {
        if (error)
            *error = openError;
        return Result::OpenFailed;
    }
    try {
        CTransaction transaction(database);
        if (!transaction.IsActive())
            throw Failure{transaction.GetError()};
        const QString transponders = QStringLiteral("tblTransponder");
        if (!plan.removed.empty()) {
            // Only while it still belongs to no reader: another PC may have
            // given it one since this PC read its cache.
            QSqlQuery remove(db), freePerson(db);
            prepare(remove, statement(db, "DELETE FROM %T WHERE %1 = ? AND %2 = ''", transponders,
                                      {"ID_Transponder", "strLeser_IDS"}));
            prepare(freePerson, statement(db, "UPDATE %T SET %1 = 0 WHERE %1 = ?", QStringLiteral("tblPerson"),
                                          {"Transponder_ID"}));
            for (qint32 id : plan.removed) {
                run(remove, {id});
                if (remove.numRowsAffected() <= 0)
                    continue;
                run(freePerson, {id});
                removed.push_back(id);
            }
        }
        if (!plan.added.isEmpty()) {
            QSqlQuery add(db);
            prepare(add, statement(db, "INSERT INTO %T (%1, %2, %3, %4, %5) VALUES (?, 0, ?, 0, ?)", transponders,
                                   {"strTransponderNummer", "Person_ID", "Zeitfenster_ID", "boolUpdateOK",
                                    "strLeser_IDS"}));
            const QString readerText = QString::number(readerId);
            for (const QString& number : plan.added)
                run(add, {number, kFullAccessSchema, readerText});
        }
        if (!plan.extended.empty()) {
            // The reader is added to each list as stored now, read and
            // changed in this transaction (locked on a server): another PC's
            // readers in it stay.
            CtblTransponder stored(nullptr, database, CFerrold_Base::EmptyCache{});
            QList<qint32> keys;
            for (const Plan::Extend& row : plan.extended)
                keys << row.id;
            std::vector<std::pair<qint32, QString>> lists;
            if (!CBulkWriter(stored).ReadForWrite(QStringLiteral("strLeser_IDS"), &lists, &keys))
                throw Failure{stored.GetLastError()};
            QSqlQuery extend(db);
            prepare(extend, statement(db, "UPDATE %T SET %1 = ? WHERE %2 = ?", transponders,
                                      {"strLeser_IDS", "ID_Transponder"}));
            for (const auto& [id, list] : lists) {
                const QString with = CReaderIdList(list).With(readerId).Text();
                if (with != list)
                    run(extend, {with, id});
            }
        }
        // Cleared only when the rows now give what this fetch leaves behind:
        // a change another PC stored meanwhile keeps the mark.
        clearing = CReaderPayload::ClearMarkIfUnchanged(database, readerId, expected);
        if (!transaction.Commit())
            throw Failure{transaction.GetError()};
    } catch (const Failure& failure) {
        if (error)
            *error = failure.text;
        return Result::Failed;
    } catch (const CDBException& e) {
        if (error)
            *error = e.m_strError;
        return Result::Failed;
    }
    UpdateCaches(removed, clearing == CReaderPayload::Clearing::Cleared ? readerId : 0);
    if (markKept)
        *markKept = clearing == CReaderPayload::Clearing::Changed;
    return Result::Stored;
}

void CFetchedListStore::UpdateCaches(const std::vector<qint32>& deleted, qint32 readerId)
{
    // Rows were added: the new keys come from the table.
    m_db.Get_Ptr_To_tblTransponder()->_Requery();

    const QSet<qint32> removed(deleted.begin(), deleted.end());
    if (!removed.isEmpty()) {
        CtblPerson* persons = m_db.Get_Ptr_To_tblPerson();
        for (int i = 0; i < persons->GetAnz_Person(); ++i) {
            CtblPerson::structPerson* person = persons->Get_Person(i);
            if (removed.contains(person->Transponder_ID))
                person->Transponder_ID = 0;
        }
    }
    // In place: rows borrowed from the reader cache stay valid. Reader 0:
    // the mark was kept.
    CtblLeser* readers = m_db.Get_Ptr_To_tblLeser();
    for (int i = 0; i < readers->GetAnz_Leser(); ++i) {
        if (readers->Get_Leser(i)->ID_Leser == readerId)
            readers->Get_Leser(i)->UpdateOK = 0;
    }
}
