#include "CRecordset.h"

#include "CDatabase.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QSet>

#include <algorithm>

namespace {

QString stripBrackets(QString name)
{
    name = name.trimmed();
    if (name.startsWith(u'[') && name.endsWith(u']'))
        return name.mid(1, name.size() - 2);
    return name;
}

QString escaped(const QSqlDatabase& db, const QString& name, QSqlDriver::IdentifierType type)
{
    return db.driver()->escapeIdentifier(name, type);
}

} // namespace

CRecordset::CRecordset(CDatabase* pDatabase)
    : m_pDatabase(pDatabase)
{
}

CRecordset::~CRecordset() = default;

QString CRecordset::GetDefaultConnect()
{
    return QStringLiteral("ODBC;DSN=Quandor");
}

QString CRecordset::TableName()
{
    return stripBrackets(GetDefaultSQL());
}

const CFieldExchange& CRecordset::Fields()
{
    if (!m_fields) {
        m_fields = std::make_unique<CFieldExchange>();
        DoFieldExchange(m_fields.get());
    }
    return *m_fields;
}

size_t CRecordset::Width() const
{
    return m_fields ? m_fields->Bindings().size() : 0;
}

QSqlDatabase CRecordset::Connection()
{
    QString error;
    QSqlDatabase db = m_pDatabase ? m_pDatabase->Connection(&error) : QSqlDatabase();
    if (!db.isOpen())
        m_lastError = m_pDatabase ? error : QStringLiteral("No data source.");
    return db;
}

QString CRecordset::QuotedTable(const QSqlDatabase& db)
{
    return escaped(db, TableName(), QSqlDriver::TableName);
}

QString CRecordset::QuotedColumn(const QSqlDatabase& db, const QString& column)
{
    return escaped(db, stripBrackets(column), QSqlDriver::FieldName);
}

QString CRecordset::SelectText(const QSqlDatabase& db)
{
    QStringList columns;
    for (const auto& b : Fields().Bindings())
        columns << escaped(db, b.column, QSqlDriver::FieldName);
    return QStringLiteral("SELECT %1 FROM %2")
        .arg(columns.join(QStringLiteral(", ")), escaped(db, TableName(), QSqlDriver::TableName));
}

void CRecordset::ThrowIfNotUsable(const QSqlDatabase& db)
{
    if (!db.isOpen())
        throw CDBException(m_lastError);
}

bool CRecordset::ReadRows(const QString& sql, const std::function<void(const QVariant*)>& onRow)
{
    const auto& bindings = Fields().Bindings();
    QSqlDatabase db = Connection();
    if (!db.isOpen())
        return false;

    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.exec(sql)) {
        m_lastError = query.lastError().text();
        return false;
    }
    const QSqlRecord record = query.record();
    std::vector<int> index;
    index.reserve(bindings.size());
    for (const auto& b : bindings) {
        const int i = record.indexOf(b.column);
        if (i < 0) {
            m_lastError = QStringLiteral("The column \"%1\" is missing in the table \"%2\".").arg(b.column, TableName());
            return false;
        }
        index.push_back(i);
    }
    std::vector<QVariant> values(bindings.size());
    while (query.next()) {
        for (size_t c = 0; c < index.size(); ++c)
            values[c] = query.value(index[c]);
        onRow(values.data());
    }
    if (query.lastError().isValid()) {
        m_lastError = query.lastError().text();
        return false;
    }
    return true;
}

bool CRecordset::Open(int nOpenType, const QString& sql, unsigned int /*options*/)
{
    (void)nOpenType; // every set is a snapshot
    if (m_open)
        Close();
    const auto& bindings = Fields().Bindings();
    if (bindings.empty()) {
        m_lastError = QStringLiteral("The record set binds no columns.");
        return false;
    }

    QString text = sql;
    if (text.isEmpty()) {
        QSqlDatabase db = Connection();
        if (!db.isOpen())
            return false;
        text = SelectText(db) + QStringLiteral(" ORDER BY ") + escaped(db, bindings.front().column, QSqlDriver::FieldName);
    }

    std::vector<QVariant> values;
    int rows = 0;
    const size_t width = bindings.size();
    const bool ok = ReadRows(text, [&](const QVariant* row) {
        values.insert(values.end(), row, row + width);
        ++rows;
    });
    if (!ok)
        return false;

    m_sql = text;
    m_values = std::move(values);
    m_rowCount = rows;
    m_deleted.assign(static_cast<size_t>(rows), 0);
    m_keyIndexValid = false;
    m_mode = Mode::None;
    m_open = true;
    MoveFirst();
    return true;
}

