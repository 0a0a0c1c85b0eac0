#include "CtblPerson.h"

CtblPerson::CtblPerson(CLanguageHandler* pLanguage, CDatabase* pDatabase)
    : CtblPerson(pLanguage, pDatabase, EmptyCache{})
{
    _Requery();
}

CtblPerson::CtblPerson(CLanguageHandler* pLanguage, CDatabase* pDatabase, EmptyCache)
    : CFerrold_Base(pLanguage, pDatabase)
{
    m_nFields = 3;
    m_nDefaultType = snapshot;
}

CtblPerson::~CtblPerson()
{
    CloseRecordset();
    RemoveAllData();
}

QString CtblPerson::GetDefaultSQL()
{
    return QStringLiteral("[tblPerson]");
}

void CtblPerson::DoFieldExchange(CFieldExchange* pFX)
{
    RFX_Long(pFX, QStringLiteral("[ID_Person]"), ID_Person);
    RFX_Text(pFX, QStringLiteral("[strName]"), strName);
    RFX_Long(pFX, QStringLiteral("[Transponder_ID]"), Transponder_ID);
}

int CtblPerson::GetAnz_Person() const
{
    return m_cache.Count();
}

CtblPerson::structPerson* CtblPerson::Get_Person(int index) const
{
    return m_cache.Get(index);
}

namespace {

CtblPerson::structPerson makeRow(qint32 ID, QString Name, qint32 Transponder_ID)
{
    CtblPerson::structPerson row;
    row.ID_Person = ID;
    row.Name = std::move(Name);
    row.Transponder_ID = Transponder_ID;
    return row;
}

} // namespace

void CtblPerson::Set_Person(qint32 nNr, qint32 ID, QString Name, qint32 Transponder_ID)
{
    auto row = makeRow(ID, std::move(Name), Transponder_ID);
    row.nNr = nNr;
    m_cache.Append(std::move(row));
}

int CtblPerson::InsertAt(int index, qint32 ID, QString Name, qint32 Transponder_ID)
{
    return m_cache.InsertAt(index, makeRow(ID, std::move(Name), Transponder_ID));
}

int CtblPerson::RemoveAt(int index)
{
    return m_cache.RemoveAt(index);
}

void CtblPerson::RemoveAllData()
{
    m_cache.RemoveAll();
}

int CtblPerson::_Requery()
{
    // The rows shown so far stay when the read fails: a server out of
    // reach for a moment must not empty the screen.
    auto shown = m_cache.TakeAll();
    qint32 nr = 1;
    const int result = ReadTable([&](const CRowView& v) { Set_Person(nr++, v.Long(0), v.Text(1), v.Long(2)); });
    if (LastReadFailed())
        m_cache.PutBack(std::move(shown));
    return result;
}

qint32 CtblPerson::GetMajorID_Person() const
{
    return m_cache.MajorID([](const structPerson& r) { return r.ID_Person; });
}

int CtblPerson::CacheRemoveWhere(int column, const QList<QVariant>& values)
{
    return m_cache.RemoveWhere(column, values);
}

int CtblPerson::CacheAssignWhere(int column, const QList<QVariant>& values, const CColumnValues& assignments)
{
    return m_cache.AssignWhere(column, values, assignments);
}
