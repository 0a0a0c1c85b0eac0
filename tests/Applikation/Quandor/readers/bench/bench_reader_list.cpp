// bench_reader_list: the reader list with 200 readers, in the whole program
// connected to a simulated Kite on a pseudo-terminal, each figure beside its
// floor from the same run.
//   fill      - the reader children of the tree rebuilt, the list re-read
//               and refilled, and the main window painted
//   floor     - the re-read of the readers alone, plus a paint of the
//               unchanged window
//   select    - a connected Kite that the table knows identified: its
//               identification asked and its row found and selected (the
//               grid sorted by name, the Kite's row far from the top)
//   register  - an unknown Kite identified: three queries, the new row
//               stored, the list re-read and its tree children placed
//   floor     - the link's own round trips for the same queries, asked the
//               same way (one, then three)
//   program   - the difference: what the program adds to the wire
// Figures are medians; the program's addition should be a few milliseconds.
// Usage: bench_reader_list [readers] [repetitions]
#include "BenchFixture.h"

#include "CFerrold_Handler.h"
#include "CGridCtrl.h"
#include "CLeftTreeView.h"
#include "CLeserDlg.h"
#include "CMainFrame.h"
#include "CQuandorApp.h"
#include "CSimulatedReader.h"
#include "CReaderFrame.h"

#include <QElapsedTimer>
#include <QSqlQuery>
#include <QThread>
#include <QTreeWidgetItem>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

constexpr int kPort = 43;
const char* const kModels[] = {"Kite", "Heron", "Egret", "Wren", "Tern"};

QString Serial(int i)
{
    return QStringLiteral("%1").arg(i, 20, 16, QChar('0')).toUpper();
}

// Readers 1 to count, of the five models in turn.
void FillReaders(CDatabase& db, int readers)
{
    bench::InsertRows(db,
                      "INSERT INTO tblLeser (strBezeichnung, strAdresse, strSeriennummer, boolUpdateOK, strLeserTyp,"
                      " strModus, strParameter) VALUES (?,?,?,0,?,'6','A5')",
                      readers, [](int i) {
                          return QVariantList{QStringLiteral("Leser %1").arg(i, 3, 10, QChar('0')), Serial(i).left(2),
                                              Serial(i), QString::fromLatin1(kModels[i % 5])};
                      });
}

void Row(const char* name, double ms, double floorMs)
{
    std::printf("  %-34s %8.3f ms   floor %8.3f ms   ratio %5.2f   program %+7.3f ms\n", name, ms, floorMs,
                ms / std::max(floorMs, 1e-6), ms - floorMs);
}

} // namespace

