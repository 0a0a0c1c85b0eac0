#include "CRecordDeleter.h"

#include "CBulkWriter.h"
#include "CBusyScope.h"
#include "CDatabase.h"
#include "CFerrold_Base.h"
#include "CNotice.h"
#include "CTransaction.h"

#include <QSqlError>

#include <memory>

namespace {

// The view's busy flag, cleared on every way out.
class BusyFlag
{
public:
    explicit BusyFlag(int* flag) : m_flag(flag)
    {
        if (m_flag)
            *m_flag = 1;
    }
    ~BusyFlag()
    {
        if (m_flag)
            *m_flag = 0;
    }
    BusyFlag(const BusyFlag&) = delete;
    BusyFlag& operator=(const BusyFlag&) = delete;

private:
    int* m_flag;
};

} // namespace

CRecordDeleter::CRecordDeleter(CFerrold_Base& set, unsigned int notFound)
    : m_set(set)
    , m_nNotFound(notFound)
{
}

CRecordDeleter::Result CRecordDeleter::DeleteKeys(const std::vector<qint32>& keys)
{
    std::vector<qint32> unique;
    unique.reserve(keys.size());
    QSet<qint32> seen;
    seen.reserve(int(keys.size()));
    for (qint32 key : keys) {
        if (!seen.contains(key)) {
            seen.insert(key);
            unique.push_back(key);
        }
    }
    return Run(&unique);
}

CRecordDeleter::Result CRecordDeleter::DeleteAll()
{
    return Run(nullptr);
}

void CRecordDeleter::NoteReason(const QString& reason)
{
    if (!m_reasons.contains(reason))
        m_reasons.append(reason);
}

CRecordDeleter::Result CRecordDeleter::Run(const std::vector<qint32>* keys)
{
    m_reasons.clear();
    m_bOpenFailed = false;
    Result result;
    result.asked = keys ? int(keys->size()) : 0;
    std::vector<qint32> deleted;
    bool all = false;
    {
        BusyFlag busy(busyFlag);
        CBusyScope cursor(context);

        QString error;
        CDatabase* database = m_set.m_pDatabase;
        if (!database || !database->Connection(&error).isOpen()) {
            m_bOpenFailed = true;
            result.stopped = true;
        } else {
            try {
                // The whole table in one statement first; a record that is
                // refused undoes that statement, and the walk below deletes
                // what can be deleted.
                if (!keys) {
                    CTransaction transaction(database);
                    try {
                        if (beforeDelete)
                            beforeDelete(nullptr);
                        result.asked = result.deleted = CBulkWriter(m_set).DeleteAllRows();
                        if (cleanUp)
                            cleanUp(nullptr);
                        all = transaction.Commit();
                        if (!all)
                            result.asked = result.deleted = 0;
                    } catch (const CDBException&) {
                        result.asked = result.deleted = 0;
                    }
                }
                if (!all) {
                    std::vector<qint32> allKeys;
                    if (!keys && !m_set.ReadKeys(&allKeys))
                        throw CDBException(m_set.GetLastError());
                    const std::vector<qint32>& walk = keys ? *keys : allKeys;
                    result.asked = int(walk.size());
                    CTransaction transaction(database);
                    if (beforeDelete)
                        beforeDelete(&walk);
                    deleted = CBulkWriter(m_set).DeleteKeys(walk, [this](qint32, const QString& reason) { NoteReason(reason); });
                    if (cleanUp && !deleted.empty())
                        cleanUp(&deleted);
                    if (!transaction.Commit())
                        throw CDBException(transaction.GetError());
                    result.deleted = int(deleted.size());
                }
            } catch (const CDBException& e) {
                // Undone as a whole (the transaction's scope rolled it back).
                NoteReason(e.m_strError);
                result.deleted = 0;
                result.stopped = true;
                all = false;
                deleted.clear();
            }
        }
        result.failed = result.asked - result.deleted;

        if (all && updateCaches) {
            updateCaches(nullptr);
        } else if (result.failed == 0 && !result.stopped && updateCaches) {
            QSet<qint32> gone;
            gone.reserve(int(deleted.size()));
            for (qint32 key : deleted)
                gone.insert(key);
            updateCaches(&gone);
        } else if (!m_bOpenFailed && reread) {
            reread();
        }
        if (refill)
            refill();
    }
    Report(result);
    return result;
}

void CRecordDeleter::Report(const Result& result) const
{
    if (m_bOpenFailed) {
        CNotice::ShowOpenFailure();
        return;
    }
    for (const QString& reason : m_reasons) {
        if (reason.isEmpty())
            CNotice::ShowNotice(m_nNotFound);
        else
            CNotice::ShowDatabaseError(reason);
    }
    if (result.failed > 0 && result.asked > 1)
        CNotice::ShowCount(300, result.failed);
}
