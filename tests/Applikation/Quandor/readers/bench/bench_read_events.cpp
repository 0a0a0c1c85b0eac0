// bench_read_events: what reading a reader's events costs the program, next
// to what it costs the serial line. A simulated Kite with 5,000 events and
// no latency answers on a pseudo-terminal; the events table already holds
// 100,000 rows.
//   floor   - the 5,000 event requests alone, straight through the link
//             under one lease (pseudo-terminal, simulator and link)
//   run     - the whole read-events run: frame, worker, decoding, date
//             filter, progress and storing
//   program - (run - floor) per event: the program's own cost
//   storing alone - the rows written through the store without the link
//   line    - one request (12 bytes) and its reply (28 bytes) at 57,200
//             baud, 10 bits a byte
// Goal: program at most a tenth of line, on SQLite and on the ODBC source.
// Usage: bench_read_events [events] [stored rows]
#include "BenchFixture.h"
#include "CDatabase.h"
#include "CEventDateFilter.h"
#include "CEventStore.h"
#include "CFerrold_Handler.h"
#include "CFerrold_Schema.h"
#include "CReadEventsJob.h"
#include "CSimulatedReader.h"
#include "CTransferRun.h"
#include "CReaderLink.h"

#include <CLanguageHandler.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

constexpr int kPort = 77;
constexpr double kLineMsPerEvent = (12.0 + 28.0) * 10.0 / 57200.0 * 1000.0;

void fillEvents(const QString& file, int rows)
{
    CDatabase db({CDatabase::Kind::Sqlite, file});
    QString error;
    CFerrold_Schema::Prepare(db, &error);
    QSqlQuery q(db.Connection());
    q.exec("BEGIN");
    QSqlQuery e(db.Connection());
    e.prepare("INSERT INTO tblEvents (strTranspondernummer, strDatum, strUhrzeit, strBinaerwert1, strEvent1,"
              " strBinaerwert2, strEvent2, Leser_ID, strLeserName) VALUES (?,'01012024','0800','10','Zutritt',"
              "'011','Unbekannt',1,'Tor')");
    for (int i = 0; i < rows; ++i) {
        e.addBindValue(QStringLiteral("%1").arg(i, 10, 16, QChar('0')).toUpper());
        e.exec();
    }
    q.exec("COMMIT");
}

struct Figures
{
    double floorMs = 0;
    double runMs = 0;
    int stored = 0;
};

Figures measureOnce(CReaderLink& link, CFerrold_Handler& db, CLanguageHandler& language, int events)
{
    Figures f;
    const CLinkLease lease = link.TakeLink();
    if (!lease) {
        std::fprintf(stderr, "no lease\n");
        std::exit(1);
    }
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < events; ++i)
        link.SendCommand(lease, 'L', QStringLiteral("E%1").arg(i, 4, 16, QChar('0')).toUpper(), 1);
    f.floorMs = double(clock.nsecsElapsed()) / 1e6;
    link.ReleaseLink(lease);

    CReadEventsJob::Params params;
    params.readerId = 1;
    params.readerName = QStringLiteral("Tor");
    params.readToPointer = false;
    params.fixedLastEvent = events - 1;
    params.filter = CEventDateFilter(true, "010171", "311270");
    params.database = db.GetDatabase();
    auto job = std::make_shared<CReadEventsJob>(params, &language);
    QObject owner;
    CTransferRun run(link, nullptr, &owner);
    run.OpenProgress(&language, events - 1, QStringLiteral("\nbench"));
    CTransferRun::Body body;
    body.work = [job](CTransferRun& r, int* flags) { return job->Run(r, flags); };
    body.waitCursor = false;
    clock.restart();
    run.Start(std::move(body));
    bench::WaitFor([&run] { return !run.IsActive(); }, 120000);
    f.runMs = double(clock.nsecsElapsed()) / 1e6;
    f.stored = job->Stored();
    return f;
}

