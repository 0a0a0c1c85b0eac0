// bench_delete_readers: deleting readers with their events and assignments,
// each beside its floor measured in the same run: the same rows changed by
// plain SQL statements in one transaction, without caches or tree.
// 200 readers, 10,000 transponders (each on three readers, reader 1 on
// every one), 100,000 events (50,000 of reader 1).
//   one reader, Yes - reader 1 with its 50,000 events
//   one reader, No  - reader 1, its events kept without a reader
//   all, Yes / No   - every reader, the events deleted or kept
// The floor of one reader reads the stored lists as the job must, by plain
// SQL, and writes back the changed ones row by row.
// Goal: each within 2 times its floor and under 2 s.
// Usage: bench_delete_readers [repetitions]
#include "BenchFixture.h"
#include "CDatabase.h"
#include "CFerrold_Handler.h"
#include "CQuandorApp.h"
#include "CReaderDeleter.h"
#include "CUiMessage.h"
#include "CtblEvents.h"
#include "CtblLeser.h"
#include "CtblTransponder.h"

#include <QSqlQuery>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

constexpr int kReaders = 200;
constexpr int kTransponders = 10000;
constexpr int kEvents = 100000;

QString listOf(int i)
{
    return QStringLiteral("%1;%2;1").arg(i % (kReaders - 1) + 2).arg((i * 7) % (kReaders - 1) + 2);
}

void fillDatabase(CDatabase& db, QSqlQuery& q)
{
    bench::InsertReaders(db, kReaders);
    bench::InsertRows(db, "INSERT INTO tblTransponder (ID_Transponder, strTransponderNummer, Zeitfenster_ID, strLeser_IDS)"
                          " VALUES (?,?,1,?)",
                      kTransponders,
                      [](int i) { return QVariantList{i, QStringLiteral("%1").arg(i, 10, 16, QChar('0')).toUpper(), listOf(i)}; });
    bench::InsertRows(db, "INSERT INTO tblEvents (strTranspondernummer, strDatum, strUhrzeit, Leser_ID, strLeserName)"
                          " VALUES (?,'01012024','0800',?,'Tor')",
                      kEvents, [](int i) {
                          return QVariantList{QStringLiteral("%1").arg(i % kTransponders + 1, 10, 16, QChar('0')).toUpper(),
                                              i % 2 == 0 ? 1 : i % (kReaders - 1) + 2};
                      });
    for (const char* table : {"tblLeser", "tblTransponder", "tblEvents"})
        bench::Exec(q, QStringLiteral("CREATE TABLE keep_%1 AS SELECT * FROM %1").arg(table));
}

void report(const char* name, double ms, double floor)
{
    std::printf("%-18s %9.2f ms   floor %9.2f ms   ratio %5.2f\n", name, ms, floor, ms / floor);
}

} // namespace

int main(int argc, char** argv)
{
    const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    bench::Program program(argc, argv);
    if (!program.Start(fillDatabase))
        return 1;
    CQuandorApp& app = program.App();
    bench::AnswerBoxes(QMessageBox::Yes);
    CFerrold_Handler* db = app.GetDBHandler();
    QSqlDatabase connection = db->GetDatabase()->Connection();
    QSqlQuery q(connection);
    std::printf("%d readers, %d transponders, %d events (%d of reader 1); median of %d\n", kReaders, kTransponders,
                kEvents, kEvents / 2, repetitions);

    const auto restore = [&] {
        bench::Exec(q, "BEGIN");
        for (const char* table : {"tblLeser", "tblTransponder", "tblEvents"}) {
            bench::Exec(q, QStringLiteral("DELETE FROM %1").arg(table));
            bench::Exec(q, QStringLiteral("INSERT INTO %1 SELECT * FROM keep_%1").arg(table));
        }
        bench::Exec(q, "COMMIT");
        db->Get_Ptr_To_tblLeser()->_Requery();
        db->Get_Ptr_To_tblTransponder()->_Requery();
        db->Get_Ptr_To_tblEvents()->_Requery();
    };
    // The floor of one reader: its row, its events, and the lists that name
    // it read and written back without it, one prepared statement a row.
    const auto floorOne = [&](bool yes) {
        return [&, yes] {
            bench::Exec(q, "BEGIN");
            bench::Exec(q, "DELETE FROM tblLeser WHERE ID_Leser = 1");
            bench::Exec(q, yes ? "DELETE FROM tblEvents WHERE Leser_ID = 1" : "UPDATE tblEvents SET Leser_ID = 0 WHERE Leser_ID = 1");
            std::vector<std::pair<int, QString>> stripped;
            QSqlQuery r(connection);
            r.setForwardOnly(true);
            r.exec("SELECT ID_Transponder, strLeser_IDS FROM tblTransponder WHERE strLeser_IDS <> ''");
            while (r.next()) {
                QStringList entries = r.value(1).toString().split(u';');
                if (entries.removeOne(QStringLiteral("1")))
                    stripped.emplace_back(r.value(0).toInt(), entries.join(u';'));
            }
            QSqlQuery u(connection);
            u.prepare("UPDATE tblTransponder SET strLeser_IDS = ? WHERE ID_Transponder = ?");
            for (const auto& [key, list] : stripped) {
                u.bindValue(0, list);
                u.bindValue(1, key);
                u.exec();
            }
            bench::Exec(q, "COMMIT");
        };
    };
    const auto floorAll = [&](bool yes) {
        return [&, yes] {
            bench::Exec(q, "BEGIN");
            bench::Exec(q, "DELETE FROM tblLeser");
            bench::Exec(q, yes ? "DELETE FROM tblEvents" : "UPDATE tblEvents SET Leser_ID = 0");
            bench::Exec(q, "UPDATE tblTransponder SET strLeser_IDS = ''");
            bench::Exec(q, "COMMIT");
        };
    };
    const std::vector<qint32> one{1};
    for (bool yes : {true, false}) {
        const double floor = bench::Median(repetitions, restore, floorOne(yes));
        const double run = bench::Median(repetitions, restore, [&] {
            CReaderDeleter deleter(*db, nullptr);
            deleter.Delete(&one, yes);
        });
        report(yes ? "one reader, Yes" : "one reader, No", run, floor);
    }
    for (bool yes : {true, false}) {
        const double floor = bench::Median(repetitions, restore, floorAll(yes));
        const double run = bench::Median(repetitions, restore, [&] {
            CReaderDeleter deleter(*db, nullptr);
            deleter.Delete(nullptr, yes);
        });
        report(yes ? "all, Yes" : "all, No", run, floor);
    }
    app.ExitInstance();
    return 0;
}
