#include "CReaderStore.h"

#include "CFerrold_Handler.h"
#include "CReaderIdList.h"
#include "CTransaction.h"
#include "CtblLeser.h"
#include "CtblTransponder.h"

CReaderStore::CReaderStore(CFerrold_Handler& db)
    : m_db(db)
{
}

CReaderStore::Result CReaderStore::Add(const QString& name, const NewReader& reader)
{
    CtblLeser* readers = m_db.Get_Ptr_To_tblLeser();
    return CRecordWriter::AddNew(*readers, [&] {
        readers->strBezeichnung = name;
        readers->strAdresse = reader.address;
        readers->strSeriennummer = reader.serial;
        readers->boolUpdateOK = 0;
        readers->strLeserTyp = reader.modelText;
        readers->strModus = reader.modus;
        readers->strParameter = reader.parameter;
    });
}

CReaderStore::Result CReaderStore::Rename(qint32 readerId, const QString& name)
{
    CtblLeser* readers = m_db.Get_Ptr_To_tblLeser();
    return CRecordWriter::WriteByKey(*readers, readerId, [&] { readers->strBezeichnung = name; });
}

CReaderStore::Result CReaderStore::StoreSettings(qint32 readerId, const QString& parameter, const QString& modus,
                                                 bool mark)
{
    CtblLeser* readers = m_db.Get_Ptr_To_tblLeser();
    return CRecordWriter::WriteByKey(*readers, readerId, [&] {
        if (mark)
            readers->boolUpdateOK = 1;
        if (!modus.isNull())
            readers->strModus = modus;
        readers->strParameter = parameter;
    });
}

CReaderStore::Result CReaderStore::Mark(qint32 readerId)
{
    CtblLeser* readers = m_db.Get_Ptr_To_tblLeser();
    return CRecordWriter::WriteByKey(*readers, readerId, [&] { readers->boolUpdateOK = 1; });
}

CReaderStore::MasterResult CReaderStore::StoreNewMaster(qint32 readerId, const QString& number,
                                                        const QString& parameter)
{
    CtblTransponder* transponders = m_db.Get_Ptr_To_tblTransponder();
    CtblLeser* readers = m_db.Get_Ptr_To_tblLeser();
    qint32 transponderKey = 0;
    QString reducedList;
    for (int i = 0; i < transponders->GetAnz_Transponder(); ++i) {
        const CtblTransponder::structTransponder* row = transponders->Get_Transponder(i);
        if (row->TransponderNummer == number) {
            reducedList = CReaderIdList(row->Leser_IDS).Without(readerId).Text();
            if (reducedList != row->Leser_IDS)
                transponderKey = row->ID_Transponder;
            break;
        }
    }
    MasterResult outcome = MasterResult::Failed;
    {
        CTransaction transaction(m_db.GetDatabase());
        Result result = Result::Written;
        if (transponderKey != 0)
            result = CRecordWriter::WriteByKey(*transponders, transponderKey,
                                               [&] { transponders->strLeser_IDS = reducedList; });
        if (result == Result::Written) {
            result = CRecordWriter::WriteByKey(*readers, readerId, [&] {
                readers->strParameter = parameter;
                if (transponderKey != 0)
                    readers->boolUpdateOK = 1;
            });
            if (result == Result::NotFound)
                outcome = MasterResult::ReaderNotFound;
        }
        if (result == Result::Written && transaction.Commit())
            outcome = MasterResult::Stored;
    }
    transponders->_Requery();
    return outcome;
}
