#include "CLockWait.h"

#include "CLockWaitObserver.h"

#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

namespace {

// The calling thread's steps, innermost last.
thread_local std::vector<CLockWait::Step*> t_steps;
// What the one wait outside any step has waited so far.
thread_local int t_looseSpentMs = 0;

// Short sleeps first, as the file's own driver retries: most locks are
// another program's commit, over in a few milliseconds.
constexpr int kDelaysMs[] = {1, 2, 5, 10, 15, 20, 25, 25, 25, 50, 50, 100};

} // namespace

CLockWait::Step::Step()
{
    t_steps.push_back(this);
}

CLockWait::Step::~Step()
{
    // Steps end in the order they began, except an implicit transaction
    // step that outlives a step begun inside its transaction.
    t_steps.erase(std::remove(t_steps.begin(), t_steps.end(), this), t_steps.end());
    if (m_told)
        m_told->WaitEnds();
}

bool CLockWait::InStep()
{
    return !t_steps.empty();
}

int CLockWait::RemainingMs(int boundMs)
{
    if (t_steps.empty())
        return boundMs;
    return std::max(0, boundMs - t_steps.back()->m_spentMs);
}

bool CLockWait::WaitTurn(int attempt, int boundMs, const std::shared_ptr<CLockWaitObserver>& observer)
{
    Step* step = t_steps.empty() ? nullptr : t_steps.back();
    if (!step && attempt == 0)
        t_looseSpentMs = 0;
    int& spent = step ? step->m_spentMs : t_looseSpentMs;
    const int left = boundMs - spent;
    if (left <= 0)
        return false;
    if (step)
        MayWait(observer);
    const int delay = std::min(kDelaysMs[std::min<size_t>(size_t(std::max(attempt, 0)), std::size(kDelaysMs) - 1)], left);
    // Counted as slept, not as asked: a busy machine oversleeps, and the
    // bound is what the operator waits.
    const auto before = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::milliseconds(delay));
    const auto slept = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - before);
    spent += std::max(delay, int(slept.count()));
    return true;
}

void CLockWait::MayWait(const std::shared_ptr<CLockWaitObserver>& observer)
{
    if (t_steps.empty() || !observer)
        return;
    Step* step = t_steps.back();
    if (step->m_told)
        return;
    step->m_told = observer;
    observer->WaitBegins();
}

void CLockWait::Charge(int milliseconds)
{
    if (!t_steps.empty() && milliseconds > 0)
        t_steps.back()->m_spentMs += milliseconds;
}
