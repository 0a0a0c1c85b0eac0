#pragma once

#include <atomic>

// What a line has shown of frames that no command awaited: whether it
// delivers copies of its replies (a converter that repeats what it hears)
// or a reply to nobody. The direct commands and the polling thread judge
// replies by it and both add to it; any thread.
//
// A line starts unknown. One frame nobody asked for makes it a line that
// delivers copies; a copy that was waited for and did not come makes it a
// quiet line again. On a line not known to deliver copies the first few
// replies equal to an earlier one are held back briefly (probation); after
// that an equal reply is taken at once.
class CLineHabit
{
public:
    static constexpr int kProbation = 16;

    // A new opening of the port: nothing known.
    void Reset();
    // A frame equal to a reply taken lately came where no command awaited it.
    void NoteExtra() { m_mode = Copies; }
    void NoteMissed();
    bool DeliversCopies() const { return m_mode.load() == Copies; }
    bool OnProbation() const { return m_probation.load() > 0; }
    // A held reply was the answer after all.
    void PassProbation();

private:
    enum Mode { Unknown, Copies, Quiet };
    std::atomic<int> m_mode{Unknown};
    std::atomic<int> m_probation{kProbation};
};
