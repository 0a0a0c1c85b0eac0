#include "CtblTransponder.h"

#include "CDBException.h"
#include "CDatabase.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

CtblTransponder::CtblTransponder(CLanguageHandler* pLanguage, CDatabase* pDatabase)
    : CtblTransponder(pLanguage, pDatabase, EmptyCache{})
{
    _Requery();
}

CtblTransponder::CtblTransponder(CLanguageHandler* pLanguage, CDatabase* pDatabase, EmptyCache)
    : CFerrold_Base(pLanguage, pDatabase)
{
    m_nFields = 7;
    m_nDefaultType = snapshot;
}

CtblTransponder::~CtblTransponder()
{
    CloseRecordset();
    RemoveAllData();
}

QString CtblTransponder::GetDefaultSQL()
{
    return QStringLiteral("[tblTransponder]");
}

void CtblTransponder::DoFieldExchange(CFieldExchange* pFX)
{
    RFX_Long(pFX, QStringLiteral("[ID_Transponder]"), ID_Transponder);
    RFX_Text(pFX, QStringLiteral("[strTransponderNummer]"), strTransponderNummer);
    RFX_Long(pFX, QStringLiteral("[Person_ID]"), Person_ID);
    RFX_Long(pFX, QStringLiteral("[Zeitfenster_ID]"), Zeitfenster_ID);
    RFX_Text(pFX, QStringLiteral("[strLeser_IDS]"), strLeser_IDS);
    RFX_Long(pFX, QStringLiteral("[nTransponderIndex]"), nTransponderIndex);
    RFX_Bool(pFX, QStringLiteral("[boolUpdateOK]"), boolUpdateOK);
}

int CtblTransponder::GetAnz_Transponder() const
{
    return m_cache.Count();
}

CtblTransponder::structTransponder* CtblTransponder::Get_Transponder(int index) const
{
    return m_cache.Get(index);
}

namespace {

CtblTransponder::structTransponder makeRow(qint32 ID, QString TransponderNummer, qint32 Person_ID, qint32 Zeitfenster_ID, QString Leser_IDS, qint32 nTransponderIndex, int UpdateOK)
{
    CtblTransponder::structTransponder row;
    row.ID_Transponder = ID;
    row.TransponderNummer = std::move(TransponderNummer);
    row.Person_ID = Person_ID;
    row.Zeitfenster_ID = Zeitfenster_ID;
    row.Leser_IDS = std::move(Leser_IDS);
    row.nTransponderIndex = nTransponderIndex;
    row.UpdateOK = UpdateOK;
    return row;
}

} // namespace

void CtblTransponder::Set_Transponder(qint32 nNr, qint32 ID, QString TransponderNummer, qint32 Person_ID, qint32 Zeitfenster_ID, QString Leser_IDS, qint32 nTransponderIndex, int UpdateOK)
{
    auto row = makeRow(ID, std::move(TransponderNummer), Person_ID, Zeitfenster_ID, std::move(Leser_IDS), nTransponderIndex, UpdateOK);
    row.nNr = nNr;
    m_cache.Append(std::move(row));
}

int CtblTransponder::InsertAt(int index, qint32 ID, QString TransponderNummer, qint32 Person_ID, qint32 Zeitfenster_ID, QString Leser_IDS, qint32 nTransponderIndex, int UpdateOK)
{
    return m_cache.InsertAt(index, makeRow(ID, std::move(TransponderNummer), Person_ID, Zeitfenster_ID, std::move(Leser_IDS), nTransponderIndex, UpdateOK));
}

int CtblTransponder::RemoveAt(int index)
{
    return m_cache.RemoveAt(index);
}

void CtblTransponder::RemoveAllData()
{
    m_cache.RemoveAll();
}

int CtblTransponder::_Requery()
{
    // The rows shown so far stay when the read fails: a server out of
    // reach for a moment must not empty the screen.
    auto shown = m_cache.TakeAll();
    qint32 nr = 1;
    const int result = ReadTable([&](const CRowView& v) { Set_Transponder(nr++, v.Long(0), v.Text(1), v.Long(2), v.Long(3), v.Text(4), v.Long(5), v.Bool(6)); });
    if (LastReadFailed())
        m_cache.PutBack(std::move(shown));
    return result;
}

qint32 CtblTransponder::GetMajorID_Transponder() const
{
    return m_cache.MajorID([](const structTransponder& r) { return r.ID_Transponder; });
}

int CtblTransponder::CacheRemoveWhere(int column, const QList<QVariant>& values)
{
    return m_cache.RemoveWhere(column, values);
}

int CtblTransponder::CacheAssignWhere(int column, const QList<QVariant>& values, const CColumnValues& assignments)
{
    return m_cache.AssignWhere(column, values, assignments);
}

long CtblTransponder::ChangeListEnds(bool append, qint32 readerId, qint32 largestKey, const QList<qint32>& except)
{
    QString error;
    QSqlDatabase db = m_pDatabase ? m_pDatabase->Connection(&error) : QSqlDatabase();
    if (!db.isOpen())
        throw CDBException(error.isEmpty() ? QStringLiteral("No data source.") : error);
    CDatabase::Turn turn(m_pDatabase);
    const QString list = QuotedColumn(db, QStringLiteral("strLeser_IDS"));
    const QString key = QuotedColumn(db, QStringLiteral("ID_Transponder"));
    const QString end = QStringLiteral(";") + QString::number(readerId);
    QStringList marks;
    for (qsizetype i = 0; i < except.size(); ++i)
        marks << QStringLiteral("?");
    const QString others = except.isEmpty() ? QString() : QStringLiteral(" AND %1 NOT IN (%2)").arg(key, marks.join(u','));
    QSqlQuery query(db);
    const QString sql =
        append ? QStringLiteral("UPDATE %1 SET %2 = CASE WHEN %2 = '' THEN CAST(? AS TEXT) ELSE %2 || CAST(? AS TEXT) END,"
                                " %3 = 1 WHERE %4 <= ?%5")
                     .arg(QuotedTable(db), list, QuotedColumn(db, QStringLiteral("boolUpdateOK")), key, others)
               : QStringLiteral("UPDATE %1 SET %2 = SUBSTR(%2, 1, LENGTH(%2) - %6), %3 = 1 WHERE %2 LIKE ? AND %4 <= ?%5")
                     .arg(QuotedTable(db), list, QuotedColumn(db, QStringLiteral("boolUpdateOK")), key, others)
                     .arg(end.size());
    if (!query.prepare(sql))
        throw CDBException(query.lastError().text());
    if (append) {
        query.addBindValue(QString::number(readerId));
        query.addBindValue(end);
    } else {
        query.addBindValue(QStringLiteral("%") + end);
    }
    query.addBindValue(largestKey);
    for (qint32 k : except)
        query.addBindValue(k);
    if (!query.exec())
        throw CDBException(query.lastError().text());
    return query.numRowsAffected();
}
