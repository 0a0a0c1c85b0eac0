#include "CPendingRows.h"

#include "CDBException.h"
#include "CDatabase.h"
#include "CRecordset.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

#include <algorithm>
#include <utility>
#include <vector>

namespace {

struct ThreadRows
{
    std::vector<std::pair<const void*, CPendingRows::Holder*>> holders;
    int keep = 0;
    bool sending = false;
};
thread_local ThreadRows t_rows;

std::vector<CPendingRows::Holder*> holdersOf(const void* source)
{
    std::vector<CPendingRows::Holder*> mine;
    for (const auto& [of, holder] : t_rows.holders) {
        if (of == source)
            mine.push_back(holder);
    }
    return mine;
}

} // namespace

void CPendingRows::Note(const void* source, Holder* holder)
{
    for (const auto& entry : t_rows.holders) {
        if (entry.second == holder)
            return;
    }
    t_rows.holders.emplace_back(source, holder);
}

void CPendingRows::Forget(Holder* holder)
{
    auto& holders = t_rows.holders;
    holders.erase(std::remove_if(holders.begin(), holders.end(), [holder](const auto& e) { return e.second == holder; }),
                  holders.end());
}

bool CPendingRows::Due()
{
    return !t_rows.holders.empty() && t_rows.keep == 0 && !t_rows.sending;
}

void CPendingRows::Send(const void* source)
{
    const std::vector<Holder*> mine = holdersOf(source);
    if (mine.empty())
        return;
    t_rows.sending = true;
    for (Holder* holder : mine) {
        try {
            holder->SendPendingRows();
        } catch (const CDBException&) {
            // The holder spoiled the transaction: the commit reports it.
        }
    }
    t_rows.sending = false;
}

void CPendingRows::Drop(const void* source)
{
    for (Holder* holder : holdersOf(source))
        holder->DropPendingRows();
}

CPendingRows::Keep::Keep()
{
    ++t_rows.keep;
}

CPendingRows::Keep::~Keep()
{
    --t_rows.keep;
}

CPendingRows::CPendingRows(CRecordset& set)
    : m_set(set)
{
}

bool CPendingRows::HoldsBack() const
{
    return m_set.m_appendOnly && !m_noKeySequence && m_set.m_pDatabase->InTransaction()
           && m_set.m_pDatabase->ReturnsInsertKeys();
}

qint32 CPendingRows::DrawnKey(QSqlDatabase& db)
{
    if (m_nextDrawnKey >= m_drawnKeys.size()) {
        m_drawnKeys.clear();
        m_nextDrawnKey = 0;
        // Keys drawn from the sequence are never handed out again, to this
        // program or another, whether the rows come to be stored or not.
        QSqlQuery* query = m_set.Statement(QStringLiteral("SELECT nextval(pg_get_serial_sequence('%1', '%2')) "
                                                    "FROM generate_series(1, %3)")
                                         .arg(m_set.QuotedTable(db), m_set.Fields().Bindings().front().column)
                                         .arg(m_drawBlock));
        CRecordset::Finish done{query};
        if (!query->exec())
            throw CDBException(query->lastError().text());
        while (query->next()) {
            const QVariant key = query->value(0);
            if (key.isNull()) {
                m_noKeySequence = true;
                return 0;
            }
            if (!CFieldExchange::FitsLong(key))
                throw CDBException(QStringLiteral("The table \"%1\" gave the new row the key %2, outside the range "
                                                  "of a 32-bit number; the row was not stored.")
                                       .arg(m_set.TableName(), key.toString()));
            m_drawnKeys.push_back(CFieldExchange::ToLong(key));
        }
        if (m_drawnKeys.empty())
            throw CDBException(query->lastError().text());
        m_drawBlock = std::min(m_drawBlock * 2, 4 * CRecordset::kSendRows);
    }
    return m_drawnKeys[m_nextDrawnKey++];
}

qint32 CPendingRows::Hold(const std::vector<size_t>& columns)
{
    CDatabase::KeepRowsPending keep;
    QSqlDatabase db = m_set.Connection();
    m_set.ThrowIfNotUsable(db);
    CDatabase::Turn turn(m_set.m_pDatabase);
    if (!m_values.empty() && columns != m_columns)
        SendHeld();
    const qint32 key = DrawnKey(db);
    if (key == 0)
        return m_set.InsertRow(db, columns);
    const auto& bindings = m_set.m_fields->Bindings();
    m_columns = columns;
    m_values.push_back(key);
    for (size_t c : columns)
        m_values.push_back(CFieldExchange::Get(bindings[c]));
    m_set.m_pDatabase->NotePendingRows(&m_set);
    if (HeldRows() >= CRecordset::kSendRows)
        SendHeld();
    return key;
}

void CPendingRows::SendHeld()
{
    const int rows = HeldRows();
    if (rows == 0)
        return;
    const std::vector<QVariant> values = std::move(m_values);
    m_values.clear();
    m_set.m_pDatabase->ForgetPendingRows(&m_set);
    try {
        QSqlDatabase db = m_set.WriteConnection();
        m_set.ThrowIfNotUsable(db);
        const auto& bindings = m_set.m_fields->Bindings();
        QStringList names{m_set.QuotedColumn(db, bindings[0].column)};
        for (size_t c : m_columns)
            names << m_set.QuotedColumn(db, bindings[c].column);
        const size_t width = m_columns.size() + 1;
        const QString row = QStringLiteral("(") + CRecordset::Marks(static_cast<int>(width)) + QStringLiteral(")");
        int sent = 0;
        while (sent < rows) {
            // Statements for powers of two only: a few prepared ones serve
            // every number of rows.
            int count = 1;
            while (count * 2 <= rows - sent)
                count *= 2;
            QStringList list;
            for (int i = 0; i < count; ++i)
                list << row;
            // The key is given, as a sequence that always makes its own
            // would otherwise refuse.
            QSqlQuery* query = m_set.Statement(QStringLiteral("INSERT INTO %1 (%2) OVERRIDING SYSTEM VALUE VALUES %3")
                                             .arg(m_set.QuotedTable(db), names.join(QStringLiteral(", ")),
                                                  list.join(QStringLiteral(", "))));
            CRecordset::Finish done{query};
            const size_t from = static_cast<size_t>(sent) * width;
            const size_t to = from + static_cast<size_t>(count) * width;
            for (size_t i = from; i < to; ++i)
                query->addBindValue(values[i]);
            if (!query->exec())
                throw CDBException(query->lastError().text());
            if (query->numRowsAffected() != count)
                throw CDBException(QStringLiteral("The table \"%1\" stored %2 of %3 rows.")
                                       .arg(m_set.TableName())
                                       .arg(query->numRowsAffected())
                                       .arg(count));
            sent += count;
        }
    } catch (const CDBException& e) {
        m_set.m_pDatabase->SpoilTransaction(e.m_strError);
        throw;
    }
}

QString CPendingRows::TrySendHeld()
{
    try {
        SendHeld();
    } catch (const CDBException& e) {
        return e.m_strError;
    }
    return QString();
}

void CPendingRows::DropHeld()
{
    m_values.clear();
    m_set.m_pDatabase->ForgetPendingRows(&m_set);
}
