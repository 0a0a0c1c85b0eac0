// Many-row writes with the caches following, each beside its floor measured
// in the same run: the plain SQL statement in one transaction through
// SQLite's C interface (the cache walk: a plain vector pass over the same
// rows, and the plain SQL delete of them). 100,000 events (reader 1 holds every second one), 10,000
// transponders (the first 5,000 with a person), 200 readers.
#include "CDatabase.h"
#include "CFerrold_Handler.h"
#include "CFerrold_Reporter.h"
#include "CFerrold_Schema.h"
#include "CLanguageHandler.h"
#include "CTransaction.h"
#include "CtblEvents.h"
#include "CtblTransponder.h"

#include <QCoreApplication>
#include <QFile>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace {

QString g_pristine;
QString g_work;

void buildDatabase(const QString& file)
{
    CDatabase db({CDatabase::Kind::Sqlite, file});
    QString error;
    if (!CFerrold_Schema::Prepare(db, &error))
        qFatal("%s", qUtf8Printable(error));
    QSqlQuery q(db.Connection());
    db.BeginTrans();
    q.prepare("INSERT INTO tblLeser (strBezeichnung, strLeserTyp) VALUES (?, 'Heron')");
    for (int i = 0; i < 200; ++i) {
        q.addBindValue(QStringLiteral("Leser %1").arg(i + 1));
        if (!q.exec())
            qFatal("insert reader");
    }
    q.prepare("INSERT INTO tblEvents (strTranspondernummer, strDatum, strUhrzeit, strEvent1, Leser_ID, strLeserName)"
              " VALUES (?, '01.02.2026', '12:00:00', 'Zutritt', ?, ?)");
    for (int i = 0; i < 100000; ++i) {
        const int reader = i % 2 == 0 ? 1 : 2 + i % 199;
        q.addBindValue(QStringLiteral("%1").arg(i % 10000, 10, 16, QLatin1Char('0')).toUpper());
        q.addBindValue(reader);
        q.addBindValue(QStringLiteral("Leser %1").arg(reader));
        if (!q.exec())
            qFatal("insert event");
    }
    q.prepare("INSERT INTO tblTransponder (strTransponderNummer, Person_ID, Zeitfenster_ID, strLeser_IDS)"
              " VALUES (?, ?, 1, '1;2;3;')");
    for (int i = 0; i < 10000; ++i) {
        q.addBindValue(QStringLiteral("%1").arg(i, 10, 16, QLatin1Char('0')).toUpper());
        q.addBindValue(i < 5000 ? i + 1 : 0);
        if (!q.exec())
            qFatal("insert transponder");
    }
    q.finish();
    db.CommitTrans();
}

// A fresh copy of the database for one timed round.
void freshCopy()
{
    QFile::remove(g_work);
    if (!QFile::copy(g_pristine, g_work))
        qFatal("copy");
}

