#include "CDatabase.h"

#include "CDBException.h"
#include "CLockWait.h"
#include "CLockWaitObserver.h"
#include "CRecordset.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <sys/stat.h>

#include <sql.h>
#include <sqlext.h>
#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <set>
#include <mutex>
#include <unordered_map>
#include <vector>

struct CDatabase::State
{
    std::mutex mutex;
    quint64 serial = 0;
    QString unusable;
    std::vector<QString> connections; // every connection made, on any thread
    // Threads in a transaction, with the number of that transaction.
    std::vector<std::pair<quint64, quint64>> transactionThreads;
    quint64 transactionSerial = 0;
    // An ODBC source with SQLite behind it: a table whose write lock a
    // transaction takes at its start (the driver begins deferred).
    QString odbcLockTable;
    // The same: its driver hands integer columns over as 32-bit numbers and
    // cuts wider values on the way.
    bool narrowIntegers = false;
    // Prepared statements per connection; used by the connection's thread
    // only, removed before their connection is.
    std::map<QString, std::unordered_map<QString, std::unique_ptr<QSqlQuery>>> prepared;
    // Live record sets and the thread that last used each.
    std::vector<std::pair<CRecordset*, quint64>> recordsets;

    // Threads whose transaction holds rows that could not be stored, with
    // the reason.
    std::vector<std::pair<quint64, QString>> spoiledTransactions;
    // A server source: threads whose transaction died with its connection,
    // connections found lost and not yet opened again, and when each
    // connection was last handed out.
    std::vector<quint64> lostTransactionThreads;
    std::set<QString> lostConnections;
    std::map<QString, std::chrono::steady_clock::time_point> lastUse;
    int idleCheckMs = CDatabase::kDefaultIdleCheckMs;
    int server = -1; // -1: not known yet
    bool returning = false;
    std::function<void()> reconnectHandler;
    // The embedded file: the identity (device and inode) of the file each
    // connection opened, the one last seen, and who is told of a new one.
    std::map<QString, std::pair<quint64, quint64>> fileOfConnection;
    std::pair<quint64, quint64> currentFile{0, 0};
    std::map<QString, std::chrono::steady_clock::time_point> lastFileCheck;
    std::function<void()> replacedHandler;

    // Waiting for another program's locks (CLockWait): the bound of a
    // step, who is told of a wait, and for a data source whose driver
    // waits without asking, the limit each connection was given last and
    // when this thread's transaction and savepoints began.
    std::atomic<int> lockWaitMs{CLockWait::kDefaultBoundMs};
    std::mutex observerMutex;
    std::shared_ptr<CLockWaitObserver> lockObserver;
    std::map<QString, int> waitLimit;
    std::map<quint64, std::chrono::steady_clock::time_point> transactionBegan;
    // A transaction of a thread that began outside any step is a step of
    // its own, from its begin to its end.
    std::map<quint64, std::unique_ptr<CLockWait::Step>> transactionSteps;

    // The threads' turn at the data source (CDatabase::Turn).
    std::mutex turnMutex;
    std::condition_variable turnChanged;
    quint64 nextTicket = 0;
    quint64 serving = 0;
    std::set<quint64> abandoned;
    quint64 turnOwner = 0; // thread serial, 0: nobody
    int turnDepth = 0;

