#include "CtblZeitschema.h"

#include "CFerrold_Reporter.h"
#include "CLanguageHandler.h"

#include <QStringList>

CtblZeitschema::CtblZeitschema(CLanguageHandler* pLanguage, CDatabase* pDatabase)
    : CtblZeitschema(pLanguage, pDatabase, EmptyCache{})
{
    _Requery();
}

CtblZeitschema::CtblZeitschema(CLanguageHandler* pLanguage, CDatabase* pDatabase, EmptyCache)
    : CFerrold_Base(pLanguage, pDatabase)
{
    m_nFields = 12;
    m_nDefaultType = snapshot;
}

CtblZeitschema::~CtblZeitschema()
{
    CloseRecordset();
    RemoveAllData();
}

QString CtblZeitschema::GetDefaultSQL()
{
    return QStringLiteral("[tblZeitschema]");
}

void CtblZeitschema::DoFieldExchange(CFieldExchange* pFX)
{
    RFX_Long(pFX, QStringLiteral("[ID_Zeitschema]"), ID_Zeitschema);
    RFX_Text(pFX, QStringLiteral("[strBezeichnung]"), strBezeichnung);
    RFX_Text(pFX, QStringLiteral("[strVon]"), strVon);
    RFX_Text(pFX, QStringLiteral("[strBis]"), strBis);
    RFX_Bool(pFX, QStringLiteral("[boolSonntag]"), boolSonntag);
    RFX_Bool(pFX, QStringLiteral("[boolMontag]"), boolMontag);
    RFX_Bool(pFX, QStringLiteral("[boolDienstag]"), boolDienstag);
    RFX_Bool(pFX, QStringLiteral("[boolMittwoch]"), boolMittwoch);
    RFX_Bool(pFX, QStringLiteral("[boolDonnerstag]"), boolDonnerstag);
    RFX_Bool(pFX, QStringLiteral("[boolFreitag]"), boolFreitag);
    RFX_Bool(pFX, QStringLiteral("[boolSamstag]"), boolSamstag);
    RFX_Bool(pFX, QStringLiteral("[boolUpdateOK]"), boolUpdateOK);
}

int CtblZeitschema::GetAnz_Zeitschema() const
{
    return m_cache.Count();
}

CtblZeitschema::structZeitschema* CtblZeitschema::Get_Zeitschema(int index) const
{
    return m_cache.Get(index);
}

namespace {

CtblZeitschema::structZeitschema makeRow(qint32 ID, QString Bezeichnung, QString Von, QString Bis, int Sonntag, int Montag, int Dienstag, int Mittwoch, int Donnerstag, int Freitag, int Samstag, int UpdateOK)
{
    CtblZeitschema::structZeitschema row;
    row.ID_Zeitschema = ID;
    row.Bezeichnung = std::move(Bezeichnung);
    row.Von = std::move(Von);
    row.Bis = std::move(Bis);
    row.Sonntag = Sonntag;
    row.Montag = Montag;
    row.Dienstag = Dienstag;
    row.Mittwoch = Mittwoch;
    row.Donnerstag = Donnerstag;
    row.Freitag = Freitag;
    row.Samstag = Samstag;
    row.UpdateOK = UpdateOK;
    return row;
}

} // namespace

void CtblZeitschema::Set_Zeitschema(qint32 nNr, qint32 ID, QString Bezeichnung, QString Von, QString Bis, int Sonntag, int Montag, int Dienstag, int Mittwoch, int Donnerstag, int Freitag, int Samstag, int UpdateOK)
{
    auto row = makeRow(ID, std::move(Bezeichnung), std::move(Von), std::move(Bis), Sonntag, Montag, Dienstag, Mittwoch, Donnerstag, Freitag, Samstag, UpdateOK);
    row.nNr = nNr;
    m_cache.Append(std::move(row));
}

int CtblZeitschema::InsertAt(int index, qint32 ID, QString Bezeichnung, QString Von, QString Bis, int Sonntag, int Montag, int Dienstag, int Mittwoch, int Donnerstag, int Freitag, int Samstag, int UpdateOK)
{
    return m_cache.InsertAt(index, makeRow(ID, ShownName(std::move(Bezeichnung)), std::move(Von), std::move(Bis), Sonntag, Montag, Dienstag, Mittwoch, Donnerstag, Freitag, Samstag, UpdateOK));
}

