#include "CRecordLookups.h"

#include "CFerrold_Handler.h"
#include "CGridBaseDlg.h"

CRecordLookups::CRecordLookups()
    : m_transponderById([](int i) { return Transponders()->Get_Transponder(i); },
                        [](const Transponder& row) { return row.ID_Transponder; })
    , m_transponderByNumber([](int i) { return Transponders()->Get_Transponder(i); },
                            [](const Transponder& row) { return row.TransponderNummer; })
    , m_personByTransponder([](int i) { return Persons()->Get_Person(i); },
                            [](const Person& row) { return row.Transponder_ID; })
{
}

CtblTransponder* CRecordLookups::Transponders()
{
    CFerrold_Handler* db = CGridBaseDlg::GetDBHandler();
    return db ? db->Get_Ptr_To_tblTransponder() : nullptr;
}

CtblPerson* CRecordLookups::Persons()
{
    CFerrold_Handler* db = CGridBaseDlg::GetDBHandler();
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
