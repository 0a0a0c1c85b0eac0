#include "CDatabase.h"

#include "CConnectionOpener.h"
#include "CDBException.h"
#include "CFileWatch.h"
#include "CLockWait.h"
#include "CLockWaitObserver.h"
#include "CReconnectWatch.h"
#include "CRecordset.h"
#include "CRecordsetRegistry.h"
#include "CServerWaitLimit.h"
#include "CStatementCache.h"
#include "CThreadTransactions.h"
#include "CTurnQueue.h"

#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <sql.h>
#include <sqlext.h>
#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <vector>

struct CDatabase::State
{
    explicit State(const Source& source)
        : opener(source)
        , fileWatch(source.location)
    {
    }

    // Guards the fields up to the pieces; each piece guards itself.
    std::mutex mutex;
    quint64 serial = 0;
    QString unusable;
    std::vector<QString> connections; // every connection made, on any thread
    // Known once a connection was made.
    CConnectionOpener::Traits traits;
    bool traitsKnown = false;

    CConnectionOpener opener;
    CStatementCache statements;
    CReconnectWatch reconnect;
    CFileWatch fileWatch;
    CThreadTransactions transactions;
    CTurnQueue turns;
    CRecordsetRegistry recordsets;
    CServerWaitLimit waitLimit;
    std::atomic<int> lockWaitMs{CLockWait::kDefaultBoundMs};
    std::mutex observerMutex;
    std::shared_ptr<CLockWaitObserver> lockObserver;

    std::shared_ptr<CLockWaitObserver> LockObserver()
    {
        std::lock_guard<std::mutex> lock(observerMutex);
        return lockObserver;
    }

    void DropConnection(const QString& name)
    {
        fileWatch.Forget(name);
        statements.Forget(name);
        reconnect.Forget(name);
        waitLimit.Forget(name);
        QSqlDatabase::removeDatabase(name);
    }
};

namespace {

std::atomic<quint64> g_nextSerial{0};

quint64 threadSerial()
{
    static std::atomic<quint64> next{0};
    thread_local const quint64 serial = ++next;
    return serial;
}

// Removes the connections a thread made when the thread ends, unless their
// data source is gone already (it removed them itself).
struct ThreadConnections
{
    struct Entry
    {
        std::weak_ptr<CDatabase::State> state;
        QString name;
    };
    std::vector<Entry> entries;

    ~ThreadConnections()
    {
        for (auto& e : entries) {
            auto state = e.state.lock();
            if (!state)
                continue;
            std::lock_guard<std::mutex> lock(state->mutex);
            auto& list = state->connections;
            auto it = std::find(list.begin(), list.end(), e.name);
            if (it != list.end()) {
                list.erase(it);
                state->DropConnection(e.name);
            }
        }
    }
};

thread_local ThreadConnections t_connections;

const char* const kTransactionLost =
    "The connection to the database server was lost; the server has undone the changes of the running "
    "transaction.";
const char* const kTurnNotGiven =
    "database is locked: another part of this program did not finish its work on the database.";

// SQLite asks here each time a statement meets another connection's lock,
// so the step's bound holds across all of its statements.
int busyTurn(void* context, int attempt)
{
    auto* state = static_cast<CDatabase::State*>(context);
    return CLockWait::WaitTurn(attempt, state->lockWaitMs.load(), state->LockObserver()) ? 1 : 0;
}

// When each savepoint of the calling thread was set (a part undone on a
// server counts as waited).
thread_local std::map<int, std::chrono::steady_clock::time_point> t_savepointSet;

int elapsedMs(std::chrono::steady_clock::time_point since)
{
    return int(std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - since).count());
}

} // namespace

void* CDatabase::OdbcConnectionHandle(const QSqlDatabase& db)
{
    return CConnectionOpener::OdbcConnectionHandle(db);
}

QStringList CDatabase::OdbcDataSources()
{
    return CConnectionOpener::OdbcDataSources();
}

CDatabase::CDatabase(Source source)
    : m_source(std::move(source))
    , m_state(std::make_shared<State>(m_source))
{
    m_state->serial = ++g_nextSerial;
}

CDatabase::~CDatabase()
{
    std::lock_guard<std::mutex> lock(m_state->mutex);
    for (const QString& name : m_state->connections)
        m_state->DropConnection(name);
    m_state->connections.clear();
}

