#pragma once

#include "CFerrold_Base.h"
#include "CRowCache.h"

#include <functional>

// Table "tblTransponder": the transponders and whom and where they admit.
class CtblTransponder : public CFerrold_Base
{
public:
    struct structTransponder
    {
        qint32 ID_Transponder = 0;
        QString TransponderNummer;
        qint32 Person_ID = 0;
        qint32 Zeitfenster_ID = 0;
        QString Leser_IDS;
        qint32 nTransponderIndex = 0;
        int UpdateOK = 0;
        qint32 nNr = 0;
    };

    CtblTransponder(CLanguageHandler* pLanguage, CDatabase* pDatabase);
    // A set of its own that reads nothing at construction (its cache stays
    // empty): for a worker that writes through it on its own thread.
    CtblTransponder(CLanguageHandler* pLanguage, CDatabase* pDatabase, EmptyCache);
    ~CtblTransponder() override;

    int GetAnz_Transponder() const;
    structTransponder* Get_Transponder(int index) const;
    void Set_Transponder(qint32 nNr, qint32 ID, QString TransponderNummer, qint32 Person_ID, qint32 Zeitfenster_ID, QString Leser_IDS, qint32 nTransponderIndex, int UpdateOK);
    int InsertAt(int index, qint32 ID, QString TransponderNummer, qint32 Person_ID, qint32 Zeitfenster_ID, QString Leser_IDS, qint32 nTransponderIndex, int UpdateOK);
    int RemoveAt(int index);
    void RemoveAllData();
    // Removes every cached row the predicate picks in one pass and numbers
    // the rest again; the rows removed. Cache only.
    int RemoveIf(const std::function<bool(const structTransponder&)>& pick) { return m_cache.RemoveIf(pick); }
    int _Requery() override;
    qint32 GetMajorID_Transponder() const;

    // The cached row with this key (null: none) and its index (-1: none),
    // found through an index rather than a walk.
    structTransponder* FindByKey(qint32 ID) const { return m_cache.FindByKey(ID); }
    int IndexOfKey(qint32 ID) const { return m_cache.IndexOfKey(ID); }

    // Column members, in binding order.
    qint32 ID_Transponder = 0;
    QString strTransponderNummer;
    qint32 Person_ID = 0;
    qint32 Zeitfenster_ID = 0;
    QString strLeser_IDS;
    qint32 nTransponderIndex = 0;
    int boolUpdateOK = 0;

    // One statement over the stored rows up to largestKey, but those with
    // the keys in except (at most a few hundred): every list gets
    // ";<reader>" appended (the reader alone in an empty list), or, with
    // append false, every list ending in ";<reader>" loses that end. Each
    // row changed is marked for sending. Inside the caller's transaction;
    // throws CDBException. The rows changed.
    long ChangeListEnds(bool append, qint32 readerId, qint32 largestKey, const QList<qint32>& except);

protected:
    QString GetDefaultSQL() override;
    int CacheRemoveWhere(int column, const QList<QVariant>& values) override;
    int CacheAssignWhere(int column, const QList<QVariant>& values, const CColumnValues& assignments) override;
    void DoFieldExchange(CFieldExchange* pFX) override;

private:
    CRowCache<structTransponder> m_cache{{&structTransponder::ID_Transponder, &structTransponder::TransponderNummer, &structTransponder::Person_ID, &structTransponder::Zeitfenster_ID, &structTransponder::Leser_IDS, &structTransponder::nTransponderIndex, &structTransponder::UpdateOK}};
};
