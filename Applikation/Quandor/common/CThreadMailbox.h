#pragma once

#include <QObject>

#include <deque>
#include <functional>
#include <mutex>

class QSocketNotifier;

// Calls handed from any thread to the thread that owns the mailbox (the UI
// thread), run there in the order they were posted.
//
// Nothing of Qt crosses the threads: a call waits in a queue under our own
// lock and the owner is woken through a file descriptor of its own, so the
// hand-over is plain to see for every tool that checks threads, and a
// posting thread never allocates an event that another thread frees.
// Calls still queued when the mailbox goes are dropped.
class CThreadMailbox : public QObject
{
    Q_OBJECT

public:
    explicit CThreadMailbox(QObject* parent = nullptr);
    ~CThreadMailbox() override;

    // Any thread; never blocks on the owner.
    void Post(std::function<void()> call);
    // The owner's thread: runs what is queued. A call that runs an event
    // loop of its own (a message box) lets later calls run meanwhile.
    void Deliver();

private:
    int m_wakeFd = -1;
    QSocketNotifier* m_pNotifier = nullptr;
    std::mutex m_mutex;
    std::deque<std::function<void()>> m_calls;
};
