#include "CZeitschemaStore.h"

#include "CBulkWriter.h"
#include "CFerrold_Handler.h"
#include "CGridBaseDlg.h"
#include "CLanguageHandler.h"
#include "CReaderIdList.h"
#include "CTransaction.h"
#include "CUiMessage.h"
#include "CZeitschemaRules.h"
#include "CtblLeser.h"
#include "CtblTransponder.h"

#include <QHash>
#include <QSqlError>

#include <array>
#include <functional>

namespace {

using Row = CtblZeitschema::structZeitschema;

constexpr unsigned int kSchemaNotFoundText = 79;

// A window's weekdays, Sunday first: to set them, and to compare them.
std::array<int*, 7> dayFields(Row& row)
{
    return {&row.Sonntag, &row.Montag, &row.Dienstag, &row.Mittwoch, &row.Donnerstag, &row.Freitag, &row.Samstag};
}

std::array<int, 7> dayFlags(const Row& row)
{
    return {row.Sonntag, row.Montag, row.Dienstag, row.Mittwoch, row.Donnerstag, row.Freitag, row.Samstag};
}

Row window(const QString& from, const QString& to, int day)
{
    Row row;
    row.Von = from;
    row.Bis = to;
    for (int* field : dayFields(row))
        *field = day;
    return row;
}

// A window's times and weekdays into a cached row, or into the record
// set's row being written.
void copyWindow(Row& target, const Row& from)
{
    target.Von = from.Von;
    target.Bis = from.Bis;
    const std::array<int, 7> days = dayFlags(from);
    const std::array<int*, 7> fields = dayFields(target);
    for (std::size_t d = 0; d < days.size(); ++d)
        *fields[d] = days[d];
}

void writeWindow(CtblZeitschema& set, const Row& from)
{
    set.strVon = from.Von;
    set.strBis = from.Bis;
    set.boolSonntag = from.Sonntag;
    set.boolMontag = from.Montag;
    set.boolDienstag = from.Dienstag;
    set.boolMittwoch = from.Mittwoch;
    set.boolDonnerstag = from.Donnerstag;
    set.boolFreitag = from.Freitag;
    set.boolSamstag = from.Samstag;
}

// Its refusals end in a box: they speak the boxes' language.
QString text(unsigned int number)
{
    const CLanguageHandler* language = CUiMessage::Language();
    return language ? language->GetLangItem(number) : QString();
}

// Closes the record sets a write used, whatever way it leaves: a set left
// open would show rows a rollback has taken back.
class CloseOnExit
{
public:
    explicit CloseOnExit(std::initializer_list<CFerrold_Base*> sets) : m_sets(sets) {}
    ~CloseOnExit()
    {
        for (CFerrold_Base* set : m_sets)
            set->CloseRecordset();
    }

private:
    std::vector<CFerrold_Base*> m_sets;
};

} // namespace

// What a write changes in the caches once it is committed.
struct CZeitschemaStore::Pending
{
    QSet<qint32> readersToMark;        // read from the lists of the transponders concerned
    QSet<qint32> markedTransponders;   // by ID
    QHash<qint32, qint32> moved;       // transponder ID -> its new schema
    QSet<qint32> markedReaders;        // by ID
    std::function<void()> schemaCache; // the schema cache's own change
};

CZeitschemaStore::CZeitschemaStore(CFerrold_Handler* db)
    : m_pDb(db)
{
}

int CZeitschemaStore::SchemaCount() const
{
    return m_pDb ? m_pDb->Get_Ptr_To_tblZeitschema()->GetAnz_Zeitschema() / kRowsPerSchema : 0;
}

const CZeitschemaStore::Row* CZeitschemaStore::FirstRow(int schema) const
{
    if (schema < 0 || schema >= SchemaCount())
        return nullptr;
    return m_pDb->Get_Ptr_To_tblZeitschema()->Get_Zeitschema(schema * kRowsPerSchema);
}

qint32 CZeitschemaStore::Identity(int schema) const
{
    const Row* row = FirstRow(schema);
    return row ? row->ID_Zeitschema : 0;
}

QString CZeitschemaStore::Name(int schema) const
{
    const Row* row = FirstRow(schema);
    return row ? row->Bezeichnung : QString();
}

