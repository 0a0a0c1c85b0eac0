#include "CRecordset.h"

#include "CDatabase.h"
#include "COdbcBlockReader.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include <algorithm>
#include <limits>

namespace {

QString escaped(const QSqlDatabase& db, const QString& name, QSqlDriver::IdentifierType type)
{
    return db.driver()->escapeIdentifier(name, type);
}

} // namespace

QString CRecordset::StripBrackets(QString name)
{
    name = name.trimmed();
    if (name.startsWith(u'[') && name.endsWith(u']'))
        return name.mid(1, name.size() - 2);
    return name;
}

CRecordset::Finish::~Finish()
{
    if (query)
        query->finish();
}

QString CRecordset::Marks(int count)
{
    QStringList list;
    for (int i = 0; i < count; ++i)
        list << QStringLiteral("?");
    return list.join(QStringLiteral(", "));
}

CRecordset::CRecordset(CDatabase* pDatabase)
    : m_pDatabase(pDatabase)
{
    if (m_pDatabase)
        m_pDatabase->RegisterRecordset(this);
}

CRecordset::~CRecordset()
{
    // A failure spoils the transaction: its commit reports the reason.
    m_pending.TrySendHeld();
    if (m_pDatabase) {
        m_pDatabase->ForgetPendingRows(this);
        m_pDatabase->UnregisterRecordset(this);
    }
}

QString CRecordset::GetDefaultConnect()
{
    return QStringLiteral("ODBC;DSN=Quandor");
}

QString CRecordset::TableName()
{
    return StripBrackets(GetDefaultSQL());
}

const CFieldExchange& CRecordset::Fields()
{
    if (!m_fields) {
        m_fields = std::make_unique<CFieldExchange>();
        DoFieldExchange(m_fields.get());
    }
    return *m_fields;
}

int CRecordset::ColumnIndex(const QString& column)
{
    const QString name = StripBrackets(column);
    const auto& bindings = Fields().Bindings();
    for (size_t c = 0; c < bindings.size(); ++c) {
        if (bindings[c].column.compare(name, Qt::CaseInsensitive) == 0)
            return static_cast<int>(c);
    }
    throw CDBException(QStringLiteral("The table \"%1\" has no column \"%2\".").arg(TableName(), name));
}

QString CRecordset::QuotedTable(const QSqlDatabase& db)
{
    return escaped(db, TableName(), QSqlDriver::TableName);
}

QString CRecordset::QuotedColumn(const QSqlDatabase& db, const QString& column)
{
    return escaped(db, column, QSqlDriver::FieldName);
}

QString CRecordset::SelectList(const QSqlDatabase& db)
{
    const QString table = QuotedTable(db);
    QStringList columns;
    for (const auto& b : Fields().Bindings())
        columns << table + u'.' + QuotedColumn(db, b.column);
    return columns.join(QStringLiteral(", "));
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
    else
        m_pDatabase->NoteRecordsetUse(this);
    return db;
}

QSqlDatabase CRecordset::WriteConnection()
{
    QSqlDatabase db = Connection();
    if (db.isOpen())
        m_pDatabase->NoteWrite();
    return db;
}

QSqlQuery* CRecordset::Statement(const QString& sql)
{
    QString error;
    QSqlQuery* query = m_pDatabase ? m_pDatabase->Prepared(sql, &error) : nullptr;
    if (!query)
        throw CDBException(m_pDatabase ? error : QStringLiteral("No data source."));
    return query;
}

void CRecordset::ThrowIfNotUsable(const QSqlDatabase& db)
{
    if (!db.isOpen())
        throw CDBException(m_lastError);
}

QString CRecordset::WideNumber(const QSqlDatabase& db, const QString& column)
{
    QSqlQuery* query = Statement(QStringLiteral("SELECT CAST(%1 AS TEXT) FROM %2 WHERE %1 < -2147483648 OR %1 > "
                                                "2147483647 LIMIT 1")
                                     .arg(QuotedColumn(db, column), QuotedTable(db)));
    Finish done{query};
    if (!query->exec())
        throw CDBException(query->lastError().text());
    return query->next() ? query->value(0).toString() : QString();
}

QString CRecordset::WideNumbersFault(const QSqlDatabase& db)
{
    for (const auto& b : Fields().Bindings()) {
        if (b.type != CFieldExchange::Type::Long)
            continue;
        const QString value = WideNumber(db, b.column);
        if (!value.isEmpty())
            return QStringLiteral("The value %1 in the column \"%2\" of the table \"%3\" is outside the range of a "
                                  "32-bit number.")
                .arg(value, b.column, TableName());
    }
    return QString();
}

