#pragma once

#include "CFerrold_Base.h"
#include "CRowCache.h"

#include <QStringList>

#include <functional>

// Table "tblZeitschema": the time schemas, four rows (time windows) a schema.
class CtblZeitschema : public CFerrold_Base
{
public:
    struct structZeitschema
    {
        qint32 ID_Zeitschema = 0;
        QString Bezeichnung;
        QString Von;
        QString Bis;
        int Sonntag = 0;
        int Montag = 0;
        int Dienstag = 0;
        int Mittwoch = 0;
        int Donnerstag = 0;
        int Freitag = 0;
        int Samstag = 0;
        int UpdateOK = 0;
        qint32 nNr = 0;
    };

    CtblZeitschema(CLanguageHandler* pLanguage, CDatabase* pDatabase);
    // A set of its own that reads nothing at construction (its cache stays
    // empty): for a worker that writes through it on its own thread.
    CtblZeitschema(CLanguageHandler* pLanguage, CDatabase* pDatabase, EmptyCache);
    ~CtblZeitschema() override;

    int GetAnz_Zeitschema() const;
    structZeitschema* Get_Zeitschema(int index) const;
    void Set_Zeitschema(qint32 nNr, qint32 ID, QString Bezeichnung, QString Von, QString Bis, int Sonntag, int Montag, int Dienstag, int Mittwoch, int Donnerstag, int Freitag, int Samstag, int UpdateOK);
    int InsertAt(int index, qint32 ID, QString Bezeichnung, QString Von, QString Bis, int Sonntag, int Montag, int Dienstag, int Mittwoch, int Donnerstag, int Freitag, int Samstag, int UpdateOK);
    int RemoveAt(int index);
    void RemoveAllData();
    // Removes every cached row the predicate picks in one pass and numbers
    // the rest again; the rows removed. Cache only.
    int RemoveIf(const std::function<bool(const structZeitschema&)>& pick) { return m_cache.RemoveIf(pick); }
    int _Requery() override;
    qint32 GetMajorID_Zeitschema() const;

    // The names of the schemas whose rows formed no whole group at the last
    // re-read (left out of the cache); empty when the table is sound.
    const QStringList& BrokenSchemas() const { return m_broken; }
    static constexpr unsigned int kBrokenGroupsText = 360;

    // The cached row with this key (null: none) and its index (-1: none),
    // found through an index rather than a walk.
    structZeitschema* FindByKey(qint32 ID) const { return m_cache.FindByKey(ID); }
    int IndexOfKey(qint32 ID) const { return m_cache.IndexOfKey(ID); }

    // The built-in schema is stored in German; in English it is shown by its
    // English name. Only the cached copy is renamed, never the stored row.
    QString ShownName(QString stored) const;

    // Column members, in binding order.
    qint32 ID_Zeitschema = 0;
    QString strBezeichnung;
    QString strVon;
    QString strBis;
    int boolSonntag = 0;
    int boolMontag = 0;
    int boolDienstag = 0;
    int boolMittwoch = 0;
    int boolDonnerstag = 0;
    int boolFreitag = 0;
    int boolSamstag = 0;
    int boolUpdateOK = 0;

protected:
    QString GetDefaultSQL() override;
    int CacheRemoveWhere(int column, const QList<QVariant>& values) override;
    int CacheAssignWhere(int column, const QList<QVariant>& values, const CColumnValues& assignments) override;
    void DoFieldExchange(CFieldExchange* pFX) override;

private:
    QStringList m_broken;
    CRowCache<structZeitschema> m_cache{{&structZeitschema::ID_Zeitschema, &structZeitschema::Bezeichnung, &structZeitschema::Von, &structZeitschema::Bis, &structZeitschema::Sonntag, &structZeitschema::Montag, &structZeitschema::Dienstag, &structZeitschema::Mittwoch, &structZeitschema::Donnerstag, &structZeitschema::Freitag, &structZeitschema::Samstag, &structZeitschema::UpdateOK}, 4};
};
