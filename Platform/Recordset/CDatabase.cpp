#include "CDatabase.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QVariant>

#include <sql.h>
#include <sqlext.h>

#include <QSqlQuery>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <set>
#include <vector>

struct CDatabase::State
{
    std::mutex mutex;
    quint64 serial = 0;
    QString unusable;
    std::vector<QString> connections; // every connection made, on any thread
    std::vector<quint64> transactionThreads;
    // Threads whose transaction died with its server connection.
    std::vector<quint64> lostTransactionThreads;
    // Connections found lost and not yet opened again.
    std::set<QString> lostConnections;
    std::map<QString, std::chrono::steady_clock::time_point> lastUse;
    int idleCheckMs = CDatabase::kDefaultIdleCheckMs;
    int server = -1; // -1: not known yet
    bool returning = false;
    std::atomic<quint64> generation{0};
    std::function<void()> reconnectHandler;
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
                state->lastUse.erase(e.name);
                state->lostConnections.erase(e.name);
                QSqlDatabase::removeDatabase(e.name);
            }
        }
    }
};

thread_local ThreadConnections t_connections;

const char* const kTransactionLost =
    "The connection to the database server was lost; the server has undone the changes of the running "
    "transaction.";

SQLHDBC odbcHandle(const QSqlDatabase& db)
{
    if (db.driverName() != QLatin1String("QODBC"))
        return nullptr;
    // The ODBC driver hands out its connection handle as a pointer-sized value.
    const QVariant handle = db.driver()->handle();
    if (!handle.isValid() || handle.metaType().sizeOf() != sizeof(SQLHANDLE))
        return nullptr;
    return *static_cast<const SQLHANDLE*>(handle.constData());
}

QString odbcInfo(const QSqlDatabase& db, SQLUSMALLINT what)
{
    SQLHDBC hdbc = odbcHandle(db);
    if (!hdbc)
        return {};
    std::vector<SQLCHAR> buffer(4096, 0);
    SQLSMALLINT length = 0;
    const SQLRETURN rc = SQLGetInfo(hdbc, what, buffer.data(), static_cast<SQLSMALLINT>(buffer.size() - 1), &length);
    if (!SQL_SUCCEEDED(rc))
        return {};
    return QString::fromLocal8Bit(reinterpret_cast<const char*>(buffer.data()));
}

// What the driver already knows: a connection whose last use failed for
// want of the server is marked dead without another round trip.
bool knownDead(const QSqlDatabase& db)
{
    SQLHDBC hdbc = odbcHandle(db);
    SQLUINTEGER dead = SQL_CD_FALSE;
    return hdbc && SQL_SUCCEEDED(SQLGetConnectAttr(hdbc, SQL_ATTR_CONNECTION_DEAD, &dead, 0, nullptr))
           && dead == SQL_CD_TRUE;
}

bool containsThread(const std::vector<quint64>& list, quint64 thread)
{
    return std::find(list.begin(), list.end(), thread) != list.end();
}

void removeThread(std::vector<quint64>& list, quint64 thread)
{
    list.erase(std::remove(list.begin(), list.end(), thread), list.end());
}

} // namespace

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
        QSqlDatabase::removeDatabase(name);
    m_state->connections.clear();
}

