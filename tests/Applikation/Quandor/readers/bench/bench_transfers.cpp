// bench_transfers: what writing all data to a framed reader and fetching it
// back cost the program, next to what they cost the serial line. A
// simulated Egret with no latency answers on a pseudo-terminal; the
// transponder table holds 10,000 rows, 1,000 of them the reader's, each
// with a schema of four windows (5,000 entries written).
//   floor   - the same frames straight through the link under one lease
//             (pseudo-terminal, simulator and link)
//   run     - the whole transfer: lists built, worker, retries logic,
//             progress, and for the fetch the matching and the database
//   program - run - floor: the program's own cost
//   line    - every request and reply at 57,200 baud, 10 bits a byte
//   database - the fetch's matching and its one transaction alone
// Goal: program at most a tenth of line; the fetch's database part under
// 0.5 s.
// Usage: bench_transfers [reader's transponders] [rows in the table]
#include "BenchFixture.h"
#include "CDatabase.h"
#include "CFerrold_Handler.h"
#include "CFerrold_Schema.h"
#include "CFetchAllJob.h"
#include "CFetchedListStore.h"
#include "CSimulatedReader.h"
#include "CTransferRun.h"
#include "CWriteAllJob.h"
#include "CtblTransponder.h"
#include "CtblZeitschema.h"
#include "CReaderLink.h"

#include <CLanguageHandler.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

constexpr int kPort = 78;
constexpr double kMsPerByte = 10.0 / 57200.0 * 1000.0;

void fill(const QString& file, int own, int rows)
{
    CDatabase db({CDatabase::Kind::Sqlite, file});
    QString error;
    CFerrold_Schema::Prepare(db, &error);
    QSqlQuery q(db.Connection());
    q.exec("BEGIN");
    for (int k = 0; k < 4; ++k)
        q.exec(QStringLiteral("INSERT INTO tblZeitschema (ID_Zeitschema, strBezeichnung, strVon, strBis, boolMontag,"
                              " boolFreitag) VALUES (%1, 'Work', '0730', '1600', 1, 1)")
                   .arg(100 + k));
    q.exec("INSERT INTO tblLeser (ID_Leser, strBezeichnung, strLeserTyp, strParameter, strModus)"
           " VALUES (1, 'Gate', 'Egret', 'A5', '131')");
    QSqlQuery t(db.Connection());
    t.prepare("INSERT INTO tblTransponder (strTransponderNummer, strLeser_IDS, Zeitfenster_ID) VALUES (?, ?, 100)");
    for (int i = 0; i < rows; ++i) {
        t.addBindValue(QStringLiteral("%1").arg(i, 10, 16, QChar('0')).toUpper());
        t.addBindValue(i < own ? QStringLiteral("1") : QStringLiteral("2;3"));
        t.exec();
    }
    q.exec("COMMIT");
}

double runOf(CReaderLink& link, CLanguageHandler& language, int upper,
             std::function<qint64(CTransferRun&, int*)> work)
{
    QObject owner;
    CTransferRun run(link, nullptr, &owner);
    run.OpenProgress(&language, upper, QStringLiteral("\nbench"));
    CTransferRun::Body body;
    body.work = std::move(work);
    body.waitCursor = false;
    QElapsedTimer clock;
    clock.start();
    run.Start(std::move(body));
    bench::WaitFor([&run] { return !run.IsActive(); }, 300000);
    return double(clock.nsecsElapsed()) / 1e6;
}

double median(std::vector<double> times)
{
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// Each figure the median of the rounds, taken apart.
struct Figures {
    double floorMs = 0, runMs = 0, lineMs = 0, databaseMs = 0;
    std::vector<double> floors, runs, databases;
    void add(double floor, double run) { floors.push_back(floor), runs.push_back(run); }
    void settle()
    {
        floorMs = median(floors), runMs = median(runs);
        if (!databases.empty())
            databaseMs = median(databases);
    }
};

void report(const char* what, const Figures& f)
{
    const double program = f.runMs - f.floorMs;
    std::printf("%-6s floor %8.1f ms  run %8.1f ms  program %7.1f ms  line %8.1f ms  ratio program/line %.3f"
                " (goal <= 0.1)\n",
                what, f.floorMs, f.runMs, program, f.lineMs, program / f.lineMs);
}

} // namespace

