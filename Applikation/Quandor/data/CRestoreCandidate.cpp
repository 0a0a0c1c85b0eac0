#include "CRestoreCandidate.h"

#include "CFerrold_Schema.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

#include <atomic>

namespace {

constexpr char kSqliteHeader[] = "SQLite format 3";
constexpr int kHeaderSize = 100;

quint32 bigEndian(const QByteArray& bytes, int at, int size)
{
    quint32 value = 0;
    for (int i = 0; i < size; ++i)
        value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

// What the first bytes tell before any database code reads the file: an
// empty file would be taken for an empty new database, and a cut-off one
// may only show as damage on pages nobody reads during the checks.
QString headerFault(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("\"%1\" cannot be read: %2").arg(path, file.errorString());
    if (file.size() == 0)
        return QStringLiteral("The file is empty.");
    const QByteArray header = file.read(kHeaderSize);
    if (header.size() < kHeaderSize || !header.startsWith(QByteArray(kSqliteHeader, sizeof kSqliteHeader)))
        return QStringLiteral("The file is no database file (it holds text or data of another kind).");
    quint32 pageSize = bigEndian(header, 16, 2);
    if (pageSize == 1)
        pageSize = 65536;
    // The page count in the header holds only when written by a version
    // that keeps it (the two counters agree).
    if (bigEndian(header, 24, 4) == bigEndian(header, 92, 4)) {
        const qint64 expected = qint64(pageSize) * bigEndian(header, 28, 4);
        if (file.size() < expected)
            return QStringLiteral("The file is cut short: it holds %1 of its %2 bytes.").arg(file.size()).arg(expected);
    }
    return QString();
}

// A read-only connection of its own, gone with the object.
class Connection
{
public:
    explicit Connection(const QString& path)
        : m_name(QStringLiteral("restore-candidate-%1").arg(++s_serial))
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        db.open();
    }
    ~Connection() { QSqlDatabase::removeDatabase(m_name); }
    QSqlDatabase Get() const { return QSqlDatabase::database(m_name, false); }

private:
    static inline std::atomic<int> s_serial{0};
    QString m_name;
};

// The names of the objects of one kind ("trigger", "view").
QStringList objectsOfType(QSqlQuery& query, const char* type, QString* error)
{
    QStringList names;
    query.prepare(QStringLiteral("SELECT name FROM sqlite_master WHERE type = ? ORDER BY name"));
    query.addBindValue(QLatin1String(type));
    if (!query.exec())
        *error = query.lastError().text();
    while (query.next())
        names << query.value(0).toString();
    return names;
}

QString schemaFault(QSqlQuery& query)
{
    if (!query.exec(QStringLiteral("SELECT strBezeichnung FROM tblZeitschema ORDER BY ID_Zeitschema")))
        return query.lastError().text();
    QStringList names;
    while (query.next())
        names << query.value(0).toString();
    if (names.size() % 4 != 0)
        return QStringLiteral("The time-schema table holds %1 rows, not whole schemas of four rows each.")
            .arg(names.size());
    bool fullAccess = false;
    for (int i = 0; i < names.size(); i += 4) {
        for (int k = 1; k < 4; ++k) {
            if (names[i + k] != names[i])
                return QStringLiteral("The time-schema rows %1 to %2 do not belong to one schema (\"%3\", \"%4\").")
                    .arg(i + 1)
                    .arg(i + 4)
                    .arg(names[i], names[i + k]);
        }
        if (names[i] == QLatin1String("Vollzugriff") || names[i] == QLatin1String("Full access"))
            fullAccess = true;
    }
    if (!fullAccess)
        return QStringLiteral("The time-schema table lacks the built-in full-access schema.");
    return QString();
}

// Every stored text is read as text; a NULL would be an empty name that no
// lookup by name finds.
QString nullTextFault(QSqlQuery& query)
{
    for (const char* table : CFerrold_Schema::TableNames) {
        if (!query.exec(QStringLiteral("PRAGMA table_info(\"%1\")").arg(QLatin1String(table))))
            return query.lastError().text();
        QStringList texts;
        while (query.next()) {
            if (!query.value(2).toString().contains(QLatin1String("INT"), Qt::CaseInsensitive))
                texts << query.value(1).toString();
        }
        for (const QString& column : texts) {
            if (!query.exec(QStringLiteral("SELECT COUNT(*) FROM \"%1\" WHERE \"%2\" IS NULL")
                                .arg(QLatin1String(table), column))
                || !query.next())
                return query.lastError().text();
            if (const qlonglong count = query.value(0).toLongLong())
                return QStringLiteral("The column %2 of the table %1 holds %3 rows without a text (NULL).")
                    .arg(QLatin1String(table), column)
                    .arg(count);
        }
    }
    return QString();
}

} // namespace

QString CRestoreCandidate::Fault(const QString& path)
{
    if (!QFileInfo(path).isFile())
        return QStringLiteral("\"%1\" is no readable file.").arg(path);
    QString fault = headerFault(path);
    if (!fault.isEmpty())
        return fault;
    if (!CFerrold_Schema::IsDatabaseFile(path, &fault))
        return fault.isEmpty() ? QStringLiteral("The file is no database of this program.") : fault;

    Connection connection(path);
    {
        QSqlDatabase db = connection.Get();
        if (!db.isOpen())
            return db.lastError().text();
        QSqlQuery query(db);
        QString error;
        // Run inside the program's database, a trigger of the file would act
        // on every change the operator makes, behind the screen's back.
        const QStringList triggers = objectsOfType(query, "trigger", &error);
        if (!error.isEmpty())
            return error;
        if (!triggers.isEmpty())
            return QStringLiteral("The file holds triggers (%1); a database of this program holds none.")
                .arg(triggers.join(QStringLiteral(", ")));
        const QStringList views = objectsOfType(query, "view", &error);
        if (!error.isEmpty())
            return error;
        if (!views.isEmpty())
            return QStringLiteral("The file holds views (%1); a database of this program holds none.")
                .arg(views.join(QStringLiteral(", ")));
        fault = schemaFault(query);
        if (fault.isEmpty())
            fault = nullTextFault(query);
    }
    return fault;
}
