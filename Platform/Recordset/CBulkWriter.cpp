#include "CBulkWriter.h"

#include "CDatabase.h"

#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

#include <algorithm>
#include <memory>

namespace {

// One statement per chunk of values instead of one per row, well below
// every driver's limit on bound values.
constexpr int kChunk = CRecordset::kChunk;
constexpr std::size_t kKeyChunk = kChunk; // for walks by index

// A value as its column's type stores it, whatever the caller passed.
QVariant storedAs(CFieldExchange::Type type, const QVariant& v)
{
    switch (type) {
    case CFieldExchange::Type::Long:
        return QVariant(CFieldExchange::ToLong(v));
    case CFieldExchange::Type::Bool:
        return QVariant(CFieldExchange::ToBool(v));
    case CFieldExchange::Type::Text:
        break;
    }
    return QVariant(CFieldExchange::ToText(v));
}

// Whether two values of a column are equal as that column's type.
bool sameValue(CFieldExchange::Type type, const QVariant& a, const QVariant& b)
{
    switch (type) {
    case CFieldExchange::Type::Long:
        return CFieldExchange::ToLong(a) == CFieldExchange::ToLong(b) && a.isNull() == b.isNull();
    case CFieldExchange::Type::Bool:
        return CFieldExchange::ToBool(a) == CFieldExchange::ToBool(b);
    case CFieldExchange::Type::Text:
        return CFieldExchange::ToText(a) == CFieldExchange::ToText(b);
    }
    return false;
}

} // namespace

CBulkWriter::CBulkWriter(CRecordset& set)
    : m_set(set)
{
}

void CBulkWriter::ReloadCurrentRow()
{
    if (m_set.m_open && m_set.m_current >= 0 && m_set.m_current < m_set.m_rowCount
        && m_set.m_mode == CRecordset::Mode::None)
        m_set.LoadRow(m_set.m_current);
}

std::vector<int> CBulkWriter::SnapshotRows(size_t column, const QList<QVariant>& values)
{
    std::vector<int> rows;
    if (!m_set.m_open)
        return rows;
    if (column == 0) {
        for (const QVariant& v : values) {
            const int row = m_set.RowOfKey(v.toLongLong());
            if (row >= 0)
                rows.push_back(row);
        }
        return rows;
    }
    const CFieldExchange::Type type = m_set.m_fields->Bindings()[column].type;
    QSet<qlonglong> keys;
    const bool byKey = type != CFieldExchange::Type::Text;
    if (byKey) {
        for (const QVariant& v : values)
            keys.insert(type == CFieldExchange::Type::Bool ? CFieldExchange::ToBool(v) : v.toLongLong());
    }
    for (int row = 0; row < m_set.m_rowCount; ++row) {
        if (m_set.m_deleted[static_cast<size_t>(row)])
            continue;
        const QVariant& stored = m_set.RowValues(row)[column];
        bool match = false;
        if (byKey) {
            match = !stored.isNull()
                    && keys.contains(type == CFieldExchange::Type::Bool ? CFieldExchange::ToBool(stored)
                                                                        : stored.toLongLong());
        } else {
            for (const QVariant& v : values) {
                if (sameValue(type, stored, v)) {
                    match = true;
                    break;
                }
            }
        }
        if (match)
            rows.push_back(row);
    }
    return rows;
}

long CBulkWriter::DeleteRows(const QString& column, const QList<QVariant>& values)
{
    const size_t index = static_cast<size_t>(m_set.ColumnIndex(column));
    if (values.isEmpty())
        return 0;
    QSqlDatabase db = m_set.WriteConnection();
    m_set.ThrowIfNotUsable(db);
    CDatabase::Turn turn(m_set.m_pDatabase);
    const QString name = m_set.QuotedColumn(db, m_set.m_fields->Bindings()[index].column);
    long affected = 0;
    for (qsizetype from = 0; from < values.size(); from += kChunk) {
        const QList<QVariant> chunk = values.mid(from, kChunk);
        QSqlQuery* query = m_set.Statement(QStringLiteral("DELETE FROM %1 WHERE %2 IN (%3)")
                                         .arg(m_set.QuotedTable(db), name, CRecordset::Marks(static_cast<int>(chunk.size()))));
        CRecordset::Finish done{query};
        for (const QVariant& v : chunk)
            query->addBindValue(v);
        if (!query->exec())
            throw CDBException(query->lastError().text());
        affected += std::max(0, query->numRowsAffected());
    }
    for (int row : SnapshotRows(index, values))
        m_set.m_deleted[static_cast<size_t>(row)] = 1;
    if (m_set.m_open && m_set.m_current >= 0 && m_set.m_current < m_set.m_rowCount && m_set.m_deleted[static_cast<size_t>(m_set.m_current)])
        m_set.m_mode = CRecordset::Mode::None;
    return affected;
}