int CtblZeitschema::RemoveAt(int index)
{
    return m_cache.RemoveAt(index);
}

void CtblZeitschema::RemoveAllData()
{
    m_cache.RemoveAll();
}

int CtblZeitschema::_Requery()
{
    // The rows shown so far stay when the read fails: a server out of
    // reach for a moment must not empty the screen.
    auto shown = m_cache.TakeAll();
    std::vector<structZeitschema> rows;
    const int result = ReadTable([&](const CRowView& v) {
        rows.push_back(makeRow(v.Long(0), v.Text(1), v.Text(2), v.Text(3), v.Bool(4), v.Bool(5), v.Bool(6), v.Bool(7), v.Bool(8), v.Bool(9), v.Bool(10), v.Bool(11)));
    });
    if (LastReadFailed()) {
        m_cache.PutBack(std::move(shown));
        return result;
    }
    // A schema is four rows with consecutive keys and one name. Rows that
    // form no such group (one deleted by hand, a write of another program
    // that failed half-way) are left out of the cache, so no command can
    // take the next schema's rows for theirs; they stay in the table as
    // they are, and the schemas they belong to are reported once.
    QStringList broken;
    int group = 0;
    for (std::size_t i = 0; i < rows.size();) {
        bool whole = i + 3 < rows.size();
        for (std::size_t r = 1; whole && r < 4; ++r)
            whole = rows[i + r].ID_Zeitschema == rows[i].ID_Zeitschema + qint32(r)
                    && rows[i + r].Bezeichnung == rows[i].Bezeichnung;
        if (!whole) {
            if (!broken.contains(rows[i].Bezeichnung))
                broken << rows[i].Bezeichnung;
            ++i;
            continue;
        }
        ++group;
        for (std::size_t r = 0; r < 4; ++r, ++i) {
            rows[i].Bezeichnung = ShownName(rows[i].Bezeichnung);
            rows[i].nNr = group;
            m_cache.Append(std::move(rows[i]));
        }
    }
    if (broken != m_broken) {
        m_broken = broken;
        if (!broken.isEmpty() && m_pLanguage) {
            QStringList names;
            for (const QString& name : broken)
                names << (name.isEmpty() ? QStringLiteral("\"\"") : QStringLiteral("\u201c%1\u201d").arg(name));
            CFerrold_Reporter::Report(m_pLanguage->GetLangItem(kBrokenGroupsText).arg(names.join(QStringLiteral(", "))),
                                      CFerrold_Reporter::Icon::Exclamation);
        }
    }
    return m_cache.Count() > 0 ? 1 : 0;
}

qint32 CtblZeitschema::GetMajorID_Zeitschema() const
{
    return m_cache.MajorID([](const structZeitschema& r) { return r.ID_Zeitschema; });
}

QString CtblZeitschema::ShownName(QString stored) const
{
    if (stored == QLatin1String("Vollzugriff") && m_pLanguage && m_pLanguage->GetAktivLanguage() == 1)
        return QStringLiteral("Full access");
    return stored;
}

namespace {

// The cache holds the built-in schema's name as shown; a name in a bulk
// write is the stored one.
QList<QVariant> shownNames(const CtblZeitschema& table, int column, QList<QVariant> values)
{
    if (column == 1) {
        for (QVariant& v : values)
            v = table.ShownName(v.toString());
    }
    return values;
}

} // namespace

int CtblZeitschema::CacheRemoveWhere(int column, const QList<QVariant>& values)
{
    return m_cache.RemoveWhere(column, shownNames(*this, column, values));
}

int CtblZeitschema::CacheAssignWhere(int column, const QList<QVariant>& values, const CColumnValues& assignments)
{
    CColumnValues shown = assignments;
    for (auto& [c, v] : shown) {
        if (c == 1)
            v = ShownName(v.toString());
    }
    return m_cache.AssignWhere(column, shownNames(*this, column, values), shown);
}