QSqlDatabase CDatabase::Connection(QString* error)
{
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
    }
    const QString name = QStringLiteral("ferrold-%1-%2").arg(m_state->serial).arg(threadSerial());
    if (QSqlDatabase::contains(name)) {
        QSqlDatabase db = QSqlDatabase::database(name, false);
        if (db.isOpen() && !StillConnected(db, name)) {
            {
                std::lock_guard<std::mutex> lock(m_state->mutex);
                m_state->lostConnections.insert(name);
                if (containsThread(m_state->transactionThreads, threadSerial())) {
                    // Opening anew here would let the rest of the transaction
                    // run without it, each statement stored on its own.
                    m_state->lostTransactionThreads.push_back(threadSerial());
                    if (error)
                        *error = QLatin1String(kTransactionLost);
                    return {};
                }
            }
            db.close();
        }
        if (db.isOpen())
            Opened(name);
        else if (db.open()) {
            ++m_state->generation;
            Opened(name);
        }
        if (db.isOpen())
            return db;
        if (error)
            *error = db.lastError().text();
        return {};
    }

    QSqlDatabase db;
    if (m_source.kind == Kind::Sqlite) {
        db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        QDir().mkpath(QFileInfo(m_source.location).absolutePath());
        db.setDatabaseName(m_source.location);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
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

    const QString dbms = m_source.kind == Kind::Odbc ? odbcInfo(db, SQL_DBMS_NAME) : QString();
    const bool server = m_source.kind == Kind::Odbc && !dbms.contains(QLatin1String("SQLite"), Qt::CaseInsensitive);
    std::lock_guard<std::mutex> lock(m_state->mutex);
    m_state->server = server ? 1 : 0;
    ++m_state->generation;
    m_state->returning = dbms.contains(QLatin1String("PostgreSQL"), Qt::CaseInsensitive);
    m_state->connections.push_back(name);
    m_state->lastUse[name] = std::chrono::steady_clock::now();
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
        lastUse = m_state->lastUse[name];
        idleCheckMs = m_state->idleCheckMs;
        // Inside a transaction the statements themselves tell.
        if (containsThread(m_state->transactionThreads, threadSerial()))
            return true;
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

quint64 CDatabase::Generation() const
{
    return m_state->generation.load();
}

bool CDatabase::ReturnsInsertKeys()
{
    if (!IsServer())
        return false;
    std::lock_guard<std::mutex> lock(m_state->mutex);
    return m_state->returning;
}

void CDatabase::SetReconnectHandler(std::function<void()> handler)
{
    std::lock_guard<std::mutex> lock(m_state->mutex);
    m_state->reconnectHandler = std::move(handler);
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

bool CDatabase::BeginTrans()
{
    QSqlDatabase db = Connection();
    if (!db.isOpen() || InTransaction() || !db.transaction())
        return false;
    std::lock_guard<std::mutex> lock(m_state->mutex);
    m_state->transactionThreads.push_back(threadSerial());
    return true;
}

namespace {

bool endTransaction(QSqlDatabase db, bool commit)
{
    return db.isOpen() && (commit ? db.commit() : db.rollback());
}

} // namespace

bool CDatabase::CommitTrans()
{
    if (!InTransaction())
        return false;
    if (EndLostTransaction())
        return false;
    const bool ok = endTransaction(Connection(), true);
    if (ok) {
        std::lock_guard<std::mutex> lock(m_state->mutex);
        auto& list = m_state->transactionThreads;
        list.erase(std::remove(list.begin(), list.end(), threadSerial()), list.end());
    }
    return ok;
}

bool CDatabase::Rollback()
{
    if (!InTransaction())
        return false;
    // The server undid it when the connection went.
    if (EndLostTransaction())
        return true;
    // The transaction is over whatever the driver says: a failed rollback
    // leaves nothing that a second one could undo.
    const bool ok = endTransaction(Connection(), false);
    std::lock_guard<std::mutex> lock(m_state->mutex);
    auto& list = m_state->transactionThreads;
    list.erase(std::remove(list.begin(), list.end(), threadSerial()), list.end());
    return ok;
}

bool CDatabase::EndLostTransaction()
{
    std::lock_guard<std::mutex> lock(m_state->mutex);
    if (!containsThread(m_state->lostTransactionThreads, threadSerial()))
        return false;
    removeThread(m_state->lostTransactionThreads, threadSerial());
    removeThread(m_state->transactionThreads, threadSerial());
    return true;
}

bool CDatabase::InTransaction() const
{
    std::lock_guard<std::mutex> lock(m_state->mutex);
    const auto& list = m_state->transactionThreads;
    return std::find(list.begin(), list.end(), threadSerial()) != list.end();
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