void plainSql(const char* sql)
{
    sqlite3* db = nullptr;
    sqlite3_open_v2(g_work.toLocal8Bit().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
        qFatal("%s", sqlite3_errmsg(db));
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

struct Round
{
    CLanguageHandler language{0, QString()};
    std::unique_ptr<CFerrold_Handler> handler;
    Round()
    {
        freshCopy();
        handler = std::make_unique<CFerrold_Handler>(&language, CDatabase::Source{CDatabase::Kind::Sqlite, g_work});
    }
};

void BM_DeleteOneReadersEventsWithTheCache(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        auto round = std::make_unique<Round>();
        CtblEvents* events = round->handler->Get_Ptr_To_tblEvents();
        state.ResumeTiming();
        CTransaction transaction(round->handler->GetDatabase());
        if (events->DeleteWhere(QStringLiteral("Leser_ID"), 1) != 50000 || !transaction.Commit())
            qFatal("delete events");
        state.PauseTiming();
        if (events->GetAnz_Events() != 50000)
            qFatal("cache");
        round.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_DeleteOneReadersEventsWithTheCache)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_DeleteOneReadersEventsFloor(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        freshCopy();
        state.ResumeTiming();
        plainSql("DELETE FROM tblEvents WHERE Leser_ID = 1");
    }
}
BENCHMARK(BM_DeleteOneReadersEventsFloor)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_ClearPersonLinksOf5000TranspondersWithTheCache(benchmark::State& state)
{
    QList<QVariant> persons;
    for (int i = 1; i <= 5000; ++i)
        persons << i;
    for (auto _ : state) {
        state.PauseTiming();
        auto round = std::make_unique<Round>();
        CtblTransponder* transponders = round->handler->Get_Ptr_To_tblTransponder();
        state.ResumeTiming();
        CTransaction transaction(round->handler->GetDatabase());
        if (transponders->UpdateColumnsWhere(QStringLiteral("Person_ID"), persons,
                                             {{QStringLiteral("Person_ID"), 0}, {QStringLiteral("boolUpdateOK"), 0}})
                != 5000
            || !transaction.Commit())
            qFatal("clear links");
        state.PauseTiming();
        if (transponders->Get_Transponder(0)->Person_ID != 0)
            qFatal("cache");
        round.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ClearPersonLinksOf5000TranspondersWithTheCache)->Unit(benchmark::kMillisecond)->Iterations(5);

// The same 5,000 persons named in one statement, as the program is given
// them (a list, not a range).
void BM_ClearPersonLinksFloor(benchmark::State& state)
{
    QByteArray sql = "UPDATE tblTransponder SET Person_ID = 0, boolUpdateOK = 0 WHERE Person_ID IN (";
    for (int i = 1; i <= 5000; ++i)
        sql += QByteArray::number(i) + (i < 5000 ? "," : ")");
    for (auto _ : state) {
        state.PauseTiming();
        freshCopy();
        state.ResumeTiming();
        plainSql(sql.constData());
    }
}
BENCHMARK(BM_ClearPersonLinksFloor)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_RemoveEverySecondCachedEvent(benchmark::State& state)
{
    freshCopy();
    CLanguageHandler language(0, QString());
    CFerrold_Handler handler(&language, {CDatabase::Kind::Sqlite, g_work});
    CtblEvents* events = handler.Get_Ptr_To_tblEvents();
    for (auto _ : state) {
        state.PauseTiming();
        events->_Requery();
        bool pick = false;
        state.ResumeTiming();
        const int removed = events->RemoveIf([&](const CtblEvents::structEvents&) { return pick = !pick; });
        if (removed != 50000)
            qFatal("remove");
    }
}
BENCHMARK(BM_RemoveEverySecondCachedEvent)->Unit(benchmark::kMillisecond)->Iterations(10);

// A text with a buffer of its own, as a row read from the database has it.
QString owned(const QString& text)
{
    return text.isNull() ? QString() : QString(text.constData(), text.size());
}

// The same rows as plain values in a vector, each owning its texts as a
// plain row would, removed in one pass: the rows' memory must be given back
// either way. (A copy sharing its texts with the source would release them
// by a counter decrement, not a free, and measure less than the work.)
struct PlainEvent
{
    qint32 ID_Events = 0;
    QString texts[8];
    qint32 nNr = 0;
    qint32 Leser_ID = 0;
};

void BM_RemoveEverySecondCachedEventFloor(benchmark::State& state)
{
    freshCopy();
    CLanguageHandler language(0, QString());
    CFerrold_Handler handler(&language, {CDatabase::Kind::Sqlite, g_work});
    CtblEvents* events = handler.Get_Ptr_To_tblEvents();
    std::vector<PlainEvent> pristine;
    for (int i = 0; i < events->GetAnz_Events(); ++i) {
        const auto* e = events->Get_Event(i);
        pristine.push_back({e->ID_Events,
                            {e->Transpondernummer, e->Datum, e->Uhrzeit, e->Binaerwert1, e->Event1, e->Binaerwert2,
                             e->Event2, e->LeserName},
                            e->nNr,
                            e->Leser_ID});
    }
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<PlainEvent> rows;
        rows.reserve(pristine.size());
        for (const auto& row : pristine) {
            PlainEvent copy = row;
            for (QString& text : copy.texts)
                text = owned(text);
            rows.push_back(std::move(copy));
        }
        bool pick = false;
        state.ResumeTiming();
        rows.erase(std::remove_if(rows.begin(), rows.end(), [&](const PlainEvent&) { return pick = !pick; }),
                   rows.end());
        benchmark::DoNotOptimize(rows.data());
        state.PauseTiming();
        rows = {};
        state.ResumeTiming();
    }
}
BENCHMARK(BM_RemoveEverySecondCachedEventFloor)->Unit(benchmark::kMillisecond)->Iterations(10);

// The same 50,000 rows deleted from the file by plain SQL in one transaction.
void BM_RemoveEverySecondEventSqlFloor(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        freshCopy();
        state.ResumeTiming();
        plainSql("DELETE FROM tblEvents WHERE ID_Events % 2 = 1");
    }
}
BENCHMARK(BM_RemoveEverySecondEventSqlFloor)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    g_pristine = dir.filePath(QStringLiteral("pristine.mdb"));
    g_work = dir.filePath(QStringLiteral("Quandor.mdb"));
    CFerrold_Reporter::SetReporter([](const QString& text, CFerrold_Reporter::Icon) { qFatal("%s", qUtf8Printable(text)); });
    buildDatabase(g_pristine);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
