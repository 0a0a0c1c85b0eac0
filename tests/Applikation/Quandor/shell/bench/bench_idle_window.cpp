// bench_idle_window: what the whole program costs while it only waits, online
// with a simulated Kite (polled) and then a Wren (only listened to), each on
// a pseudo-terminal: the processor time of the process (its link threads
// included) per second of waiting, in percent of one core, and how often the
// UI thread woke (its event loop about to wait again). The simulator runs in
// the same process, so its own replies to the polls are counted in; the
// link's floor, without a window, is bench_reader_link's "idle" row. Goal:
// under 0.1 % of a core on a quiet machine (30 s).
//
//     bench_idle_window [seconds, 10]
#include "BenchFixture.h"

#include "CLeftTreeView.h"
#include "CMainFrame.h"
#include "CQuandorApp.h"
#include "CSimulatedReader.h"

#include <QAbstractEventDispatcher>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace {

constexpr int kPort = 7;

double cpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

void spin(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

void idle(CQuandorApp& app, CSimulatedReader::Model model, int seconds)
{
    CSimulatedReader reader(model);
    reader.RegisterAs(kPort);
    if (!app.CreateMainFrame())
        std::exit(1);
    CLeftTreeView* tree = app.GetMainFrame()->GetLeftTreeView();
    if (!bench::WaitFor([&] { return tree->IsPollingRunning() && !tree->GetSearchProgress(); }, 60000)) {
        std::printf("idle %s: no connection\n", qPrintable(CSimulatedReader::ModelName(model)));
        return;
    }
    spin(1000);
    int wakeups = 0;
    const auto counter = QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock,
                                          [&] { ++wakeups; });
    const double before = cpuMs();
    QElapsedTimer clock;
    clock.start();
    spin(seconds * 1000);
    const double used = cpuMs() - before;
    const double wall = double(clock.elapsed());
    QObject::disconnect(counter);
    std::printf("idle %-5s online: %.3f %% of one core (%.1f ms in %.1f s), UI thread woke %.1f times a second\n",
                qPrintable(CSimulatedReader::ModelName(model)), 100.0 * used / wall, used, wall / 1000.0,
                (wakeups - 1) / (wall / 1000.0));
    std::fflush(stdout);
    app.ExitInstance();
    app.InitServices();
}

} // namespace

int main(int argc, char** argv)
{
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    bench::Program program(argc, argv);
    bench::AnswerBoxes(QMessageBox::Ok);
    bench::ConnectAtStart(kPort);
    if (!program.Start([](CDatabase&, QSqlQuery&) {}))
        return 1;
    CQuandorApp& app = program.App();
    idle(app, CSimulatedReader::Kite, seconds);
    idle(app, CSimulatedReader::Wren, seconds);
    return 0;
}
