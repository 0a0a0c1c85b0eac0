#include "CTransponderStore.h"

#include "CBulkWriter.h"
#include "CDatabase.h"
#include "CFerrold_Handler.h"
#include "CTransaction.h"
#include "CReaderIdList.h"
#include "CtblLeser.h"
#include "CtblPerson.h"
#include "CtblTransponder.h"

#include <QHash>
#include <QSet>

namespace {

constexpr unsigned int kTransponderMissing = 75;
constexpr unsigned int kPersonMissing = 77;

using Row = CtblTransponder::structTransponder;

std::vector<QVariant> Variants(const std::vector<qint32>& ids)
{
    return std::vector<QVariant>(ids.begin(), ids.end());
}

std::vector<qint32> ReadersOf(const QString& list)
{
    const CReaderIdList readers(list);
    return std::vector<qint32>(readers.Readers().cbegin(), readers.Readers().cend());
}

// The row being written, as it will be stored.
Row StoredRow(const CtblTransponder& set)
{
    Row row;
    row.ID_Transponder = set.ID_Transponder;
    row.TransponderNummer = set.strTransponderNummer;
    row.Person_ID = set.Person_ID;
    row.Zeitfenster_ID = set.Zeitfenster_ID;
    row.Leser_IDS = set.strLeser_IDS;
    row.nTransponderIndex = set.nTransponderIndex;
    row.UpdateOK = set.boolUpdateOK;
    return row;
}

// The cached row takes the stored one, keeping its place number.
void CopyStored(Row& cached, const Row& stored)
{
    const qint32 place = cached.nNr;
    cached = stored;
    cached.nNr = place;
}

} // namespace

CTransponderStore::CTransponderStore(CFerrold_Handler* db)
    : m_pDb(db)
{
}

bool CTransponderStore::Missing(unsigned int text)
{
    m_failure = Failure::NotFound;
    m_nMissingText = text;
    return false;
}

bool CTransponderStore::Transact(const std::function<bool()>& write)
{
    m_failure = Failure::None;
    m_strError.clear();
    m_nMissingText = 0;
    if (!m_pDb) {
        m_failure = Failure::Open;
        return false;
    }
    CDatabase* database = m_pDb->GetDatabase();
    QString error;
    if (!database || !database->Connection(&error).isOpen()) {
        m_failure = Failure::Open;
        m_strError = error;
        return false;
    }
    CTransaction transaction(database);
    try {
        if (!transaction.IsActive())
            throw CDBException(transaction.GetError());
        if (!write())
            return false;
        if (!transaction.Commit())
            throw CDBException(transaction.GetError());
    } catch (const CDBException& e) {
        m_failure = Failure::Write;
        m_strError = e.m_strError;
        return false;
    }
    return true;
}

bool CTransponderStore::WriteByKey(CFerrold_Base& set, qint32 key, unsigned int missingText,
                                   const std::function<void()>& change)
{
    if (!set.OpenKey(key)) {
        m_failure = Failure::Open;
        m_strError = set.GetLastError();
        return false;
    }
    // Closed on every way out: a set left open would show rows that a
    // rollback has taken back.
    struct Close
    {
        CFerrold_Base& set;
        ~Close() { set.Close(); }
    } close{set};
    if (set.IsEOF())
        return Missing(missingText);
    set.Edit();
    change();
    set.Update();
    return true;
}

void CTransponderStore::LockRow(qint32 transponderId)
{
    // A file is locked whole by the transaction already.
    if (!m_pDb->GetDatabase()->IsServer())
        return;
    CtblTransponder* transponders = m_pDb->Get_Ptr_To_tblTransponder();
    std::vector<std::pair<qint32, QString>> locked;
    const QList<qint32> keys{transponderId};
    if (!CBulkWriter(*transponders).ReadForWrite(QStringLiteral("strLeser_IDS"), &locked, &keys))
        throw CDBException(transponders->GetLastError());
}

void CTransponderStore::MarkReadersStored(const Readers& readers)
{
    if (readers.empty())
        return;
    const std::vector<QVariant> ids = Variants(readers);
    CBulkWriter(*m_pDb->Get_Ptr_To_tblLeser()).UpdateWhere(QStringLiteral("boolUpdateOK"), 1, QStringLiteral("ID_Leser"), &ids);
}

