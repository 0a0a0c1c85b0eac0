#pragma once

#include "CLockWaitObserver.h"

// The wait cursor while a step of the UI thread waits for a lock another
// program holds on the database. A worker's wait changes nothing on
// screen: only the UI thread may touch the cursor.
class CLockWaitCursor : public CLockWaitObserver
{
public:
    void WaitBegins() override;
    void WaitEnds() override;
};
