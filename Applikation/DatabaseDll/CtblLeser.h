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
    // A set of its own that reads nothing at construction (its cache stays
    // empty): for a worker that writes through it on its own thread.
    CtblLeser(CLanguageHandler* pLanguage, CDatabase* pDatabase, EmptyCache);
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

    // The cached row with this key (null: none) and its index (-1: none),
    // found through an index rather than a walk.
    structLeser* FindByKey(qint32 ID) const { return m_cache.FindByKey(ID); }
    int IndexOfKey(qint32 ID) const { return m_cache.IndexOfKey(ID); }

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
    int CacheRemoveWhere(int column, const QList<QVariant>& values) override;
    int CacheAssignWhere(int column, const QList<QVariant>& values, const CColumnValues& assignments) override;
    void DoFieldExchange(CFieldExchange* pFX) override;

private:
    CRowCache<structLeser> m_cache{{&structLeser::ID_Leser, &structLeser::Bezeichnung, &structLeser::Adresse, &structLeser::Seriennummer, &structLeser::UpdateOK, &structLeser::LeserTyp, &structLeser::Modus, &structLeser::Parameter}};
};
