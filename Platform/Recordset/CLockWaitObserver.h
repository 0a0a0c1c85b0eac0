#pragma once

// What the program does while one of its steps waits for a lock another
// program holds on the database (a wait cursor). Called on the thread of
// the step, which may be a worker: an observer that touches windows checks
// the thread itself.
class CLockWaitObserver
{
public:
    virtual ~CLockWaitObserver() = default;

    // The step began to wait (once per step).
    virtual void WaitBegins() = 0;
    // The step that began to wait is over, whatever became of the wait.
    virtual void WaitEnds() = 0;
};