size_t CBulkWriter::WrittenColumn(const QString& column)
{
    const int c = m_set.ColumnIndex(column);
    if (c == 0)
        throw CDBException(
            QStringLiteral("The key of the table \"%1\" is given by the table and not written.").arg(m_set.TableName()));
    return static_cast<size_t>(c);
}

long CBulkWriter::UpdateRows(const QString& column, const QList<QVariant>& values, const Assignments& assignments)
{
    const size_t index = static_cast<size_t>(m_set.ColumnIndex(column));
    std::vector<size_t> targets;
    for (const auto& a : assignments)
        targets.push_back(WrittenColumn(a.first));
    if (values.isEmpty() || assignments.empty())
        return 0;
    QSqlDatabase db = m_set.WriteConnection();
    m_set.ThrowIfNotUsable(db);
    CDatabase::Turn turn(m_set.m_pDatabase);
    const auto& bindings = m_set.m_fields->Bindings();
    QStringList sets;
    for (size_t c : targets)
        sets << m_set.QuotedColumn(db, bindings[c].column) + QStringLiteral(" = ?");
    const QString name = m_set.QuotedColumn(db, bindings[index].column);
    long affected = 0;
    for (qsizetype from = 0; from < values.size(); from += kChunk) {
        const QList<QVariant> chunk = values.mid(from, kChunk);
        QSqlQuery* query = m_set.Statement(QStringLiteral("UPDATE %1 SET %2 WHERE %3 IN (%4)")
                                         .arg(m_set.QuotedTable(db), sets.join(QStringLiteral(", ")), name,
                                              CRecordset::Marks(static_cast<int>(chunk.size()))));
        CRecordset::Finish done{query};
        for (size_t i = 0; i < targets.size(); ++i)
            query->addBindValue(storedAs(bindings[targets[i]].type, assignments[i].second));
        for (const QVariant& v : chunk)
            query->addBindValue(v);
        if (!query->exec())
            throw CDBException(query->lastError().text());
        affected += std::max(0, query->numRowsAffected());
    }
    for (int row : SnapshotRows(index, values)) {
        QVariant* stored = m_set.RowValues(row);
        for (size_t i = 0; i < targets.size(); ++i)
            stored[targets[i]] = assignments[i].second;
    }
    ReloadCurrentRow();
    return affected;
}

long CBulkWriter::UpdateRowsByKey(const QString& column, const std::vector<std::pair<qint32, QVariant>>& values,
                                 const Assignments& alsoSet)
{
    const size_t c = WrittenColumn(column);
    std::vector<size_t> also;
    for (const auto& a : alsoSet)
        also.push_back(WrittenColumn(a.first));
    // The last value given for a key is the one that stays, as row by row.
    std::vector<std::pair<qint32, QVariant>> last;
    QSet<qint32> seen;
    for (auto it = values.rbegin(); it != values.rend(); ++it) {
        if (!seen.contains(it->first)) {
            seen.insert(it->first);
            last.push_back(*it);
        }
    }
    if (last.empty())
        return 0;
    QSqlDatabase db = m_set.WriteConnection();
    m_set.ThrowIfNotUsable(db);
    CDatabase::Turn turn(m_set.m_pDatabase);
    const auto& bindings = m_set.m_fields->Bindings();
    const CFieldExchange::Type type = bindings[c].type;
    // Each chunk joins its pairs of key and value as a table of values, so
    // a row finds its value by the key instead of a walk over a CASE list;
    // the casts give a server the type of each value it is sent.
    const QString pair = type == CFieldExchange::Type::Text ? QStringLiteral("(CAST(? AS INTEGER), CAST(? AS TEXT))")
                                                            : QStringLiteral("(CAST(? AS INTEGER), CAST(? AS INTEGER))");
    const QString key = m_set.QuotedColumn(db, bindings[0].column);
    const QString table = m_set.QuotedTable(db);
    QString alsoSql;
    for (size_t a : also)
        alsoSql += QStringLiteral(", %1 = ?").arg(m_set.QuotedColumn(db, bindings[a].column));
    constexpr size_t kRows = kChunk / 2;
    long affected = 0;
    for (size_t from = 0; from < last.size(); from += kRows) {
        const size_t count = std::min(kRows, last.size() - from);
        QStringList pairs;
        for (size_t i = 0; i < count; ++i)
            pairs << pair;
        QSqlQuery* query = m_set.Statement(
            QStringLiteral("UPDATE %1 SET %2 = v.column2%3 FROM (VALUES %4) AS v WHERE %1.%5 = v.column1")
                .arg(table, m_set.QuotedColumn(db, bindings[c].column), alsoSql, pairs.join(QStringLiteral(", ")), key));
        CRecordset::Finish done{query};
        for (size_t a = 0; a < also.size(); ++a)
            query->addBindValue(storedAs(bindings[also[a]].type, alsoSet[a].second));
        for (size_t i = from; i < from + count; ++i) {
            query->addBindValue(last[i].first);
            query->addBindValue(storedAs(type, last[i].second));
        }
        if (!query->exec())
            throw CDBException(query->lastError().text());
        affected += std::max(0, query->numRowsAffected());
    }
    for (const auto& [rowKey, value] : last) {
        const int row = m_set.RowOfKey(rowKey);
        if (row >= 0) {
            m_set.RowValues(row)[c] = storedAs(type, value);
            for (size_t a = 0; a < also.size(); ++a)
                m_set.RowValues(row)[also[a]] = storedAs(bindings[also[a]].type, alsoSet[a].second);
        }
    }
    ReloadCurrentRow();
    return affected;
}

