#pragma once

#include "CFerrold_Base.h"
#include "CRowCache.h"

#include <functional>

// Table "tblLeser": the readers.
class CtblLeser : public CFerrold_Base
{
public:
    struct structLeser
    {
        qint32 ID_Leser = 0;
        QString Bezeichnung;
        QString Adresse;
        QString Seriennummer;
        int UpdateOK = 0;
        QString LeserTyp;
        QString Modus;
        QString Parameter;
        qint32 nNr = 0;
    };

    CtblLeser(CLanguageHandler* pLanguage, CDatabase* pDatabase);
    ~CtblLeser() override;

    int GetAnz_Leser() const;
    structLeser* Get_Leser(int index) const;
    void Set_Leser(qint32 nNr, qint32 ID, QString Bezeichnung, QString Adresse, QString Seriennummer, int UpdateOK, QString LeserTyp, QString Modus, QString Parameter);
    int InsertAt(int index, qint32 ID, QString Bezeichnung, QString Adresse, QString Seriennummer, int UpdateOK, QString LeserTyp, QString Modus, QString Parameter);
    int RemoveAt(int index);
    void RemoveAllData();
    // Removes every cached row the predicate picks in one pass and numbers
    // the rest again; the rows removed. Cache only.
    int RemoveIf(const std::function<bool(const structLeser&)>& pick) { return m_cache.RemoveIf(pick); }
    int _Requery() override;
    qint32 GetMajorID_Leser() const;

    // Column members, in binding order.
    qint32 ID_Leser = 0;
    QString strBezeichnung;
    QString strAdresse;
    QString strSeriennummer;
    int boolUpdateOK = 0;
    QString strLeserTyp;
    QString strModus;
    QString strParameter;

protected:
    QString GetDefaultSQL() override;
    void DoFieldExchange(CFieldExchange* pFX) override;

private:
    CRowCache<structLeser> m_cache;
};
