// The database server next to the embedded file, in the same run: creating
// the handler (which reads all six tables) over 100,000 events, and 100,000
// rows added through the record set in one transaction. The server is a
// private PostgreSQL cluster on a local socket, reached over psqlODBC; the
// embedded file is the floor. Bare reads of the events, nothing kept, show
// what the driver itself costs for the rows the handler reads: through
// Qt's driver value by value, and in blocks of bound columns as the
// handler reads a server. The server runs as a site would run it: every
// commit flushed to disk (fsync, synchronous_commit, full_page_writes on),
// as the embedded file commits.
//
//     bench_ferrold_server [--benchmark_filter=...]
#include "CBulkWriter.h"
#include "CDatabase.h"
#include "CFerrold_Handler.h"
#include "CFerrold_Reporter.h"
#include "CFerrold_Schema.h"
#include "CLanguageHandler.h"
#include "COdbcBlockReader.h"
#include "CTransaction.h"
#include "CtblEvents.h"
#include "CtblLeser.h"
#include "CtblPerson.h"
#include "CtblTransponder.h"
#include "CtblZeitschema.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <cstdlib>

namespace {

QString g_file;
QString g_cluster;
constexpr int kRows = 100000;

CDatabase::Source source(bool server)
{
    return server ? CDatabase::Source{CDatabase::Kind::Odbc, QStringLiteral("Quandor")}
                  : CDatabase::Source{CDatabase::Kind::Sqlite, g_file};
}

void clearEvents(bool server)
{
    CDatabase db(source(server));
    QSqlQuery q(db.Connection());
    if (!q.exec(QStringLiteral("DELETE FROM \"tblEvents\"")))
        qFatal("clear events");
}

// kRows events through the record set's write path, in one transaction.
void addEvents(CFerrold_Handler& handler)
{
    CtblEvents* events = handler.Get_Ptr_To_tblEvents();
    if (!events->OpenAppendOnly())
        qFatal("%s", qUtf8Printable(events->GetLastError()));
    CTransaction transaction(handler.GetDatabase());
    for (int i = 0; i < kRows; ++i) {
        events->AddNew();
        events->strTranspondernummer = QStringLiteral("%1").arg(i % 10000, 10, 16, QLatin1Char('0')).toUpper();
        events->strDatum = QStringLiteral("%1.%2.2026").arg(1 + i % 28, 2, 10, QLatin1Char('0')).arg(1 + i % 12, 2, 10, QLatin1Char('0'));
        events->strUhrzeit = QStringLiteral("12:%1:00").arg(i % 60, 2, 10, QLatin1Char('0'));
        events->strBinaerwert1 = QStringLiteral("00010001");
        events->strEvent1 = QStringLiteral("Zutritt");
        events->strBinaerwert2 = QStringLiteral("00000000");
        events->strEvent2 = QStringLiteral("Tür geöffnet");
        events->Leser_ID = 1 + i % 200;
        events->strLeserName = QStringLiteral("Leser %1").arg(1 + i % 200);
        events->Update();
    }
    if (!transaction.Commit())
        qFatal("%s", qUtf8Printable(transaction.GetError()));
    events->Close();
}

void BM_HundredThousandInsertsInOneTransaction(benchmark::State& state)
{
    const bool server = state.range(0) == 1;
    CLanguageHandler language(0, QString());
    for (auto _ : state) {
        state.PauseTiming();
        clearEvents(server);
        CFerrold_Handler handler(&language, source(server));
        state.ResumeTiming();
        addEvents(handler);
    }
    state.SetLabel(server ? "server" : "embedded file");
}
BENCHMARK(BM_HundredThousandInsertsInOneTransaction)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3);

// Runs after the inserts: both databases hold 100,000 events then.
void BM_HandlerOverHundredThousandEvents(benchmark::State& state)
{
    const bool server = state.range(0) == 1;
    CLanguageHandler language(0, QString());
    for (auto _ : state) {
        CFerrold_Handler handler(&language, source(server));
        if (handler.Get_Ptr_To_tblEvents()->GetAnz_Events() != kRows)
            qFatal("events missing");
    }
    state.SetLabel(server ? "server" : "embedded file");
}
BENCHMARK(BM_HandlerOverHundredThousandEvents)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(5);

// The floor of a read over the driver: the same rows fetched with a bare
// forward-only query, every value taken, nothing kept.
void BM_BareReadOfHundredThousandEvents(benchmark::State& state)
{
    const bool server = state.range(0) == 1;
    CDatabase db(source(server));
    for (auto _ : state) {
        QSqlQuery q(db.Connection());
        q.setForwardOnly(true);
        if (!q.exec(QStringLiteral("SELECT * FROM \"tblEvents\" ORDER BY \"ID_Events\"")))
            qFatal("read events");
        int rows = 0;
        while (q.next()) {
            for (int c = 0; c < 10; ++c)
                benchmark::DoNotOptimize(q.value(c));
            ++rows;
        }
        if (rows != kRows)
            qFatal("events missing");
    }
    state.SetLabel(server ? "server" : "embedded file");
}
BENCHMARK(BM_BareReadOfHundredThousandEvents)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(5);