void CTransponderStore::MarkReadersCached(const Readers& readers)
{
    if (readers.empty())
        return;
    const QSet<qint32> ids(readers.begin(), readers.end());
    CtblLeser* table = m_pDb->Get_Ptr_To_tblLeser();
    for (int i = 0; i < table->GetAnz_Leser(); ++i) {
        if (ids.contains(table->Get_Leser(i)->ID_Leser))
            table->Get_Leser(i)->UpdateOK = 1;
    }
}

void CTransponderStore::ClearPersonLinkCached(qint32 transponderId)
{
    CtblPerson* persons = m_pDb->Get_Ptr_To_tblPerson();
    for (int i = 0; i < persons->GetAnz_Person(); ++i) {
        auto* person = persons->Get_Person(i);
        if (transponderId == 0 || person->Transponder_ID == transponderId)
            person->Transponder_ID = 0;
    }
}

bool CTransponderStore::WriteMarked(qint32 transponderId, const Readers& readers,
                                    const std::function<void(CtblTransponder&)>& change)
{
    CtblTransponder* transponders = m_pDb ? m_pDb->Get_Ptr_To_tblTransponder() : nullptr;
    Readers marked;
    Row stored;
    const bool ok = Transact([&] {
        LockRow(transponderId);
        marked = readers;
        const bool written = WriteByKey(*transponders, transponderId, kTransponderMissing, [&] {
            if (marked.empty())
                marked = ReadersOf(transponders->strLeser_IDS);
            change(*transponders);
            transponders->boolUpdateOK = 1;
            stored = StoredRow(*transponders);
        });
        if (written)
            MarkReadersStored(marked);
        return written;
    });
    if (!ok)
        return false;
    // Another PC's changes of the row show as well.
    if (Row* cached = transponders->FindByKey(transponderId))
        CopyStored(*cached, stored);
    MarkReadersCached(marked);
    return true;
}

bool CTransponderStore::SetPerson(qint32 transponderId, qint32 personId)
{
    CtblPerson* persons = m_pDb ? m_pDb->Get_Ptr_To_tblPerson() : nullptr;
    CtblTransponder* transponders = m_pDb ? m_pDb->Get_Ptr_To_tblTransponder() : nullptr;
    // Both sides of the link, or neither.
    const bool ok = Transact([&] {
        const std::vector<QVariant> holder{transponderId};
        CBulkWriter(*persons).UpdateWhere(QStringLiteral("Transponder_ID"), 0, QStringLiteral("Transponder_ID"), &holder);
        if (!WriteByKey(*transponders, transponderId, kTransponderMissing,
                        [&] { transponders->Person_ID = personId; }))
            return false;
        return personId == 0
               || WriteByKey(*persons, personId, kPersonMissing, [&] { persons->Transponder_ID = transponderId; });
    });
    if (!ok)
        return false;
    ClearPersonLinkCached(transponderId);
    if (auto* person = personId != 0 ? persons->FindByKey(personId) : nullptr)
        person->Transponder_ID = transponderId;
    if (Row* cached = transponders->FindByKey(transponderId))
        cached->Person_ID = personId;
    return true;
}

bool CTransponderStore::SetSchema(qint32 transponderId, qint32 schemaId)
{
    return WriteMarked(transponderId, {}, [schemaId](CtblTransponder& set) { set.Zeitfenster_ID = schemaId; });
}

bool CTransponderStore::SetReader(qint32 transponderId, qint32 readerId, bool on)
{
    return WriteMarked(transponderId, {readerId}, [readerId, on](CtblTransponder& set) {
        const CReaderIdList stored(set.strLeser_IDS);
        set.strLeser_IDS = (on ? stored.With(readerId) : stored.Without(readerId)).Text();
    });
}