    void DropConnection(const QString& name)
    {
        fileOfConnection.erase(name);
        lastFileCheck.erase(name);
        prepared.erase(name);
        lastUse.erase(name);
        lostConnections.erase(name);
        waitLimit.erase(name);
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

// Record sets of this thread that hold rows back, with their data source.
struct PendingSets
{
    std::vector<std::pair<const CDatabase*, CRecordset*>> sets;
    int keep = 0;
    bool sending = false;
};
thread_local PendingSets t_pending;

// A text the ODBC driver tells about its connection (SQLGetInfo), or empty.
QString odbcInfo(const QSqlDatabase& db, SQLUSMALLINT what)
{
    SQLHDBC hdbc = CDatabase::OdbcConnectionHandle(db);
    if (!hdbc)
        return {};
    std::vector<SQLCHAR> buffer(4096, 0);
    SQLSMALLINT length = 0;
    const SQLRETURN rc = SQLGetInfo(hdbc, what, buffer.data(), static_cast<SQLSMALLINT>(buffer.size() - 1), &length);
    if (!SQL_SUCCEEDED(rc))
        return {};
    return QString::fromLocal8Bit(reinterpret_cast<const char*>(buffer.data()));
}

QString odbcDbmsName(const QSqlDatabase& db)
{
    return odbcInfo(db, SQL_DBMS_NAME);
}

const char* const kTransactionLost =
    "The connection to the database server was lost; the server has undone the changes of the running "
    "transaction.";

// What the driver already knows: a connection whose last use failed for
// want of the server is marked dead without another round trip.
bool knownDead(const QSqlDatabase& db)
{
    SQLHDBC hdbc = CDatabase::OdbcConnectionHandle(db);
    SQLUINTEGER dead = SQL_CD_FALSE;
    return hdbc && SQL_SUCCEEDED(SQLGetConnectAttr(hdbc, SQL_ATTR_CONNECTION_DEAD, &dead, 0, nullptr))
           && dead == SQL_CD_TRUE;
}

// The device and inode of a file; zeros when it does not exist.
std::pair<quint64, quint64> fileIdentity(const QString& path)
{
    struct stat info;
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return {0, 0};
    return {quint64(info.st_dev), quint64(info.st_ino)};
}

bool containsThread(const std::vector<quint64>& list, quint64 thread)
{
    return std::find(list.begin(), list.end(), thread) != list.end();
}

std::shared_ptr<CLockWaitObserver> lockObserver(CDatabase::State& state)
{
    std::lock_guard<std::mutex> lock(state.observerMutex);
    return state.lockObserver;
}

// SQLite asks here each time a statement meets another connection's lock,
// so the step's bound holds across all of its statements.
int busyTurn(void* context, int attempt)
{
    auto* state = static_cast<CDatabase::State*>(context);
    return CLockWait::WaitTurn(attempt, state->lockWaitMs.load(), lockObserver(*state)) ? 1 : 0;
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
    if (db.driverName() != QLatin1String("QODBC"))
        return nullptr;
    // Qt's ODBC driver hands out its connection handle as a pointer-sized value.
    const QVariant handle = db.driver()->handle();
    if (!handle.isValid() || handle.metaType().sizeOf() != sizeof(SQLHANDLE))
        return nullptr;
    return *static_cast<const SQLHANDLE*>(handle.constData());
}

CDatabase::CDatabase(Source source)
    : m_source(std::move(source))
    , m_state(std::make_shared<State>())
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
    QSqlDatabase db = OpenConnection(error);
    if (db.isOpen() && m_source.kind == Kind::Odbc && TransactionSerial() == 0)
        ApplyWaitLimit(db);
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
    // These drivers wait inside a statement without asking, up to a limit
    // the connection is given: what the step has left, set again only
    // when that changed (after a step was charged, and at the next one).
    const int limit = std::max(1, CLockWait::RemainingMs(m_state->lockWaitMs.load()));
    const QString name = db.connectionName();
    QString sql;
    {
        std::lock_guard<std::mutex> lock(m_state->mutex);
        const auto it = m_state->waitLimit.find(name);
        if (it != m_state->waitLimit.end() && it->second == limit)
            return;
        m_state->waitLimit[name] = limit;
        // The SQLite ODBC driver retries a locked statement itself for its
        // data source's timeout, whatever the connection is told.
        if (m_state->returning)
            sql = QStringLiteral("SET lock_timeout = %1").arg(limit);
    }
    if (sql.isEmpty())
        return;
    QSqlQuery set(db);
    set.exec(sql);
}

QSqlDatabase CDatabase::OpenConnection(QString* error)
{
    // Whatever uses the connection next sees the rows held back as stored.
    if (!t_pending.sets.empty() && t_pending.keep == 0 && !t_pending.sending)
        SendPendingRows();
    {
        std::lock_guard<std::mutex> lock(m_state->mutex);
        if (!m_state->unusable.isEmpty()) {
            if (error)
                *error = m_state->unusable;
            return {};
        }
        if (containsThread(m_state->lostTransactionThreads, threadSerial())) {
            if (error)
                *error = QLatin1String(kTransactionLost);
            return {};
        }
        const QString spoiled = SpoiledLocked();
        if (!spoiled.isEmpty()) {
            if (error)
                *error = spoiled;
            return {};
        }
    }
    const QString name = ConnectionName();
    if (QSqlDatabase::contains(name)) {
        QSqlDatabase db = QSqlDatabase::database(name, false);
        if (db.isOpen() && FileReplaced(name)) {
            // Another program put a new file in place (a restore in another
            // instance): this connection still holds the old one, whose
            // writes would fail as read-only and whose reads are stale.
            {
                std::lock_guard<std::mutex> lock(m_state->mutex);
                m_state->prepared.erase(name);
            }
            db.close();
            if (!db.open()) {
                if (error)
                    *error = db.lastError().text();
                return {};
            }
            WatchLocks(db);
            NoteFile(name, true);
            return db;
        }
        if (db.isOpen() && !StillConnected(db, name)) {
            {
                std::lock_guard<std::mutex> lock(m_state->mutex);
                m_state->lostConnections.insert(name);
                if (TransactionSerialLocked() != 0) {
                    // Opening anew here would let the rest of the transaction
                    // run without it, each statement stored on its own.
                    m_state->lostTransactionThreads.push_back(threadSerial());
                    if (error)
                        *error = QLatin1String(kTransactionLost);
                    return {};
                }
                // Statements prepared on the lost connection die with it.
                m_state->prepared.erase(name);
            }
            db.close();
        }
        if (db.isOpen()) {
            Opened(name);
            return db;
        }
        if (db.open()) {
            {
                // A new session of the server knows no limit yet.
                std::lock_guard<std::mutex> lock(m_state->mutex);
                m_state->waitLimit.erase(name);
            }
            WatchLocks(db);
            Opened(name);
            return db;
        }
        if (error)
            *error = db.lastError().text();
        return {};
    }

    QSqlDatabase db;
    if (m_source.kind == Kind::Sqlite) {
        db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        QDir().mkpath(QFileInfo(m_source.location).absolutePath());
        db.setDatabaseName(m_source.location);
    } else {
        db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), name);
        // The bare name makes the driver connect by data source name; the
        // "DSN=..." connection string is not found through this driver manager.
        db.setDatabaseName(m_source.location);
    }
    if (!db.isValid() || !db.open()) {
        const QString text = db.isValid() ? db.lastError().text()
                                          : QStringLiteral("The database driver is not available.");
        if (error)
            *error = text;
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(name);
        return {};
    }
    WatchLocks(db);

    // The rollback journal keeps the whole database in its one file, which is
    // what backup and restore rely on; a file restored in WAL mode would
    // otherwise keep committed rows in a second file beside it. A file that
    // cannot be switched now (read-only, or open elsewhere in WAL) is still
    // read; backups copy through SQLite and so stay complete.
    const QString dbms = m_source.kind == Kind::Odbc ? odbcDbmsName(db) : QString();
    const bool odbcSqlite = m_source.kind == Kind::Odbc && dbms.contains(QLatin1String("SQLite"), Qt::CaseInsensitive);
    if (m_source.kind == Kind::Sqlite || odbcSqlite) {
        QSqlQuery pragma(db);
        if (TakeTurn()) {
            pragma.exec(QStringLiteral("PRAGMA journal_mode=DELETE"));
            GiveTurn();
        }
    }
    QString lockTable;
    if (odbcSqlite) {
        QSqlQuery tables(db);
        if (tables.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table'"
                                       " AND name NOT LIKE 'sqlite%' ORDER BY name LIMIT 1"))
            && tables.next())
            lockTable = tables.value(0).toString();
    }

    std::lock_guard<std::mutex> lock(m_state->mutex);
    if (!lockTable.isEmpty())
        m_state->odbcLockTable = lockTable;
    if (odbcSqlite)
        m_state->narrowIntegers = true;
    m_state->server = m_source.kind == Kind::Odbc && !odbcSqlite ? 1 : 0;
    m_state->returning = dbms.contains(QLatin1String("PostgreSQL"), Qt::CaseInsensitive);
    m_state->lastUse[name] = std::chrono::steady_clock::now();
    if (m_source.kind == Kind::Sqlite) {
        const auto file = fileIdentity(m_source.location);
        m_state->fileOfConnection[name] = file;
        if (m_state->currentFile == std::pair<quint64, quint64>{0, 0})
            m_state->currentFile = file;
    }
    m_state->connections.push_back(name);
    t_connections.entries.push_back({m_state, name});
    return db;
}

