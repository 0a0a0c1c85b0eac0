#pragma once

#include <memory>

class CLockWaitObserver;

// How long one step waits, in all, for locks another program holds on the
// database (a second instance on the same file, another PC on the server).
//
// A step is what the operator did at once: a click, a key, a menu command
// with everything it stores and re-reads. Waiting per statement would let a
// step of many statements wait many times over while the other program
// keeps its lock; the step's waits share one bound instead, and once it is
// spent every further wait of the step gives up at once with the driver's
// lock error. The program opens a step per input event; elsewhere (a
// worker, start-up) each transaction is a step of its own, and a statement
// outside one waits on its own.
//
// Per thread: the data source asks here, on the thread that waits.
class CLockWait
{
public:
    static constexpr int kDefaultBoundMs = 5000;

    // One step on the calling thread. Steps nest: a step that opens a modal
    // window runs the window's steps inside it, each with a bound of its
    // own, and goes on with what it had left.
    class Step
    {
    public:
        Step();
        ~Step();
        Step(const Step&) = delete;
        Step& operator=(const Step&) = delete;

    private:
        friend class CLockWait;
        int m_spentMs = 0;
        // The observer told that this step waits; told again when it ends.
        std::shared_ptr<CLockWaitObserver> m_told;
    };

    // Whether the calling thread is inside a step.
    static bool InStep();

    // What the step may still wait, given the data source's bound; the
    // bound itself outside a step.
    static int RemainingMs(int boundMs);

    // One turn of a wait for a lock, as the file's driver asks while it
    // retries ("attempt" counts from 0 for each new wait): sleeps a little
    // and returns true to retry, or false when the step's bound is spent.
    // The observer is told when a step begins to wait.
    static bool WaitTurn(int attempt, int boundMs, const std::shared_ptr<CLockWaitObserver>& observer);

    // For a data source whose driver waits inside a statement without
    // asking (a server): the step may wait from here on, so the observer is
    // told now; and a part of the step that was undone counts as time
    // waited.
    static void MayWait(const std::shared_ptr<CLockWaitObserver>& observer);
    static void Charge(int milliseconds);
};
