#include "CFerrold_Schema.h"

#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QStringList>

#include <atomic>

const char* const CFerrold_Schema::TableNames[6] = {"tblEvents",      "tblLeser",      "tblPerson",
                                                    "tblTransponder", "tblZeitschema", "tblOnline"};

namespace {

const char* const kDataSourceName = "Quandor";

// Identities are never reused (AUTOINCREMENT): reader, schema, person and
// transponder identities are kept inside other rows, and a reused one would
// silently link old references to a new row.
const char* const kCreate[6] = {
    "CREATE TABLE tblEvents ("
    " ID_Events INTEGER PRIMARY KEY AUTOINCREMENT,"
    " strTranspondernummer TEXT NOT NULL DEFAULT '',"
    " strDatum TEXT NOT NULL DEFAULT '',"
    " strUhrzeit TEXT NOT NULL DEFAULT '',"
    " strBinaerwert1 TEXT NOT NULL DEFAULT '',"
    " strEvent1 TEXT NOT NULL DEFAULT '',"
    " strBinaerwert2 TEXT NOT NULL DEFAULT '',"
    " strEvent2 TEXT NOT NULL DEFAULT '',"
    " Leser_ID INTEGER NOT NULL DEFAULT 0,"
    " strLeserName TEXT NOT NULL DEFAULT '')",
    "CREATE TABLE tblLeser ("
    " ID_Leser INTEGER PRIMARY KEY AUTOINCREMENT,"
    " strBezeichnung TEXT NOT NULL DEFAULT '',"
    " strAdresse TEXT NOT NULL DEFAULT '',"
    " strSeriennummer TEXT NOT NULL DEFAULT '',"
    " boolUpdateOK INTEGER NOT NULL DEFAULT 0,"
    " strLeserTyp TEXT NOT NULL DEFAULT '',"
    " strModus TEXT NOT NULL DEFAULT '',"
    " strParameter TEXT NOT NULL DEFAULT '')",
    "CREATE TABLE tblPerson ("
    " ID_Person INTEGER PRIMARY KEY AUTOINCREMENT,"
    " strName TEXT NOT NULL DEFAULT '',"
    " Transponder_ID INTEGER NOT NULL DEFAULT 0)",
    "CREATE TABLE tblTransponder ("
    " ID_Transponder INTEGER PRIMARY KEY AUTOINCREMENT,"
    " strTransponderNummer TEXT NOT NULL DEFAULT '',"
    " Person_ID INTEGER NOT NULL DEFAULT 0,"
    " Zeitfenster_ID INTEGER NOT NULL DEFAULT 0,"
    " strLeser_IDS TEXT NOT NULL DEFAULT '',"
    " nTransponderIndex INTEGER NOT NULL DEFAULT 0,"
    " boolUpdateOK INTEGER NOT NULL DEFAULT 0)",
    "CREATE TABLE tblZeitschema ("
    " ID_Zeitschema INTEGER PRIMARY KEY AUTOINCREMENT,"
    " strBezeichnung TEXT NOT NULL DEFAULT '',"
    " strVon TEXT NOT NULL DEFAULT '',"
    " strBis TEXT NOT NULL DEFAULT '',"
    " boolSonntag INTEGER NOT NULL DEFAULT 0,"
    " boolMontag INTEGER NOT NULL DEFAULT 0,"
    " boolDienstag INTEGER NOT NULL DEFAULT 0,"
    " boolMittwoch INTEGER NOT NULL DEFAULT 0,"
    " boolDonnerstag INTEGER NOT NULL DEFAULT 0,"
    " boolFreitag INTEGER NOT NULL DEFAULT 0,"
    " boolSamstag INTEGER NOT NULL DEFAULT 0,"
    " boolUpdateOK INTEGER NOT NULL DEFAULT 0)",
    "CREATE TABLE tblOnline ("
    " ID_Online INTEGER PRIMARY KEY AUTOINCREMENT,"
    " strOnline TEXT NOT NULL DEFAULT '')",
};

// The built-in full-access schema (all day, every day; its four time windows
// are identities 1 to 4) and the one row the online table must hold.
const char* const kSeedZeitschema =
    "INSERT INTO tblZeitschema (ID_Zeitschema, strBezeichnung, strVon, strBis, boolSonntag, boolMontag,"
    " boolDienstag, boolMittwoch, boolDonnerstag, boolFreitag, boolSamstag, boolUpdateOK) VALUES"
    " (1,'Vollzugriff','0000','2359',1,1,1,1,1,1,1,0),"
    " (2,'Vollzugriff','0000','2359',1,1,1,1,1,1,1,0),"
    " (3,'Vollzugriff','0000','2359',1,1,1,1,1,1,1,0),"
    " (4,'Vollzugriff','0000','2359',1,1,1,1,1,1,1,0)";
const char* const kSeedOnline = "INSERT INTO tblOnline (ID_Online, strOnline) VALUES (1, '1')";

bool existingTables(QSqlDatabase& db, QStringList* names, QString* error)
{
    // A query, not QSqlDatabase::tables(): that one hides a file that is not
    // a database behind an empty list.
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table'"))) {
        *error = query.lastError().text();
        return false;
    }
    while (query.next())
        names->append(query.value(0).toString());
    return true;
}

bool containsTable(const QStringList& names, const QString& table)
{
    return names.contains(table, Qt::CaseInsensitive);
}