bool CDatabase::StillConnected(QSqlDatabase& db, const QString& name)
{
    if (!IsServer())
        return true;
    if (knownDead(db))
        return false;
    std::chrono::steady_clock::time_point lastUse;
    int idleCheckMs = 0;
    {
        std::lock_guard<std::mutex> lock(m_state->mutex);
        // Inside a transaction the statements themselves tell.
        if (TransactionSerialLocked() != 0)
            return true;
        lastUse = m_state->lastUse[name];
        idleCheckMs = m_state->idleCheckMs;
    }
    if (std::chrono::steady_clock::now() - lastUse < std::chrono::milliseconds(idleCheckMs))
        return true;
    QSqlQuery ping(db);
    ping.setForwardOnly(true);
    return ping.exec(QStringLiteral("SELECT 1"));
}

void CDatabase::Opened(const QString& name)
{
    std::function<void()> handler;
    {
        std::lock_guard<std::mutex> lock(m_state->mutex);
        m_state->lastUse[name] = std::chrono::steady_clock::now();
        if (m_state->lostConnections.erase(name) == 0)
            return;
        handler = m_state->reconnectHandler;
    }
    if (handler)
        handler();
}

bool CDatabase::FileReplaced(const QString& name)
{
    if (m_source.kind != Kind::Sqlite)
        return false;
    {
        // Looked at after a pause, as a server connection is: a bulk write
        // asks for its connection at every row.
        std::lock_guard<std::mutex> lock(m_state->mutex);
        if (TransactionSerialLocked() != 0)
            return false;
        auto& last = m_state->lastFileCheck[name];
        const auto now = std::chrono::steady_clock::now();
        if (m_state->idleCheckMs > 0 && now - last < std::chrono::milliseconds(m_state->idleCheckMs))
            return false;
        last = now;
    }
    const auto now = fileIdentity(m_source.location);
    std::lock_guard<std::mutex> lock(m_state->mutex);
    // Inside a transaction the file stays the one it began on.
    if (TransactionSerialLocked() != 0 || now == std::pair<quint64, quint64>{0, 0})
        return false;
    const auto it = m_state->fileOfConnection.find(name);
    return it != m_state->fileOfConnection.end() && it->second != now;
}

