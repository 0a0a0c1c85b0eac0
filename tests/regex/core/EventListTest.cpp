#include "EventList.h"

#include <gtest/gtest.h>

#include <string>

using tramex::CallbackOrEvent;
using tramex::EventList;

namespace {

std::vector<std::string> g_calls;

void callback(int value, bool& proceed)
{
    g_calls.push_back("callback " + std::to_string(value));
    proceed = false;
}

struct Receiver
{
    std::string name;
    void handle(int value, bool& proceed)
    {
        g_calls.push_back(name + " " + std::to_string(value) + (proceed ? " on" : " off"));
        proceed = false;
    }
};

} // namespace

TEST(EventList, HandlersRunInOrderAndShareReferenceArguments)
{
    g_calls.clear();
    EventList<int, bool&> event;
    Receiver a{"a"};
    Receiver b{"b"};
    event.Subscribe(&a, &Receiver::handle);
    event.Subscribe(&b, &Receiver::handle);
    bool proceed = true;
    event.Raise(4, proceed);
    EXPECT_FALSE(proceed);
    EXPECT_EQ(g_calls, (std::vector<std::string>{"a 4 on", "b 4 off"}));
}

TEST(EventList, CallbackOrEventNeverBoth)
{
    g_calls.clear();
    EventList<int, bool&> event;
    Receiver a{"a"};
    event.Subscribe(&a, &Receiver::handle);
    bool proceed = true;
    CallbackOrEvent(&callback, event, 1, proceed);
    void (*none)(int, bool&) = nullptr;
    proceed = true;
    CallbackOrEvent(none, event, 2, proceed);
    EXPECT_EQ(g_calls, (std::vector<std::string>{"callback 1", "a 2 on"}));
}

TEST(EventList, RemovingDuringARaiseDoesNotDisturbIt)
{
    EventList<int> event;
    int receiver = 0;
    int other = 0;
    std::vector<int> seen;
    event.Subscribe(&receiver, [&](int v) {
        seen.push_back(v);
        event.RemoveAll(&receiver);
        event.RemoveAll(&other);
        event.Subscribe(&other, [&](int w) { seen.push_back(100 + w); });
    });
    event.Subscribe(&other, [&](int v) { seen.push_back(10 + v); });
    event.Raise(1);
    event.Raise(2);
    EXPECT_EQ(seen, (std::vector<int>{1, 11, 102}));
    EXPECT_EQ(event.Count(), 1u);
}
