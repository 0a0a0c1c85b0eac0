#include "CDatabase.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QVariant>

#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <vector>

struct CDatabase::State
{
    std::mutex mutex;
    quint64 serial = 0;
    QString unusable;
    std::vector<QString> connections; // every connection made, on any thread
    std::vector<quint64> transactionThreads;
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
                QSqlDatabase::removeDatabase(e.name);
            }
        }
    }
};

thread_local ThreadConnections t_connections;

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
    }
    const QString name = QStringLiteral("ferrold-%1-%2").arg(m_state->serial).arg(threadSerial());
    if (QSqlDatabase::contains(name)) {
        QSqlDatabase db = QSqlDatabase::database(name, false);
        if (db.isOpen() || db.open())
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

    std::lock_guard<std::mutex> lock(m_state->mutex);
    m_state->connections.push_back(name);
    t_connections.entries.push_back({m_state, name});
    return db;
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
    // The transaction is over whatever the driver says: a failed rollback
    // leaves nothing that a second one could undo.
    const bool ok = endTransaction(Connection(), false);
    std::lock_guard<std::mutex> lock(m_state->mutex);
    auto& list = m_state->transactionThreads;
    list.erase(std::remove(list.begin(), list.end(), threadSerial()), list.end());
    return ok;
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

    // The ODBC driver hands out its connection handle as a pointer-sized value.
    const QVariant handle = db.driver()->handle();
    if (!handle.isValid() || handle.metaType().sizeOf() != sizeof(SQLHANDLE))
        return {};
    SQLHDBC hdbc = *static_cast<const SQLHANDLE*>(handle.constData());
    if (!hdbc)
        return {};
    std::vector<SQLCHAR> buffer(4096, 0);
    SQLSMALLINT length = 0;
    const SQLRETURN rc = SQLGetInfo(hdbc, SQL_DATABASE_NAME, buffer.data(),
                                    static_cast<SQLSMALLINT>(buffer.size() - 1), &length);
    if (!SQL_SUCCEEDED(rc))
        return {};
    return QString::fromLocal8Bit(reinterpret_cast<const char*>(buffer.data()));
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
