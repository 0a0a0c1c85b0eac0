#include "CReaderDeleter.h"

#include "CAppContext.h"
#include "CBulkWriter.h"
#include "CDBException.h"
#include "CFerrold_Handler.h"
#include "CFieldExchange.h"
#include "CReaderIdList.h"
#include "CReaderModel.h"
#include "CNotice.h"
#include "CtblEvents.h"
#include "CtblLeser.h"
#include "CtblTransponder.h"

#include <QHash>
#include <QSet>

namespace {

constexpr unsigned int kConfirmAllText = 64;
constexpr unsigned int kNotFoundText = 66;
constexpr unsigned int kConfirmManyText = 68;
constexpr unsigned int kConfirmOneText = 69;
constexpr unsigned int kEventsTooText = 70;
constexpr unsigned int kAllEventsTooText = 71;

} // namespace

CReaderDeleter::CReaderDeleter(CFerrold_Handler& db, CAppContext* context)
    : m_db(db)
    , m_pContext(context)
{
}

bool CReaderDeleter::DeleteChosen(const std::vector<qint32>& readerIds)
{
    if (readerIds.empty() || !CNotice::Confirm(readerIds.size() > 1 ? kConfirmManyText : kConfirmOneText))
        return false;
    // Only framed readers keep events; without one there is nothing to ask.
    bool framed = false;
    const QSet<qint32> chosen(readerIds.begin(), readerIds.end());
    CtblLeser* readers = m_db.Get_Ptr_To_tblLeser();
    for (int i = 0; i < readers->GetAnz_Leser() && !framed; ++i) {
        const auto* reader = readers->Get_Leser(i);
        framed = chosen.contains(reader->ID_Leser) && CReaderModel::IsFramed(reader->LeserTyp);
    }
    const bool removeEvents = framed && CNotice::Confirm(kEventsTooText);
    Delete(&readerIds, removeEvents);
    return true;
}

bool CReaderDeleter::DeleteEverything()
{
    if (!CNotice::Confirm(kConfirmAllText))
        return false;
    const bool removeEvents = CNotice::Confirm(kAllEventsTooText);
    Delete(nullptr, removeEvents);
    return true;
}

void CReaderDeleter::StripStoredLists(const QSet<qint32>& deleted)
{
    CtblTransponder* transponders = m_db.Get_Ptr_To_tblTransponder();
    // Only the lists that change are written, each row its own new list in
    // a few statements, so a reader on thousands of transponders costs a
    // few statements and one pass over the cache.
    std::vector<std::pair<qint32, QVariant>> changed;
    const bool ok = transponders->ReadRows(
        QStringLiteral("SELECT * FROM \"tblTransponder\" WHERE \"strLeser_IDS\" <> ''"), [&](const QVariant* values) {
            // Bound in this order: ID, number, person, schema, readers, index, mark.
            const QString before = CFieldExchange::ToText(values[4]);
            const QString after = CReaderIdList(before).Without(deleted).Text();
            if (after != before)
                changed.emplace_back(CFieldExchange::ToLong(values[0]), after);
        });
    if (!ok)
        throw CDBException(transponders->GetLastError());
    transponders->UpdateEachByKey(QStringLiteral("strLeser_IDS"), changed);
}

CRecordDeleter::Result CReaderDeleter::Delete(const std::vector<qint32>* ids, bool removeEvents)
{
    CtblLeser* readers = m_db.Get_Ptr_To_tblLeser();
    CtblEvents* events = m_db.Get_Ptr_To_tblEvents();
    CtblTransponder* transponders = m_db.Get_Ptr_To_tblTransponder();

    // The tree knows readers by their names: taken before the rows go.
    QHash<qint32, QString> treeNames;
    for (int i = 0; i < readers->GetAnz_Leser(); ++i) {
        const auto* reader = readers->Get_Leser(i);
        // A Tern has no children; its name may be another reader's.
        if (!CReaderModel::IsTern(reader->LeserTyp))
            treeNames.insert(reader->ID_Leser, reader->Bezeichnung);
    }

    CRecordDeleter deleter(*readers, kNotFoundText);
    deleter.busyFlag = busyFlag;
    deleter.context = m_pContext;
    // Runs only for the readers the database gave up, in their transaction:
    // a reader that stays keeps its events and assignments.
    deleter.cleanUp = [&](const std::vector<qint32>* deleted) {
        if (!deleted) {
            if (removeEvents)
                CBulkWriter(*events).DeleteAllRows();
            else
                CBulkWriter(*events).UpdateWhere(QStringLiteral("Leser_ID"), 0, QString(), nullptr);
            CBulkWriter(*transponders).UpdateWhere(QStringLiteral("strLeser_IDS"), QStringLiteral(""), QString(), nullptr);
            return;
        }
        // Database and cache together: a rollback re-reads both caches.
        const QList<QVariant> keys(deleted->begin(), deleted->end());
        if (removeEvents)
            events->DeleteWhere(QStringLiteral("Leser_ID"), keys);
        else
            events->UpdateColumnsWhere(QStringLiteral("Leser_ID"), keys, {{QStringLiteral("Leser_ID"), 0}});
        StripStoredLists(QSet<qint32>(deleted->begin(), deleted->end()));
    };
    deleter.updateCaches = [&](const QSet<qint32>* deleted) {
        if (!deleted) {
            readers->RemoveAllData();
            if (removeEvents) {
                events->RemoveAllData();
            } else {
                for (int i = 0; i < events->GetAnz_Events(); ++i)
                    events->Get_Event(i)->Leser_ID = 0;
            }
            for (int i = 0; i < transponders->GetAnz_Transponder(); ++i)
                transponders->Get_Transponder(i)->Leser_IDS.clear();
            if (m_pContext)
                m_pContext->RemoveAllReaderChildren();
            return;
        }
        // Events and reader lists followed their writes already.
        readers->RemoveIf([deleted](const CtblLeser::structLeser& row) { return deleted->contains(row.ID_Leser); });
        if (m_pContext) {
            for (qint32 id : *deleted) {
                const auto name = treeNames.constFind(id);
                if (name != treeNames.cend())
                    m_pContext->RemoveReaderChildren(*name);
            }
        }
    };
    deleter.reread = [&] {
        readers->_Requery();
        events->_Requery();
        transponders->_Requery();
        if (m_pContext)
            m_pContext->RebuildTreeChildren();
    };
    deleter.refill = refill;
    return ids ? deleter.DeleteKeys(*ids) : deleter.DeleteAll();
}
