// Progress window fed by a worker: the cost of a position call on the
// worker's side and how many widget updates a burst of calls turns into.
#include "CDataProgressDlg.h"

#include <CLanguageHandler.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QProgressBar>

#include <atomic>
#include <cstdio>
#include <thread>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    CLanguageHandler language(0, QString());
    auto* dialog = new CDataProgressDlg(&language);
    dialog->show();

    long updates = 0;
    QObject::connect(dialog->GetProgressCtrl(), &QProgressBar::valueChanged, [&](int) { ++updates; });

    constexpr int kSteps = 1000000;
    std::atomic<bool> done{false};
    std::atomic<qint64> workerNs{0};
    std::thread worker([&] {
        QElapsedTimer clock;
        clock.start();
        dialog->SetRange(0, kSteps);
        for (int i = 1; i <= kSteps; ++i)
            dialog->SetPos(i);
        workerNs = clock.nsecsElapsed();
        done = true;
    });
    QElapsedTimer wall;
    wall.start();
    while (!done)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    worker.join();
    QCoreApplication::processEvents();
    std::printf("SetPos from a worker: %.1f ns/call (%d calls), %ld widget updates, %.1f ms wall\n",
                double(workerNs) / kSteps, kSteps, updates, double(wall.nsecsElapsed()) / 1e6);
    const bool ok = dialog->GetProgressCtrl()->value() == kSteps;
    dialog->DestroyWindow();
    return ok ? 0 : 1;
}
