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

    // Column members, in binding order.
    qint32 ID_Transponder = 0;
    QString strTransponderNummer;
    qint32 Person_ID = 0;
    qint32 Zeitfenster_ID = 0;
    QString strLeser_IDS;
    qint32 nTransponderIndex = 0;
    int boolUpdateOK = 0;

protected:
    QString GetDefaultSQL() override;
    void DoFieldExchange(CFieldExchange* pFX) override;

private:
    CRowCache<structTransponder> m_cache;
};