// The floor of the handler's own read: the same rows in blocks, nothing kept.
void BM_BareBlockReadOfHundredThousandEvents(benchmark::State& state)
{
    CDatabase db(source(true));
    const std::vector<COdbcBlockReader::Column> columns = {
        {"ID_Events", CFieldExchange::Type::Long},       {"strTranspondernummer", CFieldExchange::Type::Text},
        {"strDatum", CFieldExchange::Type::Text},        {"strUhrzeit", CFieldExchange::Type::Text},
        {"strBinaerwert1", CFieldExchange::Type::Text},  {"strEvent1", CFieldExchange::Type::Text},
        {"strBinaerwert2", CFieldExchange::Type::Text},  {"strEvent2", CFieldExchange::Type::Text},
        {"Leser_ID", CFieldExchange::Type::Long},        {"strLeserName", CFieldExchange::Type::Text}};
    for (auto _ : state) {
        int rows = 0;
        QString error;
        const auto outcome = COdbcBlockReader::Read(
            db.Connection(), QStringLiteral("SELECT * FROM \"tblEvents\" ORDER BY \"ID_Events\""), columns,
            [&](const CRowView& row) {
                benchmark::DoNotOptimize(row.TextView(1));
                ++rows;
                return true;
            },
            &error);
        if (outcome != COdbcBlockReader::Outcome::Read || rows != kRows)
            qFatal("read events: %s", qUtf8Printable(error));
    }
    state.SetLabel("server");
}
BENCHMARK(BM_BareBlockReadOfHundredThousandEvents)->Unit(benchmark::kMillisecond)->Iterations(5);

// Clear-all over 200,000 events: what the command does to the database,
// every table emptied in a transaction of its own, the caches read again.
// The embedded file is the floor; goal: the server within 3 times it.
constexpr int kClearRows = 200000;

void fillEventsForClear(bool server)
{
    CDatabase db(source(server));
    QSqlQuery q(db.Connection());
    if (!q.exec(QStringLiteral("DELETE FROM \"tblEvents\""))
        || !q.exec(QStringLiteral(
            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
            "INSERT INTO \"tblEvents\" (\"strTranspondernummer\", \"strDatum\", \"strUhrzeit\", \"strBinaerwert1\","
            " \"strEvent1\", \"strBinaerwert2\", \"strEvent2\", \"Leser_ID\", \"strLeserName\")"
            " SELECT '00000000AA', '01.01.2026', '12:00:00', '00010001', 'Zutritt', '00000000', '-', 1 + i % 200,"
            " 'Leser' FROM n").arg(kClearRows)))
        qFatal("fill events: %s", qUtf8Printable(q.lastError().text()));
}

void BM_ClearAllOverTwoHundredThousandEvents(benchmark::State& state)
{
    const bool server = state.range(0) == 1;
    CLanguageHandler language(0, QString());
    for (auto _ : state) {
        state.PauseTiming();
        fillEventsForClear(server);
        CFerrold_Handler handler(&language, source(server));
        CFerrold_Base* const tables[] = {handler.Get_Ptr_To_tblLeser(), handler.Get_Ptr_To_tblEvents(),
                                         handler.Get_Ptr_To_tblPerson(), handler.Get_Ptr_To_tblTransponder(),
                                         handler.Get_Ptr_To_tblZeitschema()};
        state.ResumeTiming();
        for (CFerrold_Base* table : tables) {
            CTransaction transaction(handler.GetDatabase());
            if (table == tables[4])
                CBulkWriter(*table).DeleteAllRows(QStringLiteral("strBezeichnung"), {QStringLiteral("Vollzugriff")});
            else
                CBulkWriter(*table).DeleteAllRows();
            if (!transaction.Commit())
                qFatal("%s", qUtf8Printable(transaction.GetError()));
        }
        for (CFerrold_Base* table : tables)
            table->_Requery();
        if (handler.Get_Ptr_To_tblEvents()->GetAnz_Events() != 0)
            qFatal("events left");
    }
    state.SetLabel(server ? "server" : "embedded file (floor)");
}
BENCHMARK(BM_ClearAllOverTwoHundredThousandEvents)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3);

void stopCluster()
{
    if (!g_cluster.isEmpty())
        QProcess::execute(QStringLiteral(QUANDOR_SOURCE_DIR "/tests/support/postgres-cluster.sh"), {"stop", g_cluster});
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    g_file = dir.filePath(QStringLiteral("Quandor.mdb"));
    CFerrold_Reporter::SetReporter([](const QString& text, CFerrold_Reporter::Icon) { qFatal("%s", qUtf8Printable(text)); });
    {
        CDatabase db({CDatabase::Kind::Sqlite, g_file});
        QString error;
        if (!CFerrold_Schema::Prepare(db, &error))
            qFatal("%s", qUtf8Printable(error));
    }

    g_cluster = QStringLiteral("/tmp/quandor-bench-pg-%1").arg(QCoreApplication::applicationPid());
    if (QProcess::execute(QStringLiteral(QUANDOR_SOURCE_DIR "/tests/support/postgres-cluster.sh"),
                          {"start", g_cluster, QStringLiteral(QUANDOR_SOURCE_DIR "/Applikation/DatabaseDll/sql/quandor-postgresql.sql"),
                           QStringLiteral("durable")})
        != 0)
        qFatal("the PostgreSQL cluster did not start");
    std::atexit(stopCluster);
    QFile socket(g_cluster + "/socket");
    if (!socket.open(QIODevice::ReadOnly))
        qFatal("no socket");
    const QString ini = dir.filePath(QStringLiteral("odbc.ini"));
    QFile f(ini);
    if (!f.open(QIODevice::WriteOnly))
        qFatal("odbc.ini");
    f.write(QStringLiteral("[Quandor]\nDriver=/usr/lib/x86_64-linux-gnu/odbc/psqlodbcw.so\nServername=%1\nPort=5432\n"
                           "Database=quandor_template\nUsername=quandor\n")
                .arg(QString::fromLocal8Bit(socket.readAll()).trimmed())
                .toUtf8());
    f.close();
    qputenv("ODBCINI", ini.toLocal8Bit());

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