int CZeitschemaStore::SchemaOfIdentity(qint32 identity) const
{
    for (int s = 0; s < SchemaCount(); ++s) {
        if (Identity(s) == identity)
            return s;
    }
    return -1;
}

qint32 CZeitschemaStore::FullAccessIdentity() const
{
    for (int s = 0; s < SchemaCount(); ++s) {
        if (CZeitschemaRules::IsFullAccessName(Name(s)))
            return Identity(s);
    }
    return 1;
}

bool CZeitschemaStore::IsProtected(int schema) const
{
    return schema == 0 || CZeitschemaRules::IsFullAccessName(Name(schema))
           || (FirstRow(schema) && Identity(schema) == FullAccessIdentity());
}

QStringList CZeitschemaStore::NamesExcept(int schema) const
{
    QStringList names;
    for (int s = 0; s < SchemaCount(); ++s) {
        if (s != schema)
            names << Name(s);
    }
    return names;
}

QList<qint32> CZeitschemaStore::RowIds(int schema) const
{
    QList<qint32> ids;
    CtblZeitschema* table = m_pDb->Get_Ptr_To_tblZeitschema();
    for (int r = 0; r < kRowsPerSchema; ++r)
        ids << table->Get_Zeitschema(schema * kRowsPerSchema + r)->ID_Zeitschema;
    return ids;
}

bool CZeitschemaStore::OpenFailed(const QString& error)
{
    m_failure = Failure::Open;
    m_strError = error;
    return false;
}

bool CZeitschemaStore::Refused()
{
    m_failure = Failure::Write;
    m_strError.clear();
    return false;
}

bool CZeitschemaStore::Transact(Pending& pending, const std::function<bool(Pending&)>& write)
{
    m_failure = Failure::None;
    m_strError.clear();
    if (!m_pDb)
        return OpenFailed(QString());
    CDatabase* database = m_pDb->GetDatabase();
    QString error;
    if (!database->Connection(&error).isOpen())
        return OpenFailed(error);
    bool ok = false;
    {
        CTransaction transaction(database);
        try {
            CloseOnExit close({m_pDb->Get_Ptr_To_tblZeitschema(), m_pDb->Get_Ptr_To_tblTransponder(),
                               m_pDb->Get_Ptr_To_tblLeser()});
            if (!transaction.IsActive())
                throw CDBException(transaction.GetError());
            ok = write(pending);
            if (ok && !transaction.Commit())
                throw CDBException(transaction.GetError());
        } catch (const CDBException& e) {
            ok = false;
            m_failure = Failure::Write;
            m_strError = e.m_strError;
        } catch (const std::exception& e) {
            ok = false;
            m_failure = Failure::Write;
            m_strError = QString::fromLocal8Bit(e.what());
        }
    }
    if (!ok) {
        if (m_failure == Failure::None)
            m_failure = Failure::Write;
        return false;
    }
    Apply(pending);
    m_nMarkedTransponders = int(pending.markedTransponders.size() + pending.moved.size());
    m_nMarkedReaders = int(pending.markedReaders.size());
    return true;
}

void CZeitschemaStore::Apply(const Pending& pending)
{
    if (!pending.markedTransponders.isEmpty() || !pending.moved.isEmpty()) {
        CtblTransponder* transponders = m_pDb->Get_Ptr_To_tblTransponder();
        for (int i = 0; i < transponders->GetAnz_Transponder(); ++i) {
            CtblTransponder::structTransponder* row = transponders->Get_Transponder(i);
            if (const auto it = pending.moved.constFind(row->ID_Transponder); it != pending.moved.constEnd()) {
                row->Zeitfenster_ID = it.value();
                row->UpdateOK = 1;
            } else if (pending.markedTransponders.contains(row->ID_Transponder)) {
                row->UpdateOK = 1;
            }
        }
    }
    if (!pending.markedReaders.isEmpty()) {
        CtblLeser* readers = m_pDb->Get_Ptr_To_tblLeser();
        for (int i = 0; i < readers->GetAnz_Leser(); ++i) {
            if (pending.markedReaders.contains(readers->Get_Leser(i)->ID_Leser))
                readers->Get_Leser(i)->UpdateOK = 1;
        }
    }
    if (pending.schemaCache)
        pending.schemaCache();
}

