#include "CConnectionOpener.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <sql.h>
#include <sqlext.h>

#include <mutex>
#include <vector>

CConnectionOpener::CConnectionOpener(CDatabase::Source source)
    : m_source(std::move(source))
{
}

QSqlDatabase CConnectionOpener::Open(const QString& name, QString* error) const
{
    QSqlDatabase db;
    if (m_source.kind == CDatabase::Kind::Sqlite) {
        db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        QDir().mkpath(QFileInfo(m_source.location).absolutePath());
        db.setDatabaseName(m_source.location);
    } else {
        db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), name);
        // The bare name makes the driver connect by data source name; the
        // "DSN=..." connection string is not found through this driver manager.
        db.setDatabaseName(m_source.location);
    }
    bool opened = false;
    if (db.isValid()) {
        // One opening at a time in the process: the server's ODBC driver
        // switches the process's locale while it connects (setlocale), which
        // is not safe from two threads at once; two connects side by side
        // were seen to read a freed locale name.
        static std::mutex opening;
        std::lock_guard<std::mutex> lock(opening);
        opened = db.open();
    }
    if (opened)
        return db;
    const QString text =
        db.isValid() ? db.lastError().text() : QStringLiteral("The database driver is not available.");
    if (error)
        *error = text;
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(name);
    return {};
}

CConnectionOpener::Traits CConnectionOpener::Inspect(const QSqlDatabase& db) const
{
    Traits traits;
    if (m_source.kind == CDatabase::Kind::Sqlite) {
        traits.keepsOneFile = true;
        return traits;
    }
    const QString dbms = OdbcInfo(db, SQL_DBMS_NAME);
    const bool sqlite = dbms.contains(QLatin1String("SQLite"), Qt::CaseInsensitive);
    traits.server = !sqlite;
    traits.returnsInsertKeys = dbms.contains(QLatin1String("PostgreSQL"), Qt::CaseInsensitive);
    traits.narrowsIntegers = sqlite;
    traits.keepsOneFile = sqlite;
    if (sqlite) {
        QSqlQuery tables(db);
        if (tables.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table'"
                                       " AND name NOT LIKE 'sqlite%' ORDER BY name LIMIT 1"))
            && tables.next())
            traits.lockTable = tables.value(0).toString();
    }
    return traits;
}

void CConnectionOpener::UseRollbackJournal(QSqlDatabase& db)
{
    QSqlQuery pragma(db);
    pragma.exec(QStringLiteral("PRAGMA journal_mode=DELETE"));
}

void* CConnectionOpener::OdbcConnectionHandle(const QSqlDatabase& db)
{
    if (db.driverName() != QLatin1String("QODBC"))
        return nullptr;
    // Qt's ODBC driver hands out its connection handle as a pointer-sized value.
    const QVariant handle = db.driver()->handle();
    if (!handle.isValid() || handle.metaType().sizeOf() != sizeof(SQLHANDLE))
        return nullptr;
    return *static_cast<const SQLHANDLE*>(handle.constData());
}

QString CConnectionOpener::OdbcInfo(const QSqlDatabase& db, unsigned short what)
{
    SQLHDBC hdbc = OdbcConnectionHandle(db);
    if (!hdbc)
        return {};
    std::vector<SQLCHAR> buffer(4096, 0);
    SQLSMALLINT length = 0;
    const SQLRETURN rc = SQLGetInfo(hdbc, what, buffer.data(), static_cast<SQLSMALLINT>(buffer.size() - 1), &length);
    if (!SQL_SUCCEEDED(rc))
        return {};
    return QString::fromLocal8Bit(reinterpret_cast<const char*>(buffer.data()));
}

QStringList CConnectionOpener::OdbcDataSources()
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
