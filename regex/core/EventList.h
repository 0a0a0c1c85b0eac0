#pragma once

#include <functional>
#include <utility>
#include <vector>

namespace tramex {

// One event of the component: handlers subscribed by a receiver, called in
// the order they were subscribed. Raising works on a snapshot of the list,
// so a handler may subscribe or remove handlers (its own included) without
// disturbing the raise in progress.
template <class... Args>
class EventList
{
public:
    using Handler = std::function<void(Args...)>;

    void Subscribe(const void* receiver, Handler handler)
    {
        m_entries.push_back({receiver, std::move(handler)});
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
        std::vector<Entry> kept;
        for (Entry& entry : m_entries)
            if (entry.receiver != receiver)
                kept.push_back(std::move(entry));
        m_entries.swap(kept);
    }

    bool IsEmpty() const { return m_entries.empty(); }
    size_t Count() const { return m_entries.size(); }

    void Raise(Args... args) const
    {
        const std::vector<Entry> snapshot = m_entries;
        for (const Entry& entry : snapshot)
            entry.handler(args...);
    }

private:
    struct Entry
    {
        const void* receiver;
        Handler handler;
    };
    std::vector<Entry> m_entries;
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
