#include "CDataProgressDlg.h"
#include "TestEnvironment.h"

#include <CLanguageHandler.h>

#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QTest>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

// A worker feeds range, position and text as the transfers do; every change
// of a widget must happen on the UI thread, and the last values win.
TEST(CDataProgressDlgThread, WorkerUpdatesReachTheWidgetsOnTheUiThread)
{
    CLanguageHandler language(1, TestEnvironment::NewFolder("lang"));
    // Not shown: painting would start Qt's own raster threads, which
    // ThreadSanitizer cannot follow in Debian's Qt; the widgets change the
    // same way hidden or shown.
    QPointer<CDataProgressDlg> dialog = new CDataProgressDlg(&language);

    QThread* const uiThread = QThread::currentThread();
    std::atomic<int> offThread{0};
    int changes = 0;
    QObject::connect(dialog->GetProgressCtrl(), &QProgressBar::valueChanged, [&](int) {
        ++changes;
        if (QThread::currentThread() != uiThread)
            ++offThread;
    });

    constexpr int kSteps = 20000;
    std::atomic<bool> finished{false};
    CDataProgressDlg* const target = dialog;
    std::thread worker([&] {
        target->SetRange(0, kSteps);
        for (int i = 0; i <= kSteps; ++i) {
            target->SetPos(i);
            if (i % 1000 == 0)
                target->SetText(QStringLiteral("\nEreignis %1").arg(i));
        }
        finished = true;
    });
    // Keep the event loop turning while the worker runs, as the program does.
    EXPECT_TRUE(QTest::qWaitFor([&] { return finished.load(); }, 20000));
    worker.join();
    QCoreApplication::processEvents();

    EXPECT_EQ(offThread.load(), 0);
    EXPECT_EQ(dialog->GetProgressCtrl()->maximum(), kSteps);
    EXPECT_EQ(dialog->GetProgressCtrl()->value(), kSteps);
    EXPECT_EQ(dialog->GetTextControl()->text(), QStringLiteral("\nEreignis %1").arg(kSteps));
    // Bursts are carried by one update each, not one event per call.
    EXPECT_LT(changes, kSteps);

    dialog->DestroyWindow();
    EXPECT_FALSE(dialog);
}

// Destroying the window with updates still queued drops them safely.
TEST(CDataProgressDlgThread, DestroyingWithQueuedUpdatesIsSafe)
{
    CLanguageHandler language(0, TestEnvironment::NewFolder("lang"));
    QPointer<CDataProgressDlg> dialog = new CDataProgressDlg(&language);
    CDataProgressDlg* const target = dialog;
    std::thread worker([target] {
        for (int i = 0; i < 1000; ++i)
            target->SetText(QString::number(i));
    });
    worker.join();
    dialog->DestroyWindow();
    QCoreApplication::processEvents();
    EXPECT_FALSE(dialog);
}