int main(int argc, char** argv)
{
    const int own = argc > 1 ? std::atoi(argv[1]) : 1000;
    const int rows = argc > 2 ? std::atoi(argv[2]) : 10000;
    QTemporaryDir home;
    for (const char* folder : {"config", "data"})
        QDir(home.path()).mkpath(folder);
    qputenv("XDG_CONFIG_HOME", (home.path() + "/config").toLocal8Bit());
    qputenv("XDG_DATA_HOME", (home.path() + "/data").toLocal8Bit());
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName("Velmora");
    QCoreApplication::setApplicationName("Quandor");

    CSimulatedReader reader(CSimulatedReader::Egret);
    reader.SetLatency(0);
    reader.RegisterAs(kPort);
    CLanguageHandler language(0, home.path() + "/lang");
    CReaderLink link(&language);
    link.Connect(kPort);
    if (!bench::WaitFor([&link] { return link.IsPollingRunning(); }, 10000)) {
        std::fprintf(stderr, "the simulated reader was not found\n");
        return 1;
    }
    const QString file = home.path() + "/bench.mdb";
    fill(file, own, rows);
    CFerrold_Handler db(&language, {CDatabase::Kind::Sqlite, file});
    db.Get_Ptr_To_tblTransponder()->_Requery();
    db.Get_Ptr_To_tblZeitschema()->_Requery();
    std::printf("%d transponders of the reader, %d rows in the table\n", own, rows);

    Figures write, fetch;
    for (int round = 0; round < 3; ++round) {
        // Writing: the frames alone, then the whole run from the stored rows.
        CWriteAllJob::Params params =
            CWriteAllJob::FromPayload(CReaderPayload::Read(db.GetDatabase(), 1, CReaderPayload::Form::Framed), 1);
        QStringList frames{CWriteAllJob::CountData(int(params.transponders.size()))};
        for (int i = 0; i < params.transponders.size(); ++i)
            frames << CWriteAllJob::TransponderEntry(i, params.transponders[i]);
        frames << params.windows;
        for (int i = 0; i < 10; ++i)
            frames << params.parameterData;
        for (int i = 0; i < 10; ++i)
            frames << params.modeData;
        write.lineMs = 0;
        for (const QString& data : frames)
            write.lineMs += (data.size() + 6 + 9) * kMsPerByte;

        const CLinkLease lease = link.TakeLink();
        QElapsedTimer clock;
        clock.start();
        for (const QString& data : frames)
            link.SendCommand(lease, 'S', data, 1);
        const double floor = double(clock.nsecsElapsed()) / 1e6;
        link.ReleaseLink(lease);

        clock.restart();
        params = CWriteAllJob::FromPayload(CReaderPayload::Read(db.GetDatabase(), 1, CReaderPayload::Form::Framed), 1);
        params.database = db.GetDatabase();
        auto job = std::make_shared<CWriteAllJob>(params, &language);
        const double build = double(clock.nsecsElapsed()) / 1e6;
        const double run = build + runOf(link, language, job->EntryCount(),
                                         [job](CTransferRun& r, int* flags) { return job->Run(r, flags); });
        write.add(floor, run);
        if (reader.TransponderCount() != own) {
            std::fprintf(stderr, "the write did not arrive\n");
            return 1;
        }

        // Fetching back into a table that lost a quarter of them.
        QSqlQuery q(db.GetDatabase()->Connection());
        q.exec(QStringLiteral("DELETE FROM tblTransponder WHERE ID_Transponder <= %1").arg(own / 4));
        q.exec(QStringLiteral("UPDATE tblTransponder SET strLeser_IDS = '' WHERE ID_Transponder <= %1").arg(own / 2));
        db.Get_Ptr_To_tblTransponder()->_Requery();
        fetch.lineMs = (5 + 6 + 10 + 2) * kMsPerByte + own * (5 + 6 + 16 + 2) * kMsPerByte;
        const CLinkLease again = link.TakeLink();
        clock.restart();
        link.SendCommand(again, 'L', QStringLiteral("P0002"), 1);
        for (int i = 0; i < own; ++i)
            link.SendCommand(again, 'L', QStringLiteral("T%1").arg(i, 4, 16, QChar('0')).toUpper(), 1);
        const double fetchFloor = double(clock.nsecsElapsed()) / 1e6;
        link.ReleaseLink(again);

        auto fetchJob = std::make_shared<CFetchAllJob>(&language);
        const double slotMs =
            runOf(link, language, 1, [fetchJob](CTransferRun& r, int* flags) { return fetchJob->Run(r, flags); });
        clock.restart();
        CFetchedListStore store(db);
        const auto plan = CFetchedListStore::Match(*db.Get_Ptr_To_tblTransponder(), fetchJob->Fetched(), "1");
        QString error;
        if (store.Store(plan, 1, &error) != CFetchedListStore::Result::Stored) {
            std::fprintf(stderr, "the fetch was not stored: %s\n", qPrintable(error));
            return 1;
        }
        const double database = double(clock.nsecsElapsed()) / 1e6;
        fetch.add(fetchFloor, slotMs + database);
        fetch.databases.push_back(database);
        if (round == 0)
            std::printf("fetch added %d, extended %d, removed %d\n", int(plan.added.size()),
                        int(plan.extended.size()), int(plan.removed.size()));
        // The table as it was for the next round.
        q.exec("DELETE FROM tblTransponder");
        q.exec("INSERT INTO tblTransponder (strTransponderNummer, strLeser_IDS, Zeitfenster_ID) "
               "WITH RECURSIVE c(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM c WHERE i < "
               + QString::number(rows - 1) + ") SELECT printf('%010X', i), CASE WHEN i < " + QString::number(own)
               + " THEN '1' ELSE '2;3' END, 100 FROM c");
        db.Get_Ptr_To_tblTransponder()->_Requery();
    }
    write.settle();
    fetch.settle();
    std::printf("median of 3 rounds\n");
    report("write", write);
    report("fetch", fetch);
    std::printf("fetch  database part %.1f ms (goal < 500 ms)\n", fetch.databaseMs);
    link.ClosePort();
    return 0;
}