bool CRecordset::ReadRows(const QString& sql, const std::function<void(const QVariant*)>& onRow,
                          const QList<QVariant>& bindValues)
{
    std::vector<QVariant> values(Fields().Bindings().size());
    return ReadRows(
        sql,
        [&](const CRowView& row) {
            for (size_t c = 0; c < values.size(); ++c)
                values[c] = row.Value(int(c));
            onRow(values.data());
        },
        bindValues);
}

bool CRecordset::ReadRows(const QString& sql, const std::function<void(const CRowView&)>& onRow,
                          const QList<QVariant>& bindValues)
{
    const auto& bindings = Fields().Bindings();
    QSqlDatabase db = Connection();
    if (!db.isOpen())
        return false;

    std::unique_ptr<CDatabase::Turn> turn;
    try {
        turn = std::make_unique<CDatabase::Turn>(m_pDatabase);
        // The driver would hand such a value over cut, as another row's key.
        if (m_pDatabase->NarrowsIntegers())
            m_lastError = WideNumbersFault(db);
    } catch (const CDBException& e) {
        m_lastError = e.m_strError;
        return false;
    }
    if (m_pDatabase->NarrowsIntegers() && !m_lastError.isEmpty())
        return false;
    // A number cut to 32 bits would be another row's key, or another reader.
    const auto takeRow = [&](const CRowView& row) {
        for (size_t c = 0; c < bindings.size(); ++c) {
            if (bindings[c].type == CFieldExchange::Type::Long && !row.FitsLong(int(c))) {
                m_lastError = QStringLiteral("The value %1 in the column \"%2\" of the table \"%3\" is outside the "
                                             "range of a 32-bit number.")
                                  .arg(row.Value(int(c)).toString(), bindings[c].column, TableName());
                return false;
            }
        }
        onRow(row);
        return true;
    };

    if (bindValues.isEmpty()) {
        std::vector<COdbcBlockReader::Column> columns;
        columns.reserve(bindings.size());
        for (const auto& b : bindings)
            columns.push_back({b.column, b.type});
        switch (COdbcBlockReader::Read(db, sql, columns, takeRow, &m_lastError)) {
        case COdbcBlockReader::Outcome::Read:
            return true;
        case COdbcBlockReader::Outcome::Failed:
            return false;
        case COdbcBlockReader::Outcome::NotTaken:
            break;
        }
    }

    QSqlQuery query(db);
    query.setForwardOnly(true);
    bool ran = false;
    if (bindValues.isEmpty()) {
        ran = query.exec(sql);
    } else if (query.prepare(sql)) {
        for (const QVariant& v : bindValues)
            query.addBindValue(v);
        ran = query.exec();
    }
    if (!ran) {
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
    // A text column's characters are viewed where Qt's driver put them;
    // a value of another type (a number in a text column) as its text.
    std::vector<QVariant> values(bindings.size());
    std::vector<QString> texts(bindings.size());
    std::vector<CRowView::Cell> cells(bindings.size());
    for (size_t c = 0; c < cells.size(); ++c) {
        cells[c].value = &values[c];
        cells[c].text = bindings[c].type == CFieldExchange::Type::Text;
    }
    const CRowView row(cells.data(), int(cells.size()));
    while (query.next()) {
        for (size_t c = 0; c < index.size(); ++c) {
            QVariant& value = values[c];
            value = query.value(index[c]);
            CRowView::Cell& cell = cells[c];
            cell.null = value.isNull();
            if (!cell.text || cell.null) {
                cell.chars = QStringView();
            } else if (value.typeId() == QMetaType::QString) {
                cell.chars = *static_cast<const QString*>(value.constData());
            } else {
                texts[c] = value.toString();
                cell.chars = texts[c];
            }
        }
        if (!takeRow(row))
            return false;
    }
    if (query.lastError().isValid()) {
        m_lastError = query.lastError().text();
        return false;
    }
    return true;
}

bool CRecordset::OpenRows(const QString& sql, const QList<QVariant>& bindValues)
{
    if (m_open)
        Close();
    std::vector<QVariant> values;
    int rows = 0;
    const size_t width = Fields().Bindings().size();
    const bool ok = ReadRows(
        sql,
        [&](const QVariant* row) {
            values.insert(values.end(), row, row + width);
            ++rows;
        },
        bindValues);
    if (!ok)
        return false;

    m_sql = sql;
    m_bindValues = bindValues;
    m_values = std::move(values);
    m_rowCount = rows;
    m_deleted.assign(static_cast<size_t>(rows), 0);
    m_keyIndexValid = false;
    m_mode = Mode::None;
    m_open = true;
    MoveFirst();
    return true;
}

bool CRecordset::Open(int nOpenType, const QString& sql, unsigned int /*options*/)
{
    (void)nOpenType; // every set is a snapshot
    if (m_open)
        Close();
    if (Fields().Bindings().empty()) {
        m_lastError = QStringLiteral("The record set binds no columns.");
        return false;
    }
    if (!sql.isEmpty())
        return OpenRows(sql, {});
    QSqlDatabase db = Connection();
    if (!db.isOpen())
        return false;
    const QString text = QStringLiteral("SELECT %1 FROM %2 ORDER BY %3")
                             .arg(SelectList(db), QuotedTable(db), QuotedColumn(db, Fields().Bindings().front().column));
    return OpenRows(text, {});
}

bool CRecordset::OpenWhere(const QString& column, const QList<QVariant>& values)
{
    if (m_open)
        Close();
    int index = 0;
    try {
        index = ColumnIndex(column);
    } catch (const CDBException& e) {
        m_lastError = e.m_strError;
        return false;
    }
    QSqlDatabase db = Connection();
    if (!db.isOpen())
        return false;
    const QString name = QuotedColumn(db, Fields().Bindings()[static_cast<size_t>(index)].column);
    // An empty list still checks the table and its columns.
    if (values.isEmpty())
        return OpenRows(QStringLiteral("SELECT %1 FROM %2 WHERE 1 = 0").arg(SelectList(db), QuotedTable(db)), {});
    if (values.size() <= kChunk) {
        return OpenRows(QStringLiteral("SELECT %1 FROM %2 WHERE %3 IN (%4) ORDER BY %5")
                            .arg(SelectList(db), QuotedTable(db), name, Marks(static_cast<int>(values.size())),
                                 QuotedColumn(db, Fields().Bindings().front().column)),
                        values);
    }
    // Long lists: the rows of each chunk, then one snapshot in key order.
    std::vector<std::pair<qint64, std::vector<QVariant>>> rows;
    const size_t width = Fields().Bindings().size();
    for (qsizetype from = 0; from < values.size(); from += kChunk) {
        const QList<QVariant> chunk = values.mid(from, kChunk);
        const bool ok = ReadRows(QStringLiteral("SELECT %1 FROM %2 WHERE %3 IN (%4)")
                                     .arg(SelectList(db), QuotedTable(db), name, Marks(static_cast<int>(chunk.size()))),
                                 [&](const QVariant* row) {
                                     rows.emplace_back(row[0].toLongLong(), std::vector<QVariant>(row, row + width));
                                 },
                                 chunk);
        if (!ok)
            return false;
    }
    std::sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    // Values repeated in the list must not repeat rows.
    rows.erase(std::unique(rows.begin(), rows.end(), [](const auto& a, const auto& b) { return a.first == b.first; }),
               rows.end());
    m_sql.clear();
    m_bindValues = values;
    m_values.clear();
    m_values.reserve(rows.size() * width);
    for (auto& row : rows)
        m_values.insert(m_values.end(), row.second.begin(), row.second.end());
    m_rowCount = static_cast<int>(rows.size());
    m_deleted.assign(rows.size(), 0);
    m_keyIndexValid = false;
    m_mode = Mode::None;
    m_open = true;
    // Requery reads the same rows again.
    m_sql = QStringLiteral("where:") + column;
    MoveFirst();
    return true;
}

bool CRecordset::OpenKeys(const QList<qint32>& keys)
{
    QList<QVariant> values;
    values.reserve(keys.size());
    for (qint32 key : keys)
        values << QVariant(key);
    return OpenWhere(Fields().Bindings().empty() ? QString() : Fields().Bindings().front().column, values);
}

bool CRecordset::OpenAppendOnly()
{
    const bool open =
        OpenWhere(Fields().Bindings().empty() ? QString() : Fields().Bindings().front().column, QList<QVariant>{});
    m_appendOnly = open;
    return open;
}

void CRecordset::Close()
{
    const QString failure = m_pending.TrySendHeld();
    if (!failure.isEmpty())
        m_lastError = failure;
    m_appendOnly = false;
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
    const QList<QVariant> bindValues = m_bindValues;
    if (sql.startsWith(QLatin1String("where:")))
        return OpenWhere(sql.mid(6), bindValues);
    return OpenRows(sql, bindValues);
}

void CRecordset::OnTransactionRolledBack(quint64 /*transaction*/)
{
    if (m_open && !Requery())
        Close();
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

int CRecordset::RowOfKey(qint64 key)
{
    if (!m_open || key < std::numeric_limits<qint32>::min() || key > std::numeric_limits<qint32>::max())
        return -1;
    if (!m_keyIndexValid) {
        m_keyIndex.clear();
        m_keyIndex.reserve(m_rowCount);
        for (int row = m_rowCount - 1; row >= 0; --row)
            m_keyIndex.insert(CFieldExchange::ToLong(RowValues(row)[0]), row);
        m_keyIndexValid = true;
    }
    const auto it = m_keyIndex.constFind(static_cast<qint32>(key));
    if (it == m_keyIndex.constEnd() || m_deleted[static_cast<size_t>(it.value())])
        return -1;
    return it.value();
}

bool CRecordset::MoveToKey(qint32 key)
{
    const int row = RowOfKey(key);
    if (row < 0)
        return false;
    SetPosition(row);
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

void CRecordset::RefreshCurrentRow()
{
    QSqlDatabase db = Connection();
    ThrowIfNotUsable(db);
    CDatabase::Turn turn(m_pDatabase);
    const auto& bindings = m_fields->Bindings();
    QSqlQuery* query = Statement(QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ?")
                                     .arg(SelectList(db), QuotedTable(db), QuotedColumn(db, bindings[0].column)));
    Finish done{query};
    query->addBindValue(RowValues(m_current)[0]);
    if (!query->exec())
        throw CDBException(query->lastError().text());
    if (!query->next()) {
        if (query->lastError().isValid())
            throw CDBException(query->lastError().text());
        // Gone behind the set's back: the snapshot says so from now on.
        m_deleted[static_cast<size_t>(m_current)] = 1;
        throw CDBException(QStringLiteral("The row with the key %1 of the table \"%2\" no longer exists.")
                               .arg(RowValues(m_current)[0].toString(), TableName()));
    }
    QVariant* row = RowValues(m_current);
    for (size_t c = 0; c < bindings.size(); ++c) {
        const QVariant v = query->value(static_cast<int>(c));
        if (bindings[c].type == CFieldExchange::Type::Long && !CFieldExchange::FitsLong(v))
            throw CDBException(QStringLiteral("The value %1 in the column \"%2\" of the table \"%3\" is outside the "
                                              "range of a 32-bit number.")
                                   .arg(v.toString(), bindings[c].column, TableName()));
        row[c] = v;
    }
    LoadRow(m_current);
}

void CRecordset::Edit()
{
    if (!m_open || m_bof || m_eof || IsDeleted())
        throw CDBException(QStringLiteral("There is no current row to edit."));
    RefreshCurrentRow();
    m_saved.clear();
    for (const auto& b : m_fields->Bindings())
        m_saved.push_back(CFieldExchange::Get(b));
    m_mode = Mode::Edit;
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
    // A server that hands the key back with the insert: the largest key
    // would be another program's row as soon as two insert at once.
    const bool returning = m_pDatabase->ReturnsInsertKeys();
    const QString tail = returning ? QStringLiteral(" RETURNING ") + QuotedColumn(db, bindings[0].column) : QString();
    QSqlQuery* query = nullptr;
    if (columns.empty()) {
        query = Statement(QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(table) + tail);
    } else {
        QStringList names;
        for (size_t c : columns)
            names << QuotedColumn(db, bindings[c].column);
        query = Statement(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                              .arg(table, names.join(QStringLiteral(", ")), Marks(static_cast<int>(columns.size())))
                          + tail);
        for (size_t c : columns)
            query->addBindValue(CFieldExchange::Get(bindings[c]));
    }
    Finish done{query};
    if (!query->exec())
        throw CDBException(query->lastError().text());

    QVariant id;
    if (returning) {
        if (!query->next())
            throw CDBException(query->lastError().text());
        id = query->value(0);
    } else if (db.driver()->hasFeature(QSqlDriver::LastInsertId)) {
        id = query->lastInsertId();
    }
    if (!id.isValid()) {
        // Drivers that cannot tell the new key: the largest key, read inside
        // the same transaction, is the row just written.
        // As text where the driver would cut a wide key to 32 bits.
        const QString largest = m_pDatabase->NarrowsIntegers() ? QStringLiteral("CAST(MAX(%1) AS TEXT)")
                                                               : QStringLiteral("MAX(%1)");
        QSqlQuery* max = Statement(QStringLiteral("SELECT %1 FROM %2")
                                       .arg(largest.arg(QuotedColumn(db, bindings[0].column)), table));
        Finish doneMax{max};
        if (!max->exec() || !max->next())
            throw CDBException(max->lastError().text());
        id = max->value(0);
    }
    if (!CFieldExchange::FitsLong(id)) {
        // The row could never be addressed by its key: it is taken back.
        QSqlQuery undo(db);
        undo.prepare(QStringLiteral("DELETE FROM %1 WHERE %2 = ?").arg(table, QuotedColumn(db, bindings[0].column)));
        undo.addBindValue(id);
        undo.exec();
        throw CDBException(QStringLiteral("The table \"%1\" gave the new row the key %2, outside the range of a "
                                          "32-bit number; the row was not stored.")
                               .arg(TableName(), id.toString()));
    }
    return CFieldExchange::ToLong(id);
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
    if (m_mode == Mode::Add && m_pending.HoldsBack()) {
        m_lastInsertKey = m_pending.Hold(changed);
        m_mode = Mode::None;
        return true;
    }
    QSqlDatabase db = WriteConnection();
    ThrowIfNotUsable(db);
    CDatabase::Turn turn(m_pDatabase);

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
        assignments << QuotedColumn(db, bindings[c].column) + QStringLiteral(" = ?");
    QSqlQuery* query = Statement(QStringLiteral("UPDATE %1 SET %2 WHERE %3 = ?")
                                     .arg(QuotedTable(db), assignments.join(QStringLiteral(", ")),
                                          QuotedColumn(db, bindings[0].column)));
    Finish done{query};
    for (size_t c : changed)
        query->addBindValue(CFieldExchange::Get(bindings[c]));
    query->addBindValue(m_saved[0]);
    if (!query->exec())
        throw CDBException(query->lastError().text());
    if (query->numRowsAffected() == 0) {
        m_deleted[static_cast<size_t>(m_current)] = 1;
        m_mode = Mode::None;
        throw CDBException(QStringLiteral("The row with the key %1 of the table \"%2\" no longer exists; nothing was "
                                          "stored.")
                               .arg(m_saved[0].toString(), TableName()));
    }

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
    QSqlDatabase db = WriteConnection();
    ThrowIfNotUsable(db);
    CDatabase::Turn turn(m_pDatabase);
    const auto& bindings = m_fields->Bindings();
    QSqlQuery* query = Statement(
        QStringLiteral("DELETE FROM %1 WHERE %2 = ?").arg(QuotedTable(db), QuotedColumn(db, bindings[0].column)));
    Finish done{query};
    const QVariant key = RowValues(m_current)[0];
    query->addBindValue(key);
    if (!query->exec())
        throw CDBException(query->lastError().text());
    m_deleted[static_cast<size_t>(m_current)] = 1;
    m_mode = Mode::None;
    if (query->numRowsAffected() == 0)
        throw CDBException(QStringLiteral("The row with the key %1 of the table \"%2\" no longer exists.")
                               .arg(key.toString(), TableName()));
}

bool CRecordset::OpenKey(qint32 key)
{
    return OpenKeys({key});
}

bool CRecordset::ReadKeys(std::vector<qint32>* keys)
{
    const auto& bindings = Fields().Bindings();
    QSqlDatabase db = Connection();
    if (!keys || bindings.empty() || !db.isOpen())
        return false;
    const QString key = escaped(db, bindings.front().column, QSqlDriver::FieldName);
    std::unique_ptr<CDatabase::Turn> turn;
    try {
        turn = std::make_unique<CDatabase::Turn>(m_pDatabase);
    } catch (const CDBException& e) {
        m_lastError = e.m_strError;
        return false;
    }
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
    std::unique_ptr<CDatabase::Turn> turn;
    try {
        turn = std::make_unique<CDatabase::Turn>(m_pDatabase);
    } catch (const CDBException& e) {
        m_lastError = e.m_strError;
        return false;
    }
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

