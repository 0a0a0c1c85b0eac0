// How long the handler takes to read a large database into its caches, next
// to two floors of the same rows through SQLite's C interface (kept in a
// reserved vector; fetched and converted only), and how long many updates
// in one transaction take. Each benchmark runs in a fresh process.
#include "CDatabase.h"
#include "CFerrold_Handler.h"
#include "CFerrold_Reporter.h"
#include "CFerrold_Schema.h"
#include "CLanguageHandler.h"
#include "CtblTransponder.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <vector>

namespace {

QString g_file;

void buildDatabase(const QString& file)
{
    {
        CDatabase db({CDatabase::Kind::Sqlite, file});
        QString error;
        if (!CFerrold_Schema::Prepare(db, &error))
            qFatal("%s", qUtf8Printable(error));
        QSqlDatabase c = db.Connection();
        QSqlQuery q(c);
        db.BeginTrans();
        q.prepare("INSERT INTO tblEvents (strTranspondernummer, strDatum, strUhrzeit, strBinaerwert1, strEvent1,"
                  " strBinaerwert2, strEvent2, Leser_ID, strLeserName) VALUES (?,?,?,?,?,?,?,?,?)");
        for (int i = 0; i < 100000; ++i) {
            q.addBindValue(QStringLiteral("%1").arg(i % 10000, 10, 16, QLatin1Char('0')).toUpper());
            q.addBindValue(QStringLiteral("%1.%2.2026").arg(1 + i % 28, 2, 10, QLatin1Char('0')).arg(1 + i % 12, 2, 10, QLatin1Char('0')));
            q.addBindValue(QStringLiteral("12:%1:00").arg(i % 60, 2, 10, QLatin1Char('0')));
            q.addBindValue(QStringLiteral("00010001"));
            q.addBindValue(QStringLiteral("Zutritt"));
            q.addBindValue(QStringLiteral("00000000"));
            q.addBindValue(QStringLiteral("Tür geöffnet"));
            q.addBindValue(1 + i % 200);
            q.addBindValue(QStringLiteral("Leser %1").arg(1 + i % 200));
            if (!q.exec())
                qFatal("insert event");
        }
        q.prepare("INSERT INTO tblTransponder (strTransponderNummer, Person_ID, Zeitfenster_ID, strLeser_IDS) VALUES (?,?,?,?)");
        for (int i = 0; i < 10000; ++i) {
            q.addBindValue(QStringLiteral("%1").arg(i, 10, 16, QLatin1Char('0')).toUpper());
            q.addBindValue(i < 5000 ? i + 1 : 0);
            q.addBindValue(1);
            q.addBindValue(QStringLiteral("1;2;3;4;5;"));
            if (!q.exec())
                qFatal("insert transponder");
        }
        q.prepare("INSERT INTO tblPerson (strName, Transponder_ID) VALUES (?,?)");
        for (int i = 0; i < 5000; ++i) {
            q.addBindValue(QStringLiteral("Person %1").arg(i));
            q.addBindValue(i + 1);
            if (!q.exec())
                qFatal("insert person");
        }
        q.prepare("INSERT INTO tblLeser (strBezeichnung, strAdresse, strSeriennummer, strLeserTyp) VALUES (?,?,?,?)");
        for (int i = 0; i < 200; ++i) {
            q.addBindValue(QStringLiteral("Leser %1").arg(i + 1));
            q.addBindValue(QString::number(i + 1));
            q.addBindValue(QStringLiteral("%1").arg(i, 20, 10, QLatin1Char('0')));
            q.addBindValue(QStringLiteral("Heron"));
            if (!q.exec())
                qFatal("insert reader");
        }
        q.prepare("INSERT INTO tblZeitschema (strBezeichnung, strVon, strBis, boolMontag) VALUES (?,?,?,1)");
        for (int i = 4; i < 400; ++i) {
            q.addBindValue(QStringLiteral("Schema %1").arg(i / 4));
            q.addBindValue(QStringLiteral("0800"));
            q.addBindValue(QStringLiteral("1700"));
            if (!q.exec())
                qFatal("insert schema");
        }
        q.finish();
        db.CommitTrans();
    }
}

void BM_HandlerReadsAllSixTables(benchmark::State& state)
{
    CLanguageHandler language(0, QString());
    for (auto _ : state) {
        CFerrold_Handler handler(&language, {CDatabase::Kind::Sqlite, g_file});
        benchmark::DoNotOptimize(handler.Get_Ptr_To_tblEvents());
    }
}
BENCHMARK(BM_HandlerReadsAllSixTables)->Unit(benchmark::kMillisecond)->MinTime(3.0);

const char* const kTables[] = {"tblEvents", "tblLeser", "tblPerson", "tblTransponder", "tblZeitschema", "tblOnline"};

// Every value of the six tables through SQLite's own interface, converted to
// an integer or a QString and handed to take.
template <class Take>
void plainRead(Take take)
{
    const QByteArray path = g_file.toLocal8Bit();
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    for (const char* table : kTables) {
        sqlite3_stmt* stmt = nullptr;
        const QByteArray sql = QByteArray("SELECT * FROM ") + table + " ORDER BY 1";
        sqlite3_prepare_v2(db, sql.constData(), -1, &stmt, nullptr);
        const int columns = sqlite3_column_count(stmt);
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            for (int c = 0; c < columns; ++c) {
                if (sqlite3_column_type(stmt, c) == SQLITE_INTEGER)
                    take(QVariant(sqlite3_column_int(stmt, c)));
                else
                    take(QVariant(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, c)),
                                                    sqlite3_column_bytes(stmt, c))));
            }
        }
        sqlite3_finalize(stmt);
    }
    sqlite3_close(db);
}

