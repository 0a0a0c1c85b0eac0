#include "CReplyJudge.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

// Telling a command's answer from copies of earlier replies, on a clock the
// test sets: every case gives the replies taken before, what the line is
// known to do, and the frames that come (with their arrival times); the
// answer must follow from the frames alone wherever the line is known to
// repeat, however slowly the answer comes.

namespace {

using Clock = CReplyJudge::Clock;
using std::chrono::milliseconds;

constexpr int kWindowMs = 2000;
constexpr int kShortSpanMs = 10;
constexpr int kAnswerByMs = 2000;

enum class Line { Unknown, Copies, QuietAfterProbation };

struct Earlier {
    const char* text;
    int atMs;     // before the command was sent: negative
    int owed = 0; // answers of earlier sends still to come
};

struct Arrival {
    const char* text;
    int atMs;
};

struct Case {
    const char* name;
    Line line;
    std::vector<Earlier> earlier;
    std::vector<Arrival> frames;
    const char* answer;
    int knownAfter;       // the frame after which it is known; -1: when the time is up
    bool copiesAfterwards; // what the line is known to do afterwards
};

std::ostream& operator<<(std::ostream& out, const Case& c)
{
    return out << c.name;
}

class ReplyJudge : public ::testing::TestWithParam<Case>
{
protected:
    Clock::time_point At(int ms) const { return m_sent + milliseconds(ms); }

    void Prepare(const Case& c)
    {
        m_memory.SetWindow(kWindowMs);
        if (c.line == Line::Copies)
            m_habit.NoteExtra();
        if (c.line == Line::QuietAfterProbation) {
            for (int i = 0; i < CLineHabit::kProbation; ++i)
                m_habit.PassProbation();
        }
        for (const Earlier& e : c.earlier)
            m_memory.Remember(e.text, At(e.atMs), e.owed);
    }

