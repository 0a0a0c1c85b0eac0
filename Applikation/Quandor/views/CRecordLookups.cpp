#include "CRecordLookups.h"

#include "CAppContext.h"
#include "CFerrold_Handler.h"

CRecordLookups::CRecordLookups(CAppContext& context)
    : m_context(context)
    , m_transponderById([this](int i) { return Transponders()->Get_Transponder(i); },
                        [](const Transponder& row) { return row.ID_Transponder; })
    , m_transponderByNumber([this](int i) { return Transponders()->Get_Transponder(i); },
                            [](const Transponder& row) { return row.TransponderNummer; })
    , m_personByTransponder([this](int i) { return Persons()->Get_Person(i); },
                            [](const Person& row) { return row.Transponder_ID; })
{
}

CtblTransponder* CRecordLookups::Transponders() const
{
    CFerrold_Handler* db = m_context.Database();
    return db ? db->Get_Ptr_To_tblTransponder() : nullptr;
}

CtblPerson* CRecordLookups::Persons() const
{
    CFerrold_Handler* db = m_context.Database();
    return db ? db->Get_Ptr_To_tblPerson() : nullptr;
}

const CRecordLookups::Transponder* CRecordLookups::TransponderById(qint32 id)
{
    CtblTransponder* table = Transponders();
    return table && id != 0 ? m_transponderById.Find(id, table->GetAnz_Transponder()) : nullptr;
}

const CRecordLookups::Transponder* CRecordLookups::TransponderByNumber(const QString& number)
{
    CtblTransponder* table = Transponders();
    return table ? m_transponderByNumber.Find(number, table->GetAnz_Transponder()) : nullptr;
}

const CRecordLookups::Person* CRecordLookups::PersonHolding(qint32 transponderId)
{
    CtblPerson* table = Persons();
    return table && transponderId != 0 ? m_personByTransponder.Find(transponderId, table->GetAnz_Person()) : nullptr;
}

void CRecordLookups::Reset()
{
    m_transponderById.Reset();
    m_transponderByNumber.Reset();
    m_personByTransponder.Reset();
}
