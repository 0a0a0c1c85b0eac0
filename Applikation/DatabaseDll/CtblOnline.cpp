#include "CtblOnline.h"

CtblOnline::CtblOnline(CLanguageHandler* pLanguage, CDatabase* pDatabase)
    : CtblOnline(pLanguage, pDatabase, EmptyCache{})
{
    _Requery();
}

CtblOnline::CtblOnline(CLanguageHandler* pLanguage, CDatabase* pDatabase, EmptyCache)
    : CFerrold_Base(pLanguage, pDatabase)
{
    m_nFields = 2;
    m_nDefaultType = snapshot;
}

CtblOnline::~CtblOnline()
{
    CloseRecordset();
    RemoveAllData();
}

QString CtblOnline::GetDefaultSQL()
{
    return QStringLiteral("[tblOnline]");
}

void CtblOnline::DoFieldExchange(CFieldExchange* pFX)
{
    RFX_Long(pFX, QStringLiteral("[ID_Online]"), ID_Online);
    RFX_Text(pFX, QStringLiteral("[strOnline]"), strOnline);
}

void CtblOnline::Set_Online(qint32 ID, QString Online)
{
    structOnline row;
    row.ID_Online = ID;
    row.Online = std::move(Online);
    m_cache.Append(std::move(row));
}

void CtblOnline::RemoveAllData()
{
    m_cache.RemoveAll();
}

int CtblOnline::_Requery()
{
    // The rows shown so far stay when the read fails: a server out of
    // reach for a moment must not empty the screen.
    auto shown = m_cache.TakeAll();
    const int result = ReadTable([&](const CRowView& v) { Set_Online(v.Long(0), v.Text(1)); });
    if (LastReadFailed())
        m_cache.PutBack(std::move(shown));
    return result;
}

int CtblOnline::CacheRemoveWhere(int, const QList<QVariant>&)
{
    return _Requery();
}

int CtblOnline::CacheAssignWhere(int, const QList<QVariant>&, const CColumnValues&)
{
    return _Requery();
}