int main(int argc, char** argv)
{
    const int readers = argc > 1 ? std::atoi(argv[1]) : 200;
    const int repetitions = argc > 2 ? std::atoi(argv[2]) : 21;
    bench::Program program(argc, argv);
    CQuandorApp& app = program.App();

    CSimulatedReader reader(CSimulatedReader::Kite);
    reader.RegisterAs(kPort);
    // The known Kite: the reader in the middle of the table.
    const int known = readers / 2 - (readers / 2) % 5 + 1;
    reader.SetIdentification(Serial(known).toLatin1());
    bench::AnswerBoxes(QMessageBox::Ok);
    bench::ConnectAtStart(kPort);
    if (!program.Start([readers](CDatabase& db, QSqlQuery&) { FillReaders(db, readers); }) || !app.CreateMainFrame())
        return 1;
    CMainFrame* frame = app.GetMainFrame();
    frame->resize(1212, 874);
    frame->show();
    CLeftTreeView* tree = frame->GetLeftTreeView();
    if (!bench::WaitFor([&] { return tree->IsPollingRunning() && !tree->GetSearchProgress(); }, 10000)) {
        std::fprintf(stderr, "the simulated reader was not found\n");
        return 1;
    }
    bench::WaitFor([] { return false; }, 50);
    auto* view = qobject_cast<CLeserDlg*>(frame->GetRightPane());
    if (!view)
        return 1;
    CGridCtrl* grid = view->GetGrid();
    CtblLeser* cache = app.GetDBHandler()->Get_Ptr_To_tblLeser();
    std::printf("%d readers (%d with tree children), %d repetitions, simulator latency 2 ms\n", readers,
                readers - readers / 5, repetitions);

    // --- fill and first paint
    const double fill = bench::Median(repetitions, nullptr, [&] {
        tree->RebuildChildren();
        view->Reload(0);
        bench::Paint(*frame);
    });
    const double requery = bench::Median(repetitions, nullptr, [&] { cache->_Requery(); });
    const double paint = bench::Median(repetitions, nullptr, [&] { bench::Paint(*frame); });
    const double rebuild = bench::Median(repetitions, nullptr, [&] { tree->RebuildChildren(); });
    const double reload = bench::Median(repetitions, nullptr, [&] { view->Reload(0); });
    std::printf("fill and first paint (rows %d, children under transponders %d)\n", grid->GetRowCount() - 1,
                tree->Node(CLeftTreeView::TranspondersNode)->childCount());
    Row("rebuild + reload + paint", fill, requery + paint);
    std::printf("  %-34s %8.3f ms\n  %-34s %8.3f ms\n", "floor: re-read of the readers", requery,
                "floor: paint of the window", paint);
    std::printf("  %-34s %8.3f ms\n  %-34s %8.3f ms\n", "tree children rebuilt alone", rebuild,
                "list reloaded alone", reload);

    // --- identification of a known reader, the grid sorted by name
    grid->SortByColumn(4, 2);
    const auto identify = [&] {
        view->m_bIdentifyRequest = true;
        view->OnReaderDetected();
    };
    std::vector<double> selectTimes, roundTimes;
    int selected = 0;
    for (int i = 0; i < repetitions; ++i) {
        grid->ClearSelection();
        QElapsedTimer clock;
        clock.start();
        identify();
        selectTimes.push_back(double(clock.nsecsElapsed()) / 1e6);
        for (int row = 1; row < grid->GetRowCount(); ++row)
            selected += grid->IsCellSelected(row, 4) && grid->GetItemText(row, 5) == Serial(known) ? 1 : 0;
        clock.restart();
        tree->SendAndWait('L', QStringLiteral("S0000"), CReaderFrame::FramedMode);
        roundTimes.push_back(double(clock.nsecsElapsed()) / 1e6);
    }
    std::printf("identification (row of the connected Kite selected in %d of %d runs)\n", selected, repetitions);
    Row("known reader: select its row", bench::Median(selectTimes), bench::Median(roundTimes));

    // --- registration of an unknown reader: a new identification each run
    std::vector<double> registerTimes, threeTimes;
    const int before = cache->GetAnz_Leser();
    for (int i = 0; i < repetitions; ++i) {
        reader.SetIdentification(Serial(0xABC000 + i).toLatin1());
        QElapsedTimer clock;
        clock.start();
        identify();
        registerTimes.push_back(double(clock.nsecsElapsed()) / 1e6);
        clock.restart();
        for (const char* data : {"S0000", "P0000", "P0001"})
            tree->SendAndWait('L', QString::fromLatin1(data), CReaderFrame::FramedMode);
        threeTimes.push_back(double(clock.nsecsElapsed()) / 1e6);
    }
    // The database's share: one row written by a plain statement, its own
    // transaction, on the same file.
    const double insert = bench::Median(repetitions, nullptr, [&] {
        QSqlQuery q(app.GetDBHandler()->GetDatabase()->Connection());
        q.exec("INSERT INTO tblPerson (strName) VALUES ('bench')");
    });
    std::printf("registration (%d readers added)\n", cache->GetAnz_Leser() - before);
    Row("unknown reader: register it", bench::Median(registerTimes), bench::Median(threeTimes) + insert + requery);
    std::printf("  %-34s %8.3f ms\n  %-34s %8.3f ms\n", "floor: three round trips", bench::Median(threeTimes),
                "floor: one row inserted", insert);

    tree->ClosePort();
    app.ExitInstance();
    return 0;
}
