#pragma once

#include <QtGlobal>

#include <condition_variable>
#include <mutex>
#include <set>

// Turns at one data source for this program's threads, first come first
// served. A thread may take its turn again while it holds it (the turns
// nest); one that waits too long gives up, and its place in the queue is
// skipped when it comes. SQLite only polls for its locks, so without a
// queue a worker committing batch after batch could starve the UI thread's
// statements (or the other way round) until they fail.
//
// Threads are told apart by a number the caller gives (one per thread).
class CTurnQueue
{
public:
    // False when the turn did not come within waitMs.
    bool Take(quint64 thread, int waitMs);
    // Gives back one Take of the thread; the last one lets the next in.
    void Give(quint64 thread);

private:
    // With the mutex held: the next ticket that was not given up.
    void ServeNext();

    std::mutex m_mutex;
    std::condition_variable m_changed;
    quint64 m_nextTicket = 0;
    quint64 m_serving = 0;
    std::set<quint64> m_abandoned;
    quint64 m_owner = 0; // 0: nobody
    int m_depth = 0;
};
