#include "TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTextStream>

#include <gtest/gtest.h>
#include <odbcinst.h>

#include <atomic>
#include <cstdlib>
#include <string>
#include <vector>
#include <sys/stat.h>
#include <sys/wait.h>
#include <grp.h>
#include <unistd.h>

namespace {

std::string g_root;
std::atomic<int> g_folderCount{0};

const char* const kSqliteOdbcDriver = "/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so";

void writeText(const QString& path, const QString& text)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        std::abort();
    f.write(text.toUtf8());
}

// The driver manager keeps the configuration files it has read for the rest
// of the process and reads them again only after a write through its own
// interface: without this, a test would reach the data source of the test
// before it.
void forgetOdbcConfiguration()
{
    SQLSetConfigMode(ODBC_USER_DSN);
    SQLWritePrivateProfileString("QuandorTestNoSuchSource", nullptr, nullptr, "odbc.ini");
}

} // namespace

void TestEnvironment::Prepare()
{
    std::string tmpl = (std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp");
    tmpl += "/quandor-test-XXXXXX";
    std::string buffer = tmpl;
    if (!mkdtemp(buffer.data()))
        std::abort();
    g_root = buffer;
    const std::string dirs[] = {"config", "data", "cache", "home", "odbc", "runtime"};
    for (const auto& d : dirs)
        QDir().mkpath(QString::fromStdString(g_root + "/" + d));

    setenv("XDG_CONFIG_HOME", (g_root + "/config").c_str(), 1);
    setenv("XDG_DATA_HOME", (g_root + "/data").c_str(), 1);
    setenv("XDG_CACHE_HOME", (g_root + "/cache").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", (g_root + "/runtime").c_str(), 1);
    chmod((g_root + "/runtime").c_str(), 0700);
    setenv("HOME", (g_root + "/home").c_str(), 1);
    setenv("ODBCINI", (g_root + "/odbc/odbc.ini").c_str(), 1);
    setenv("ODBCSYSINI", (g_root + "/odbc").c_str(), 1);
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);

    // The system DSN list is private too; only the drivers are shared.
    writeText(QString::fromStdString(g_root + "/odbc/odbcinst.ini"),
              QStringLiteral("[SQLite3]\nDescription=SQLite3 ODBC Driver\nDriver=%1\n")
                  .arg(QString::fromLatin1(kSqliteOdbcDriver)));
    writeText(QString::fromStdString(g_root + "/odbc/odbc.ini"), QString());
}

namespace {
void dropPostgresDatabases();
}

void TestEnvironment::CleanUp()
{
    dropPostgresDatabases();
    if (!g_root.empty())
        QDir(QString::fromStdString(g_root)).removeRecursively();
}

QString TestEnvironment::Root()
{
    return QString::fromStdString(g_root);
}

QString TestEnvironment::NewFolder(const QString& hint)
{
    const QString path = QStringLiteral("%1/t%2-%3").arg(Root()).arg(++g_folderCount).arg(hint);
    QDir().mkpath(path);
    return path;
}

QString TestEnvironment::SourceDir()
{
    return QStringLiteral(QUANDOR_SOURCE_DIR);
}

void TestEnvironment::WriteOdbcDsn(const QString& name, const QString& dbFile, bool missingDriver)
{
    const QString driver = missingDriver ? QStringLiteral("/nonexistent/libnodriver.so")
                                         : QString::fromLatin1(kSqliteOdbcDriver);
    QFile f(Root() + "/odbc/odbc.ini");
    if (!f.open(QIODevice::Append))
        std::abort();
    QTextStream(&f) << "[" << name << "]\nDriver=" << driver << "\nDatabase=" << dbFile
                    << "\nTimeout=5000\n\n";
    f.close();
    forgetOdbcConfiguration();
}

void TestEnvironment::ClearOdbcDsns()
{
    writeText(Root() + "/odbc/odbc.ini", QString());
    forgetOdbcConfiguration();
}

bool TestEnvironment::RunWithoutRoot(const std::function<bool()>& body)
{
    if (geteuid() != 0)
        return body();
    // The child must be able to read everything below the process's folder;
    // what it may write is left as the test set it.
    const QString root = Root();
    chmod(root.toLocal8Bit().constData(), 0755);
    for (const QString& name : QDir(root).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QByteArray path = (root + "/" + name).toLocal8Bit();
        struct stat st{};
        if (stat(path.constData(), &st) == 0)
            chmod(path.constData(), (st.st_mode & 07777) | 0055);
    }
    const pid_t pid = fork();
    if (pid < 0)
        return false;
    if (pid == 0) {
        const gid_t nobodyGroup = 65534;
        const uid_t nobody = 65534;
        if (setgroups(0, nullptr) != 0 || setgid(nobodyGroup) != 0 || setuid(nobody) != 0)
            _exit(2);
        _exit(body() ? 0 : 1);
    }
    int status = 0;
    if (waitpid(pid, &status, 0) != pid)
        return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool TestEnvironment::InFreshProcess()
{
    const char* const kMark = "QUANDOR_TEST_FRESH_PROCESS";
    if (qEnvironmentVariableIsSet(kMark))
        return true;
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QString::fromLatin1(kMark), QStringLiteral("1"));
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QStringLiteral("/proc/self/exe"),
                {QStringLiteral("--gtest_filter=%1.%2").arg(QString::fromLatin1(test->test_suite_name()),
                                                            QString::fromLatin1(test->name()))});
    const bool finished = child.waitForFinished(120000);
    const QByteArray output = child.readAll();
    EXPECT_TRUE(finished && child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0)
        << output.toStdString();
    // A filter that matched nothing would pass without running anything.
    EXPECT_TRUE(output.contains("[  PASSED  ] 1 test")) << output.toStdString();
    return false;
}