bool CTransponderStore::Learn(const QString& number, qint32 readerId, qint32 key)
{
    CtblTransponder* transponders = m_pDb ? m_pDb->Get_Ptr_To_tblTransponder() : nullptr;
    Row stored;
    const bool ok = Transact([&] {
        if (key == 0) {
            if (!transponders->OpenKey(0)) {
                m_failure = Failure::Open;
                m_strError = transponders->GetLastError();
                return false;
            }
            struct Close
            {
                CFerrold_Base& set;
                ~Close() { set.Close(); }
            } close{*transponders};
            transponders->AddNew();
            transponders->strTransponderNummer = number;
            transponders->Person_ID = 0;
            transponders->Zeitfenster_ID = 1;
            transponders->boolUpdateOK = 1;
            if (readerId != 0)
                transponders->strLeser_IDS = QString::number(readerId);
            transponders->Update();
        } else {
            LockRow(key);
            // The list as stored: the reader is added to what another PC
            // may have given the transponder meanwhile.
            if (!WriteByKey(*transponders, key, kTransponderMissing, [&] {
                    const QString list = CReaderIdList(transponders->strLeser_IDS).With(readerId).Text();
                    // A list that changed means the transponder must be sent again.
                    if (list != transponders->strLeser_IDS) {
                        transponders->strLeser_IDS = list;
                        transponders->boolUpdateOK = 1;
                    }
                    stored = StoredRow(*transponders);
                }))
                return false;
        }
        if (readerId != 0)
            MarkReadersStored({readerId});
        return true;
    });
    if (!ok)
        return false;
    if (key == 0)
        transponders->_Requery();
    else if (Row* cached = transponders->FindByKey(key))
        CopyStored(*cached, stored);
    if (readerId != 0)
        MarkReadersCached({readerId});
    return true;
}

CRecordDeleter::Result CTransponderStore::Delete(const std::vector<qint32>* keys, int* busyFlag,
                                                 const std::function<void()>& refill, CAppContext* context,
                                                 std::function<void(qint32 transponderId)> clearLinks)
{
    if (!clearLinks)
        clearLinks = [this](qint32 transponderId) { ClearPersonLinkCached(transponderId); };
    CtblTransponder* transponders = m_pDb->Get_Ptr_To_tblTransponder();
    CtblPerson* persons = m_pDb->Get_Ptr_To_tblPerson();
    CtblLeser* readers = m_pDb->Get_Ptr_To_tblLeser();
    // The readers that hold each transponder, as stored, read inside the
    // transaction before the rows go: another PC may have given one to a
    // reader that this program's cache does not show, and that reader must
    // be written again too, or it keeps admitting the deleted transponder.
    QHash<qint32, QString> lists;
    const auto touched = [&lists](const std::vector<qint32>* deleted) {
        Readers readerIds;
        QSet<qint32> seen;
        const auto add = [&](const QString& list) {
            for (qint32 id : CReaderIdList(list).Readers()) {
                if (!seen.contains(id)) {
                    seen.insert(id);
                    readerIds.push_back(id);
                }
            }
        };
        if (deleted) {
            for (qint32 key : *deleted)
                add(lists.value(key));
        } else {
            for (auto it = lists.cbegin(); it != lists.cend(); ++it)
                add(it.value());
        }
        return readerIds;
    };
    Readers marked;
    CRecordDeleter deleter(*transponders, kTransponderMissing);
    deleter.busyFlag = busyFlag;
    deleter.context = context;
    deleter.beforeDelete = [transponders, &lists](const std::vector<qint32>* keys) {
        std::vector<std::pair<qint32, QString>> stored;
        const QList<qint32> chosen = keys ? QList<qint32>(keys->cbegin(), keys->cend()) : QList<qint32>();
        if (!CBulkWriter(*transponders).ReadForWrite(QStringLiteral("strLeser_IDS"), &stored, keys ? &chosen : nullptr))
            throw CDBException(transponders->GetLastError());
        lists.clear();
        for (auto& [key, list] : stored)
            lists.insert(key, std::move(list));
    };
    // No person may keep a transponder that is gone, and every reader that
    // held one must be written again.
    deleter.cleanUp = [this, persons, &touched, &marked](const std::vector<qint32>* deleted) {
        if (!deleted) {
            CBulkWriter(*persons).UpdateWhere(QStringLiteral("Transponder_ID"), 0, QString(), nullptr);
        } else {
            const std::vector<QVariant> ids = Variants(*deleted);
            CBulkWriter(*persons).UpdateWhere(QStringLiteral("Transponder_ID"), 0, QStringLiteral("Transponder_ID"), &ids);
        }
        marked = touched(deleted);
        MarkReadersStored(marked);
    };
    deleter.updateCaches = [this, transponders, &marked, &clearLinks](const QSet<qint32>* deleted) {
        if (!deleted) {
            transponders->RemoveAllData();
            clearLinks(0);
        } else {
            transponders->RemoveIf([deleted](const Row& row) { return deleted->contains(row.ID_Transponder); });
            CtblPerson* persons = m_pDb->Get_Ptr_To_tblPerson();
            for (int i = 0; i < persons->GetAnz_Person(); ++i) {
                auto* person = persons->Get_Person(i);
                if (deleted->contains(person->Transponder_ID))
                    person->Transponder_ID = 0;
            }
        }
        MarkReadersCached(marked);
    };
    deleter.reread = [transponders, persons, readers] {
        transponders->_Requery();
        persons->_Requery();
        readers->_Requery();
    };
    deleter.refill = refill;
    return keys ? deleter.DeleteKeys(*keys) : deleter.DeleteAll();
}

