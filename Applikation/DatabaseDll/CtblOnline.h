#pragma once

#include "CFerrold_Base.h"
#include "CRowCache.h"

// Table "tblOnline". Nothing reads its values; whether it holds a row at all
// decides whether the program may write to readers and import files.
class CtblOnline : public CFerrold_Base
{
public:
    struct structOnline
    {
        qint32 ID_Online = 0;
        QString Online;
    };

    CtblOnline(CLanguageHandler* pLanguage, CDatabase* pDatabase);
    // A set of its own that reads nothing at construction (its cache stays
    // empty): for a worker that writes through it on its own thread.
    CtblOnline(CLanguageHandler* pLanguage, CDatabase* pDatabase, EmptyCache);
    ~CtblOnline() override;

    void Set_Online(qint32 ID, QString Online);
    void RemoveAllData();
    int _Requery() override;

    // Column members, in binding order.
    qint32 ID_Online = 0;
    QString strOnline;

protected:
    QString GetDefaultSQL() override;
    // Its rows carry no running number: a bulk write reads the table again.
    int CacheRemoveWhere(int column, const QList<QVariant>& values) override;
    int CacheAssignWhere(int column, const QList<QVariant>& values, const CColumnValues& assignments) override;
    void DoFieldExchange(CFieldExchange* pFX) override;

private:
    CRowCache<structOnline> m_cache{{&structOnline::ID_Online, &structOnline::Online}};
};