void CRecordset::Close()
{
    m_insert.reset();
    m_open = false;
    m_values.clear();
    m_deleted.clear();
    m_rowCount = 0;
    m_current = -1;
    m_bof = m_eof = true;
    m_mode = Mode::None;
    m_keyIndex.clear();
    m_keyIndexValid = false;
}

bool CRecordset::Requery()
{
    if (!m_open)
        return false;
    const QString sql = m_sql;
    return Open(m_nDefaultType, sql);
}

bool CRecordset::IsDeleted() const
{
    return m_open && m_current >= 0 && m_current < m_rowCount && m_deleted[static_cast<size_t>(m_current)];
}

void CRecordset::LoadRow(int row)
{
    const auto& bindings = m_fields->Bindings();
    const QVariant* values = RowValues(row);
    for (size_t c = 0; c < bindings.size(); ++c)
        CFieldExchange::Set(bindings[c], values[c]);
}

void CRecordset::SetPosition(int row)
{
    m_mode = Mode::None;
    if (row < 0 || row >= m_rowCount) {
        m_current = row < 0 ? -1 : m_rowCount;
        m_bof = row < 0 || m_rowCount == 0;
        m_eof = row >= m_rowCount || m_rowCount == 0;
        return;
    }
    m_current = row;
    m_bof = m_eof = false;
    LoadRow(row);
}

void CRecordset::MoveFirst()
{
    int row = 0;
    while (row < m_rowCount && m_deleted[static_cast<size_t>(row)])
        ++row;
    if (row >= m_rowCount) {
        m_bof = m_eof = true;
        m_current = -1;
        m_mode = Mode::None;
        return;
    }
    SetPosition(row);
}

void CRecordset::MoveNext()
{
    if (!m_open || m_eof)
        return;
    int row = m_current + 1;
    while (row < m_rowCount && m_deleted[static_cast<size_t>(row)])
        ++row;
    SetPosition(row);
}

void CRecordset::MovePrev()
{
    if (!m_open || m_bof)
        return;
    int row = m_current - 1;
    while (row >= 0 && m_deleted[static_cast<size_t>(row)])
        --row;
    SetPosition(row);
}

void CRecordset::MoveLast()
{
    int row = m_rowCount - 1;
    while (row >= 0 && m_deleted[static_cast<size_t>(row)])
        --row;
    if (row < 0) {
        m_bof = m_eof = true;
        m_current = -1;
        m_mode = Mode::None;
        return;
    }
    SetPosition(row);
}

bool CRecordset::MoveToKey(qint32 key)
{
    if (!m_open)
        return false;
    if (!m_keyIndexValid) {
        m_keyIndex.clear();
        m_keyIndex.reserve(m_rowCount);
        for (int row = 0; row < m_rowCount; ++row)
            m_keyIndex.insert(CFieldExchange::ToLong(RowValues(row)[0]), row);
        m_keyIndexValid = true;
    }
    const auto it = m_keyIndex.constFind(key);
    if (it == m_keyIndex.constEnd() || m_deleted[static_cast<size_t>(it.value())])
        return false;
    SetPosition(it.value());
    return true;
}

void CRecordset::AddNew()
{
    const auto& bindings = Fields().Bindings();
    if (!m_open)
        throw CDBException(QStringLiteral("The record set is not open."));
    m_saved.clear();
    for (const auto& b : bindings) {
        CFieldExchange::Reset(b);
        m_saved.push_back(CFieldExchange::Get(b));
    }
    m_mode = Mode::Add;
}

