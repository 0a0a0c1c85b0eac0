// bench_record_view_commands: the record views' commands at scale, each
// beside its floor measured in the same run (what the database itself
// needs for the same rows: plain SQL in one transaction); the fills stand
// alone.
// 100,000 events (99,000 at reader 1, 1,000 at reader 2), 10,000
// transponders, 5,000 persons, 200 readers.
//   events fill        - ShowEvents and the first page painted
//   persons one reader - Reload of one reader and the first page painted
//   drop-down          - opening a person's transponder list
//   delete 1,000       - deleting the 1,000 events of reader 2
//   delete 100,000     - deleting every event
//   delete 99,000 keyed- deleting the shown 99,000 events of reader 1
// Usage: bench_record_view_commands [repetitions]
#include "BenchFixture.h"
#include "CDatabase.h"
#include "CEventsDlg.h"
#include "CFerrold_Handler.h"
#include "CGridComboList.h"
#include "CGridEditKey.h"
#include "GridConstants.h"
#include "CGridCtrl.h"
#include "CNameDlg.h"
#include "CQuandorApp.h"
#include "CUiMessage.h"
#include "CtblEvents.h"

#include <QComboBox>
#include <QSqlQuery>
#include <QVariant>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

constexpr int kEvents = 100000;
constexpr int kTransponders = 10000;
constexpr int kPersons = 5000;
constexpr int kReaders = 200;