bool CTransponderStore::ChangeAll(bool assign, qint32 readerId)
{
    m_nChanged = 0;
    CtblTransponder* transponders = m_pDb ? m_pDb->Get_Ptr_To_tblTransponder() : nullptr;
    // Every record of the table, as stored: another PC may have added
    // transponders or changed lists since the cache was read. The lists
    // are read inside the write's transaction (on a server the rows stay
    // locked until it ends); each becomes the row's list afterwards.
    std::vector<std::pair<qint32, QString>> rows;
    std::vector<char> changed;
    int count = 0;
    const bool ok = Transact([&] {
        if (!CBulkWriter(*transponders).ReadForWrite(QStringLiteral("strLeser_IDS"), &rows))
            throw CDBException(transponders->GetLastError());
        // Nearly every row changes the same way: the reader's piece added at
        // the end, or taken off it. Those rows go in one statement over the
        // table; the few it would get wrong are left out of it, and those of
        // them that change get lists of their own.
        const QString end = u';' + QString::number(readerId);
        QList<qint32> except;
        std::vector<std::pair<qint32, QVariant>> own;
        changed.assign(rows.size(), 0);
        for (std::size_t i = 0; i < rows.size(); ++i) {
            auto& [key, list] = rows[i];
            const CReaderIdList stored(list);
            if (stored.Holds(readerId) == assign) {
                // Assigned already (the statement would add it again), or
                // not assigned, so no piece at the end to take off.
                if (assign)
                    except << key;
                continue;
            }
            QString after = (assign ? stored.With(readerId) : stored.Without(readerId)).Text();
            // What the statement makes of the list, told without building it.
            const bool ending = assign || list.endsWith(end);
            const bool asStatement = !ending ? false
                                     : assign ? (list.isEmpty() ? after == QStringView(end).mid(1)
                                                                : after.size() == list.size() + end.size()
                                                                      && after.startsWith(list) && after.endsWith(end))
                                              : QStringView(list).chopped(end.size()) == after;
            if (!asStatement) {
                if (ending)
                    except << key;
                own.emplace_back(key, after);
            }
            list = std::move(after);
            changed[i] = 1;
            ++count;
        }
        if (count == 0)
            return true;
        constexpr qsizetype kMostLeftOut = 500;
        const CRecordset::Assignments mark{{QStringLiteral("boolUpdateOK"), 1}};
        if (except.size() <= kMostLeftOut) {
            transponders->ChangeListEnds(assign, readerId, rows.back().first, except);
            if (!own.empty())
                CBulkWriter(*transponders).UpdateRowsByKey(QStringLiteral("strLeser_IDS"), own, mark);
        } else {
            own.clear();
            for (std::size_t i = 0; i < rows.size(); ++i) {
                if (changed[i])
                    own.emplace_back(rows[i].first, rows[i].second);
            }
            CBulkWriter(*transponders).UpdateRowsByKey(QStringLiteral("strLeser_IDS"), own, mark);
        }
        MarkReadersStored({readerId});
        return true;
    });
    if (!ok || count == 0)
        return ok;
    m_nChanged = count;
    MarkReadersCached({readerId});
    // The cache follows in one pass, every row with its stored list, found
    // in place while the cache holds the table's rows in key order; rows it
    // does not know (or knows and the table no longer has) make it read the
    // table again.
    const int cached = transponders->GetAnz_Transponder();
    bool missing = int(rows.size()) != cached;
    for (std::size_t i = 0; i < rows.size() && !missing; ++i) {
        Row* row = int(i) < cached ? transponders->Get_Transponder(int(i)) : nullptr;
        if (!row || row->ID_Transponder != rows[i].first)
            row = transponders->FindByKey(rows[i].first);
        if (!row) {
            missing = true;
            break;
        }
        row->Leser_IDS = std::move(rows[i].second);
        if (changed[i])
            row->UpdateOK = 1;
    }
    if (missing)
        transponders->_Requery();
    return true;
}