void CRecordset::Edit()
{
    if (!m_open || m_bof || m_eof || IsDeleted())
        throw CDBException(QStringLiteral("There is no current row to edit."));
    m_saved.clear();
    for (const auto& b : m_fields->Bindings())
        m_saved.push_back(CFieldExchange::Get(b));
    m_mode = Mode::Edit;
}

void CRecordset::CancelUpdate()
{
    if (m_mode == Mode::None)
        return;
    m_mode = Mode::None;
    if (m_current >= 0 && m_current < m_rowCount)
        LoadRow(m_current);
}

std::vector<size_t> CRecordset::ChangedColumns() const
{
    std::vector<size_t> changed;
    const auto& bindings = m_fields->Bindings();
    for (size_t c = 1; c < bindings.size(); ++c) {
        if (CFieldExchange::Get(bindings[c]) != m_saved[c])
            changed.push_back(c);
    }
    return changed;
}

qint32 CRecordset::InsertRow(QSqlDatabase& db, const std::vector<size_t>& columns)
{
    const auto& bindings = m_fields->Bindings();
    const QString table = QuotedTable(db);
    const QString key = QuotedColumn(db, bindings[0].column);
    const bool returning = m_pDatabase->ReturnsInsertKeys();
    QString sql;
    if (columns.empty()) {
        sql = QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(table);
    } else {
        QStringList names;
        QStringList marks;
        for (size_t c : columns) {
            names << QuotedColumn(db, bindings[c].column);
            marks << QStringLiteral("?");
        }
        sql = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                  .arg(table, names.join(QStringLiteral(", ")), marks.join(QStringLiteral(", ")));
    }
    if (returning)
        sql += QStringLiteral(" RETURNING ") + key;

    // Rows added one after another write the same columns: the statement is
    // prepared once and reused while the connection lasts.
    const QString connection = db.connectionName() + QLatin1Char('#') + QString::number(m_pDatabase->Generation());
    if (!m_insert || m_insertSql != sql || m_insertConnection != connection) {
        m_insert = std::make_unique<QSqlQuery>(db);
        m_insert->setForwardOnly(true);
        if (!m_insert->prepare(sql)) {
            const QString error = m_insert->lastError().text();
            m_insert.reset();
            throw CDBException(error);
        }
        m_insertSql = sql;
        m_insertConnection = connection;
    }
    QSqlQuery& query = *m_insert;
    int i = 0;
    for (size_t c : columns)
        query.bindValue(i++, CFieldExchange::Get(bindings[c]));
    if (!query.exec()) {
        const QString error = query.lastError().text();
        m_insert.reset();
        throw CDBException(error);
    }
    if (returning) {
        const bool got = query.next();
        const QVariant id = got ? query.value(0) : QVariant();
        query.finish();
        if (!got)
            throw CDBException(query.lastError().text());
        return CFieldExchange::ToLong(id);
    }
    query.finish();

    if (db.driver()->hasFeature(QSqlDriver::LastInsertId)) {
        const QVariant id = query.lastInsertId();
        if (id.isValid())
            return CFieldExchange::ToLong(id);
    }
    // Drivers that cannot tell the new key: the largest key, read inside the
    // same transaction, is the row just written.
    QSqlQuery max(db);
    if (!max.exec(QStringLiteral("SELECT MAX(%1) FROM %2").arg(key, table)) || !max.next())
        throw CDBException(max.lastError().text());
    return CFieldExchange::ToLong(max.value(0));
}

