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
#include "CDialogRunner.h"
#include "CFerrold_Handler.h"
#include "CFerrold_Schema.h"
#include "CDatabase.h"
#include "CGridCtrl.h"
#include "CLeftTreeView.h"
#include "CLeserDlg.h"
#include "CMainFrame.h"
#include "CQuandorApp.h"
#include "CSimulatedReader.h"
#include "CUiMessage.h"
#include "CChooseCOMDlg.h"
#include "CReaderFrame.h"

#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QPushButton>
#include <QSqlQuery>
#include <QTemporaryDir>
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

void FillReaders(const QString& file, int readers)
{
    CDatabase db({CDatabase::Kind::Sqlite, file});
    QString error;
    CFerrold_Schema::Prepare(db, &error);
    QSqlQuery q(db.Connection());
    q.exec("BEGIN");
    q.prepare("INSERT INTO tblLeser (strBezeichnung, strAdresse, strSeriennummer, boolUpdateOK, strLeserTyp,"
              " strModus, strParameter) VALUES (?,?,?,0,?,'6','A5')");
    for (int i = 1; i <= readers; ++i) {
        q.addBindValue(QStringLiteral("Leser %1").arg(i, 3, 10, QChar('0')));
        q.addBindValue(Serial(i).left(2));
        q.addBindValue(Serial(i));
        q.addBindValue(QString::fromLatin1(kModels[i % 5]));
        q.exec();
    }
    QSqlQuery(db.Connection()).exec("COMMIT");
}

bool WaitUntil(const std::function<bool()>& condition, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents();
        QThread::msleep(2);
    }
    return true;
}

void Paint(QWidget& widget)
{
    QImage image(widget.size(), QImage::Format_ARGB32_Premultiplied);
    widget.render(&image);
}

double Median(std::vector<double> times)
{
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// The median of the runs, each after an untimed preparation.
double MedianMs(int repetitions, const std::function<void()>& prepare, const std::function<void()>& run)
{
    std::vector<double> times;
    for (int i = 0; i < repetitions; ++i) {
        if (prepare)
            prepare();
        QElapsedTimer clock;
        clock.start();
        run();
        times.push_back(double(clock.nsecsElapsed()) / 1e6);
    }
    return Median(times);
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
    QTemporaryDir home;
    for (const char* folder : {"config", "data", "layout"})
        QDir(home.path()).mkpath(folder);
    qputenv("XDG_CONFIG_HOME", (home.path() + "/config").toLocal8Bit());
    qputenv("XDG_DATA_HOME", (home.path() + "/data").toLocal8Bit());
    qputenv("QT_QPA_PLATFORM", "offscreen");
    CQuandorApp app(argc, argv);

    CSimulatedReader reader(CSimulatedReader::Kite);
    reader.RegisterAs(kPort);
    // The known Kite: the reader in the middle of the table.
    const int known = readers / 2 - (readers / 2) % 5 + 1;
    reader.SetIdentification(Serial(known).toLatin1());
    FillReaders(CFerrold_Schema::DefaultFilePath(), readers);

    app.SetLayoutFolder(home.path() + "/layout");
    CUiMessage::SetPresenter([](const CUiMessage::Request& request) {
        std::fprintf(stderr, "message: %s\n", qPrintable(request.text));
        return QMessageBox::Ok;
    });
    CDialogRunner::SetRunner([](QDialog& dialog) {
        auto* ports = qobject_cast<CChooseCOMDlg*>(&dialog);
        if (!ports)
            return int(QDialog::Rejected);
        ports->show();
        ports->PortList()->setCurrentIndex(ports->PortList()->findText(QStringLiteral("COM%1").arg(kPort)));
        ports->ConnectNowButton()->click();
        return ports->result();
    });
    if (!app.InitServices() || !app.CreateMainFrame())
        return 1;
    CMainFrame* frame = app.GetMainFrame();
    frame->resize(1212, 874);
    frame->show();
    CLeftTreeView* tree = frame->GetLeftTreeView();
    if (!WaitUntil([&] { return tree->IsPollingRunning() && !tree->GetSearchProgress(); }, 10000)) {
        std::fprintf(stderr, "the simulated reader was not found\n");
        return 1;
    }
    WaitUntil([] { return false; }, 50);
    auto* view = qobject_cast<CLeserDlg*>(frame->GetRightPane());
    if (!view)
        return 1;
    CGridCtrl* grid = view->GetGrid();
    CtblLeser* cache = app.GetDBHandler()->Get_Ptr_To_tblLeser();
    std::printf("%d readers (%d with tree children), %d repetitions, simulator latency 2 ms\n", readers,
                readers - readers / 5, repetitions);

    // --- fill and first paint
    const double fill = MedianMs(repetitions, nullptr, [&] {
        tree->RebuildChildren();
        view->Reload(0);
        Paint(*frame);
    });
    const double requery = MedianMs(repetitions, nullptr, [&] { cache->_Requery(); });
    const double paint = MedianMs(repetitions, nullptr, [&] { Paint(*frame); });
    const double rebuild = MedianMs(repetitions, nullptr, [&] { tree->RebuildChildren(); });
    const double reload = MedianMs(repetitions, nullptr, [&] { view->Reload(0); });
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
    Row("known reader: select its row", Median(selectTimes), Median(roundTimes));

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
    const double insert = MedianMs(repetitions, nullptr, [&] {
        QSqlQuery q(app.GetDBHandler()->GetDatabase()->Connection());
        q.exec("INSERT INTO tblPerson (strName) VALUES ('bench')");
    });
    std::printf("registration (%d readers added)\n", cache->GetAnz_Leser() - before);
    Row("unknown reader: register it", Median(registerTimes), Median(threeTimes) + insert + requery);
    std::printf("  %-34s %8.3f ms\n  %-34s %8.3f ms\n", "floor: three round trips", Median(threeTimes),
                "floor: one row inserted", insert);

    tree->ClosePort();
    app.ExitInstance();
    return 0;
}
