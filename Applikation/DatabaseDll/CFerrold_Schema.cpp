#include "CFerrold_Schema.h"

#include <QFileInfo>
#include <QHash>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStandardPaths>
#include <QStringList>

#include <atomic>
#include <utility>
#include <vector>

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

// Indexes beside the keys. A person's links are cleared for thousands of
// persons at once (deleting persons, a re-read list), each chunk of them a
// scan of every transponder without this one.
struct IndexDefinition
{
    const char* name;
    const char* table;
    const char* column;
};
const IndexDefinition kIndexes[] = {{"ixTransponderPerson", "tblTransponder", "Person_ID"}};

// The indexes of a file that lacks them are made as it is opened: a file of
// an older version gets them as it gets missing columns. Best effort: a file
// that cannot take them now (another writer holds it) works as before, only
// slower, and is asked again at the next start.
void addMissingIndexes(QSqlDatabase& db)
{
    QSqlQuery query(db);
    for (const IndexDefinition& index : kIndexes) {
        query.prepare(QStringLiteral("SELECT 1 FROM sqlite_master WHERE type = 'index' AND name = ?"));
        query.addBindValue(QLatin1String(index.name));
        if (!query.exec() || query.next()) {
            query.finish();
            continue;
        }
        query.finish();
        query.exec(QStringLiteral("CREATE INDEX IF NOT EXISTS %1 ON %2 (%3)")
                       .arg(QLatin1String(index.name), QLatin1String(index.table), QLatin1String(index.column)));
        query.finish();
    }
}

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

namespace {

// A column as a new database declares it.
struct ColumnDefinition
{
    QString name;
    QString type;
    QString defaultValue; // as SQL, e.g. '' or 0
};

// The tables of a new database, table by table in TableNames order: made
// once in memory and read back, so the create statements stay the one
// description of them.
std::vector<std::vector<ColumnDefinition>> referenceColumns(QString* error)
{
    std::vector<std::vector<ColumnDefinition>> tables;
    ScratchConnection reference(QStringLiteral(":memory:"), false);
    QSqlDatabase ref = reference.Get();
    if (!ref.isOpen()) {
        *error = ref.lastError().text();
        return tables;
    }
    QSqlQuery query(ref);
    for (const char* sql : kCreate) {
        if (!query.exec(QLatin1String(sql))) {
            *error = query.lastError().text();
            return {};
        }
    }
    for (const char* table : CFerrold_Schema::TableNames) {
        std::vector<ColumnDefinition> columns;
        if (!query.exec(QStringLiteral("PRAGMA table_info(\"%1\")").arg(QLatin1String(table)))) {
            *error = query.lastError().text();
            return {};
        }
        while (query.next())
            columns.push_back({query.value(1).toString(), query.value(2).toString(), query.value(4).toString()});
        tables.push_back(std::move(columns));
    }
    return tables;
}

// The columns of an existing table as the data source names them.
QStringList presentColumns(QSqlDatabase& db, const QString& table, QString* error)
{
    if (db.driverName() == QLatin1String("QSQLITE"))
        return columnNames(db, table, error);
    // Asked in the form every query names the table.
    QStringList names;
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("SELECT * FROM %1 WHERE 1 = 0")
                        .arg(db.driver()->escapeIdentifier(table, QSqlDriver::TableName)))) {
        *error = query.lastError().text();
        return names;
    }
    const QSqlRecord record = query.record();
    for (int i = 0; i < record.count(); ++i)
        names << record.fieldName(i);
    return names;
}

QString actualName(const QStringList& names, const QString& wanted)
{
    for (const QString& name : names) {
        if (name.compare(wanted, Qt::CaseInsensitive) == 0)
            return name;
    }
    return wanted;
}