void CZeitschemaStore::RequerySchemas()
{
    // An empty table reads as 0 too; only a failed read is one.
    CtblZeitschema* schemas = m_pDb->Get_Ptr_To_tblZeitschema();
    schemas->_Requery();
}

bool CZeitschemaStore::GroupIsWhole(const QList<qint32>& ids)
{
    // Another PC may have broken the group since the cache was read: its
    // rows as stored, inside the write's transaction.
    CtblZeitschema* schemas = m_pDb->Get_Ptr_To_tblZeitschema();
    std::vector<std::pair<qint32, QString>> stored;
    if (!CBulkWriter(*schemas).ReadForWrite(QStringLiteral("strBezeichnung"), &stored, &ids))
        return OpenFailed(schemas->GetLastError());
    bool whole = stored.size() == std::size_t(kRowsPerSchema);
    for (std::size_t r = 1; whole && r < stored.size(); ++r)
        whole = stored[r].first == stored[0].first + qint32(r) && stored[r].second == stored[0].second;
    if (!whole)
        throw CDBException(text(CtblZeitschema::kBrokenGroupsText)
                               .arg(stored.empty() ? QString() : stored[0].second));
    return true;
}

bool CZeitschemaStore::WriteSchemaRows(const QList<qint32>& ids, const std::function<void(CtblZeitschema&)>& set)
{
    CtblZeitschema* schemas = m_pDb->Get_Ptr_To_tblZeitschema();
    for (qint32 id : ids) {
        if (!schemas->OpenKey(id))
            return OpenFailed(schemas->GetLastError());
        if (schemas->IsEOF())
            throw CDBException(text(kSchemaNotFoundText));
        schemas->Edit();
        set(*schemas);
        schemas->Update();
        schemas->Close();
    }
    return true;
}

bool CZeitschemaStore::ReadUsers(const QString& where, Pending& pending, QList<QVariant>* schemasUsed)
{
    CtblTransponder* transponders = m_pDb->Get_Ptr_To_tblTransponder();
    QSet<qint32> used;
    const bool ok = transponders->ReadRows(
        QStringLiteral("SELECT * FROM \"tblTransponder\" WHERE %1").arg(where), [&](const QVariant* values) {
            // Bound in this order: ID, number, person, schema, readers, index, mark.
            pending.markedTransponders.insert(CFieldExchange::ToLong(values[0]));
            used.insert(CFieldExchange::ToLong(values[3]));
            for (qint32 reader : CReaderIdList(CFieldExchange::ToText(values[4])).Readers())
                pending.readersToMark.insert(reader);
        });
    if (!ok)
        return OpenFailed(transponders->GetLastError());
    if (schemasUsed) {
        for (qint32 id : std::as_const(used))
            schemasUsed->append(id);
    }
    return true;
}

bool CZeitschemaStore::MarkUsersOf(qint32 identity, Pending& pending)
{
    if (!ReadUsers(QStringLiteral("\"Zeitfenster_ID\" = %1").arg(identity), pending, nullptr))
        return false;
    const std::vector<QVariant> schema = {identity};
    CBulkWriter(*m_pDb->Get_Ptr_To_tblTransponder()).UpdateWhere(QStringLiteral("boolUpdateOK"), 1, QStringLiteral("Zeitfenster_ID"),
                                                    &schema);
    return true;
}

bool CZeitschemaStore::MoveToFullAccess(const QString& where, Pending& pending)
{
    const qint32 fullAccess = FullAccessIdentity();
    QList<QVariant> used;
    Pending found;
    if (!ReadUsers(where, found, &used))
        return false;
    pending.readersToMark.unite(found.readersToMark);
    for (qint32 id : std::as_const(found.markedTransponders))
        pending.moved.insert(id, fullAccess);
    if (used.isEmpty())
        return true;
    // Marked first: the move takes them off the schemas they are found by.
    const std::vector<QVariant> schemas(used.begin(), used.end());
    CtblTransponder* transponders = m_pDb->Get_Ptr_To_tblTransponder();
    CBulkWriter(*transponders).UpdateWhere(QStringLiteral("boolUpdateOK"), 1, QStringLiteral("Zeitfenster_ID"), &schemas);
    CBulkWriter(*transponders).UpdateWhere(QStringLiteral("Zeitfenster_ID"), fullAccess, QStringLiteral("Zeitfenster_ID"), &schemas);
    return true;
}

