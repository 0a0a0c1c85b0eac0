#include "CEventStore.h"

#include "CDBException.h"
#include "CDatabase.h"
#include "CTransaction.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QStringList>

namespace {

const char* const kColumns[] = {"strTranspondernummer", "strDatum", "strUhrzeit", "strBinaerwert1", "strEvent1",
                                "strBinaerwert2", "strEvent2", "Leser_ID", "strLeserName"};

} // namespace

CEventStore::CEventStore(CDatabase* database)
    : m_pDatabase(database)
{
}

CEventStore::~CEventStore()
{
    Commit();
}

bool CEventStore::Open(QString* error)
{
    QString text;
    m_db = m_pDatabase ? m_pDatabase->Connection(&text) : QSqlDatabase();
    if (!m_db.isOpen()) {
        if (error)
            *error = m_pDatabase ? text : QStringLiteral("No data source.");
        return false;
    }
    QSqlDriver* driver = m_db.driver();
    QStringList names;
    QStringList marks;
    for (const char* column : kColumns) {
        names << driver->escapeIdentifier(QLatin1String(column), QSqlDriver::FieldName);
        marks << QStringLiteral("?");
    }
    m_insert = std::make_unique<QSqlQuery>(m_db);
    const QString sql = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                            .arg(driver->escapeIdentifier(QStringLiteral("tblEvents"), QSqlDriver::TableName),
                                 names.join(QStringLiteral(", ")), marks.join(QStringLiteral(", ")));
    if (!m_insert->prepare(sql)) {
        if (error)
            *error = m_insert->lastError().text();
        m_insert.reset();
        return false;
    }
    return true;
}

bool CEventStore::Begin(QString* error)
{
    if (m_batch)
        return true;
    auto batch = std::make_unique<CTransaction>(m_pDatabase);
    if (!batch->IsActive()) {
        if (error)
            *error = batch->GetError();
        return false;
    }
    m_batch = std::move(batch);
    m_batchAge.start();
    return true;
}

void CEventStore::Add(const Row& row)
{
    if (!m_insert)
        throw CDBException(QStringLiteral("The events table is not open."));
    QString error;
    if (!Begin(&error))
        throw CDBException(error);
    int i = 0;
    for (const QString* text : {&row.transponder, &row.date, &row.time, &row.code1, &row.event1, &row.code2,
                                &row.event2})
        m_insert->bindValue(i++, *text);
    m_insert->bindValue(i++, row.readerId);
    m_insert->bindValue(i++, row.readerName);
    if (!m_insert->exec())
        throw CDBException(m_insert->lastError().text());
    ++m_pending;
    if (m_pending >= kBatchRows || m_batchAge.elapsed() >= kBatchMs) {
        if (!Commit(&error))
            throw CDBException(error);
    }
}

bool CEventStore::Commit(QString* error)
{
    if (!m_batch)
        return true;
    if (m_insert)
        m_insert->finish();
    const bool committed = m_batch->Commit();
    if (!committed && error)
        *error = m_batch->GetError();
    // A refused commit has rolled the batch back: those rows are not stored.
    m_batch.reset();
    if (committed)
        m_stored += m_pending;
    m_pending = 0;
    return committed;
}
