// bench_record_views: the record views at 100,000 rows. Every paint asks
// the view for each visible cell, and some answers look a record up in
// another table (a transponder's person and schema, a person's transponder,
// an event's person), so a paint costs visible cells times a look-up.
//   fill     - the view's fill (rows, columns, layout) on a new view
//   paint    - a whole viewport after Refresh (every visible cell asked for)
//   page     - one page down and its paint
//   last     - a jump to the last rows and its paint
// Usage: bench_record_views [rows] [repetitions]
#include "BenchFixture.h"
#include "CDatabase.h"
#include "CEventsDlg.h"
#include "CGridCtrl.h"
#include "CNameDlg.h"
#include "CQuandorApp.h"
#include "CTransponderDlg.h"

#include <QElapsedTimer>
#include <QScrollBar>
#include <QSqlQuery>
#include <QVariant>

#include <cstdio>
#include <functional>
#include <memory>

namespace {

// Readers, then n transponders each held by a person, and n events.
void fillDatabase(CDatabase& db, QSqlQuery& q, int rows)
{
    q.exec("INSERT INTO tblLeser (strBezeichnung, strLeserTyp) VALUES ('Tor','Kite'),('Halle','Heron'),"
           "('Lager','Egret')");
    QSqlQuery t(db.Connection());
    t.prepare("INSERT INTO tblTransponder (ID_Transponder, strTransponderNummer, Person_ID, Zeitfenster_ID,"
              " strLeser_IDS) VALUES (?,?,?,1,'1;3')");
    QSqlQuery p(db.Connection());
    p.prepare("INSERT INTO tblPerson (ID_Person, strName, Transponder_ID) VALUES (?,?,?)");
    QSqlQuery e(db.Connection());
    e.prepare("INSERT INTO tblEvents (strTranspondernummer, strDatum, strUhrzeit, Leser_ID, strLeserName)"
              " VALUES (?,'01012024','0800',1,'Tor')");
    for (int i = 1; i <= rows; ++i) {
        const QString number = QStringLiteral("%1").arg(i, 10, 16, QChar('0')).toUpper();
        t.addBindValue(i);
        t.addBindValue(number);
        t.addBindValue(i);
        t.exec();
        p.addBindValue(i);
        p.addBindValue(QStringLiteral("Person %1").arg(i));
        p.addBindValue(i);
        p.exec();
        // The events of the last transponders: the person look-up runs longest.
        e.addBindValue(QStringLiteral("%1").arg(rows + 1 - i, 10, 16, QChar('0')).toUpper());
        e.exec();
    }
}

double millis(const std::function<void()>& work, int repetitions)
{
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < repetitions; ++i)
        work();
    return double(timer.nsecsElapsed()) / 1e6 / repetitions;
}

void measure(const char* name, CGridBaseDlg& view, const std::function<void()>& show, int repetitions)
{
    const double fill = millis(show, repetitions);
    CGridCtrl* grid = view.GetGrid();
    const double full = millis([&] { grid->Refresh(); bench::Paint(view); }, repetitions);
    QScrollBar* bar = grid->verticalScrollBar();
    const double page = millis([&] {
        bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
        bench::Paint(view);
    }, repetitions);
    const double last = millis([&] {
        bar->setValue(bar->maximum());
        bench::Paint(view);
        bar->setValue(0);
    }, repetitions);
    std::printf("%-13s fill %8.2f ms   paint %7.2f ms   page %7.2f ms   last rows %7.2f ms\n", name, fill, full,
                page, last);
}

} // namespace

int main(int argc, char** argv)
{
    const int rows = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int repetitions = argc > 2 ? std::atoi(argv[2]) : 5;
    bench::Program program(argc, argv);
    if (!program.Start([rows](CDatabase& db, QSqlQuery& q) { fillDatabase(db, q, rows); }))
        return 1;
    CQuandorApp& app = program.App();
    std::printf("%d rows, %d repetitions\n", rows, repetitions);
    {
        CTransponderDlg view(app.Context());
        view.resize(1000, 700);
        measure("transponders", view, [&] { view.ShowForReader(0); }, repetitions);
        measure("  one reader", view, [&] { view.ShowForReader(3); }, repetitions);
    }
    {
        CNameDlg view(app.Context());
        view.resize(1000, 700);
        measure("persons", view, [&] { view.Reload(0); }, repetitions);
        measure("  one reader", view, [&] { view.Reload(1); }, repetitions);
    }
    {
        CEventsDlg view(app.Context());
        view.resize(1000, 700);
        measure("events", view, [&] { view.ShowEvents(0); }, repetitions);
    }
    app.ExitInstance();
    return 0;
}
