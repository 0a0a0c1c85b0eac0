#include "CUiMessage.h"
#include "ShellTestSupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

// A request that the UI thread drops unrun (its event loop is gone at
// shut-down) releases a worker that has no stop flag.
//
// This test has a worker thread but runs in the plain test program: the
// request is dropped inside Qt's event queue, whose lock ThreadSanitizer
// cannot see in Debian's (uninstrumented) Qt, so the hand-over would be
// reported as a race although Qt's lock orders it.
TEST(CUiMessage, ADroppedRequestReleasesItsWorker)
{
    RecordingPresenter boxes;
    std::atomic<bool> done{false};
    std::atomic<int> answer{-1};
    std::thread worker([&] {
        answer = CUiMessage::Show(QStringLiteral("Never shown"));
        done = true;
    });
    QElapsedTimer clock;
    clock.start();
    while (!done && clock.elapsed() < 10000) {
        CUiMessage::DropQueuedBoxes();
        QThread::msleep(5);
    }
    worker.join();
    EXPECT_TRUE(done.load());
    EXPECT_EQ(answer.load(), QMessageBox::NoButton);
    EXPECT_TRUE(boxes.Requests().empty());
}
