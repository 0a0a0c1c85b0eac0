#pragma once

#include <QApplication>
#include <QPointer>
#include <QWidget>
#include <QtTest/QTest>

#include <chrono>
#include <functional>
#include <thread>

// Tests wait for the event they check, never for a fixed time. The bound is
// patience, not the behaviour under test: a busy machine may be slow, so
// it is generous, and a test that checks a time checks it on its own.
namespace TestWait {

inline constexpr int kPatienceMs = 30000;

// Runs the event loop until condition holds; false once timeoutMs passed.
inline bool Until(const std::function<bool()>& condition, int timeoutMs = kPatienceMs)
{
    return QTest::qWaitFor(condition, timeoutMs);
}

// The same for a thread without an event loop (or a caller that must not
// run one): polls the condition.
inline bool UntilOnThisThread(const std::function<bool()>& condition, int timeoutMs = kPatienceMs)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= end)
            return condition();
        std::this_thread::yield();
        std::this_thread::sleep_for(std::chrono::milliseconds(1)); // a poll interval, not a wait for an event
    }
    return true;
}

// Before a picture or a check of what a window shows: every shown window
// exposed, and the layout, polish and paint requests already posted
// handled.
inline void Settle()
{
    // Waiting for one window handles events, which may delete another
    // (a closed drop-down list): each is looked at only while it lives.
    QList<QPointer<QWidget>> windows;
    for (QWidget* window : QApplication::topLevelWidgets())
        windows << window;
    for (const QPointer<QWidget>& window : windows) {
        if (window && window->isVisible())
            (void)QTest::qWaitForWindowExposed(window.data());
    }
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}

} // namespace TestWait
