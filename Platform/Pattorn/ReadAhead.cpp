#include "ReadAhead.h"

namespace pattorn {

namespace {

// Room kept for the next file: more is given back.
constexpr std::size_t kKeptRoom = 1024 * 1024;

template <class T>
std::vector<T> emptied(std::vector<T>& list)
{
    std::vector<T> kept;
    if (list.capacity() * sizeof(T) <= kKeptRoom) {
        kept = std::move(list);
        kept.clear();
    }
    return kept;
}

} // namespace

void FileOutcome::Recycle()
{
    FileBuffer keptBuffer = capacity <= kKeptRoom ? std::move(buffer) : FileBuffer(nullptr, std::free);
    const std::size_t keptCapacity = keptBuffer ? capacity : 0;
    std::vector<int> keptSpans = emptied(spans);
    std::vector<unsigned> keptLines = emptied(lines);
    *this = FileOutcome();
    buffer = std::move(keptBuffer);
    capacity = keptCapacity;
    spans = std::move(keptSpans);
    lines = std::move(keptLines);
}

ReadAhead::ReadAhead(std::size_t count, Work work, unsigned threads)
    : m_count(count), m_work(std::move(work)), m_threadCount(threads), m_window(16u * threads), m_outcomes(count),
      m_ready(count, false), m_reserved(count, 0), m_waitingFor(count)
{
    m_threads.reserve(threads);
    for (unsigned i = 0; i < threads; ++i)
        m_threads.emplace_back([this] { run(); });
}

ReadAhead::~ReadAhead()
{
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_stop = true;
    }
    m_room.notify_all();
    m_budget.notify_all();
    for (std::thread& thread : m_threads)
        thread.join();
}

bool ReadAhead::reserve(std::size_t index, std::size_t bytes, std::unique_lock<std::mutex>& lock)
{
    // The item the caller waits for may always go ahead, so the budget can
    // never stop the run.
    ++m_waitingForBudget;
    m_budget.wait(lock, [&] { return m_stop || index == m_released || m_bytes + bytes <= kBudget; });
    --m_waitingForBudget;
    if (m_stop)
        return false;
    m_bytes += bytes;
    m_reserved[index] += bytes;
    return true;
}

void ReadAhead::run()
{
    std::unique_lock<std::mutex> lock(m_lock);
    for (;;) {
        ++m_waitingForRoom;
        m_room.wait(lock, [&] { return m_stop || m_next >= m_count || m_next < m_released + m_window; });
        --m_waitingForRoom;
        if (m_stop || m_next >= m_count)
            return;
        const std::size_t index = m_next++;
        std::unique_ptr<FileOutcome> outcome;
        if (!m_releasedOutcomes.empty()) {
            outcome = std::move(m_releasedOutcomes.back());
            m_releasedOutcomes.pop_back();
        }
        // One released outcome per worker is kept for reuse; the rest go.
        std::vector<std::unique_ptr<FileOutcome>> freed;
        while (m_releasedOutcomes.size() > m_threadCount) {
            freed.push_back(std::move(m_releasedOutcomes.back()));
            m_releasedOutcomes.pop_back();
        }
        lock.unlock();
        freed.clear();
        if (outcome)
            outcome->Recycle();
        else
            outcome = std::make_unique<FileOutcome>();
        const Reserve reserveFor = [this, index](std::size_t bytes) {
            // Within the budget, as nearly every file is, without the lock
            // that the other workers and the caller take for every file.
            std::size_t kept = m_bytes.load();
            while (kept + bytes <= kBudget) {
                if (m_bytes.compare_exchange_weak(kept, kept + bytes)) {
                    m_reserved[index] += bytes;
                    return true;
                }
            }
            std::unique_lock<std::mutex> relock(m_lock);
            return reserve(index, bytes, relock);
        };
        m_work(index, *outcome, reserveFor);
        lock.lock();
        m_outcomes[index] = std::move(outcome);
        m_ready[index] = true;
        if (index == m_waitingFor)
            m_done.notify_one();
    }
}

FileOutcome& ReadAhead::Take(std::size_t index)
{
    std::unique_lock<std::mutex> lock(m_lock);
    m_waitingFor = index;
    m_done.wait(lock, [&] { return m_ready[index]; });
    m_waitingFor = m_count;
    return *m_outcomes[index];
}

void ReadAhead::Release(std::size_t index)
{
    bool room = false;
    bool budget = false;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_releasedOutcomes.push_back(std::move(m_outcomes[index]));
        m_bytes -= m_reserved[index];
        m_released = index + 1;
        // Waking a worker for every file costs the caller more than a file's
        // report: the waiting workers are woken together once there is room
        // for all of them, or when nothing is under way any more.
        const std::size_t roomAhead = m_released + m_window - m_next;
        room = m_waitingForRoom > 0 && (roomAhead >= m_threadCount || m_next == m_released);
        budget = m_waitingForBudget > 0;
    }
    if (room)
        m_room.notify_all();
    if (budget)
        m_budget.notify_all();
}

} // namespace pattorn