namespace {

const char* const kPostgresOdbcDriver = "/usr/lib/x86_64-linux-gnu/odbc/psqlodbcw.so";

std::vector<QString> g_postgresDatabases;
std::atomic<int> g_postgresCount{0};

QString postgresConnectString(const QString& socket, const QString& database)
{
    return QStringLiteral("DRIVER={%1};Servername=%2;Port=5432;Database=%3;Username=quandor")
        .arg(QString::fromLatin1(kPostgresOdbcDriver), socket, database);
}

// Runs body on a connection of its own to the database; false with *error
// when the connection cannot be made.
bool withPostgres(const QString& database, QString* error, const std::function<bool(QSqlDatabase&)>& body)
{
    const QString socket = TestEnvironment::PostgresSocket(error);
    if (socket.isEmpty())
        return false;
    static std::atomic<int> serial{0};
    const QString name = QStringLiteral("test-postgres-%1").arg(++serial);
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), name);
        db.setDatabaseName(postgresConnectString(socket, database));
        if (!db.open()) {
            if (error)
                *error = db.lastError().text();
        } else {
            ok = body(db);
        }
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}

void dropPostgresDatabases()
{
    if (g_postgresDatabases.empty())
        return;
    // One connection for all: a suite's cases leave a database each, and
    // every connection starts a server process.
    withPostgres(QStringLiteral("postgres"), nullptr, [](QSqlDatabase& db) {
        QSqlQuery query(db);
        for (const QString& database : g_postgresDatabases)
            query.exec(QStringLiteral("DROP DATABASE IF EXISTS \"%1\" WITH (FORCE)").arg(database));
        return true;
    });
    g_postgresDatabases.clear();
}

} // namespace

bool TestEnvironment::PostgresBackend()
{
    return qgetenv("QUANDOR_TEST_BACKEND") == "postgres";
}

QString TestEnvironment::PostgresUnavailable()
{
    QFile f(QStringLiteral(QUANDOR_BINARY_DIR "/pgtest/unavailable"));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLocal8Bit(f.readAll()).trimmed();
}

QString TestEnvironment::PostgresSocket(QString* error)
{
    // Written by the test run's cluster fixture (tests/support/postgres-cluster.sh).
    QFile f(QStringLiteral(QUANDOR_BINARY_DIR "/pgtest/socket"));
    if (!f.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("The PostgreSQL test cluster is not running (%1 is missing): run the tests "
                                    "through ctest, which starts it.")
                         .arg(f.fileName());
        return {};
    }
    return QString::fromLocal8Bit(f.readAll()).trimmed();
}

QString TestEnvironment::NewPostgresDatabase(QString* error)
{
    const QString name = QStringLiteral("q%1_%2").arg(getpid()).arg(++g_postgresCount);
    const bool made = withPostgres(QStringLiteral("postgres"), error, [&](QSqlDatabase& db) {
        QSqlQuery query(db);
        // From version 15 the server copies a template through its
        // write-ahead log unless told to copy the files, which costs it about
        // twice the work; nothing needs a test database's making logged.
        static const bool fileCopy =
            query.exec(QStringLiteral("SHOW server_version_num")) && query.next() && query.value(0).toInt() >= 150000;
        const QString create = QStringLiteral("CREATE DATABASE \"%1\" TEMPLATE quandor_template%2")
                                   .arg(name, fileCopy ? QStringLiteral(" STRATEGY FILE_COPY") : QString());
        if (query.exec(create))
            return true;
        if (error)
            *error = create + QStringLiteral(": ") + query.lastError().text();
        return false;
    });
    if (!made)
        return {};
    g_postgresDatabases.push_back(name);
    return name;
}

