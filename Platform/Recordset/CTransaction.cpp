#include "CTransaction.h"

#include "CDatabase.h"

CTransaction::CTransaction(CDatabase* database)
    : m_pDatabase(database)
{
    if (!m_pDatabase)
        return;
    if (m_pDatabase->InTransaction())
        m_bJoined = true;
    else
        m_bOwn = m_pDatabase->BeginTrans();
}

CTransaction::~CTransaction()
{
    Rollback();
}

bool CTransaction::Commit()
{
    if (m_bJoined)
        return true;
    if (!m_bOwn)
        return false;
    m_bOwn = false;
    if (m_pDatabase->CommitTrans())
        return true;
    m_pDatabase->Rollback();
    return false;
}

void CTransaction::Rollback()
{
    if (!m_bOwn)
        return;
    m_bOwn = false;
    m_pDatabase->Rollback();
}
