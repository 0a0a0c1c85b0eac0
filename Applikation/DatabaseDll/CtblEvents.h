#pragma once

#include "CFerrold_Base.h"
#include "CCachedText.h"
#include "CRowCache.h"

#include <functional>

// Table "tblEvents": the access events read from readers.
class CtblEvents : public CFerrold_Base
{
public:
    // The texts are kept compact (CCachedText): a table of a million events
    // holds few distinct texts, and each reads as the QString it holds.
    struct structEvents
    {
        qint32 ID_Events = 0;
        CCachedText Transpondernummer;
        CCachedText Datum;
        CCachedText Uhrzeit;
        CCachedText Binaerwert1;
        CCachedText Event1;
        CCachedText Binaerwert2;
        CCachedText Event2;
        qint32 nNr = 0;
        qint32 Leser_ID = 0;
        CCachedText LeserName;
    };

    CtblEvents(CLanguageHandler* pLanguage, CDatabase* pDatabase);
    // A set of its own that reads nothing at construction (its cache stays
    // empty): for a worker that writes through it on its own thread.
    CtblEvents(CLanguageHandler* pLanguage, CDatabase* pDatabase, EmptyCache);
    ~CtblEvents() override;

    int GetAnz_Events() const;
    structEvents* Get_Event(int index) const;
    void Set_Events(qint32 nNr, qint32 ID, QString Transpondernummer, QString Datum, QString Uhrzeit,
                    QString Binaerwert1, QString Event1, QString Binaerwert2, QString Event2, qint32 Leser_ID,
                    QString LeserName);
    int InsertAt(int index, qint32 ID, QString Transpondernummer, QString Datum, QString Uhrzeit,
                 QString Binaerwert1, QString Event1, QString Binaerwert2, QString Event2, qint32 Leser_ID,
                 QString LeserName);
    int RemoveAt(int index);
    void RemoveAllData();
    // Removes every cached row the predicate picks in one pass and numbers
    // the rest again; the rows removed. Cache only.
    int RemoveIf(const std::function<bool(const structEvents&)>& pick) { return m_cache.RemoveIf(pick); }
    int _Requery() override;
    qint32 GetMajorID_Events() const;

    // The cached row with this key (null: none) and its index (-1: none),
    // found through an index rather than a walk.
    structEvents* FindByKey(qint32 ID) const { return m_cache.FindByKey(ID); }
    int IndexOfKey(qint32 ID) const { return m_cache.IndexOfKey(ID); }

    // Column members, in binding order.
    qint32 ID_Events = 0;
    QString strTranspondernummer;
    QString strDatum;
    QString strUhrzeit;
    QString strBinaerwert1;
    QString strEvent1;
    QString strBinaerwert2;
    QString strEvent2;
    qint32 Leser_ID = 0;
    QString strLeserName;

protected:
    QString GetDefaultSQL() override;
    int CacheRemoveWhere(int column, const QList<QVariant>& values) override;
    int CacheAssignWhere(int column, const QList<QVariant>& values, const CColumnValues& assignments) override;
    void DoFieldExchange(CFieldExchange* pFX) override;

private:
    CRowCache<structEvents> m_cache{{&structEvents::ID_Events, &structEvents::Transpondernummer, &structEvents::Datum, &structEvents::Uhrzeit, &structEvents::Binaerwert1, &structEvents::Event1, &structEvents::Binaerwert2, &structEvents::Event2, &structEvents::Leser_ID, &structEvents::LeserName}};
};
