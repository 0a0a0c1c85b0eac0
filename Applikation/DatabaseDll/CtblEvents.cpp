#include "CtblEvents.h"

CtblEvents::CtblEvents(CLanguageHandler* pLanguage, CDatabase* pDatabase)
    : CtblEvents(pLanguage, pDatabase, EmptyCache{})
{
    _Requery();
}

CtblEvents::CtblEvents(CLanguageHandler* pLanguage, CDatabase* pDatabase, EmptyCache)
    : CFerrold_Base(pLanguage, pDatabase)
{
    m_nFields = 10;
    m_nDefaultType = snapshot;
}

CtblEvents::~CtblEvents()
{
    CloseRecordset();
    RemoveAllData();
}

QString CtblEvents::GetDefaultSQL()
{
    return QStringLiteral("[tblEvents]");
}

void CtblEvents::DoFieldExchange(CFieldExchange* pFX)
{
    RFX_Long(pFX, QStringLiteral("[ID_Events]"), ID_Events);
    RFX_Text(pFX, QStringLiteral("[strTranspondernummer]"), strTranspondernummer);
    RFX_Text(pFX, QStringLiteral("[strDatum]"), strDatum);
    RFX_Text(pFX, QStringLiteral("[strUhrzeit]"), strUhrzeit);
    RFX_Text(pFX, QStringLiteral("[strBinaerwert1]"), strBinaerwert1);
    RFX_Text(pFX, QStringLiteral("[strEvent1]"), strEvent1);
    RFX_Text(pFX, QStringLiteral("[strBinaerwert2]"), strBinaerwert2);
    RFX_Text(pFX, QStringLiteral("[strEvent2]"), strEvent2);
    RFX_Long(pFX, QStringLiteral("[Leser_ID]"), Leser_ID);
    RFX_Text(pFX, QStringLiteral("[strLeserName]"), strLeserName);
}

int CtblEvents::GetAnz_Events() const
{
    return m_cache.Count();
}

CtblEvents::structEvents* CtblEvents::Get_Event(int index) const
{
    return m_cache.Get(index);
}

namespace {

CtblEvents::structEvents makeRow(qint32 ID, QString Transpondernummer, QString Datum,
                                                  QString Uhrzeit, QString Binaerwert1, QString Event1,
                                                  QString Binaerwert2, QString Event2, qint32 Leser_ID,
                                                  QString LeserName)
{
    CtblEvents::structEvents row;
    row.ID_Events = ID;
    row.Transpondernummer = std::move(Transpondernummer);
    row.Datum = std::move(Datum);
    row.Uhrzeit = std::move(Uhrzeit);
    row.Binaerwert1 = std::move(Binaerwert1);
    row.Event1 = std::move(Event1);
    row.Binaerwert2 = std::move(Binaerwert2);
    row.Event2 = std::move(Event2);
    row.Leser_ID = Leser_ID;
    row.LeserName = std::move(LeserName);
    return row;
}

} // namespace

void CtblEvents::Set_Events(qint32 nNr, qint32 ID, QString Transpondernummer, QString Datum, QString Uhrzeit,
                            QString Binaerwert1, QString Event1, QString Binaerwert2, QString Event2,
                            qint32 Leser_ID, QString LeserName)
{
    auto row = makeRow(ID, std::move(Transpondernummer), std::move(Datum), std::move(Uhrzeit),
                       std::move(Binaerwert1), std::move(Event1), std::move(Binaerwert2), std::move(Event2),
                       Leser_ID, std::move(LeserName));
    row.nNr = nNr;
    m_cache.Append(std::move(row));
}

int CtblEvents::InsertAt(int index, qint32 ID, QString Transpondernummer, QString Datum, QString Uhrzeit,
                         QString Binaerwert1, QString Event1, QString Binaerwert2, QString Event2, qint32 Leser_ID,
                         QString LeserName)
{
    return m_cache.InsertAt(index, makeRow(ID, std::move(Transpondernummer), std::move(Datum), std::move(Uhrzeit),
                                           std::move(Binaerwert1), std::move(Event1), std::move(Binaerwert2),
                                           std::move(Event2), Leser_ID, std::move(LeserName)));
}

int CtblEvents::RemoveAt(int index)
{
    return m_cache.RemoveAt(index);
}

void CtblEvents::RemoveAllData()
{
    m_cache.RemoveAll();
}

int CtblEvents::_Requery()
{
    // The rows shown so far stay when the read fails: a server out of
    // reach for a moment must not empty the screen.
    auto shown = m_cache.TakeAll();
    qint32 nr = 1;
    // Each text goes from the reader's characters to its cached form at once.
    const int result = ReadTable([&](const CRowView& v) {
        structEvents row;
        row.ID_Events = v.Long(0);
        row.Transpondernummer = CCachedText(v.TextView(1));
        row.Datum = CCachedText(v.TextView(2));
        row.Uhrzeit = CCachedText(v.TextView(3));
        row.Binaerwert1 = CCachedText(v.TextView(4));
        row.Event1 = CCachedText(v.TextView(5));
        row.Binaerwert2 = CCachedText(v.TextView(6));
        row.Event2 = CCachedText(v.TextView(7));
        row.nNr = nr++;
        row.Leser_ID = v.Long(8);
        row.LeserName = CCachedText(v.TextView(9));
        m_cache.Append(std::move(row));
    });
    if (LastReadFailed())
        m_cache.PutBack(std::move(shown));
    return result;
}

qint32 CtblEvents::GetMajorID_Events() const
{
    return m_cache.MajorID([](const structEvents& r) { return r.ID_Events; });
}

int CtblEvents::CacheRemoveWhere(int column, const QList<QVariant>& values)
{
    return m_cache.RemoveWhere(column, values);
}

int CtblEvents::CacheAssignWhere(int column, const QList<QVariant>& values, const CColumnValues& assignments)
{
    return m_cache.AssignWhere(column, values, assignments);
}
