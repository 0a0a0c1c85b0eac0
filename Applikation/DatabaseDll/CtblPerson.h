#pragma once

#include "CFerrold_Base.h"
#include "CRowCache.h"

#include <functional>

// Table "tblPerson": the persons.
class CtblPerson : public CFerrold_Base
{
public:
    struct structPerson
    {
        qint32 ID_Person = 0;
        QString Name;
        qint32 Transponder_ID = 0;
        qint32 nNr = 0;
    };

    CtblPerson(CLanguageHandler* pLanguage, CDatabase* pDatabase);
    ~CtblPerson() override;

    int GetAnz_Person() const;
    structPerson* Get_Person(int index) const;
    void Set_Person(qint32 nNr, qint32 ID, QString Name, qint32 Transponder_ID);
    int InsertAt(int index, qint32 ID, QString Name, qint32 Transponder_ID);
    int RemoveAt(int index);
    void RemoveAllData();
    // Removes every cached row the predicate picks in one pass and numbers
    // the rest again; the rows removed. Cache only.
    int RemoveIf(const std::function<bool(const structPerson&)>& pick) { return m_cache.RemoveIf(pick); }
    int _Requery() override;
    qint32 GetMajorID_Person() const;

    // Column members, in binding order.
    qint32 ID_Person = 0;
    QString strName;
    qint32 Transponder_ID = 0;

protected:
    QString GetDefaultSQL() override;
    void DoFieldExchange(CFieldExchange* pFX) override;

private:
    CRowCache<structPerson> m_cache;
};