    const Clock::time_point m_sent = Clock::now();
    CReplyMemory m_memory;
    CLineHabit m_habit;
};

TEST_P(ReplyJudge, TellsTheAnswerFromTheFramesThatCome)
{
    const Case& c = GetParam();
    Prepare(c);
    CReplyJudge judge(m_memory, m_habit);
    judge.Start(m_sent, At(kAnswerByMs), milliseconds(kShortSpanMs));

    std::optional<QByteArray> answer;
    int knownAfter = -1;
    for (size_t i = 0; i < c.frames.size() && !answer; ++i) {
        // The time to judge held frames is what the caller waits for before
        // the next frame; a frame that arrives first is offered first.
        if (judge.IsHolding() && judge.HoldUntil(At(c.frames[i].atMs)) < At(c.frames[i].atMs))
            break;
        if (judge.Offer(c.frames[i].text, At(c.frames[i].atMs))) {
            answer = judge.Answer();
            knownAfter = int(i);
        }
    }
    if (!answer) {
        const Clock::time_point until = judge.HoldUntil(At(c.frames.back().atMs));
        answer = judge.Settle(until);
    }
    EXPECT_EQ(*answer, QByteArray(c.answer));
    EXPECT_EQ(knownAfter, c.knownAfter);
    EXPECT_EQ(m_habit.DeliversCopies(), c.copiesAfterwards);
}

const char* const kAck = "FFST\x06" "29";
const char* const kNak = "FFST\x15" "38";

const Case kCases[] = {
    // Nothing taken lately: the first frame answers.
    {"FreshLineFirstFrame", Line::Unknown, {}, {{"E0", 3}}, "E0", 0, false},
    // A line known to repeat: the copy of the last reply is dropped, however
    // late the answer comes after it.
    {"CopyThenAnswer", Line::Copies, {{"E0", -5}}, {{"E0", 1}, {"E1", 3}}, "E1", 1, true},
    {"CopyThenSlowAnswer", Line::Copies, {{"E0", -5}}, {{"E0", 1}, {"E1", 1900}}, "E1", 1, true},
    {"AnswerBeforeTheCopy", Line::Copies, {{"E0", -5}}, {{"E1", 2}, {"E0", 8}}, "E1", 0, true},
    {"CopiesOfTwoEarlierReplies", Line::Copies, {{"E0", -9}, {"E1", -5}}, {{"E1", 1}, {"E0", 2}, {"E2", 900}},
     "E2", 2, true},
    // Equal acknowledgements: two frames where one copy is due, so one of
    // them answers; a refusal behind a copy is the refusal.
    {"TwoEqualAcknowledgements", Line::Copies, {{kAck, -5}}, {{kAck, 1}, {kAck, 700}}, kAck, 1, true},
    {"RefusalBehindACopy", Line::Copies, {{kAck, -5}}, {{kAck, 1}, {kNak, 1500}}, kNak, 1, true},
    {"EqualFramesCountedPerText", Line::Copies, {{"E0", -9}, {"E1", -5}}, {{"E1", 1}, {"E0", 2}, {"E1", 3}},
     "E1", 2, true},
    // One frame where two were due (a frame was lost on the line): once the
    // answer's time is over it is taken, and the line is no longer taken to
    // repeat every reply.
    {"OneFrameWhereTwoWereDue", Line::Copies, {{"E0", -5}}, {{"E0", 1}}, "E0", -1, false},
    {"OneAcknowledgementWhereTwoWereDue", Line::Copies, {{kAck, -5}}, {{kAck, 30}}, kAck, -1, false},
    // A command sent again after its first try got no answer: the first
    // try's answer is owed on any line, so it never passes for the next
    // command's answer (and it shows no copying).
    {"OwedAnswerOfAnEarlierTry", Line::QuietAfterProbation, {{"E3", -2, 1}}, {{"E3", 1}, {"E4", 1200}}, "E4", 1,
     false},
    {"OwedAndEqualAnswer", Line::QuietAfterProbation, {{kAck, -2, 1}}, {{kAck, 1}, {kAck, 40}}, kAck, 1, false},
    // Not known to repeat: a frame equal to the last reply waits a short
    // span for another answer, then it is the answer.
    {"ProbationHeldThenTaken", Line::Unknown, {{kAck, -5}}, {{kAck, 2}}, kAck, -1, false},
    {"ProbationFindsACopy", Line::Unknown, {{"E0", -5}}, {{"E0", 1}, {"E1", 4}}, "E1", 1, true},
    // Past its probation a quiet line's equal replies are taken at once.
    {"QuietLineEqualReply", Line::QuietAfterProbation, {{kAck, -5}}, {{kAck, 2}}, kAck, 0, false},
};

INSTANTIATE_TEST_SUITE_P(Lines, ReplyJudge, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

// What a reply stands for is used up once, oldest first, and ends with its
// window; an owed answer is counted apart from a copy.
TEST(ReplyMemory, EachReplyStandsForItsFollowersUntilItsWindowEnds)
{
    CReplyMemory memory;
    memory.SetWindow(100);
    const Clock::time_point t = Clock::now();
    memory.Remember("A", t);
    memory.Remember("A", t + milliseconds(50), 1);
    EXPECT_EQ(memory.Pending("A", t + milliseconds(60)), 3);
    EXPECT_EQ(memory.Owed("A", t + milliseconds(60)), 1);
    EXPECT_EQ(memory.OpenUntil("A", t + milliseconds(60)), t + milliseconds(100));
    EXPECT_FALSE(memory.Consume("A")); // the first reply's copy
    EXPECT_TRUE(memory.Consume("A"));  // the owed answer comes before the second copy
    EXPECT_EQ(memory.Owed("A", t + milliseconds(60)), 0);
    EXPECT_EQ(memory.Pending("A", t + milliseconds(60)), 1);
    EXPECT_EQ(memory.Pending("A", t + milliseconds(151)), 0);
    EXPECT_FALSE(memory.Consume("A"));
    EXPECT_EQ(memory.Pending("B", t), 0);
    EXPECT_EQ(memory.OpenUntil("B", t), t);

    // A long run keeps only the latest replies.
    for (int i = 0; i < CReplyMemory::kMaxRemembered + 10; ++i)
        memory.Remember(QByteArray::number(i), t + milliseconds(200));
    EXPECT_EQ(memory.Pending("0", t + milliseconds(200)), 0);
    EXPECT_EQ(memory.Pending(QByteArray::number(CReplyMemory::kMaxRemembered + 9), t + milliseconds(200)), 1);
}

} // namespace
