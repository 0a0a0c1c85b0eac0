#include "CUiMessage.h"
#include "CLanguageHandler.h"
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

// A lock another program holds reaches the operator in plain words first,
// once, in either language; other texts pass as they are.
TEST(CUiMessage, ALockTextIsExplainedBeforeTheDriversWords)
{
    for (unsigned int lang : {0u, 1u}) {
        CLanguageHandler language(lang, QString());
        CUiMessage::SetLanguage(&language);
        const QString plain = language.GetLangItem(CUiMessage::kLockedText);
        ASSERT_FALSE(plain.isEmpty());
        const struct
        {
            const char* text;
            bool explained;
        } cases[] = {{"database is locked Unable to fetch row", true},
                     {"[SQLite]database table is locked (6)", true},
                     {"ERROR: canceling statement due to lock timeout;\nError while executing the query", true},
                     {"", false}};
        for (const auto& c : cases) {
            const QString shown = CUiMessage::ExplainLock(QString::fromLatin1(c.text));
            EXPECT_EQ(shown, c.explained ? plain + "\n\n" + c.text : QString::fromLatin1(c.text)) << c.text;
            EXPECT_EQ(CUiMessage::ExplainLock(shown), shown) << "explained once";
        }
        // A file that may only be read: plain words alone.
        EXPECT_EQ(CUiMessage::ExplainLock("attempt to write a readonly database Unable to fetch row"),
                  language.GetLangItem(CUiMessage::kReadOnlyText));
    }
    CUiMessage::SetLanguage(nullptr);
}