bool CZeitschemaStore::MarkReaders(Pending& pending)
{
    if (pending.readersToMark.isEmpty())
        return true;
    // A list may name a reader that is gone: only those the cache holds count.
    CtblLeser* readers = m_pDb->Get_Ptr_To_tblLeser();
    for (int i = 0; i < readers->GetAnz_Leser(); ++i) {
        if (pending.readersToMark.contains(readers->Get_Leser(i)->ID_Leser))
            pending.markedReaders.insert(readers->Get_Leser(i)->ID_Leser);
    }
    std::vector<QVariant> ids;
    ids.reserve(std::size_t(pending.readersToMark.size()));
    for (qint32 id : std::as_const(pending.readersToMark))
        ids.push_back(id);
    std::sort(ids.begin(), ids.end(), [](const QVariant& a, const QVariant& b) { return a.toInt() < b.toInt(); });
    CBulkWriter(*readers).UpdateWhere(QStringLiteral("boolUpdateOK"), 1, QStringLiteral("ID_Leser"), &ids);
    return true;
}

qint32 CZeitschemaStore::AddRows(const QString& name, const std::function<void(CtblZeitschema&, int row)>& set)
{
    CtblZeitschema* schemas = m_pDb->Get_Ptr_To_tblZeitschema();
    if (!schemas->Open()) {
        OpenFailed(schemas->GetLastError());
        return 0;
    }
    // The four rows need consecutive keys: no other writer may insert in
    // between (a server hands out keys to all writers from one sequence).
    CBulkWriter(*schemas).LockTable();
    qint32 identity = 0;
    for (int r = 0; r < kRowsPerSchema; ++r) {
        schemas->AddNew();
        schemas->strBezeichnung = name;
        set(*schemas, r);
        schemas->Update();
        const qint32 key = schemas->GetLastInsertKey();
        if (r == 0)
            identity = key;
        else if (key != identity + r)
            throw CDBException(text(CtblZeitschema::kBrokenGroupsText).arg(name));
    }
    schemas->Close();
    return identity;
}

bool CZeitschemaStore::DeleteRows(const QList<qint32>& ids, int* deleted)
{
    QString refused;
    const std::vector<qint32> keys(ids.begin(), ids.end());
    const std::vector<qint32> gone =
        CBulkWriter(*m_pDb->Get_Ptr_To_tblZeitschema()).DeleteKeys(keys, [&refused](qint32, const QString& reason) {
            if (!reason.isEmpty() && refused.isEmpty())
                refused = reason;
        });
    // A schema goes whole or not at all: one refused row keeps all four.
    if (!refused.isEmpty())
        throw CDBException(refused);
    *deleted = int(gone.size());
    return true;
}

bool CZeitschemaStore::Rename(int schema, const QString& name)
{
    if (!FirstRow(schema) || IsProtected(schema))
        return Refused();
    const QList<qint32> ids = RowIds(schema);
    Pending pending;
    pending.schemaCache = [this, schema, name] {
        CtblZeitschema* schemas = m_pDb->Get_Ptr_To_tblZeitschema();
        for (int r = 0; r < kRowsPerSchema; ++r)
            schemas->Get_Zeitschema(schema * kRowsPerSchema + r)->Bezeichnung = name;
    };
    return Transact(pending, [&](Pending&) {
        return GroupIsWhole(ids) && WriteSchemaRows(ids, [&](CtblZeitschema& set) { set.strBezeichnung = name; });
    });
}

