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
    // A set of its own that reads nothing at construction (its cache stays
    // empty): for a worker that writes through it on its own thread.
    CtblPerson(CLanguageHandler* pLanguage, CDatabase* pDatabase, EmptyCache);
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

    // The cached row with this key (null: none) and its index (-1: none),
    // found through an index rather than a walk.
    structPerson* FindByKey(qint32 ID) const { return m_cache.FindByKey(ID); }
    int IndexOfKey(qint32 ID) const { return m_cache.IndexOfKey(ID); }

    // Column members, in binding order.
    qint32 ID_Person = 0;
    QString strName;
    qint32 Transponder_ID = 0;

protected:
    QString GetDefaultSQL() override;
    int CacheRemoveWhere(int column, const QList<QVariant>& values) override;
    int CacheAssignWhere(int column, const QList<QVariant>& values, const CColumnValues& assignments) override;
    void DoFieldExchange(CFieldExchange* pFX) override;

private:
    CRowCache<structPerson> m_cache{{&structPerson::ID_Person, &structPerson::Name, &structPerson::Transponder_ID}};
};