QSqlDatabase CDatabase::Connection(QString* error)
{
    // Whatever uses the connection next sees the rows held back as stored.
    if (CPendingRows::Due())
        CPendingRows::Send(m_state.get());
    const QString refusal = Refusal();
    if (!refusal.isEmpty()) {
        if (error)
            *error = refusal;
        return {};
    }
    const QString name = ConnectionName();
    QSqlDatabase db = QSqlDatabase::contains(name) ? Reuse(name, error) : OpenNew(name, error);
    if (db.isOpen() && m_source.kind == Kind::Odbc && !InTransaction())
        ApplyWaitLimit(db);
    return db;
}

QString CDatabase::Refusal() const
{
    {
        std::lock_guard<std::mutex> lock(m_state->mutex);
        if (!m_state->unusable.isEmpty())
            return m_state->unusable;
    }
    if (m_state->transactions.IsLost(threadSerial()))
        return QLatin1String(kTransactionLost);
    return m_state->transactions.Spoiled(threadSerial());
}

QSqlDatabase CDatabase::Reuse(const QString& name, QString* error)
{
    QSqlDatabase db = QSqlDatabase::database(name, false);
    const bool inTransaction = InTransaction();
    if (db.isOpen() && m_source.kind == Kind::Sqlite && !inTransaction
        && m_state->fileWatch.Replaced(name, m_state->reconnect.IdleCheckMs())) {
        // Another program put a new file in place (a restore in another
        // instance): this connection still holds the old one, whose writes
        // would fail as read-only and whose reads are stale.
        m_state->statements.Forget(name);
        db.close();
        if (!db.open()) {
            if (error)
                *error = db.lastError().text();
            return {};
        }
        WatchLocks(db);
        m_state->fileWatch.Reopened(name);
        return db;
    }
    if (db.isOpen() && IsServer() && !m_state->reconnect.StillConnected(db, inTransaction)) {
        m_state->reconnect.MarkLost(name);
        if (inTransaction) {
            // Opening anew here would let the rest of the transaction run
            // without it, each statement stored on its own.
            m_state->transactions.MarkLost(threadSerial());
            if (error)
                *error = QLatin1String(kTransactionLost);
            return {};
        }
        // Statements prepared on the lost connection die with it.
        m_state->statements.Forget(name);
        db.close();
    }
    if (db.isOpen()) {
        m_state->reconnect.HandedOut(name);
        return db;
    }
    if (db.open()) {
        m_state->waitLimit.Forget(name);
        WatchLocks(db);
        m_state->reconnect.HandedOut(name);
        return db;
    }
    if (error)
        *error = db.lastError().text();
    return {};
}

QSqlDatabase CDatabase::OpenNew(const QString& name, QString* error)
{
    QSqlDatabase db = m_state->opener.Open(name, error);
    if (!db.isOpen())
        return {};
    WatchLocks(db);
    const CConnectionOpener::Traits traits = m_state->opener.Inspect(db);
    if (traits.keepsOneFile && TakeTurn()) {
        CConnectionOpener::UseRollbackJournal(db);
        GiveTurn();
    }
    if (m_source.kind == Kind::Sqlite)
        m_state->fileWatch.Opened(name);
    m_state->reconnect.HandedOut(name);
    {
        std::lock_guard<std::mutex> lock(m_state->mutex);
        // A table found once stays the one to lock, and a driver found to
        // cut integers stays suspect, even if a later connection's look
        // fails.
        const QString lockTable = m_state->traits.lockTable;
        const bool narrows = m_state->traits.narrowsIntegers;
        m_state->traits = traits;
        if (traits.lockTable.isEmpty())
            m_state->traits.lockTable = lockTable;
        m_state->traits.narrowsIntegers = narrows || traits.narrowsIntegers;
        m_state->traitsKnown = true;
        m_state->connections.push_back(name);
    }
    t_connections.entries.push_back({m_state, name});
    return db;
}

void CDatabase::WatchLocks(QSqlDatabase& db)
{
    if (m_source.kind != Kind::Sqlite)
        return;
    // Replaces the driver's own busy timeout, which bounds each statement
    // alone.
    const QVariant handle = db.driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return;
    if (sqlite3* file = *static_cast<sqlite3* const*>(handle.constData()))
        sqlite3_busy_handler(file, &busyTurn, m_state.get());
}

