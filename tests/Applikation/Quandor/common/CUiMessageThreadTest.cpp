#include "CUiMessage.h"
#include "ScopedSeam.h"
#include "ShellTestSupport.h"
#include "TestEnvironment.h"

#include <CLanguageHandler.h>

#include <QElapsedTimer>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

TEST(CUiMessageWorkers, OnTheUiThreadTheBoxIsShownDirectlyWithTheProgramCaption)
{
    RecordingPresenter boxes(QMessageBox::Yes);
    CLanguageHandler language(1, TestEnvironment::NewFolder("lang"));
    CUiMessage::SetLanguage(&language);
    EXPECT_EQ(CUiMessage::Show(QStringLiteral("Delete?"), QMessageBox::Question,
                               QMessageBox::Yes | QMessageBox::No),
              QMessageBox::Yes);
    CUiMessage::Show(QStringLiteral("Oops"), QMessageBox::Critical, QMessageBox::Ok, nullptr,
                     QStringLiteral("Error"));
    CUiMessage::SetLanguage(nullptr);

    const auto requests = boxes.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].text, QStringLiteral("Delete?"));
    EXPECT_EQ(requests[0].caption, language.GetLangItem(74));
    EXPECT_FALSE(requests[0].caption.isEmpty());
    EXPECT_EQ(requests[0].icon, QMessageBox::Question);
    EXPECT_EQ(requests[0].buttons, QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(requests[1].caption, QStringLiteral("Error"));
    EXPECT_EQ(boxes.Threads(), (std::vector<QThread*>{QThread::currentThread(), QThread::currentThread()}));
}

TEST(CUiMessageWorkers, AWorkerWaitsForTheAnswerGivenOnTheUiThread)
{
    RecordingPresenter boxes(QMessageBox::No);
    std::atomic<bool> stop{false};
    std::atomic<int> answer{-1};
    std::thread worker([&] {
        answer = CUiMessage::Show(QStringLiteral("Skip line 3?"), QMessageBox::Question,
                                  QMessageBox::Yes | QMessageBox::No, &stop);
    });
    EXPECT_TRUE(QTest::qWaitFor([&] { return answer.load() != -1; }, 10000));
    worker.join();
    EXPECT_EQ(answer.load(), QMessageBox::No);
    EXPECT_EQ(boxes.Threads(), std::vector<QThread*>{QThread::currentThread()});
}

// The owner stops its worker and joins it on the UI thread before the box
// was ever shown: the join must not wait for the box, and no box appears
// afterwards for a worker that is gone.
TEST(CUiMessageWorkers, AStoppedWorkerAbandonsTheBoxSoItsOwnerCanJoin)
{
    RecordingPresenter boxes;
    std::atomic<bool> stop{false};
    std::atomic<int> answer{-1};
    std::thread worker([&] { answer = CUiMessage::Show(QStringLiteral("Port lost"), QMessageBox::Warning,
                                                       QMessageBox::Ok, &stop); });
    QThread::msleep(50);
    QElapsedTimer clock;
    clock.start();
    stop = true;
    worker.join();
    EXPECT_LT(clock.elapsed(), 1000);
    EXPECT_EQ(answer.load(), QMessageBox::NoButton);
    QCoreApplication::processEvents();
    EXPECT_TRUE(boxes.Requests().empty());
}

// The real box is open when the owner stops the worker: it closes itself.
TEST(CUiMessageWorkers, AnOpenBoxClosesWhenItsWorkerStops)
{
    // The real box.
    ScopedSeam presenter(CUiMessage::PresenterSeam(), {});
    std::atomic<bool> stop{false};
    std::atomic<bool> done{false};
    std::atomic<int> answer{-1};
    std::thread worker([&] {
        answer = CUiMessage::Show(QStringLiteral("Reader does not answer"), QMessageBox::Warning,
                                  QMessageBox::Ok, &stop);
        done = true;
    });
    bool boxSeen = false;
    bool forced = false;
    QElapsedTimer clock;
    clock.start();
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        boxSeen = true;
        stop = true;
        // Should the box ignore its worker, close it so the test fails
        // instead of hanging.
        if (clock.elapsed() > 5000) {
            forced = true;
            box->done(QMessageBox::Cancel);
        }
    });
    probe.start(20);
    EXPECT_TRUE(QTest::qWaitFor([&] { return done.load(); }, 10000));
    worker.join();
    EXPECT_TRUE(boxSeen);
    EXPECT_FALSE(forced);
    EXPECT_EQ(answer.load(), QMessageBox::NoButton);
    EXPECT_TRUE(QTest::qWaitFor([] { return QApplication::activeModalWidget() == nullptr; }, 2000));
}