// The storing path alone, on this thread's connection: rows per event.
double storeOnlyMs(CFerrold_Handler& db, int events)
{
    QElapsedTimer clock;
    clock.start();
    CEventStore store(db.GetDatabase());
    QString error;
    store.Open(&error);
    CEventStore::Row row;
    row.transponder = "0123456789";
    row.date = "25032024";
    row.time = "0730";
    row.code1 = "10";
    row.event1 = "Zutritt";
    row.code2 = "011";
    row.event2 = "Unbekannt";
    row.readerId = 1;
    row.readerName = "Tor";
    for (int i = 0; i < events; ++i)
        store.Add(row);
    store.Commit();
    return double(clock.nsecsElapsed()) / 1e6;
}

// The median of three, floor and run each.
Figures measure(CReaderLink& link, CFerrold_Handler& db, CLanguageHandler& language, int events)
{
    Figures median;
    std::vector<double> floors, runs;
    for (int i = 0; i < 3; ++i) {
        const Figures f = measureOnce(link, db, language, events);
        floors.push_back(f.floorMs);
        runs.push_back(f.runMs);
        median.stored = f.stored;
    }
    std::sort(floors.begin(), floors.end());
    std::sort(runs.begin(), runs.end());
    median.floorMs = floors[1];
    median.runMs = runs[1];
    return median;
}

void report(const char* source, const Figures& f, int events)
{
    const double program = (f.runMs - f.floorMs) / events;
    std::printf("%-7s floor %8.1f ms (%.3f ms/event)  run %8.1f ms  stored %d\n", source, f.floorMs,
                f.floorMs / events, f.runMs, f.stored);
    std::printf("%-7s program %.4f ms/event  line %.3f ms/event  ratio program/line %.3f (goal <= 0.1)\n", source,
                program, kLineMsPerEvent, program / kLineMsPerEvent);
}

} // namespace

int main(int argc, char** argv)
{
    const int events = argc > 1 ? std::atoi(argv[1]) : 5000;
    const int stored = argc > 2 ? std::atoi(argv[2]) : 100000;
    QTemporaryDir home;
    for (const char* folder : {"config", "data", "odbc"})
        QDir(home.path()).mkpath(folder);
    qputenv("XDG_CONFIG_HOME", (home.path() + "/config").toLocal8Bit());
    qputenv("XDG_DATA_HOME", (home.path() + "/data").toLocal8Bit());
    qputenv("ODBCINI", (home.path() + "/odbc/odbc.ini").toLocal8Bit());
    qputenv("ODBCSYSINI", (home.path() + "/odbc").toLocal8Bit());
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName("Velmora");
    QCoreApplication::setApplicationName("Quandor");

    CSimulatedReader reader(CSimulatedReader::Kite);
    reader.SetLatency(0);
    CSimulatedReader::Event e;
    e.day = 25;
    e.month = 3;
    e.year = 2024;
    reader.FillEvents(events, e);
    reader.RegisterAs(kPort);

    CLanguageHandler language(0, home.path() + "/lang");
    CReaderLink link(&language);
    link.Connect(kPort);
    if (!bench::WaitFor([&link] { return link.IsPollingRunning(); }, 10000)) {
        std::fprintf(stderr, "the simulated reader was not found\n");
        return 1;
    }

    const QString sqliteFile = home.path() + "/sqlite.mdb";
    fillEvents(sqliteFile, stored);
    const QString odbcFile = home.path() + "/odbc.mdb";
    fillEvents(odbcFile, stored);
    {
        QFile ini(home.path() + "/odbc/odbc.ini");
        ini.open(QIODevice::WriteOnly);
        QTextStream(&ini) << "[QuandorBench]\nDriver=/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so\nDatabase="
                          << odbcFile << "\nTimeout=5000\n";
    }
    std::printf("%d events read, %d rows stored before\n", events, stored);
    {
        CFerrold_Handler db(&language, {CDatabase::Kind::Sqlite, sqliteFile});
        report("SQLite", measure(link, db, language, events), events);
        std::printf("SQLite  storing alone %.4f ms/event\n", storeOnlyMs(db, events) / events);
    }
    {
        CFerrold_Handler db(&language, {CDatabase::Kind::Odbc, QStringLiteral("QuandorBench")});
        report("ODBC", measure(link, db, language, events), events);
        std::printf("ODBC    storing alone %.4f ms/event\n", storeOnlyMs(db, events) / events);
    }
    link.ClosePort();
    return 0;
}