void CDatabase::ApplyWaitLimit(QSqlDatabase& db)
{
    // The SQLite ODBC driver retries a locked statement itself for its data
    // source's timeout, whatever the connection is told.
    if (!ReturnsInsertKeys())
        return;
    const QString sql =
        m_state->waitLimit.Statement(db.connectionName(), CLockWait::RemainingMs(m_state->lockWaitMs.load()));
    if (sql.isEmpty())
        return;
    QSqlQuery set(db);
    set.exec(sql);
}

void CDatabase::SetReplacedHandler(std::function<void()> handler)
{
    m_state->fileWatch.SetHandler(std::move(handler));
}

void CDatabase::SetReconnectHandler(std::function<void()> handler)
{
    m_state->reconnect.SetHandler(std::move(handler));
}

void CDatabase::SetLockWaitMs(int milliseconds)
{
    m_state->lockWaitMs = std::max(0, milliseconds);
}

int CDatabase::LockWaitMs() const
{
    return m_state->lockWaitMs.load();
}

void CDatabase::SetLockWaitObserver(std::shared_ptr<CLockWaitObserver> observer)
{
    std::lock_guard<std::mutex> lock(m_state->observerMutex);
    m_state->lockObserver = std::move(observer);
}

void CDatabase::NoteWrite()
{
    if (m_source.kind == Kind::Odbc)
        CLockWait::MayWait(m_state->LockObserver());
}

void CDatabase::SetIdleCheckMs(int milliseconds)
{
    m_state->reconnect.SetIdleCheckMs(milliseconds);
}

bool CDatabase::IsReadOnly()
{
    if (m_source.kind != Kind::Sqlite)
        return false;
    QSqlDatabase db = Connection();
    if (!db.isOpen())
        return false;
    // SQLite opens a file it may not write for reading, without a word.
    const QVariant handle = db.driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return false;
    sqlite3* file = *static_cast<sqlite3* const*>(handle.constData());
    return file && sqlite3_db_readonly(file, "main") == 1;
}

bool CDatabase::IsServer()
{
    if (m_source.kind != Kind::Odbc)
        return false;
    {
        std::lock_guard<std::mutex> lock(m_state->mutex);
        if (m_state->traitsKnown)
            return m_state->traits.server;
    }
    // Known once a connection was made.
    Connection();
    std::lock_guard<std::mutex> lock(m_state->mutex);
    return m_state->traitsKnown && m_state->traits.server;
}

bool CDatabase::ReturnsInsertKeys()
{
    if (!IsServer())
        return false;
    std::lock_guard<std::mutex> lock(m_state->mutex);
    return m_state->traits.returnsInsertKeys;
}

bool CDatabase::NarrowsIntegers() const
{
    std::lock_guard<std::mutex> lock(m_state->mutex);
    return m_state->traits.narrowsIntegers;
}

QSqlQuery* CDatabase::Prepared(const QString& sql, QString* error)
{
    QSqlDatabase db = Connection(error);
    if (!db.isOpen())
        return nullptr;
    const QString name = db.connectionName();
    if (QSqlQuery* kept = m_state->statements.Find(name, sql))
        return kept;
    auto query = std::make_unique<QSqlQuery>(db);
    if (!query->prepare(sql)) {
        if (error)
            *error = query->lastError().text();
        return nullptr;
    }
    return m_state->statements.Keep(name, sql, std::move(query));
}

void CDatabase::MarkUnusable(const QString& reason)
{
    std::lock_guard<std::mutex> lock(m_state->mutex);
    m_state->unusable = reason.isEmpty() ? QStringLiteral("The data source cannot be used.") : reason;
}

bool CDatabase::IsUsable() const
{
    std::lock_guard<std::mutex> lock(m_state->mutex);
    return m_state->unusable.isEmpty();
}

bool CDatabase::Exec(const QString& sql, QString* error)
{
    QSqlDatabase db = Connection(error);
    if (!db.isOpen())
        return false;
    QSqlQuery query(db);
    if (query.exec(sql))
        return true;
    if (error)
        *error = query.lastError().text();
    return false;
}