void CBulkWriter::LockTable()
{
    if (!m_set.m_pDatabase || !m_set.m_pDatabase->IsServer())
        return;
    QSqlDatabase db = m_set.WriteConnection();
    m_set.ThrowIfNotUsable(db);
    CDatabase::Turn turn(m_set.m_pDatabase);
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("LOCK TABLE %1 IN EXCLUSIVE MODE").arg(m_set.QuotedTable(db))))
        throw CDBException(query.lastError().text());
}

bool CBulkWriter::ReadForWrite(const QString& column, std::vector<std::pair<qint32, QString>>* rows,
                              const QList<qint32>* keys)
{
    const auto& bindings = m_set.Fields().Bindings();
    QSqlDatabase db = m_set.WriteConnection();
    if (!rows || bindings.empty() || !db.isOpen())
        return false;
    std::unique_ptr<CDatabase::Turn> turn;
    size_t c = 0;
    try {
        c = static_cast<size_t>(m_set.ColumnIndex(column));
        turn = std::make_unique<CDatabase::Turn>(m_set.m_pDatabase);
    } catch (const CDBException& e) {
        m_set.m_lastError = e.m_strError;
        return false;
    }
    const QString key = m_set.QuotedColumn(db, bindings.front().column);
    const QString lock = m_set.m_pDatabase->IsServer() ? QStringLiteral(" FOR UPDATE") : QString();
    rows->clear();
    const auto read = [&](const QString& where, const QList<qint32>& bound) {
        QSqlQuery query(db);
        query.setForwardOnly(true);
        if (!query.prepare(QStringLiteral("SELECT %1, %2 FROM %3%4 ORDER BY %1%5")
                               .arg(key, m_set.QuotedColumn(db, bindings[c].column), m_set.QuotedTable(db), where, lock))) {
            m_set.m_lastError = query.lastError().text();
            return false;
        }
        for (qint32 k : bound)
            query.addBindValue(k);
        if (!query.exec()) {
            m_set.m_lastError = query.lastError().text();
            return false;
        }
        while (query.next())
            rows->emplace_back(CFieldExchange::ToLong(query.value(0)), CFieldExchange::ToText(query.value(1)));
        if (query.lastError().isValid()) {
            m_set.m_lastError = query.lastError().text();
            return false;
        }
        return true;
    };
    if (!keys)
        return read(QString(), {});
    for (qsizetype from = 0; from < keys->size(); from += kChunk) {
        const QList<qint32> chunk = keys->mid(from, kChunk);
        if (!read(QStringLiteral(" WHERE %1 IN (%2)").arg(key, CRecordset::Marks(static_cast<int>(chunk.size()))), chunk))
            return false;
    }
    std::sort(rows->begin(), rows->end());
    return true;
}

