#pragma once

#include "CReaderLink.h"
#include "CReaderLinkObserver.h"

#include <QList>
#include <QString>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>

// Records what a reader link reports, in place of the tree view. Tags are
// acknowledged at once unless holdTags is set.
class ReaderLinkRecorder : public CReaderLinkObserver
{
public:
    struct Tag {
        quint64 ticket;
        QString number;
        bool isMaster;
    };
    struct Progress {
        int maximum;
        int position;
        QString text;
    };

    CReaderLink* link = nullptr;
    bool holdTags = false;

    void SearchProgress(int maximum, int position, const QString& text) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        progress.append({maximum, position, text});
        m_changed.notify_all();
    }
    void SearchFinished(const CSearchOutcome& outcome) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        outcomes.append(outcome);
        m_changed.notify_all();
    }
    void TagRead(quint64 ticket, const QString& number, bool isMaster) override
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            tags.append({ticket, number, isMaster});
            m_changed.notify_all();
        }
        if (!holdTags && link)
            link->TagHandled(ticket);
    }
    void LinkLost(quint64 connection) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        linkLost.append(connection);
        m_changed.notify_all();
    }

    // Waits until the condition holds (checked under the recorder's lock).
    bool WaitFor(const std::function<bool()>& condition, int timeoutMs)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), condition);
    }
    bool WaitForOutcome(int timeoutMs)
    {
        return WaitFor([this] { return !outcomes.isEmpty(); }, timeoutMs);
    }
    CSearchOutcome LastOutcome()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return outcomes.isEmpty() ? CSearchOutcome() : outcomes.last();
    }
    int OutcomeCount()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return int(outcomes.size());
    }
    QList<Tag> Tags()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return tags;
    }
    int LinkLostCount()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return int(linkLost.size());
    }
    QList<Progress> ProgressCalls()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return progress;
    }

    // Guarded by the lock; read them through the functions above.
    QList<Progress> progress;
    QList<CSearchOutcome> outcomes;
    QList<Tag> tags;
    QList<quint64> linkLost;

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
};