// The tables of a data source that the queries cannot reach. Asked in the
// form every query names them (quoted, in their case), so a server that
// keeps names in the case they were created with is judged as the queries
// will find it; a catalogue that lists names in another case would pass a
// source whose every read then fails.
QStringList unreachableTables(QSqlDatabase& db)
{
    QStringList missing;
    QSqlQuery query(db);
    for (const char* table : CFerrold_Schema::TableNames) {
        const QString name = QLatin1String(table);
        if (!query.exec(QStringLiteral("SELECT * FROM %1 WHERE 1 = 0")
                            .arg(db.driver()->escapeIdentifier(name, QSqlDriver::TableName))))
            missing << name;
        query.finish();
    }
    return missing;
}

} // namespace

CDatabase::Source CFerrold_Schema::DefaultSource()
{
    const QStringList dsns = CDatabase::OdbcDataSources();
    if (dsns.contains(QLatin1String(kDataSourceName), Qt::CaseInsensitive))
        return {CDatabase::Kind::Odbc, QLatin1String(kDataSourceName)};
    return {CDatabase::Kind::Sqlite, DefaultFilePath()};
}

QString CFerrold_Schema::DefaultFilePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
           + QStringLiteral("/Velmora/Quandor/Quandor.mdb");
}

bool CFerrold_Schema::Prepare(CDatabase& database, QString* error)
{
    QSqlDatabase db = database.Connection(error);
    if (!db.isOpen())
        return false;

    if (database.GetSource().kind != CDatabase::Kind::Sqlite) {
        const QStringList missing = unreachableTables(db);
        if (missing.isEmpty())
            return true;
        *error = QStringLiteral("The data source \"%1\" lacks the tables %2.")
                     .arg(database.GetSource().location, missing.join(QStringLiteral(", ")));
        return false;
    }

    QStringList present;
    if (!existingTables(db, &present, error))
        return false;

    QStringList missing;
    for (const char* table : TableNames) {
        if (!containsTable(present, QLatin1String(table)))
            missing << QLatin1String(table);
    }
    if (missing.isEmpty())
        return true;

    // The tables are made, and seeded, together or not at all.
    if (!database.BeginTrans()) {
        *error = db.lastError().text();
        return false;
    }
    QSqlQuery query(db);
    auto run = [&](const char* sql) {
        if (query.exec(QLatin1String(sql)))
            return true;
        *error = query.lastError().text();
        return false;
    };
    bool ok = true;
    for (int i = 0; i < 6 && ok; ++i) {
        if (!missing.contains(QLatin1String(TableNames[i])))
            continue;
        ok = run(kCreate[i]);
        // Seeds go only into a table made just now: an existing schema
        // table may hold other rows under these identities.
        if (ok && i == 4)
            ok = run(kSeedZeitschema);
        if (ok && i == 5)
            ok = run(kSeedOnline);
    }
    if (ok && missing.size() == 6)
        ok = run("PRAGMA user_version = 1");
    query.finish();
    if (!ok || !database.CommitTrans()) {
        if (ok)
            *error = db.lastError().text();
        database.Rollback();
        return false;
    }
    return true;
}

namespace {

// The column names of a table, in table order; empty when it has none.
QStringList columnNames(QSqlDatabase& db, const QString& table, QString* error)
{
    QStringList names;
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("PRAGMA table_info(\"%1\")").arg(table))) {
        *error = query.lastError().text();
        return names;
    }
    while (query.next())
        names << query.value(1).toString();
    return names;
}

// A connection of its own, removed again with the object.
class ScratchConnection
{
public:
    ScratchConnection(const QString& file, bool readOnly)
        : m_name(QStringLiteral("ferrold-check-%1").arg(++s_serial))
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
        db.setDatabaseName(file);
        if (readOnly)
            db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        db.open();
    }
    ~ScratchConnection() { QSqlDatabase::removeDatabase(m_name); }

    QSqlDatabase Get() const { return QSqlDatabase::database(m_name, false); }

private:
    static inline std::atomic<int> s_serial{0};
    QString m_name;
};

} // namespace

bool CFerrold_Schema::IsDatabaseFile(const QString& path, QString* error)
{
    const QFileInfo info(path);
    if (!info.isFile() || !info.isReadable()) {
        *error = QStringLiteral("\"%1\" is no readable file.").arg(path);
        return false;
    }
    // What the tables must hold: those of a new database.
    ScratchConnection reference(QStringLiteral(":memory:"), false);
    ScratchConnection candidate(path, true);
    QSqlDatabase ref = reference.Get();
    QSqlDatabase db = candidate.Get();
    if (!ref.isOpen() || !db.isOpen()) {
        *error = (ref.isOpen() ? db : ref).lastError().text();
        return false;
    }
    QSqlQuery create(ref);
    for (const char* sql : kCreate) {
        if (!create.exec(QLatin1String(sql))) {
            *error = create.lastError().text();
            return false;
        }
    }
    // A file that is no database, or a damaged one, fails here.
    QSqlQuery check(db);
    if (!check.exec(QStringLiteral("PRAGMA quick_check")) || !check.next()) {
        *error = check.lastError().text();
        return false;
    }
    const QString verdict = check.value(0).toString();
    if (verdict != QLatin1String("ok")) {
        *error = verdict;
        return false;
    }
    check.finish();
    error->clear();
    for (const char* table : TableNames) {
        const QString name = QLatin1String(table);
        const QStringList expected = columnNames(ref, name, error);
        const QStringList present = columnNames(db, name, error);
        if (present.isEmpty()) {
            if (error->isEmpty())
                *error = QStringLiteral("The table %1 is missing.").arg(name);
            return false;
        }
        for (const QString& column : expected) {
            if (!present.contains(column, Qt::CaseInsensitive)) {
                *error = QStringLiteral("The table %1 lacks the column %2.").arg(name, column);
                return false;
            }
        }
    }
    return true;
}