void CDatabase::NoteFile(const QString& name, bool reopened)
{
    std::function<void()> handler;
    {
        std::lock_guard<std::mutex> lock(m_state->mutex);
        const auto file = fileIdentity(m_source.location);
        m_state->fileOfConnection[name] = file;
        // Told once per new file, by the first connection that notices it.
        if (reopened && file != m_state->currentFile) {
            m_state->currentFile = file;
            handler = m_state->replacedHandler;
        }
    }
    if (handler)
        handler();
}

void CDatabase::SetReplacedHandler(std::function<void()> handler)
{
    std::lock_guard<std::mutex> lock(m_state->mutex);
    m_state->replacedHandler = std::move(handler);
}

void CDatabase::SetReconnectHandler(std::function<void()> handler)
{
    std::lock_guard<std::mutex> lock(m_state->mutex);
    m_state->reconnectHandler = std::move(handler);
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
        CLockWait::MayWait(lockObserver(*m_state));
}

void CDatabase::SetIdleCheckMs(int milliseconds)
{
    std::lock_guard<std::mutex> lock(m_state->mutex);
    m_state->idleCheckMs = std::max(0, milliseconds);
}

bool CDatabase::IsServer()
{
    if (m_source.kind != Kind::Odbc)
        return false;
    {
        std::lock_guard<std::mutex> lock(m_state->mutex);
        if (m_state->server >= 0)
            return m_state->server == 1;
    }
    // Known once a connection was made.
    Connection();
    std::lock_guard<std::mutex> lock(m_state->mutex);
    return m_state->server == 1;
}