std::vector<qint32> CBulkWriter::DeleteKeys(const std::vector<qint32>& keys, const KeyFailure& onFailure)
{
    std::vector<qint32> deleted;
    if (keys.empty())
        return deleted;
    const auto& bindings = m_set.Fields().Bindings();
    QSqlDatabase db = m_set.WriteConnection();
    m_set.ThrowIfNotUsable(db);
    if (bindings.empty())
        throw CDBException(QStringLiteral("The record set binds no columns."));
    const QString table = m_set.QuotedTable(db);
    const QString key = m_set.QuotedColumn(db, bindings.front().column);
    auto fail = [&](qint32 k, const QString& error) {
        m_set.m_lastError = error;
        if (onFailure)
            onFailure(k, error);
    };

    CDatabase::Turn turn(m_set.m_pDatabase);
    deleted.reserve(keys.size());
    QSqlQuery find(db);
    QSqlQuery remove(db);
    QSqlQuery single(db);
    bool singlePrepared = false;
    std::size_t prepared = 0;
    for (std::size_t first = 0; first < keys.size(); first += kKeyChunk) {
        const std::size_t count = std::min(kKeyChunk, keys.size() - first);
        if (count != prepared) {
            find.setForwardOnly(true);
            if (!find.prepare(QStringLiteral("SELECT %1 FROM %2 WHERE %1 IN (%3)").arg(key, table, CRecordset::Marks(static_cast<int>(count))))
                || !remove.prepare(QStringLiteral("DELETE FROM %1 WHERE %2 IN (%3)").arg(table, key, CRecordset::Marks(static_cast<int>(count)))))
                throw CDBException(find.lastError().isValid() ? find.lastError().text() : remove.lastError().text());
            prepared = count;
        }
        // Which rows are there: a key without a row is a failure of its own
        // and must not pass for deleted.
        for (std::size_t i = 0; i < count; ++i)
            find.bindValue(int(i), keys[first + i]);
        if (!find.exec())
            throw CDBException(find.lastError().text());
        QSet<qint32> present;
        while (find.next())
            present.insert(CFieldExchange::ToLong(find.value(0)));
        find.finish();

        for (std::size_t i = 0; i < count; ++i)
            remove.bindValue(int(i), keys[first + i]);
        if (remove.exec()) {
            for (std::size_t i = first; i < first + count; ++i) {
                if (present.contains(keys[i]))
                    deleted.push_back(keys[i]);
                else
                    fail(keys[i], QString());
            }
            continue;
        }
        // The chunk was refused as a whole (a trigger on one row undoes the
        // statement): row by row, so only the refused rows stay.
        if (!singlePrepared) {
            if (!single.prepare(QStringLiteral("DELETE FROM %1 WHERE %2 = ?").arg(table, key)))
                throw CDBException(single.lastError().text());
            singlePrepared = true;
        }
        for (std::size_t i = first; i < first + count; ++i) {
            if (!present.contains(keys[i])) {
                fail(keys[i], QString());
                continue;
            }
            single.bindValue(0, keys[i]);
            if (single.exec())
                deleted.push_back(keys[i]);
            else
                fail(keys[i], single.lastError().text());
        }
    }
    return deleted;
}

int CBulkWriter::DeleteAllRows(const QString& keptColumn, const QList<QVariant>& keptValues)
{
    QSqlDatabase db = m_set.WriteConnection();
    m_set.ThrowIfNotUsable(db);
    CDatabase::Turn turn(m_set.m_pDatabase);
    QString sql = QStringLiteral("DELETE FROM %1").arg(m_set.QuotedTable(db));
    if (!keptValues.isEmpty())
        sql += QStringLiteral(" WHERE %1 NOT IN (%2)")
                   .arg(m_set.QuotedColumn(db, CRecordset::StripBrackets(keptColumn)),
                        CRecordset::Marks(static_cast<int>(keptValues.size())));
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.prepare(sql))
        throw CDBException(query.lastError().text());
    for (const QVariant& v : keptValues)
        query.addBindValue(v);
    if (!query.exec())
        throw CDBException(query.lastError().text());
    return query.numRowsAffected();
}

int CBulkWriter::UpdateWhere(const QString& column, const QVariant& value, const QString& whereColumn,
                            const std::vector<QVariant>* whereValues)
{
    QSqlDatabase db = m_set.WriteConnection();
    m_set.ThrowIfNotUsable(db);
    CDatabase::Turn turn(m_set.m_pDatabase);
    const QString table = m_set.QuotedTable(db);
    const QString set = m_set.QuotedColumn(db, CRecordset::StripBrackets(column));
    QSqlQuery query(db);
    if (!whereValues) {
        query.prepare(QStringLiteral("UPDATE %1 SET %2 = ?").arg(table, set));
        query.addBindValue(value);
        if (!query.exec())
            throw CDBException(query.lastError().text());
        return query.numRowsAffected();
    }
    const QString where = m_set.QuotedColumn(db, CRecordset::StripBrackets(whereColumn));
    int changed = 0;
    std::size_t prepared = 0;
    for (std::size_t first = 0; first < whereValues->size(); first += kKeyChunk) {
        const std::size_t count = std::min(kKeyChunk, whereValues->size() - first);
        if (count != prepared) {
            if (!query.prepare(QStringLiteral("UPDATE %1 SET %2 = ? WHERE %3 IN (%4)").arg(table, set, where, CRecordset::Marks(static_cast<int>(count)))))
                throw CDBException(query.lastError().text());
            prepared = count;
        }
        query.bindValue(0, value);
        for (std::size_t i = 0; i < count; ++i)
            query.bindValue(int(i + 1), (*whereValues)[first + i]);
        if (!query.exec())
            throw CDBException(query.lastError().text());
        changed += std::max(0, query.numRowsAffected());
    }
    return changed;
}
