// What the program's database read costs at start: creating the handler
// (which reads all six tables) over 0, 100,000 and 1,000,000 events, the
// time and the process's peak memory. Each measurement runs in a process
// of its own, so none inherits another's heap or warm allocator; the
// empty database is the floor of the memory (what the process takes
// without events). The events are what readers store: 10,000 transponders,
// two years of dates, minutes of the day, the reader's event codes and
// texts, 20 readers.
//
//     bench_event_cache [--runs 3] [--rows 100000,1000000]
//     bench_event_cache --load FILE      (one measurement: "ms peak-kB rows")
#include "CFerrold_Handler.h"
#include "CFerrold_Reporter.h"
#include "CFerrold_Schema.h"
#include "CLanguageHandler.h"
#include "CtblEvents.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <sqlite3.h>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

int load(const QString& file)
{
    CLanguageHandler language(0, QString());
    QElapsedTimer timer;
    timer.start();
    CFerrold_Handler handler(&language, {CDatabase::Kind::Sqlite, file});
    const qint64 ms = timer.elapsed();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("%lld %ld %d\n", static_cast<long long>(ms), usage.ru_maxrss,
                handler.Get_Ptr_To_tblEvents()->GetAnz_Events());
    return 0;
}

void build(const QString& file, int rows)
{
    {
        CDatabase db({CDatabase::Kind::Sqlite, file});
        QString error;
        if (!CFerrold_Schema::Prepare(db, &error))
            qFatal("%s", qUtf8Printable(error));
    }
    sqlite3* db = nullptr;
    if (sqlite3_open(QFile::encodeName(file).constData(), &db) != SQLITE_OK)
        qFatal("open");
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(db,
                       "INSERT INTO tblEvents (strTranspondernummer, strDatum, strUhrzeit, strBinaerwert1, strEvent1,"
                       " strBinaerwert2, strEvent2, Leser_ID, strLeserName) VALUES (?,?,?,?,?,?,?,?,?)",
                       -1, &insert, nullptr);
    const char* const codes1[] = {"10", "01", "00"};
    const char* const texts1[] = {"Zutritt", "Kein Zutritt", "Unbekannt"};
    const char* const codes2[] = {"011", "101", "110", "010", "100", "001", "---"};
    const char* const texts2[] = {"Tür geöffnet", "Tür zu lange offen", "Sabotage", "Zeitschema", "Gesperrt",
                                  "Master", "-"};
    for (int i = 0; i < rows; ++i) {
        const QByteArray number = QByteArray::number(0x1000000000LL + (i * 7919) % 10000, 16).toUpper();
        const int day = (i / 500) % 730;
        const QByteArray date = QStringLiteral("%1%2%3")
                                    .arg(1 + day % 28, 2, 10, QLatin1Char('0'))
                                    .arg(1 + (day / 28) % 12, 2, 10, QLatin1Char('0'))
                                    .arg(2024 + day / 365)
                                    .toLatin1();
        const QByteArray time = QStringLiteral("%1%2")
                                    .arg((i / 60) % 24, 2, 10, QLatin1Char('0'))
                                    .arg(i % 60, 2, 10, QLatin1Char('0'))
                                    .toLatin1();
        const int reader = 1 + i % 20;
        const QByteArray readerName = QStringLiteral("Eingang %1").arg(reader).toUtf8();
        const QByteArray fields[] = {number, date, time, codes1[i % 3], texts1[i % 3], codes2[i % 7], texts2[i % 7]};
        for (int f = 0; f < 7; ++f)
            sqlite3_bind_text(insert, f + 1, fields[f].constData(), int(fields[f].size()), SQLITE_TRANSIENT);
        sqlite3_bind_int(insert, 8, reader);
        sqlite3_bind_text(insert, 9, readerName.constData(), int(readerName.size()), SQLITE_TRANSIENT);
        if (sqlite3_step(insert) != SQLITE_DONE)
            qFatal("insert");
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

struct Figure
{
    qint64 ms = 0;
    long peakKb = 0;
};

Figure measure(const QString& file, int rows)
{
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--load"), file});
    if (!child.waitForFinished(600000) || child.exitCode() != 0)
        qFatal("the measuring process failed: %s", child.readAllStandardError().constData());
    const QList<QByteArray> parts = child.readAllStandardOutput().trimmed().split(' ');
    if (parts.size() != 3 || parts[2].toInt() != rows)
        qFatal("the measuring process read the wrong rows");
    return {parts[0].toLongLong(), parts[1].toLong()};
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    CFerrold_Reporter::SetReporter([](const QString& text, CFerrold_Reporter::Icon) { qFatal("%s", qUtf8Printable(text)); });
    const QStringList args = app.arguments();
    if (args.size() == 3 && args[1] == QLatin1String("--load"))
        return load(args[2]);

    int runs = 3;
    std::vector<int> sizes = {0, 100000, 1000000};
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == QLatin1String("--runs")) {
            runs = std::max(1, args[i + 1].toInt());
        } else if (args[i] == QLatin1String("--rows")) {
            sizes = {0};
            for (const QString& n : args[i + 1].split(QLatin1Char(',')))
                sizes.push_back(n.toInt());
        }
    }
    // The databases are kept between runs of the program: a million rows
    // take a while to write.
    const QString folder = QDir::temp().filePath(QStringLiteral("quandor-bench-event-cache"));
    QDir().mkpath(folder);
    std::printf("%10s %12s %14s %16s\n", "events", "read ms", "peak MB", "beyond empty MB");
    long emptyKb = 0;
    for (int rows : sizes) {
        const QString file = QDir(folder).filePath(QStringLiteral("events-%1.mdb").arg(rows));
        if (!QFile::exists(file)) {
            const QString partial = file + QStringLiteral(".part");
            QFile::remove(partial);
            build(partial, rows);
            QFile::rename(partial, file);
        }
        std::vector<Figure> figures;
        for (int r = 0; r < runs; ++r)
            figures.push_back(measure(file, rows));
        std::sort(figures.begin(), figures.end(), [](const Figure& a, const Figure& b) { return a.ms < b.ms; });
        const Figure median = figures[figures.size() / 2];
        long peak = 0;
        for (const Figure& f : figures)
            peak = std::max(peak, f.peakKb);
        if (rows == 0)
            emptyKb = peak;
        std::printf("%10d %12lld %14.1f %16.1f\n", rows, static_cast<long long>(median.ms), peak / 1024.0,
                    (peak - emptyKb) / 1024.0);
        std::fflush(stdout);
    }
    return 0;
}
