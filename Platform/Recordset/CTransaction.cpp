#include "CTransaction.h"

#include "CDBException.h"
#include "CDatabase.h"

#include <QSqlError>

namespace {

// Savepoint depth per thread, so nested scopes get names of their own.
thread_local int t_depth = 0;

QString lastError(CDatabase* db, const QString& fallback)
{
    const QString text = db->Connection().lastError().text();
    return text.trimmed().isEmpty() ? fallback : text;
}

} // namespace

CTransaction::CTransaction(CDatabase* pDatabase)
    : m_pDatabase(pDatabase)
{
    if (!m_pDatabase)
        throw CDBException(QStringLiteral("No data source."));
    Begin();
}

void CTransaction::Begin()
{
    if (m_pDatabase->InTransaction()) {
        const int level = t_depth + 1;
        if (!m_pDatabase->Savepoint(level))
            throw CDBException(lastError(m_pDatabase, QStringLiteral("The transaction cannot be nested.")));
        m_level = level;
        t_depth = level;
    } else {
        QString error;
        if (!m_pDatabase->BeginTrans(&error))
            throw CDBException(error.isEmpty() ? QStringLiteral("The transaction cannot begin.") : error);
        m_level = 0;
        t_depth = 0;
    }
    m_active = true;
    m_rowsInBatch = 0;
    m_batchTime.start();
}

CTransaction::~CTransaction()
{
    if (m_active)
        Rollback();
}

void CTransaction::Commit()
{
    if (!m_active)
        return;
    const bool ok = m_level > 0 ? m_pDatabase->ReleaseSavepoint(m_level) : m_pDatabase->CommitTrans();
    if (!ok) {
        const QString error = lastError(m_pDatabase, QStringLiteral("The transaction cannot be committed."));
        Rollback();
        throw CDBException(error);
    }
    m_active = false;
    if (m_level > 0)
        t_depth = m_level - 1;
}

void CTransaction::Rollback()
{
    if (!m_active)
        return;
    m_active = false;
    if (m_level > 0) {
        m_pDatabase->RollbackToSavepoint(m_level);
        t_depth = m_level - 1;
    } else {
        m_pDatabase->Rollback();
    }
}

void CTransaction::SetBatch(int rows, int milliseconds)
{
    m_batchRows = rows > 0 ? rows : 1;
    m_batchMs = milliseconds > 0 ? milliseconds : 1;
}

void CTransaction::CommitBatchIfDue()
{
    if (!m_active || m_level > 0)
        return;
    ++m_rowsInBatch;
    if (m_rowsInBatch < m_batchRows && !m_batchTime.hasExpired(m_batchMs))
        return;
    Commit();
    Begin();
}
