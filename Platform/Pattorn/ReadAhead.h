#pragma once

#include "ReadFully.h"

#include <boost/regex.hpp>

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace pattorn {

// What searching one file gave, kept until it is reported.
struct FileOutcome
{
    enum class Read { Done, Skipped, Problem };

    Read read = Read::Skipped;
    // The problem: of reading (read == Problem), or of the engine giving up
    // after the matches below (searchProblem).
    int kind = 0;
    int code = 0;
    bool searchProblem = false;
    // The file's bytes, which the matches point into, in room for
    // "capacity" bytes.
    FileBuffer buffer{nullptr, std::free};
    std::size_t capacity = 0;
    std::size_t size = 0;
    bool found = false;
    // Per match, the start and end offset of each of its "marks" marks (-1
    // for a mark that took no part), and its line: kept compact, as a file
    // may hold thousands.
    unsigned marks = 0;
    std::vector<int> spans;
    std::vector<unsigned> lines;
    // Too many matches to keep: the file is searched again while reported.
    bool tooMany = false;

    // Empty again for the next file, keeping the room of a small file's
    // buffer and lists: allocating and freeing them file by file on several
    // threads makes the allocator hand pages back and fetch them again.
    void Recycle();
};

// Searches files on worker threads ahead of the caller, who takes the
// outcomes one by one in their order. The work runs at most a few files
// ahead of the caller and within a memory budget, so a large tree or large
// files never pile up. Sixteen files per worker: far enough that a caller
// held up for a moment (on a busy machine) finds the next files done, and
// the workers not waiting for it.
class ReadAhead
{
public:
    // Waits until "bytes" more may be kept; false when the work is to stop
    // while it waits.
    using Reserve = std::function<bool(std::size_t bytes)>;
    // Fills the outcome of item "index"; must not throw.
    using Work = std::function<void(std::size_t index, FileOutcome& outcome, const Reserve& reserve)>;

    ReadAhead(std::size_t count, Work work, unsigned threads);
    // Stops the workers and waits for them.
    ~ReadAhead();
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // The outcome of item "index", once it is ready; items are taken in
    // order, each released before the next is taken.
    FileOutcome& Take(std::size_t index);
    void Release(std::size_t index);

    static constexpr std::size_t kBudget = 64u * 1024 * 1024;

private:
    void run();
    bool reserve(std::size_t index, std::size_t bytes, std::unique_lock<std::mutex>& lock);

    const std::size_t m_count;
    const Work m_work;
    // Read by the workers while the threads are still being started.
    const std::size_t m_threadCount;
    const std::size_t m_window;
    std::vector<std::unique_ptr<FileOutcome>> m_outcomes;
    std::vector<bool> m_ready;
    std::vector<std::size_t> m_reserved;
    std::mutex m_lock;
    // Workers wait for room ahead of the caller, the caller for its item;
    // each side is woken only when it can go on.
    std::condition_variable m_room;
    std::condition_variable m_budget;
    std::condition_variable m_done;
    std::size_t m_waitingFor;
    unsigned m_waitingForRoom = 0;
    unsigned m_waitingForBudget = 0;
    std::size_t m_next = 0;     // the next item a worker takes
    std::size_t m_released = 0; // items before it are reported and freed
    // Kept by outcomes not yet released; added to without the lock while
    // within the budget, taken from under it.
    std::atomic<std::size_t> m_bytes{0};
    // Released outcomes, reused or freed by a worker: with thousands of
    // matches a file freeing them would hold up the caller, who reports in
    // order.
    std::vector<std::unique_ptr<FileOutcome>> m_releasedOutcomes;
    bool m_stop = false;
    std::vector<std::thread> m_threads;
};

} // namespace pattorn