bool CZeitschemaStore::StoreCell(int schema, int row, int column, const QString& value)
{
    if (!FirstRow(schema) || IsProtected(schema) || row < 0 || row >= kRowsPerSchema || column < 4 || column > 14)
        return Refused();
    CtblZeitschema* schemas = m_pDb->Get_Ptr_To_tblZeitschema();
    const Row current = *schemas->Get_Zeitschema(schema * kRowsPerSchema + row);
    // A window that was stored malformed by other means is made whole by
    // the first edit, so what goes to the readers is always "HHMM".
    auto part = [](const QString& time, int from, int maximum) {
        return CZeitschemaRules::TwoDigitField(time.mid(from, 2), maximum).value_or(QStringLiteral("00"));
    };
    Row changed = current;
    const int weekday = CZeitschemaRules::WeekdayOfColumn(column);
    if (column >= 4 && column <= 7) {
        const std::optional<QString> two = CZeitschemaRules::TwoDigitField(value, column % 2 == 0 ? 23 : 59);
        if (!two)
            return Refused();
        QString& time = column <= 5 ? changed.Von : changed.Bis;
        const QString hour = column % 2 == 0 ? *two : part(time, 0, 23);
        const QString minute = column % 2 == 1 ? *two : part(time, 2, 59);
        time = hour + minute;
    } else {
        *dayFields(changed)[std::size_t(weekday)] = value == QLatin1String("1") ? 1 : 0;
    }
    if (changed.Von == current.Von && changed.Bis == current.Bis && dayFlags(changed) == dayFlags(current)) {
        m_failure = Failure::None;
        m_nMarkedTransponders = m_nMarkedReaders = 0;
        return true;
    }

    const qint32 identity = Identity(schema);
    const qint32 rowId = current.ID_Zeitschema;
    Pending pending;
    pending.schemaCache = [this, schema, row, changed] {
        CtblZeitschema* table = m_pDb->Get_Ptr_To_tblZeitschema();
        table->Get_Zeitschema(schema * kRowsPerSchema)->UpdateOK = 1;
        Row* target = table->Get_Zeitschema(schema * kRowsPerSchema + row);
        copyWindow(*target, changed);
        target->UpdateOK = 1;
    };
    return Transact(pending, [&](Pending& p) {
        // The table marks the schema by its first row; the cache marks the
        // edited row too, until the next re-read.
        return GroupIsWhole(RowIds(schema))
               && WriteSchemaRows({identity}, [](CtblZeitschema& set) { set.boolUpdateOK = 1; })
               && MarkUsersOf(identity, p) && MarkReaders(p)
               && WriteSchemaRows({rowId}, [&](CtblZeitschema& set) { writeWindow(set, changed); });
    });
}

qint32 CZeitschemaStore::Add(const QString& name)
{
    qint32 identity = 0;
    Pending pending;
    pending.schemaCache = [this] { RequerySchemas(); };
    const bool ok = Transact(pending, [&](Pending&) {
        identity = AddRows(name, [](CtblZeitschema& set, int) {
            writeWindow(set, window(QStringLiteral("0000"), QStringLiteral("2359"), 1));
            set.boolUpdateOK = 0;
        });
        return identity != 0;
    });
    return ok ? identity : 0;
}

qint32 CZeitschemaStore::Copy(int schema, const QString& name)
{
    if (!FirstRow(schema)) {
        Refused();
        return 0;
    }
    // The windows as they are now: the rows are copied, not looked up again.
    std::vector<Row> rows;
    CtblZeitschema* table = m_pDb->Get_Ptr_To_tblZeitschema();
    for (int r = 0; r < kRowsPerSchema; ++r)
        rows.push_back(*table->Get_Zeitschema(schema * kRowsPerSchema + r));
    qint32 identity = 0;
    Pending pending;
    pending.schemaCache = [this] { RequerySchemas(); };
    const bool ok = Transact(pending, [&](Pending&) {
        identity = AddRows(name, [&rows](CtblZeitschema& set, int r) {
            writeWindow(set, rows[std::size_t(r)]);
            set.boolUpdateOK = 0;
        });
        return identity != 0;
    });
    return ok ? identity : 0;
}

