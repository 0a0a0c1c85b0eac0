#include "CPersonStore.h"

#include "CBulkWriter.h"
#include "CFerrold_Handler.h"
#include "CNotice.h"
#include "CTransaction.h"
#include "CtblPerson.h"
#include "CtblTransponder.h"

#include <QSet>
#include <QVariant>

namespace {

constexpr unsigned int kPersonNotFoundText = 77;

CtblPerson::structPerson* cachedPerson(CtblPerson& persons, qint32 personId)
{
    for (int i = 0; i < persons.GetAnz_Person(); ++i) {
        if (persons.Get_Person(i)->ID_Person == personId)
            return persons.Get_Person(i);
    }
    return nullptr;
}

} // namespace

CPersonStore::CPersonStore(CFerrold_Handler& db)
    : m_db(db)
{
}

CRecordWriter::Result CPersonStore::Rename(qint32 personId, const QString& name)
{
    CtblPerson* persons = m_db.Get_Ptr_To_tblPerson();
    const CRecordWriter::Result result =
        CRecordWriter::WriteByKey(*persons, personId, [&] { persons->strName = name; });
    if (result == CRecordWriter::Result::Written) {
        if (CtblPerson::structPerson* cached = cachedPerson(*persons, personId))
            cached->Name = name;
    }
    return result;
}

CPersonStore::LinkResult CPersonStore::SetTransponder(qint32 personId, qint32 transponderId)
{
    CtblPerson* persons = m_db.Get_Ptr_To_tblPerson();
    CtblTransponder* transponders = m_db.Get_Ptr_To_tblTransponder();
    {
        CTransaction transaction(m_db.GetDatabase());
        CRecordWriter::Result result =
            CRecordWriter::WriteByKey(*persons, personId, [&] { persons->Transponder_ID = transponderId; });
        if (result == CRecordWriter::Result::NotFound)
            return LinkResult::PersonNotFound;
        if (result == CRecordWriter::Result::Written && transponderId != 0) {
            result = CRecordWriter::WriteByKey(*transponders, transponderId,
                                               [&] { transponders->Person_ID = personId; });
            if (result == CRecordWriter::Result::NotFound)
                return LinkResult::TransponderNotFound;
        }
        if (result != CRecordWriter::Result::Written)
            return LinkResult::Failed;
        if (!transaction.Commit()) {
            CNotice::ShowDatabaseError(transaction.GetError());
            return LinkResult::Failed;
        }
    }
    if (CtblPerson::structPerson* cached = cachedPerson(*persons, personId))
        cached->Transponder_ID = transponderId;
    for (int i = 0; transponderId != 0 && i < transponders->GetAnz_Transponder(); ++i) {
        if (transponders->Get_Transponder(i)->ID_Transponder == transponderId) {
            transponders->Get_Transponder(i)->Person_ID = personId;
            break;
        }
    }
    return LinkResult::Stored;
}

bool CPersonStore::Add(const QString& name)
{
    CtblPerson* persons = m_db.Get_Ptr_To_tblPerson();
    if (CRecordWriter::AddNew(*persons, [&] {
            persons->strName = name;
            persons->Transponder_ID = 0;
        }) != CRecordWriter::Result::Written)
        return false;
    persons->_Requery();
    return true;
}

CRecordDeleter::Result CPersonStore::Delete(const std::vector<qint32>* keys, int* busyFlag,
                                            std::function<void()> refill, CAppContext* context,
                                            std::function<void(qint32 personId)> forgetLinks)
{
    if (!forgetLinks)
        forgetLinks = [this](qint32 personId) { ForgetTransponderLinks(personId); };
    CtblPerson* persons = m_db.Get_Ptr_To_tblPerson();
    CtblTransponder* transponders = m_db.Get_Ptr_To_tblTransponder();
    CRecordDeleter deleter(*persons, kPersonNotFoundText);
    deleter.busyFlag = busyFlag;
    deleter.context = context;
    // A transponder must never name a person that is gone: if its link
    // cannot be cleared, the person stays too.
    deleter.cleanUp = [transponders](const std::vector<qint32>* deleted) {
        if (!deleted) {
            CBulkWriter(*transponders).UpdateWhere(QStringLiteral("Person_ID"), 0, QString(), nullptr);
            return;
        }
        std::vector<QVariant> ids(deleted->begin(), deleted->end());
        CBulkWriter(*transponders).UpdateWhere(QStringLiteral("Person_ID"), 0, QStringLiteral("Person_ID"), &ids);
    };
    deleter.updateCaches = [persons, transponders, forgetLinks](const QSet<qint32>* deleted) {
        if (!deleted) {
            persons->RemoveAllData();
            forgetLinks(0);
            return;
        }
        persons->RemoveIf([deleted](const CtblPerson::structPerson& row) { return deleted->contains(row.ID_Person); });
        for (int i = 0; i < transponders->GetAnz_Transponder(); ++i) {
            auto* transponder = transponders->Get_Transponder(i);
            if (deleted->contains(transponder->Person_ID))
                transponder->Person_ID = 0;
        }
    };
    deleter.reread = [persons, transponders] {
        persons->_Requery();
        transponders->_Requery();
    };
    deleter.refill = std::move(refill);
    return keys ? deleter.DeleteKeys(*keys) : deleter.DeleteAll();
}

void CPersonStore::ForgetTransponderLinks(qint32 personId)
{
    CtblTransponder* transponders = m_db.Get_Ptr_To_tblTransponder();
    for (int i = 0; i < transponders->GetAnz_Transponder(); ++i) {
        auto* transponder = transponders->Get_Transponder(i);
        if (personId == 0 || transponder->Person_ID == personId)
            transponder->Person_ID = 0;
    }
}