bool CRecordset::Update()
{
    if (m_mode == Mode::None)
        throw CDBException(QStringLiteral("Update without AddNew or Edit."));
    const auto& bindings = m_fields->Bindings();
    const std::vector<size_t> changed = ChangedColumns();
    if (m_mode == Mode::Edit && changed.empty()) {
        m_mode = Mode::None;
        return false;
    }
    QSqlDatabase db = Connection();
    ThrowIfNotUsable(db);

    if (m_mode == Mode::Add) {
        const bool ownTransaction = !db.driver()->hasFeature(QSqlDriver::LastInsertId)
                                    && !m_pDatabase->ReturnsInsertKeys() && !m_pDatabase->InTransaction()
                                    && m_pDatabase->BeginTrans();
        try {
            m_lastInsertKey = InsertRow(db, changed);
        } catch (...) {
            if (ownTransaction)
                m_pDatabase->Rollback();
            throw;
        }
        if (ownTransaction && !m_pDatabase->CommitTrans()) {
            const QString error = db.lastError().text();
            m_pDatabase->Rollback();
            throw CDBException(error);
        }
        // The members show the current row again, as before AddNew.
        m_mode = Mode::None;
        if (m_current >= 0 && m_current < m_rowCount)
            LoadRow(m_current);
        return true;
    }

    QStringList assignments;
    for (size_t c : changed)
        assignments << escaped(db, bindings[c].column, QSqlDriver::FieldName) + QStringLiteral(" = ?");
    QSqlQuery query(db);
    query.prepare(QStringLiteral("UPDATE %1 SET %2 WHERE %3 = ?")
                      .arg(escaped(db, TableName(), QSqlDriver::TableName), assignments.join(QStringLiteral(", ")),
                           escaped(db, bindings[0].column, QSqlDriver::FieldName)));
    for (size_t c : changed)
        query.addBindValue(CFieldExchange::Get(bindings[c]));
    query.addBindValue(m_saved[0]);
    if (!query.exec())
        throw CDBException(query.lastError().text());

    QVariant* row = RowValues(m_current);
    for (size_t c : changed)
        row[c] = CFieldExchange::Get(bindings[c]);
    // The key is not written; the member keeps showing the row's own key.
    CFieldExchange::Set(bindings[0], m_saved[0]);
    m_mode = Mode::None;
    return true;
}

void CRecordset::Delete()
{
    if (!m_open || m_bof || m_eof || IsDeleted())
        throw CDBException(QStringLiteral("There is no current row to delete."));
    QSqlDatabase db = Connection();
    ThrowIfNotUsable(db);
    const auto& bindings = m_fields->Bindings();
    QSqlQuery query(db);
    query.prepare(QStringLiteral("DELETE FROM %1 WHERE %2 = ?")
                      .arg(escaped(db, TableName(), QSqlDriver::TableName),
                           escaped(db, bindings[0].column, QSqlDriver::FieldName)));
    query.addBindValue(RowValues(m_current)[0]);
    if (!query.exec())
        throw CDBException(query.lastError().text());
    m_deleted[static_cast<size_t>(m_current)] = 1;
    m_mode = Mode::None;
}

namespace {

// Keys go to the database in chunks: one statement per chunk instead of one
// per row, well below every driver's limit on bound values.
constexpr std::size_t kKeyChunk = 400;

QString marks(std::size_t count)
{
    QString text;
    text.reserve(int(count) * 2);
    for (std::size_t i = 0; i < count; ++i)
        text += i == 0 ? QStringLiteral("?") : QStringLiteral(",?");
    return text;
}

} // namespace

bool CRecordset::OpenKey(qint32 key)
{
    if (Fields().Bindings().empty()) {
        m_lastError = QStringLiteral("The record set binds no columns.");
        return false;
    }
    QSqlDatabase db = Connection();
    if (!db.isOpen())
        return false;
    return Open(m_nDefaultType, SelectText(db) + QStringLiteral(" WHERE %1 = %2")
                                                     .arg(escaped(db, Fields().Bindings().front().column,
                                                                  QSqlDriver::FieldName))
                                                     .arg(key));
}

bool CRecordset::OpenKeysFrom(qint32 firstKey)
{
    if (Fields().Bindings().empty()) {
        m_lastError = QStringLiteral("The record set binds no columns.");
        return false;
    }
    QSqlDatabase db = Connection();
    if (!db.isOpen())
        return false;
    const QString key = QuotedColumn(db, Fields().Bindings().front().column);
    return Open(m_nDefaultType, SelectText(db) + QStringLiteral(" WHERE %1 >= %2 ORDER BY %1").arg(key).arg(firstKey));
}