bool CDatabase::ReturnsInsertKeys()
{
    if (!IsServer())
        return false;
    std::lock_guard<std::mutex> lock(m_state->mutex);
    return m_state->returning;
}

QSqlQuery* CDatabase::Prepared(const QString& sql, QString* error)
{
    QSqlDatabase db = Connection(error);
    if (!db.isOpen())
        return nullptr;
    {
        std::lock_guard<std::mutex> lock(m_state->mutex);
        auto& statements = m_state->prepared[db.connectionName()];
        const auto it = statements.find(sql);
        if (it != statements.end())
            return it->second.get();
    }
    auto query = std::make_unique<QSqlQuery>(db);
    if (!query->prepare(sql)) {
        if (error)
            *error = query->lastError().text();
        return nullptr;
    }
    std::lock_guard<std::mutex> lock(m_state->mutex);
    auto& slot = m_state->prepared[db.connectionName()][sql];
    slot = std::move(query);
    return slot.get();
}

void CDatabase::MarkUnusable(const QString& reason)
{
    std::lock_guard<std::mutex> lock(m_state->mutex);
    m_state->unusable = reason.isEmpty() ? QStringLiteral("The data source cannot be used.") : reason;
}

bool CDatabase::NarrowsIntegers() const
{
    std::lock_guard<std::mutex> lock(m_state->mutex);
    return m_state->narrowIntegers;
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
    State& st = *m_state;
    std::unique_lock<std::mutex> lock(st.turnMutex);
    if (st.turnOwner == threadSerial()) {
        ++st.turnDepth;
        return true;
    }
    const quint64 ticket = st.nextTicket++;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kTurnWaitMs);
    const bool mine = st.turnChanged.wait_until(lock, deadline, [&] { return st.serving == ticket && st.turnOwner == 0; });
    if (!mine) {
        // Given up: the ticket is skipped when its turn comes.
        if (st.serving == ticket) {
            ++st.serving;
            while (st.abandoned.erase(st.serving))
                ++st.serving;
            st.turnChanged.notify_all();
        } else {
            st.abandoned.insert(ticket);
        }
        return false;
    }
    st.turnOwner = threadSerial();
    st.turnDepth = 1;
    return true;
}

void CDatabase::GiveTurn()
{
    State& st = *m_state;
    std::lock_guard<std::mutex> lock(st.turnMutex);
    if (st.turnOwner != threadSerial() || --st.turnDepth > 0)
        return;
    st.turnOwner = 0;
    ++st.serving;
    while (st.abandoned.erase(st.serving))
        ++st.serving;
    st.turnChanged.notify_all();
}