bool CDatabase::TakeTurn()
{
    return m_state->turns.Take(threadSerial(), kTurnWaitMs);
}

void CDatabase::GiveTurn()
{
    m_state->turns.Give(threadSerial());
}

CDatabase::Turn::Turn(CDatabase* pDatabase)
    : m_pDatabase(pDatabase && pDatabase->TakeTurn() ? pDatabase : nullptr)
{
    if (!m_pDatabase)
        throw CDBException(QLatin1String(kTurnNotGiven));
}

CDatabase::Turn::~Turn()
{
    m_pDatabase->GiveTurn();
}

bool CDatabase::BeginTrans(QString* error)
{
    // Begun outside a step (a worker, start-up), the transaction is a step
    // of its own: its waits share one bound, from its begin on.
    std::unique_ptr<CLockWait::Step> ownStep;
    if (!CLockWait::InStep())
        ownStep = std::make_unique<CLockWait::Step>();
    QSqlDatabase db = Connection(error);
    if (!db.isOpen())
        return false;
    if (InTransaction()) {
        if (error)
            *error = QStringLiteral("A transaction is running already.");
        return false;
    }
    if (!TakeTurn()) {
        if (error)
            *error = QLatin1String(kTurnNotGiven);
        return false;
    }
    // A server waits inside its statements without a word: from here on
    // the step may be waiting.
    NoteWrite();
    if (!BeginOnConnection(db, error)) {
        GiveTurn();
        return false;
    }
    m_state->transactions.Begin(threadSerial(), std::move(ownStep));
    return true;
}

bool CDatabase::BeginOnConnection(QSqlDatabase& db, QString* error)
{
    // SQLite: the write lock is taken now, waiting out the busy timeout if
    // another connection writes, instead of failing at the first write of a
    // transaction that has read already (SQLite cannot wait there).
    bool begun = m_source.kind == Kind::Sqlite ? Exec(QStringLiteral("BEGIN IMMEDIATE"), error) : db.transaction();
    if (!begun) {
        if (error && m_source.kind != Kind::Sqlite)
            *error = db.lastError().text();
        return false;
    }
    QString lockTable;
    {
        std::lock_guard<std::mutex> lock(m_state->mutex);
        lockTable = m_state->traits.lockTable;
    }
    if (m_source.kind == Kind::Odbc && !lockTable.isEmpty()) {
        // The SQLite ODBC driver begins deferred; a write that changes nothing
        // takes the lock now, the same as BEGIN IMMEDIATE.
        QSqlQuery take(db);
        if (!take.exec(QStringLiteral("DELETE FROM \"%1\" WHERE 1 = 0").arg(lockTable))) {
            if (error)
                *error = take.lastError().text();
            db.rollback();
            return false;
        }
    }
    return true;
}

namespace {

bool endTransaction(QSqlDatabase db, bool commit)
{
    return db.isOpen() && (commit ? db.commit() : db.rollback());
}

} // namespace

bool CDatabase::CommitTrans(QString* error)
{
    if (!InTransaction())
        return false;
    if (EndLostTransaction()) {
        if (error)
            *error = QLatin1String(kTransactionLost);
        return false;
    }
    // Fails with the reason when a held-back row could not be stored.
    QSqlDatabase db = Connection(error);
    if (!db.isOpen())
        return false;
    const bool ok = endTransaction(db, true);
    if (ok)
        EndTransaction();
    else if (error && db.isOpen())
        *error = db.lastError().text();
    return ok;
}

bool CDatabase::Rollback()
{
    if (!InTransaction())
        return false;
    // The transaction is over whatever the driver says: a failed rollback
    // leaves nothing that a second one could undo.
    const quint64 serial = TransactionSerial();
    // Held-back rows are not sent, and a spoiled transaction is undone
    // like any other.
    CPendingRows::Drop(m_state.get());
    m_state->transactions.ClearSpoiled(threadSerial());
    // The server undid it when the connection went.
    if (EndLostTransaction()) {
        AfterRollback(serial);
        return true;
    }
    if (m_source.kind == Kind::Odbc)
        CLockWait::Charge(m_state->transactions.ElapsedMs(threadSerial()));
    const bool ok = endTransaction(Connection(), false);
    EndTransaction();
    AfterRollback(serial);
    return ok;
}