// The columns the existing tables lack, as "table.column" pairs; a table
// that is missing altogether is not looked at here.
bool missingColumns(QSqlDatabase& db, const QStringList& present,
                    std::vector<std::pair<int, ColumnDefinition>>* missing, QString* error)
{
    const auto reference = referenceColumns(error);
    if (reference.empty())
        return false;
    for (int t = 0; t < 6; ++t) {
        const QString table = QLatin1String(CFerrold_Schema::TableNames[t]);
        if (!containsTable(present, table))
            continue;
        const QStringList columns = presentColumns(db, actualName(present, table), error);
        if (columns.isEmpty())
            return false;
        for (const ColumnDefinition& column : reference[static_cast<size_t>(t)]) {
            if (!columns.contains(column.name, Qt::CaseInsensitive))
                missing->emplace_back(t, column);
        }
    }
    return true;
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

    const bool embedded = database.GetSource().kind == CDatabase::Kind::Sqlite;
    if (!embedded) {
        const QStringList unreachable = unreachableTables(db);
        if (!unreachable.isEmpty()) {
            *error = QStringLiteral("The data source \"%1\" lacks the tables %2.")
                         .arg(database.GetSource().location, unreachable.join(QStringLiteral(", ")));
            return false;
        }
    }

    QStringList present;
    if (embedded) {
        if (!existingTables(db, &present, error))
            return false;
    } else {
        for (const char* table : TableNames)
            present << QLatin1String(table);
    }

    QStringList missing;
    for (const char* table : TableNames) {
        if (!containsTable(present, QLatin1String(table)))
            missing << QLatin1String(table);
    }
    // A column the table lacks would otherwise be read as nothing, or as a
    // text of its own name, and writes to it would fail one by one.
    std::vector<std::pair<int, ColumnDefinition>> lacking;
    if (!missingColumns(db, present, &lacking, error))
        return false;
    if (missing.isEmpty() && lacking.empty()) {
        if (embedded)
            addMissingIndexes(db);
        return true;
    }
    for (const auto& [table, column] : lacking) {
        // The key cannot be added to a table that has rows under no key.
        if (!embedded || column.name.startsWith(QLatin1String("ID_"))) {
            *error = QStringLiteral("The data source \"%1\" lacks the column %2 of the table %3.")
                         .arg(database.GetSource().location, column.name, QLatin1String(TableNames[table]));
            return false;
        }
    }
    if (!embedded) {
        *error = QStringLiteral("The data source \"%1\" lacks the tables %2.")
                     .arg(database.GetSource().location, missing.join(QStringLiteral(", ")));
        return false;
    }

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
    for (size_t i = 0; i < lacking.size() && ok; ++i) {
        const ColumnDefinition& column = lacking[i].second;
        ok = query.exec(QStringLiteral("ALTER TABLE %1 ADD COLUMN %2 %3 NOT NULL DEFAULT %4")
                            .arg(QLatin1String(TableNames[lacking[i].first]), column.name, column.type,
                                 column.defaultValue));
        if (!ok)
            *error = query.lastError().text();
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
    addMissingIndexes(db);
    return true;
}


namespace {

bool integerType(const QString& declared)
{
    return declared.contains(QLatin1String("INT"), Qt::CaseInsensitive);
}

// What a candidate's table holds beyond its column names: declared types of
// the same kind as a new database's, the key as the table's primary key,
// every key a unique positive 32-bit number and every number column a
// 32-bit number; rows that break this could not be read, or would be read
// as other rows. An empty text when the table is sound.
QString tableFault(QSqlDatabase& db, const QString& table, const std::vector<ColumnDefinition>& expected)
{
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("PRAGMA table_info(\"%1\")").arg(table)))
        return query.lastError().text();
    QHash<QString, std::pair<QString, int>> present; // lower-case name: declared type, primary-key position
    while (query.next())
        present.insert(query.value(1).toString().toLower(), {query.value(2).toString(), query.value(5).toInt()});
    if (present.isEmpty())
        return QStringLiteral("The table %1 is missing.").arg(table);
    QStringList checks;
    for (size_t c = 0; c < expected.size(); ++c) {
        const ColumnDefinition& column = expected[c];
        const auto it = present.constFind(column.name.toLower());
        if (it == present.constEnd())
            return QStringLiteral("The table %1 lacks the column %2.").arg(table, column.name);
        const bool number = integerType(column.type);
        if (integerType(it->first) != number)
            return QStringLiteral("The column %2 of the table %1 is of the type \"%3\", not a %4.")
                .arg(table, column.name, it->first,
                     number ? QStringLiteral("number") : QStringLiteral("text"));
        if (c == 0 && it->second != 1)
            return QStringLiteral("The column %2 is not the key of the table %1.").arg(table, column.name);
        if (c == 0)
            checks << QStringLiteral("COUNT(\"%1\") - COUNT(DISTINCT \"%1\")").arg(column.name)
                   << QStringLiteral("COALESCE(SUM(typeof(\"%1\") <> 'integer' OR \"%1\" <= 0 OR \"%1\" > 2147483647), 0)")
                          .arg(column.name);
        else if (number)
            checks << QStringLiteral("COALESCE(SUM(\"%1\" IS NOT NULL AND (typeof(\"%1\") <> 'integer'"
                                     " OR \"%1\" < -2147483648 OR \"%1\" > 2147483647)), 0)")
                          .arg(column.name);
    }
    if (!query.exec(QStringLiteral("SELECT %1 FROM \"%2\"").arg(checks.join(QStringLiteral(", ")), table))
        || !query.next())
        return query.lastError().text();
    if (query.value(0).toLongLong() > 0)
        return QStringLiteral("The table %1 holds %2 rows whose key another row holds too.")
            .arg(table)
            .arg(query.value(0).toLongLong());
    if (query.value(1).toLongLong() > 0)
        return QStringLiteral("The table %1 holds %2 rows whose key is no positive number.")
            .arg(table)
            .arg(query.value(1).toLongLong());
    int at = 2;
    for (size_t c = 1; c < expected.size(); ++c) {
        if (!integerType(expected[c].type))
            continue;
        const qlonglong bad = query.value(at++).toLongLong();
        if (bad > 0)
            return QStringLiteral("The column %2 of the table %1 holds %3 values that are no 32-bit numbers.")
                .arg(table, expected[c].name)
                .arg(bad);
    }
    return QString();
}

} // namespace

