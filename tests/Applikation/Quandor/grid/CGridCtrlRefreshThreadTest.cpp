#include "CGridCtrl.h"
#include "GridTestOwner.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

// A worker that finishes a transfer asks the grid to show the new data; the
// grid takes the request on its own thread.
TEST(CGridCtrlRefresh, FromAWorkerThreadReachesTheGridOnItsThread)
{
    GridTestOwner owner;
    CGridCtrl* grid = MakeViewGrid(owner, 50, 4);
    std::atomic<int> generation{0};
    owner.text = [&](int, int) { return QString::number(generation.load()); };
    EXPECT_EQ(grid->GetItemText(3, 2), QStringLiteral("0"));

    generation = 1;
    std::thread worker([grid]() {
        for (int i = 0; i < 20; ++i)
            grid->Refresh();
    });
    worker.join();
    EXPECT_EQ(grid->GetItemText(3, 2), QStringLiteral("0")) << "nothing happened off the grid's thread";

    QElapsedTimer timer;
    timer.start();
    while (grid->GetItemText(3, 2) != QStringLiteral("1") && timer.elapsed() < 5000)
        QCoreApplication::processEvents();
    EXPECT_EQ(grid->GetItemText(3, 2), QStringLiteral("1"));
}
