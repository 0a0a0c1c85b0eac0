#include "CFerrold_Base.h"


#include "CBulkWriter.h"
#include "CDatabase.h"
#include "CFerrold_Reporter.h"
#include "CTransaction.h"

#include <QSqlDatabase>

CFerrold_Base::CFerrold_Base(CLanguageHandler* pLanguage, CDatabase* pDatabase)
    : CRecordset(pDatabase)
    , m_pLanguage(pLanguage)
{
}

CFerrold_Base::~CFerrold_Base() = default;

void CFerrold_Base::CloseRecordset()
{
    if (IsOpen())
        Close();
}

QString CFerrold_Base::GetDefaultConnect()
{
    return QStringLiteral("ODBC;DSN=Quandor");
}

QString CFerrold_Base::GetDefaultSQL()
{
    return QString();
}

void CFerrold_Base::DoFieldExchange(CFieldExchange*)
{
}

int CFerrold_Base::ReadTable(const std::function<void(const CRowView&)>& onRow)
{
    m_cacheTransaction = 0;
    int rows = 0;
    bool ok = false;
    QString error;
    QSqlDatabase db = m_pDatabase ? m_pDatabase->Connection(&error) : QSqlDatabase();
    if (db.isOpen()) {
        // No DISTINCT: every row carries its table's key, so it would drop
        // nothing, yet a database server sorts every row by every column to
        // learn that (a fifth of the events' load, spilled to disk).
        const QString sql = QStringLiteral("SELECT %1 FROM %2 ORDER BY %3")
                                .arg(SelectList(db), QuotedTable(db),
                                     QuotedColumn(db, Fields().Bindings().front().column));
        ok = ReadRows(sql, [&](const CRowView& row) {
            onRow(row);
            ++rows;
        });
    }
    m_lastReadFailed = !ok;
    if (!ok) {
        // A data source found unusable at start was reported once already.
        if (!m_pDatabase || m_pDatabase->IsUsable())
            CFerrold_Reporter::Report(db.isOpen() || !m_pDatabase ? GetLastError() : error,
                                      CFerrold_Reporter::Icon::None);
        return 0;
    }
    return rows > 0 ? 1 : 0;
}

template <class Write, class Follow>
long CFerrold_Base::Bulk(Write write, Follow follow)
{
    CTransaction transaction(m_pDatabase);
    if (!transaction.IsActive())
        throw CDBException(transaction.GetError());
    const long changed = write();
    if (!transaction.Commit())
        throw CDBException(transaction.GetError());
    follow();
    // Inside the caller's transaction the cache now shows writes that may
    // still be undone.
    if (m_pDatabase->InTransaction())
        m_cacheTransaction = m_pDatabase->TransactionSerial();
    return changed;
}

long CFerrold_Base::DeleteWhere(const QString& column, const QVariant& value)
{
    return DeleteWhere(column, QList<QVariant>{value});
}

long CFerrold_Base::DeleteWhere(const QString& column, const QList<QVariant>& values)
{
    const int index = ColumnIndex(column);
    return Bulk([&] { return CBulkWriter(*this).DeleteRows(column, values); }, [&] { CacheRemoveWhere(index, values); });
}

long CFerrold_Base::DeleteWhereKeys(const QList<qint32>& keys)
{
    QList<QVariant> values;
    values.reserve(keys.size());
    for (qint32 key : keys)
        values << QVariant(key);
    return DeleteWhere(Fields().Bindings().front().column, values);
}

long CFerrold_Base::UpdateColumnsWhere(const QString& column, const QVariant& value, const Assignments& assignments)
{
    return UpdateColumnsWhere(column, QList<QVariant>{value}, assignments);
}

long CFerrold_Base::UpdateColumnsWhere(const QString& column, const QList<QVariant>& values, const Assignments& assignments)
{
    const int index = ColumnIndex(column);
    CColumnValues byIndex;
    for (const auto& a : assignments)
        byIndex.emplace_back(ColumnIndex(a.first), a.second);
    return Bulk([&] { return CBulkWriter(*this).UpdateRows(column, values, assignments); },
                [&] { CacheAssignWhere(index, values, byIndex); });
}

long CFerrold_Base::UpdateColumnsWhereKeys(const QList<qint32>& keys, const Assignments& assignments)
{
    QList<QVariant> values;
    values.reserve(keys.size());
    for (qint32 key : keys)
        values << QVariant(key);
    return UpdateColumnsWhere(Fields().Bindings().front().column, values, assignments);
}

long CFerrold_Base::UpdateEachByKey(const QString& column, const std::vector<std::pair<qint32, QVariant>>& values)
{
    const int index = ColumnIndex(column);
    return Bulk([&] { return CBulkWriter(*this).UpdateRowsByKey(column, values); },
                [&] {
                    // In the order given, so the last value of a key stays.
                    QList<QVariant> key{QVariant()};
                    CColumnValues assignment{{index, QVariant()}};
                    for (const auto& [rowKey, value] : values) {
                        key[0] = rowKey;
                        assignment.front().second = value;
                        CacheAssignWhere(0, key, assignment);
                    }
                });
}

void CFerrold_Base::UpdateKey(qint32 key, const Assignments& assignments)
{
    const QString keyColumn = Fields().Bindings().front().column;
    CColumnValues byIndex;
    for (const auto& a : assignments)
        byIndex.emplace_back(ColumnIndex(a.first), a.second);
    const QList<QVariant> values{QVariant(key)};
    Bulk(
        [&] {
            const long changed = CBulkWriter(*this).UpdateRows(keyColumn, values, assignments);
            if (changed == 0)
                throw CDBException(QStringLiteral("The row with the key %1 of the table \"%2\" no longer exists; "
                                                  "nothing was stored.")
                                       .arg(key)
                                       .arg(TableName()));
            return changed;
        },
        [&] { CacheAssignWhere(0, values, byIndex); });
}

void CFerrold_Base::OnTransactionRolledBack(quint64 transaction)
{
    CRecordset::OnTransactionRolledBack(transaction);
    if (m_cacheTransaction != 0 && m_cacheTransaction == transaction)
        _Requery();
}