bool CDatabase::InTransaction() const
{
    return TransactionSerial() != 0;
}

bool CDatabase::EndLostTransaction()
{
    if (!m_state->transactions.IsLost(threadSerial()))
        return false;
    EndTransaction();
    return true;
}

QString CDatabase::ConnectionName() const
{
    return QStringLiteral("ferrold-%1-%2").arg(m_state->serial).arg(threadSerial());
}

quint64 CDatabase::TransactionSerial() const
{
    return m_state->transactions.Serial(threadSerial());
}

void CDatabase::EndTransaction()
{
    CPendingRows::Drop(m_state.get());
    // However the transaction ended (a commit, a rollback, one that failed,
    // a scope left by an exception), the loss belonged to it: the next use
    // opens the connection again.
    CThreadTransactions::Ended ended = m_state->transactions.End(threadSerial());
    if (ended.lost) {
        const QString name = ConnectionName();
        if (QSqlDatabase::contains(name)) {
            m_state->statements.Forget(name);
            QSqlDatabase::database(name, false).close();
        }
    }
    GiveTurn();
    // Its observer is told last, with the database free for others.
    ended.step.reset();
}

bool CDatabase::Savepoint(int level, QString* error)
{
    if (!InTransaction()) {
        if (error)
            *error = QStringLiteral("No transaction is running.");
        return false;
    }
    t_savepointSet[level] = std::chrono::steady_clock::now();
    return Exec(QStringLiteral("SAVEPOINT ferrold_%1").arg(level), error);
}

bool CDatabase::ReleaseSavepoint(int level, QString* error)
{
    if (!InTransaction()) {
        if (error)
            *error = QStringLiteral("No transaction is running.");
        return false;
    }
    return Exec(QStringLiteral("RELEASE SAVEPOINT ferrold_%1").arg(level), error);
}

bool CDatabase::RollbackToSavepoint(int level)
{
    if (!InTransaction())
        return false;
    // Rows held back came after the savepoint: it was set through the
    // connection, which sent the ones before.
    CPendingRows::Drop(m_state.get());
    const auto set = t_savepointSet.find(level);
    if (m_source.kind == Kind::Odbc && set != t_savepointSet.end())
        CLockWait::Charge(elapsedMs(set->second));
    const bool ok = Exec(QStringLiteral("ROLLBACK TO SAVEPOINT ferrold_%1").arg(level))
                    && Exec(QStringLiteral("RELEASE SAVEPOINT ferrold_%1").arg(level));
    AfterRollback(TransactionSerial());
    return ok;
}

void CDatabase::NotePendingRows(CRecordset* set)
{
    CPendingRows::Note(m_state.get(), set);
}

void CDatabase::ForgetPendingRows(CRecordset* set)
{
    CPendingRows::Forget(set);
}

void CDatabase::SpoilTransaction(const QString& reason)
{
    m_state->transactions.Spoil(
        threadSerial(),
        QStringLiteral("Rows to be added could not be stored, so nothing of the transaction was: %1").arg(reason));
}

void CDatabase::RegisterRecordset(CRecordset* set)
{
    m_state->recordsets.Add(set, threadSerial());
}

void CDatabase::UnregisterRecordset(CRecordset* set)
{
    m_state->recordsets.Remove(set);
}

void CDatabase::NoteRecordsetUse(CRecordset* set)
{
    m_state->recordsets.NoteUse(set, threadSerial());
}

void CDatabase::AfterRollback(quint64 transaction)
{
    for (CRecordset* set : m_state->recordsets.SetsOf(threadSerial()))
        set->OnTransactionRolledBack(transaction);
}

QString CDatabase::GetDatabaseName()
{
    QSqlDatabase db = Connection();
    if (!db.isOpen())
        return m_source.kind == Kind::Sqlite ? QFileInfo(m_source.location).absoluteFilePath() : QString();
    if (m_source.kind == Kind::Sqlite)
        return QFileInfo(db.databaseName()).absoluteFilePath();
    // A server names its database, not a file: a name taken for a path
    // would point backup and restore at a file of that name in the
    // working folder.
    if (IsServer())
        return {};
    return CConnectionOpener::OdbcInfo(db, SQL_DATABASE_NAME);
}
