#pragma once

#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace tramex {

// One event of the component: handlers subscribed by a receiver, called in
// the order they were subscribed. Raising works on a snapshot of the list,
// so a handler may subscribe or remove handlers (its own included) without
// disturbing the raise in progress. A list is never changed once made, so
// the snapshot is a shared reference: a search raises an event per match.
template <class... Args>
class EventList
{
public:
    using Handler = std::function<void(Args...)>;

    void Subscribe(const void* receiver, Handler handler)
    {
        auto entries = m_entries ? std::make_shared<std::vector<Entry>>(*m_entries)
                                 : std::make_shared<std::vector<Entry>>();
        entries->push_back({receiver, std::move(handler)});
        m_entries = std::move(entries);
    }

    // A member function of the receiver.
    template <class Receiver>
    void Subscribe(Receiver* receiver, void (Receiver::*member)(Args...))
    {
        Subscribe(static_cast<const void*>(receiver),
                  [receiver, member](Args... args) { (receiver->*member)(std::forward<Args>(args)...); });
    }

    void RemoveAll(const void* receiver)
    {
        if (!m_entries)
            return;
        auto kept = std::make_shared<std::vector<Entry>>();
        for (const Entry& entry : *m_entries)
            if (entry.receiver != receiver)
                kept->push_back(entry);
        m_entries = kept->empty() ? nullptr : std::move(kept);
    }

    bool IsEmpty() const { return !m_entries; }
    size_t Count() const { return m_entries ? m_entries->size() : 0; }

    // Each handler takes its own copy of an argument passed by value.
    void Raise(const Args&... args) const
    {
        const std::shared_ptr<const std::vector<Entry>> snapshot = m_entries;
        if (!snapshot)
            return;
        for (const Entry& entry : *snapshot)
            entry.handler(args...);
    }

private:
    struct Entry
    {
        const void* receiver;
        Handler handler;
    };
    // Null when no handler is subscribed.
    std::shared_ptr<const std::vector<Entry>> m_entries;
};

// The component's rule for every report: the callback pointer when one is
// set, else the event; never both.
template <class Callback, class Event, class... Args>
void CallbackOrEvent(Callback callback, const Event& event, Args&&... args)
{
    if (callback)
        callback(std::forward<Args>(args)...);
    else
        event.Raise(std::forward<Args>(args)...);
}

} // namespace tramex
