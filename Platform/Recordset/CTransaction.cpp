#include "CTransaction.h"

#include "CDatabase.h"


namespace {

// Savepoint depth per thread, so nested scopes get names of their own.
thread_local int t_depth = 0;

} // namespace

CTransaction::CTransaction(CDatabase* database)
    : m_pDatabase(database)
{
    if (m_pDatabase)
        Begin();
    else
        m_error = QStringLiteral("No data source.");
}

bool CTransaction::Begin()
{
    if (m_pDatabase->InTransaction()) {
        const int level = t_depth + 1;
        if (!m_pDatabase->Savepoint(level, &m_error))
            return false;
        m_level = level;
        t_depth = level;
    } else {
        if (!m_pDatabase->BeginTrans(&m_error))
            return false;
        m_level = 0;
        t_depth = 0;
    }
    m_bActive = true;
    m_rowsInBatch = 0;
    m_batchTime.start();
    return true;
}

CTransaction::~CTransaction()
{
    Rollback();
}

bool CTransaction::Commit()
{
    if (!m_bActive)
        return false;
    QString error;
    const bool ok = m_level > 0 ? m_pDatabase->ReleaseSavepoint(m_level, &error) : m_pDatabase->CommitTrans(&error);
    if (!ok) {
        // The refusal's own text: the rollback that follows may fail too
        // ("no transaction is active") and must not hide why.
        m_error = error.isEmpty() ? QStringLiteral("The database did not store the changes.") : error;
        Rollback();
        return false;
    }
    m_bActive = false;
    if (m_level > 0)
        t_depth = m_level - 1;
    return true;
}

void CTransaction::Rollback()
{
    if (!m_bActive)
        return;
    m_bActive = false;
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

bool CTransaction::CommitBatchIfDue()
{
    if (!m_bActive)
        return false;
    if (m_level > 0)
        return true;
    ++m_rowsInBatch;
    if (m_rowsInBatch < m_batchRows && !m_batchTime.hasExpired(m_batchMs))
        return true;
    return Commit() && Begin();
}