void TestEnvironment::WritePostgresDsn(const QString& name, const QString& database)
{
    QFile f(Root() + "/odbc/odbc.ini");
    if (!f.open(QIODevice::Append))
        std::abort();
    QTextStream(&f) << "[" << name << "]\nDriver=" << kPostgresOdbcDriver << "\nServername=" << PostgresSocket()
                    << "\nPort=5432\nDatabase=" << database << "\nUsername=quandor\n\n";
}

bool TestEnvironment::PostgresExec(const QString& database, const QStringList& statements, QString* error)
{
    return withPostgres(database, error, [&](QSqlDatabase& db) {
        // CREATE and DROP DATABASE refuse to run inside a transaction.
        const bool single = statements.size() == 1;
        if (!single && !db.transaction()) {
            if (error)
                *error = db.lastError().text();
            return false;
        }
        QSqlQuery query(db);
        for (const QString& statement : statements) {
            if (!query.exec(statement)) {
                if (error)
                    *error = statement + QStringLiteral(": ") + query.lastError().text();
                if (!single)
                    db.rollback();
                return false;
            }
        }
        if (!single && !db.commit()) {
            if (error)
                *error = db.lastError().text();
            return false;
        }
        return true;
    });
}

QStringList TestEnvironment::PostgresRows(const QString& database, const QString& statement, QString* error)
{
    QStringList rows;
    withPostgres(database, error, [&](QSqlDatabase& db) {
        QSqlQuery query(db);
        if (!query.exec(statement)) {
            if (error)
                *error = query.lastError().text();
            return false;
        }
        while (query.next()) {
            QStringList columns;
            for (int c = 0; c < query.record().count(); ++c)
                columns << query.value(c).toString();
            rows << columns.join(QLatin1Char('|'));
        }
        return true;
    });
    return rows;
}

bool TestEnvironment::DropPostgresConnections(const QString& database, QString* error)
{
    return PostgresExec(QStringLiteral("postgres"),
                        {QStringLiteral("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE datname = '%1' "
                                        "AND pid <> pg_backend_pid()")
                             .arg(database)},
                        error);
}

QString TestEnvironment::PostgresSql(QString statement)
{
    static const QRegularExpression names(QStringLiteral(
        "(?<![\"'\\w])\\b(tbl(?:Events|Leser|Person|Transponder|Zeitschema|Online)|ID_\\w+|str\\w+|bool\\w+|"
        "Leser_ID|Person_ID|Transponder_ID|Zeitfenster_ID|nTransponderIndex)\\b(?![\"'])"));
    return statement.replace(names, QStringLiteral("\"\\1\""));
}

QStringList TestEnvironment::PostgresFollowKeys(const QStringList& seeding)
{
    static const QRegularExpression insert(QStringLiteral("^\\s*(WITH\\b.*\\b)?INSERT\\b"),
                                           QRegularExpression::CaseInsensitiveOption
                                               | QRegularExpression::DotMatchesEverythingOption);
    QStringList statements;
    if (seeding.filter(insert).isEmpty())
        return statements;
    for (const char* name : {"Events", "Leser", "Person", "Transponder", "Zeitschema", "Online"}) {
        const QString table = QStringLiteral("tbl") + QLatin1String(name);
        const QString key = QStringLiteral("ID_") + QLatin1String(name);
        statements << QStringLiteral("SELECT setval(s, m) FROM (SELECT pg_get_serial_sequence('\"%1\"', '%2') AS s, "
                                     "MAX(\"%2\") AS m FROM \"%1\") k "
                                     "WHERE m > COALESCE(pg_sequence_last_value(s::regclass), 0)")
                          .arg(table, key);
    }
    return statements;
}

QStringList TestEnvironment::RefusalSql(bool server, const QString& name, const QString& operation,
                                        const QString& table, const QString& condition, const QString& message)
{
    if (server)
        return {QStringLiteral("CREATE FUNCTION %1() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN IF %2 THEN "
                               "RAISE EXCEPTION '%3'; END IF; IF TG_OP = 'DELETE' THEN RETURN OLD; END IF; "
                               "RETURN NEW; END $$")
                    .arg(name, condition.isEmpty() ? QStringLiteral("TRUE") : condition, message),
                QStringLiteral("CREATE TRIGGER %1 BEFORE %2 ON %3 FOR EACH ROW EXECUTE FUNCTION %1()")
                    .arg(name, operation, table)};
    return {QStringLiteral("CREATE TRIGGER %1 BEFORE %2 ON %3 %4 BEGIN SELECT RAISE(ABORT, '%5'); END")
                .arg(name, operation, table, condition.isEmpty() ? QString() : QStringLiteral("WHEN ") + condition,
                     message)};
}

QStringList TestEnvironment::DropRefusalSql(bool server, const QString& name, const QString& table)
{
    return {server ? QStringLiteral("DROP TRIGGER %1 ON %2").arg(name, table) : QStringLiteral("DROP TRIGGER ") + name};
}