bool CZeitschemaStore::Reset(int schema)
{
    if (!FirstRow(schema) || IsProtected(schema))
        return Refused();
    const QList<qint32> ids = RowIds(schema);
    const qint32 identity = Identity(schema);
    const Row closed = window(QStringLiteral("0000"), QStringLiteral("0000"), 0);
    Pending pending;
    pending.schemaCache = [this, schema, closed] {
        CtblZeitschema* table = m_pDb->Get_Ptr_To_tblZeitschema();
        for (int r = 0; r < kRowsPerSchema; ++r) {
            Row* row = table->Get_Zeitschema(schema * kRowsPerSchema + r);
            copyWindow(*row, closed);
            row->UpdateOK = 1;
        }
    };
    return Transact(pending, [&](Pending& p) {
        return GroupIsWhole(ids)
               && WriteSchemaRows(ids,
                               [&closed](CtblZeitschema& set) {
                                   writeWindow(set, closed);
                                   set.boolUpdateOK = 1;
                               })
               && MarkUsersOf(identity, p) && MarkReaders(p);
    });
}

CZeitschemaStore::DeleteOutcome CZeitschemaStore::Delete(const QList<qint32>& identities)
{
    DeleteOutcome outcome;
    int totalTransponders = 0;
    QSet<qint32> allReaders;
    for (qint32 identity : identities) {
        const int schema = SchemaOfIdentity(identity);
        if (schema < 0 || IsProtected(schema))
            continue;
        const QList<qint32> ids = RowIds(schema);
        const qint32 fullAccess = FullAccessIdentity();
        int deleted = 0;
        Pending pending;
        pending.schemaCache = [this, identity] {
            const int s = SchemaOfIdentity(identity);
            CtblZeitschema* table = m_pDb->Get_Ptr_To_tblZeitschema();
            for (int r = 0; s >= 0 && r < kRowsPerSchema; ++r)
                table->RemoveAt(s * kRowsPerSchema);
        };
        const bool ok = Transact(pending, [&](Pending& p) {
            return GroupIsWhole(ids) && DeleteRows(ids, &deleted)
                   && MoveToFullAccess(QStringLiteral("\"Zeitfenster_ID\" = %1 AND \"Zeitfenster_ID\" <> %2")
                                           .arg(identity)
                                           .arg(fullAccess),
                                       p)
                   && MarkReaders(p);
        });
        if (!ok && m_failure == Failure::Open) {
            outcome.openFailed = true;
            break;
        }
        if (!ok) {
            outcome.failed << identity;
            outcome.errors << m_strError;
            continue;
        }
        totalTransponders += m_nMarkedTransponders;
        allReaders.unite(pending.markedReaders);
        (deleted == 0 ? outcome.notFound : outcome.deleted) << identity;
    }
    m_nMarkedTransponders = totalTransponders;
    m_nMarkedReaders = int(allReaders.size());
    return outcome;
}

CZeitschemaStore::DeleteOutcome CZeitschemaStore::DeleteAllButProtected()
{
    DeleteOutcome outcome;
    QSet<qint32> keptRows;
    QStringList kept;
    QList<qint32> doomed;
    for (int s = 0; s < SchemaCount(); ++s) {
        if (IsProtected(s)) {
            for (qint32 id : RowIds(s))
                keptRows.insert(id);
            kept << QString::number(Identity(s));
        } else {
            doomed << Identity(s);
        }
    }
    const qint32 fullAccess = FullAccessIdentity();
    if (!kept.contains(QString::number(fullAccess)))
        kept << QString::number(fullAccess);
    Pending pending;
    pending.schemaCache = [this] { RequerySchemas(); };
    const bool ok = Transact(pending, [&](Pending& p) {
        // Rows of the table that no kept schema owns go, also those the
        // cache does not know.
        CtblZeitschema* schemas = m_pDb->Get_Ptr_To_tblZeitschema();
        std::vector<qint32> keys;
        if (!schemas->ReadKeys(&keys))
            return OpenFailed(schemas->GetLastError());
        QList<qint32> doomedRows;
        for (qint32 key : keys) {
            if (!keptRows.contains(key))
                doomedRows << key;
        }
        int deleted = 0;
        if (!DeleteRows(doomedRows, &deleted))
            return false;
        return MoveToFullAccess(QStringLiteral("\"Zeitfenster_ID\" NOT IN (%1)").arg(kept.join(u',')), p)
               && MarkReaders(p);
    });
    if (!ok) {
        outcome.openFailed = m_failure == Failure::Open;
        if (!outcome.openFailed) {
            outcome.failed = doomed;
            outcome.errors << m_strError;
        }
        return outcome;
    }
    outcome.deleted = doomed;
    return outcome;
}