bool CRecordset::ReadKeys(std::vector<qint32>* keys)
{
    const auto& bindings = Fields().Bindings();
    QSqlDatabase db = Connection();
    if (!keys || bindings.empty() || !db.isOpen())
        return false;
    const QString key = escaped(db, bindings.front().column, QSqlDriver::FieldName);
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT %1 FROM %2 ORDER BY %1").arg(key, escaped(db, TableName(), QSqlDriver::TableName)))) {
        m_lastError = query.lastError().text();
        return false;
    }
    keys->clear();
    while (query.next())
        keys->push_back(CFieldExchange::ToLong(query.value(0)));
    if (query.lastError().isValid()) {
        m_lastError = query.lastError().text();
        return false;
    }
    return true;
}

bool CRecordset::ReadKeyRange(int* count, qint32* largest)
{
    const auto& bindings = Fields().Bindings();
    QSqlDatabase db = Connection();
    if (!count || !largest || bindings.empty() || !db.isOpen())
        return false;
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT COUNT(*), MAX(%1) FROM %2")
                        .arg(escaped(db, bindings.front().column, QSqlDriver::FieldName),
                             escaped(db, TableName(), QSqlDriver::TableName)))
        || !query.next()) {
        m_lastError = query.lastError().text();
        return false;
    }
    *count = query.value(0).toInt();
    *largest = CFieldExchange::ToLong(query.value(1));
    return true;
}

std::vector<qint32> CRecordset::DeleteKeys(const std::vector<qint32>& keys, const KeyFailure& onFailure)
{
    std::vector<qint32> deleted;
    if (keys.empty())
        return deleted;
    const auto& bindings = Fields().Bindings();
    QSqlDatabase db = Connection();
    ThrowIfNotUsable(db);
    if (bindings.empty())
        throw CDBException(QStringLiteral("The record set binds no columns."));
    const QString table = escaped(db, TableName(), QSqlDriver::TableName);
    const QString key = escaped(db, bindings.front().column, QSqlDriver::FieldName);
    auto fail = [&](qint32 k, const QString& error) {
        m_lastError = error;
        if (onFailure)
            onFailure(k, error);
    };

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
            if (!find.prepare(QStringLiteral("SELECT %1 FROM %2 WHERE %1 IN (%3)").arg(key, table, marks(count)))
                || !remove.prepare(QStringLiteral("DELETE FROM %1 WHERE %2 IN (%3)").arg(table, key, marks(count))))
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

int CRecordset::DeleteAllRows()
{
    QSqlDatabase db = Connection();
    ThrowIfNotUsable(db);
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("DELETE FROM %1").arg(escaped(db, TableName(), QSqlDriver::TableName))))
        throw CDBException(query.lastError().text());
    return query.numRowsAffected();
}

int CRecordset::UpdateWhere(const QString& column, const QVariant& value, const QString& whereColumn,
                            const std::vector<QVariant>* whereValues)
{
    QSqlDatabase db = Connection();
    ThrowIfNotUsable(db);
    const QString table = escaped(db, TableName(), QSqlDriver::TableName);
    const QString set = escaped(db, stripBrackets(column), QSqlDriver::FieldName);
    QSqlQuery query(db);
    if (!whereValues) {
        query.prepare(QStringLiteral("UPDATE %1 SET %2 = ?").arg(table, set));
        query.addBindValue(value);
        if (!query.exec())
            throw CDBException(query.lastError().text());
        return query.numRowsAffected();
    }
    const QString where = escaped(db, stripBrackets(whereColumn), QSqlDriver::FieldName);
    int changed = 0;
    std::size_t prepared = 0;
    for (std::size_t first = 0; first < whereValues->size(); first += kKeyChunk) {
        const std::size_t count = std::min(kKeyChunk, whereValues->size() - first);
        if (count != prepared) {
            if (!query.prepare(QStringLiteral("UPDATE %1 SET %2 = ? WHERE %3 IN (%4)").arg(table, set, where, marks(count))))
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
