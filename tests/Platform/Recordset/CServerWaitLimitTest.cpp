#include "CServerWaitLimit.h"

#include <gtest/gtest.h>

// A connection is told its limit only when it changed: each statement to a
// server costs a round trip, and a bulk write asks at every row.
TEST(CServerWaitLimit, AConnectionIsToldItsLimitOnlyWhenItChanged)
{
    struct Case
    {
        const char* what;
        const char* connection;
        int limitMs;
        bool forgetFirst;
        const char* statement; // empty: nothing to tell
    };
    const Case cases[] = {
        {"a new connection", "a", 5000, false, "SET lock_timeout = 5000"},
        {"the same limit again", "a", 5000, false, ""},
        {"another connection", "b", 5000, false, "SET lock_timeout = 5000"},
        {"what is left after a wait", "a", 1200, false, "SET lock_timeout = 1200"},
        // Zero is no limit at all on the server: a step with nothing left
        // waits the least it can.
        {"nothing left", "a", 0, false, "SET lock_timeout = 1"},
        {"nothing left again", "a", 0, false, ""},
        {"below nothing", "a", -7, false, ""},
        {"a new session on the connection", "a", 1, true, "SET lock_timeout = 1"},
        {"the other connection kept its own", "b", 5000, false, ""},
    };
    CServerWaitLimit limits;
    for (const Case& c : cases) {
        if (c.forgetFirst)
            limits.Forget(QString::fromLatin1(c.connection));
        EXPECT_EQ(limits.Statement(QString::fromLatin1(c.connection), c.limitMs), QString::fromLatin1(c.statement))
            << c.what;
    }
}