void fillDatabase(CDatabase& db, QSqlQuery& q)
{
    bench::InsertReaders(db, kReaders);
    // Every transponder enabled for three readers; the first 2,500 persons
    // hold one, the other half of the transponders is free.
    bench::InsertRows(db, "INSERT INTO tblTransponder (ID_Transponder, strTransponderNummer, Person_ID, Zeitfenster_ID,"
                          " strLeser_IDS) VALUES (?,?,?,1,?)",
                      kTransponders, [](int i) {
                          return QVariantList{
                              i, QStringLiteral("%1").arg(i, 10, 16, QChar('0')).toUpper(), i <= kPersons / 2 ? i : 0,
                              QStringLiteral("%1;%2;%3").arg(i % kReaders + 1).arg((i * 7) % kReaders + 1).arg(1)};
                      });
    bench::InsertPersons(db, kPersons, kPersons / 2);
    bench::InsertRows(db, "INSERT INTO tblEvents (strTranspondernummer, strDatum, strUhrzeit, strBinaerwert1, strEvent1,"
                          " Leser_ID, strLeserName) VALUES (?,'01012024','0800','10','Zutritt',?,'Tor')",
                      kEvents, [](int i) {
                          return QVariantList{QStringLiteral("%1").arg(i % kTransponders + 1, 10, 16, QChar('0')).toUpper(),
                                              i % 100 == 0 ? 2 : 1};
                      });
    // A copy to put the events back after each delete.
    bench::Exec(q, "CREATE TABLE keep AS SELECT * FROM tblEvents");
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
    CtblEvents* events = db->Get_Ptr_To_tblEvents();
    QSqlDatabase connection = db->GetDatabase()->Connection();
    QSqlQuery q(connection);
    std::printf("%d events, %d transponders, %d persons, %d readers; median of %d\n", kEvents, kTransponders,
                kPersons, kReaders, repetitions);

    const auto restoreEvents = [&] {
        bench::Exec(q, "DELETE FROM tblEvents");
        bench::Exec(q, "INSERT INTO tblEvents SELECT * FROM keep");
        events->_Requery();
    };

    {
        CEventsDlg view(app.Context());
        view.resize(1000, 700);
        // A fill has no floor here (repainting a filled grid does not fill
        // it): its time stands alone, beside the paint that is part of it.
        view.ShowEvents(0);
        bench::Report("events first page", bench::Median(repetitions, nullptr, [&] {
                   view.GetGrid()->Refresh();
                   bench::Paint(view);
               }),
               0, nullptr);
        bench::Report("events fill", bench::Median(repetitions, nullptr, [&] {
                   view.ShowEvents(0);
                   bench::Paint(view);
               }),
               0, nullptr);

        const auto keyedFloor = [&](int reader) {
            std::vector<qint32> keys;
            for (int i = 0; i < events->GetAnz_Events(); ++i) {
                if (events->Get_Event(i)->Leser_ID == reader)
                    keys.push_back(events->Get_Event(i)->ID_Events);
            }
            return bench::Millis([&] {
                db->GetDatabase()->BeginTrans();
                QSqlQuery d(connection);
                d.prepare("DELETE FROM tblEvents WHERE ID_Events = ?");
                for (qint32 key : keys) {
                    d.bindValue(0, key);
                    d.exec();
                }
                db->GetDatabase()->CommitTrans();
            });
        };
        const auto floorOf = [&](const std::function<double()>& once) {
            std::vector<double> times;
            for (int i = 0; i < repetitions; ++i) {
                restoreEvents();
                times.push_back(once());
            }
            std::sort(times.begin(), times.end());
            return times[times.size() / 2];
        };

        const double floor1000 = floorOf([&] { return keyedFloor(2); });
        bench::Report("delete 1,000 shown", bench::Median(repetitions, [&] {
                   restoreEvents();
                   view.ShowEvents(2);
               }, [&] { view.OnDeleteAll(); }),
               floor1000, "1,000 keyed DELETEs, one transaction");

        const double floorAll = floorOf([&] {
            return bench::Millis([&] {
                db->GetDatabase()->BeginTrans();
                bench::Exec(q, "DELETE FROM tblEvents");
                db->GetDatabase()->CommitTrans();
            });
        });
        bench::Report("delete all 100,000", bench::Median(repetitions, [&] {
                   restoreEvents();
                   view.ShowEvents(0);
               }, [&] { view.OnDeleteAll(); }),
               floorAll, "DELETE FROM tblEvents, one transaction");

        const double floor99 = floorOf([&] { return keyedFloor(1); });
        bench::Report("delete 99,000 shown", bench::Median(repetitions, [&] {
                   restoreEvents();
                   view.ShowEvents(1);
               }, [&] { view.OnDeleteAll(); }),
               floor99, "99,000 keyed DELETEs, one transaction");
        restoreEvents();
    }
    {
        CNameDlg view(app.Context());
        view.resize(1000, 700);
        view.Reload(1);
        bench::Report("persons first page", bench::Median(repetitions, nullptr, [&] {
                   view.GetGrid()->Refresh();
                   bench::Paint(view);
               }),
               0, nullptr);
        bench::Report("persons one reader", bench::Median(repetitions, nullptr, [&] {
                   view.Reload(1);
                   bench::Paint(view);
               }),
               0, nullptr);
        bench::Report("persons all", bench::Median(repetitions, nullptr, [&] {
                   view.Reload(0);
                   bench::Paint(view);
               }),
               0, nullptr);

        // A person holding a transponder: offered the 7,500 free ones and its own.
        CGridCtrl* grid = view.GetGrid();
        const QStringList offered = view.OfferedTransponders(1);
        const double floorList = bench::Median(repetitions, nullptr, [&] {
            QComboBox box;
            for (const QString& number : offered)
                box.addItem(number, number);
        });
        int entries = 0;
        bench::Report("drop-down opens", bench::Median(repetitions, [&] { grid->EndActiveEdit(); }, [&] {
                   grid->BeginCellEdit(1, 3, QPoint(-1, -1), CGridEditKey::Key(VK_LBUTTON));
                   if (auto* list = qobject_cast<QComboBox*>(grid->GetActiveEditor()))
                       entries = list->count();
               }),
               floorList, "a combo box given the same entries and values");
        std::printf("  (%d entries offered)\n", entries);
        grid->EndActiveEdit();
    }
    app.ExitInstance();
    return 0;
}
