// Another program holding a lock on the test's database, as a second
// instance or another PC does in the middle of a long write. It takes the
// lock, prints "locked", and keeps it until a line "release <ms>" (released
// that many milliseconds later) or the end of its input; then it prints
// "released" and waits for the next "lock" line (or the end).
//
//     lock_holder <database file | odbc:<data source>> <write | all>
//
// "write" keeps every other writer out while readers go on (the file's
// write lock; on the server an exclusive lock on every table); "all" keeps
// readers out too.

#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

#include <chrono>
#include <cstdio>
#include <iostream>
#include <string>
#include <thread>

namespace {

const char* const kTables[] = {"tblEvents", "tblLeser", "tblPerson", "tblTransponder", "tblZeitschema", "tblOnline"};

bool run(QSqlDatabase& db, const QString& sql)
{
    QSqlQuery q(db);
    if (q.exec(sql))
        return true;
    std::fprintf(stderr, "failed: %s: %s\n", qUtf8Printable(sql), qUtf8Printable(q.lastError().text()));
    return false;
}

bool lock(QSqlDatabase& db, bool server, bool all)
{
    if (!server) {
        // A write makes the lock the file's own, as a writer in the middle
        // of its transaction holds it.
        return run(db, all ? QStringLiteral("BEGIN EXCLUSIVE") : QStringLiteral("BEGIN IMMEDIATE"))
               && run(db, QStringLiteral("UPDATE tblOnline SET strOnline = strOnline"));
    }
    if (!db.transaction())
        return false;
    for (const char* table : kTables) {
        if (!run(db, QStringLiteral("LOCK TABLE \"%1\" IN %2 MODE")
                         .arg(QLatin1String(table), all ? QStringLiteral("ACCESS EXCLUSIVE") : QStringLiteral("EXCLUSIVE"))))
            return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: lock_holder <database file | odbc:<data source>> <write | all>\n");
        return 2;
    }
    const QString source = QString::fromLocal8Bit(argv[1]);
    const bool all = std::string(argv[2]) == "all";
    const bool odbc = source.startsWith(QLatin1String("odbc:"));
    QSqlDatabase db = QSqlDatabase::addDatabase(odbc ? QStringLiteral("QODBC") : QStringLiteral("QSQLITE"));
    db.setDatabaseName(odbc ? source.mid(5) : source);
    if (!db.open()) {
        std::fprintf(stderr, "cannot open: %s\n", qUtf8Printable(db.lastError().text()));
        return 1;
    }
    const bool server = odbc;
    for (;;) {
        if (!lock(db, server, all))
            return 1;
        std::printf("locked\n");
        std::fflush(stdout);
        std::string line;
        const bool more = bool(std::getline(std::cin, line));
        if (more && line.rfind("release ", 0) == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(std::stoi(line.substr(8)))); // the wait asked for
        if (server)
            db.rollback();
        else
            run(db, QStringLiteral("ROLLBACK"));
        std::printf("released\n");
        std::fflush(stdout);
        if (!more || !std::getline(std::cin, line) || line != "lock")
            return 0;
    }
}