CDatabase::Turn::Turn(CDatabase* pDatabase)
    : m_pDatabase(pDatabase && pDatabase->TakeTurn() ? pDatabase : nullptr)
{
    if (!m_pDatabase)
        throw CDBException(QStringLiteral("database is locked: another part of this program did not finish its work on the database."));
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
            *error = QStringLiteral("database is locked: another part of this program did not finish its work on the database.");
        return false;
    }
    // A server waits inside its statements without a word: from here on
    // the step may be waiting.
    NoteWrite();
    const bool begun = BeginOnConnection(db, error);
    if (!begun) {
        GiveTurn();
        return false;
    }
    std::lock_guard<std::mutex> lock(m_state->mutex);
    m_state->transactionBegan[threadSerial()] = std::chrono::steady_clock::now();
    if (ownStep)
        m_state->transactionSteps[threadSerial()] = std::move(ownStep);
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
        lockTable = m_state->odbcLockTable;
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
    {
        std::lock_guard<std::mutex> lock(m_state->mutex);
        m_state->transactionThreads.emplace_back(threadSerial(), ++m_state->transactionSerial);
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
    DropPendingRows();
    ClearSpoiled();
    // The server undid it when the connection went.
    if (EndLostTransaction()) {
        AfterRollback(serial);
        return true;
    }
    if (m_source.kind == Kind::Odbc) {
        std::lock_guard<std::mutex> lock(m_state->mutex);
        const auto it = m_state->transactionBegan.find(threadSerial());
        if (it != m_state->transactionBegan.end())
            CLockWait::Charge(elapsedMs(it->second));
    }
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
    {
        std::lock_guard<std::mutex> lock(m_state->mutex);
        if (!containsThread(m_state->lostTransactionThreads, threadSerial()))
            return false;
    }
    EndTransaction();
    return true;
}

QString CDatabase::ConnectionName() const
{
    return QStringLiteral("ferrold-%1-%2").arg(m_state->serial).arg(threadSerial());
}

quint64 CDatabase::TransactionSerial() const
{
    std::lock_guard<std::mutex> lock(m_state->mutex);
    return TransactionSerialLocked();
}

quint64 CDatabase::TransactionSerialLocked() const
{
    for (const auto& e : m_state->transactionThreads) {
        if (e.first == threadSerial())
            return e.second;
    }
    return 0;
}

void CDatabase::EndTransaction()
{
    DropPendingRows();
    ClearSpoiled();
    bool lost = false;
    std::unique_ptr<CLockWait::Step> ownStep;
    {
        std::lock_guard<std::mutex> lock(m_state->mutex);
        m_state->transactionBegan.erase(threadSerial());
        const auto step = m_state->transactionSteps.find(threadSerial());
        if (step != m_state->transactionSteps.end()) {
            ownStep = std::move(step->second);
            m_state->transactionSteps.erase(step);
        }
        auto& list = m_state->transactionThreads;
        list.erase(std::remove_if(list.begin(), list.end(), [](const auto& e) { return e.first == threadSerial(); }),
                   list.end());
        // However the transaction ended (a commit, a rollback, one that
        // failed, a scope left by an exception), the loss belonged to it: the
        // next use opens the connection again.
        auto& lostThreads = m_state->lostTransactionThreads;
        lost = containsThread(lostThreads, threadSerial());
        lostThreads.erase(std::remove(lostThreads.begin(), lostThreads.end(), threadSerial()), lostThreads.end());
    }
    if (lost) {
        const QString name = ConnectionName();
        if (QSqlDatabase::contains(name)) {
            {
                std::lock_guard<std::mutex> lock(m_state->mutex);
                m_state->prepared.erase(name);
            }
            QSqlDatabase::database(name, false).close();
        }
    }
    GiveTurn();
    // Its observer is told last, with the database free for others.
    ownStep.reset();
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
    DropPendingRows();
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
    for (const auto& e : t_pending.sets) {
        if (e.second == set)
            return;
    }
    t_pending.sets.emplace_back(this, set);
}

void CDatabase::ForgetPendingRows(CRecordset* set)
{
    auto& sets = t_pending.sets;
    sets.erase(std::remove_if(sets.begin(), sets.end(), [set](const auto& e) { return e.second == set; }), sets.end());
}

CDatabase::KeepRowsPending::KeepRowsPending()
{
    ++t_pending.keep;
}

