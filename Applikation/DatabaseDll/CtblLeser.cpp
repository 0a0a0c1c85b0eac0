#include "CtblLeser.h"

CtblLeser::CtblLeser(CLanguageHandler* pLanguage, CDatabase* pDatabase)
    : CtblLeser(pLanguage, pDatabase, EmptyCache{})
{
    _Requery();
}

CtblLeser::CtblLeser(CLanguageHandler* pLanguage, CDatabase* pDatabase, EmptyCache)
    : CFerrold_Base(pLanguage, pDatabase)
{
    m_nFields = 8;
    m_nDefaultType = snapshot;
}

CtblLeser::~CtblLeser()
{
    CloseRecordset();
    RemoveAllData();
}

QString CtblLeser::GetDefaultSQL()
{
    return QStringLiteral("[tblLeser]");
}

void CtblLeser::DoFieldExchange(CFieldExchange* pFX)
{
    RFX_Long(pFX, QStringLiteral("[ID_Leser]"), ID_Leser);
    RFX_Text(pFX, QStringLiteral("[strBezeichnung]"), strBezeichnung);
    RFX_Text(pFX, QStringLiteral("[strAdresse]"), strAdresse);
    RFX_Text(pFX, QStringLiteral("[strSeriennummer]"), strSeriennummer);
    RFX_Bool(pFX, QStringLiteral("[boolUpdateOK]"), boolUpdateOK);
    RFX_Text(pFX, QStringLiteral("[strLeserTyp]"), strLeserTyp);
    RFX_Text(pFX, QStringLiteral("[strModus]"), strModus);
    RFX_Text(pFX, QStringLiteral("[strParameter]"), strParameter);
}

int CtblLeser::GetAnz_Leser() const
{
    return m_cache.Count();
}

CtblLeser::structLeser* CtblLeser::Get_Leser(int index) const
{
    return m_cache.Get(index);
}

namespace {

CtblLeser::structLeser makeRow(qint32 ID, QString Bezeichnung, QString Adresse, QString Seriennummer, int UpdateOK, QString LeserTyp, QString Modus, QString Parameter)
{
    CtblLeser::structLeser row;
    row.ID_Leser = ID;
    row.Bezeichnung = std::move(Bezeichnung);
    row.Adresse = std::move(Adresse);
    row.Seriennummer = std::move(Seriennummer);
    row.UpdateOK = UpdateOK;
    row.LeserTyp = std::move(LeserTyp);
    row.Modus = std::move(Modus);
    row.Parameter = std::move(Parameter);
    return row;
}

} // namespace

void CtblLeser::Set_Leser(qint32 nNr, qint32 ID, QString Bezeichnung, QString Adresse, QString Seriennummer, int UpdateOK, QString LeserTyp, QString Modus, QString Parameter)
{
    auto row = makeRow(ID, std::move(Bezeichnung), std::move(Adresse), std::move(Seriennummer), UpdateOK, std::move(LeserTyp), std::move(Modus), std::move(Parameter));
    row.nNr = nNr;
    m_cache.Append(std::move(row));
}

int CtblLeser::InsertAt(int index, qint32 ID, QString Bezeichnung, QString Adresse, QString Seriennummer, int UpdateOK, QString LeserTyp, QString Modus, QString Parameter)
{
    return m_cache.InsertAt(index, makeRow(ID, std::move(Bezeichnung), std::move(Adresse), std::move(Seriennummer), UpdateOK, std::move(LeserTyp), std::move(Modus), std::move(Parameter)));
}

int CtblLeser::RemoveAt(int index)
{
    return m_cache.RemoveAt(index);
}

void CtblLeser::RemoveAllData()
{
    m_cache.RemoveAll();
}

int CtblLeser::_Requery()
{
    // The rows shown so far stay when the read fails: a server out of
    // reach for a moment must not empty the screen.
    auto shown = m_cache.TakeAll();
    qint32 nr = 1;
    const int result = ReadTable([&](const CRowView& v) { Set_Leser(nr++, v.Long(0), v.Text(1), v.Text(2), v.Text(3), v.Bool(4), v.Text(5), v.Text(6), v.Text(7)); });
    if (LastReadFailed())
        m_cache.PutBack(std::move(shown));
    return result;
}

qint32 CtblLeser::GetMajorID_Leser() const
{
    return m_cache.MajorID([](const structLeser& r) { return r.ID_Leser; });
}

int CtblLeser::CacheRemoveWhere(int column, const QList<QVariant>& values)
{
    return m_cache.RemoveWhere(column, values);
}

int CtblLeser::CacheAssignWhere(int column, const QList<QVariant>& values, const CColumnValues& assignments)
{
    return m_cache.AssignWhere(column, values, assignments);
}