bool CFerrold_Schema::IsDatabaseFile(const QString& path, QString* error)
{
    const QFileInfo info(path);
    if (!info.isFile() || !info.isReadable()) {
        *error = QStringLiteral("\"%1\" is no readable file.").arg(path);
        return false;
    }
    // What the tables must hold: those of a new database.
    const auto reference = referenceColumns(error);
    if (reference.empty())
        return false;
    ScratchConnection candidate(path, true);
    QSqlDatabase db = candidate.Get();
    if (!db.isOpen()) {
        *error = db.lastError().text();
        return false;
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
    for (int t = 0; t < 6; ++t) {
        *error = tableFault(db, QLatin1String(TableNames[t]), reference[static_cast<size_t>(t)]);
        if (!error->isEmpty())
            return false;
    }
    return true;
}

bool CFerrold_Schema::WriteSnapshot(const QString& from, const QString& to, QString* error)
{
    if (!QFileInfo(from).isFile()) {
        *error = QStringLiteral("\"%1\" is no readable file.").arg(from);
        return false;
    }
    ScratchConnection source(from, true);
    QSqlDatabase db = source.Get();
    if (!db.isOpen()) {
        *error = db.lastError().text();
        return false;
    }
    // A copy of the main file alone would miss committed rows that are still
    // in a log beside it, and could catch a writer half way.
    QSqlQuery query(db);
    query.prepare(QStringLiteral("VACUUM INTO ?"));
    query.addBindValue(to);
    if (!query.exec()) {
        *error = query.lastError().text();
        return false;
    }
    return true;
}