CDatabase::KeepRowsPending::~KeepRowsPending()
{
    --t_pending.keep;
}

std::vector<CRecordset*> CDatabase::PendingSets() const
{
    std::vector<CRecordset*> mine;
    for (const auto& e : t_pending.sets) {
        if (e.first == this)
            mine.push_back(e.second);
    }
    return mine;
}

void CDatabase::SendPendingRows()
{
    const std::vector<CRecordset*> mine = PendingSets();
    if (mine.empty())
        return;
    t_pending.sending = true;
    for (CRecordset* set : mine) {
        try {
            set->SendPendingRows();
        } catch (const CDBException&) {
            // The set spoiled the transaction: the commit reports it.
        }
    }
    t_pending.sending = false;
}

void CDatabase::DropPendingRows()
{
    for (CRecordset* set : PendingSets())
        set->DropPendingRows();
}

void CDatabase::SpoilTransaction(const QString& reason)
{
    std::lock_guard<std::mutex> lock(m_state->mutex);
    if (TransactionSerialLocked() == 0 || !SpoiledLocked().isEmpty())
        return;
    m_state->spoiledTransactions.emplace_back(
        threadSerial(), QStringLiteral("Rows to be added could not be stored, so nothing of the transaction was: %1")
                            .arg(reason));
}

void CDatabase::ClearSpoiled()
{
    std::lock_guard<std::mutex> lock(m_state->mutex);
    auto& spoiled = m_state->spoiledTransactions;
    spoiled.erase(
        std::remove_if(spoiled.begin(), spoiled.end(), [](const auto& e) { return e.first == threadSerial(); }),
        spoiled.end());
}

QString CDatabase::SpoiledLocked() const
{
    for (const auto& e : m_state->spoiledTransactions) {
        if (e.first == threadSerial())
            return e.second;
    }
    return {};
}

void CDatabase::RegisterRecordset(CRecordset* set)
{
    std::lock_guard<std::mutex> lock(m_state->mutex);
    m_state->recordsets.emplace_back(set, threadSerial());
}

void CDatabase::UnregisterRecordset(CRecordset* set)
{
    std::lock_guard<std::mutex> lock(m_state->mutex);
    auto& list = m_state->recordsets;
    list.erase(std::remove_if(list.begin(), list.end(), [set](const auto& e) { return e.first == set; }), list.end());
}

void CDatabase::NoteRecordsetUse(CRecordset* set)
{
    std::lock_guard<std::mutex> lock(m_state->mutex);
    for (auto& e : m_state->recordsets) {
        if (e.first == set)
            e.second = threadSerial();
    }
}

void CDatabase::AfterRollback(quint64 transaction)
{
    // Only this thread's sets: they are not in use elsewhere, and they are
    // the ones whose connection just undid its writes.
    std::vector<CRecordset*> mine;
    {
        std::lock_guard<std::mutex> lock(m_state->mutex);
        for (const auto& e : m_state->recordsets) {
            if (e.second == threadSerial())
                mine.push_back(e.first);
        }
    }
    for (CRecordset* set : mine)
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
    return odbcInfo(db, SQL_DATABASE_NAME);
}

QStringList CDatabase::OdbcDataSources()
{
    QStringList names;
    SQLHENV env = SQL_NULL_HENV;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env)))
        return names;
    SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLCHAR name[SQL_MAX_DSN_LENGTH + 1];
    SQLCHAR description[512];
    SQLSMALLINT nameLength = 0;
    SQLSMALLINT descriptionLength = 0;
    SQLUSMALLINT direction = SQL_FETCH_FIRST;
    while (SQL_SUCCEEDED(SQLDataSources(env, direction, name, sizeof(name), &nameLength, description,
                                        sizeof(description), &descriptionLength))) {
        names << QString::fromLocal8Bit(reinterpret_cast<const char*>(name));
        direction = SQL_FETCH_NEXT;
    }
    SQLFreeHandle(SQL_HANDLE_ENV, env);
    return names;
}
