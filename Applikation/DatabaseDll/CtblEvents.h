#pragma once

#include "CFerrold_Base.h"
#include "CRowCache.h"

#include <functional>

// Table "tblEvents": the access events read from readers.
class CtblEvents : public CFerrold_Base
{
public:
    struct structEvents
    {
        qint32 ID_Events = 0;
        QString Transpondernummer;
        QString Datum;
        QString Uhrzeit;
        QString Binaerwert1;
        QString Event1;
        QString Binaerwert2;
        QString Event2;
        qint32 nNr = 0;
        qint32 Leser_ID = 0;
        QString LeserName;
    };

    CtblEvents(CLanguageHandler* pLanguage, CDatabase* pDatabase);
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
    void DoFieldExchange(CFieldExchange* pFX) override;

private:
    CRowCache<structEvents> m_cache;
};