// The first floor: the same rows kept as values in one vector, its room
// reserved for every value beforehand (as a cache that knows its size).
void BM_PlainSqliteRead(benchmark::State& state)
{
    size_t count = 0;
    plainRead([&](const QVariant&) { ++count; });
    for (auto _ : state) {
        std::vector<QVariant> values;
        values.reserve(count);
        plainRead([&](QVariant&& value) { values.push_back(std::move(value)); });
        benchmark::DoNotOptimize(values.data());
    }
    state.counters["values"] = double(count);
}
BENCHMARK(BM_PlainSqliteRead)->Unit(benchmark::kMillisecond)->MinTime(3.0);

// The second floor: fetched and converted, nothing kept.
void BM_PlainSqliteFetchAndConvertOnly(benchmark::State& state)
{
    for (auto _ : state)
        plainRead([](QVariant&& value) { benchmark::DoNotOptimize(value); });
}
BENCHMARK(BM_PlainSqliteFetchAndConvertOnly)->Unit(benchmark::kMillisecond)->MinTime(3.0);

void BM_TenThousandUpdatesInOneTransaction(benchmark::State& state)
{
    CLanguageHandler language(0, QString());
    CFerrold_Handler handler(&language, {CDatabase::Kind::Sqlite, g_file});
    CtblTransponder* t = handler.Get_Ptr_To_tblTransponder();
    t->Open();
    int round = 0;
    for (auto _ : state) {
        handler.GetDatabase()->BeginTrans();
        for (t->MoveFirst(); !t->IsEOF(); t->MoveNext()) {
            t->Edit();
            t->nTransponderIndex = ++round;
            t->Update();
        }
        handler.GetDatabase()->CommitTrans();
    }
    t->Close();
}
BENCHMARK(BM_TenThousandUpdatesInOneTransaction)->Unit(benchmark::kMillisecond)->MinTime(3.0);

// Each benchmark runs in a process of its own, on one database built once:
// a read after another in the same process finds the allocator and the
// file's pages as the other left them, which made the floor after the
// handler slower than the floor alone.
const char* const kBenchmarks[] = {"BM_HandlerReadsAllSixTables", "BM_PlainSqliteRead",
                                   "BM_PlainSqliteFetchAndConvertOnly", "BM_TenThousandUpdatesInOneTransaction"};
constexpr char kDatabaseVariable[] = "QUANDOR_BENCH_FERROLD_DB";

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    CFerrold_Reporter::SetReporter([](const QString& text, CFerrold_Reporter::Icon) { qFatal("%s", qUtf8Printable(text)); });
    const QByteArray given = qgetenv(kDatabaseVariable);
    if (!given.isEmpty()) {
        g_file = QString::fromLocal8Bit(given);
        benchmark::Initialize(&argc, argv);
        benchmark::RunSpecifiedBenchmarks();
        benchmark::Shutdown();
        return 0;
    }
    QTemporaryDir dir;
    g_file = dir.filePath(QStringLiteral("Quandor.mdb"));
    buildDatabase(g_file);
    QStringList passed = app.arguments().mid(1);
    QString filter;
    for (int i = passed.size() - 1; i >= 0; --i) {
        if (passed[i].startsWith(QLatin1String("--benchmark_filter="))) {
            filter = passed[i].mid(int(qstrlen("--benchmark_filter=")));
            passed.removeAt(i);
        }
    }
    const QRegularExpression wanted(filter.isEmpty() ? QStringLiteral(".") : filter);
    for (const char* name : kBenchmarks) {
        if (!wanted.match(QLatin1String(name)).hasMatch())
            continue;
        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QLatin1String(kDatabaseVariable), g_file);
        child.setProcessEnvironment(environment);
        child.setProcessChannelMode(QProcess::ForwardedChannels);
        child.start(QCoreApplication::applicationFilePath(),
                    QStringList(passed) << QStringLiteral("--benchmark_filter=^%1(/|$)").arg(QLatin1String(name)));
        if (!child.waitForFinished(-1) || child.exitCode() != 0)
            return 1;
    }
    return 0;
}
