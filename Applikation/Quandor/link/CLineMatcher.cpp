#include "CLineMatcher.h"

#include "CReaderFrame.h"

#include <algorithm>

namespace {

// How long a body seen, or an answer given up as lost, can still explain a
// frame outside the model: a few late windows (a copy or reply later than
// that is not told apart from a fresh frame).
constexpr int kAmbiguityLateWindows = 3;

} // namespace

CLineMatcher::CLineMatcher()
    : CLineMatcher(Bounds())
{
}

CLineMatcher::CLineMatcher(const Bounds& bounds)
    : m_bounds(bounds)
{
}

void CLineMatcher::Reset()
{
    *this = CLineMatcher(m_bounds);
}

QByteArray CLineMatcher::FormOf(const QByteArray& frame)
{
    const char letter = CReaderFrame::FramedLetter(frame);
    if (letter) {
        if (letter == 'H')
            return QByteArrayLiteral("QMZT");
        QByteArray form = QByteArrayLiteral("FF") + letter;
        if (const char echo = CReaderFrame::FramedEcho(frame))
            form += echo;
        return form;
    }
    const char plain = CReaderFrame::PlainLetter(frame);
    return plain ? QByteArrayLiteral("P") + plain : QByteArray();
}

bool CLineMatcher::Fits(const QByteArray& form, const QByteArray& body)
{
    if (form.size() == 2 && form.at(0) == 'P')
        return !CReaderFrame::IsPlainReport(body) && CReaderFrame::PlainReplyFits(form.at(1), body);
    return !form.isEmpty() && body.startsWith(form);
}

bool CLineMatcher::Overlap(const QByteArray& a, const QByteArray& b)
{
    const bool plainA = a.size() == 2 && a.at(0) == 'P';
    const bool plainB = b.size() == 2 && b.at(0) == 'P';
    if (plainA || plainB)
        return plainA && plainB; // plain replies carry no echo
    return a.startsWith(b) || b.startsWith(a);
}

int CLineMatcher::HeldCount(const QByteArray& body) const
{
    return int(std::count(m_current.held.begin(), m_current.held.end(), body));
}

void CLineMatcher::AddCopy(const QByteArray& body, Ms at)
{
    if (m_habit == Habit::Single)
        return;
    m_copies.push_back(Copy{body, at + m_bounds.copyGapMs});
    ++m_copyCount[body];
}

bool CLineMatcher::ConsumeCopy(const QByteArray& body)
{
    auto it = std::find_if(m_copies.begin(), m_copies.end(), [&](const Copy& c) { return c.body == body; });
    if (it == m_copies.end())
        return false;
    m_copies.erase(it);
    if (--m_copyCount[body] <= 0)
        m_copyCount.remove(body);
    return true;
}

void CLineMatcher::MarkDoubtful(const QByteArray& body)
{
    for (Copy& copy : m_copies) {
        if (copy.body == body && !copy.doubtful) {
            copy.doubtful = true;
            m_doubt = true;
            return;
        }
    }
}

void CLineMatcher::Seen(const QByteArray& body, Ms at)
{
    m_seen.emplace_back(body, at);
    ++m_seenCount[body];
}

CLineMatcher::Ms CLineMatcher::GateUntil(const QByteArray& frame, Ms now) const
{
    if (m_current.active)
        return kNever;
    if (m_resync)
        return std::max(now, m_quietUntil);
    const QByteArray form = FormOf(frame);
    Ms until = now;
    for (const Owed& owed : m_owed) {
        if (owed.frame != frame && Overlap(owed.form, form))
            until = std::max(until, owed.until);
    }
    if (m_habit == Habit::Unknown) {
        for (const Copy& copy : m_copies) {
            if (Fits(form, copy.body))
                until = std::max(until, copy.until);
        }
    }
    return until;
}

void CLineMatcher::Sent(const QByteArray& frame, Ms now, Ms windowMs)
{
    m_current = Current();
    m_current.active = true;
    m_current.frame = frame;
    m_current.form = FormOf(frame);
    m_current.sentAt = now;
    m_current.answerBy = now + windowMs;
    auto it = std::find_if(m_owed.begin(), m_owed.end(), [&](const Owed& o) { return o.frame == frame; });
    if (it != m_owed.end()) {
        m_current.earlier = it->count;
        m_current.earlierUntil = it->until;
        m_owed.erase(it);
    }
    m_lastSentAt = now;
    m_asked.emplace_back(m_current.form, now);
}

void CLineMatcher::OweCurrent(Ms now)
{
    Q_UNUSED(now);
    Owed owed;
    owed.frame = m_current.frame;
    owed.form = m_current.form;
    owed.count = m_current.earlier + 1;
    owed.until = std::max(m_current.earlierUntil, m_current.sentAt + m_bounds.lateMs);
    m_owed.push_back(owed);
}

CLineMatcher::Outcome CLineMatcher::Deliver(const QByteArray& body, Ms at, bool corrupt)
{
    Outcome outcome;
    outcome.verdict = Verdict::Delivered;
    outcome.why = corrupt ? Why::Corrupt : Why::Answer;
    outcome.body = body;
    outcome.delivery = ++m_deliveries;
    // What else could have sent it, outside the model: a copy or reply
    // later than the bounds.
    bool ambiguous = m_seenCount.value(body) > 0;
    for (const auto& lost : m_lost)
        ambiguous = ambiguous || Overlap(lost.first, m_current.form);
    outcome.ambiguous = ambiguous;
    if (ambiguous && !m_firstAmbiguous)
        m_firstAmbiguous = outcome.delivery;
    m_recent.emplace_back(outcome.delivery, at);
    // Frames held were copies the line owed, or, while earlier tries are
    // owed, may have been their answers: then each keeps both its copy
    // and the copy it may have been open, and neither's absence shows
    // anything (more frames expected only cost a wait, never a wrong
    // answer).
    for (const QByteArray& held : m_current.held) {
        if (m_current.earlier > 0) {
            MarkDoubtful(held);
            AddCopy(held, at);
            if (!m_copies.empty() && m_habit != Habit::Single)
                m_copies.back().doubtful = m_doubt = true;
        } else {
            ConsumeCopy(held);
        }
    }
    m_current.held.clear();
    if (corrupt) {
        // On a line that may repeat, the try's own answer may still come
        // (the frame may be a spoilt copy); elsewhere it was the answer.
        if (m_habit != Habit::Single || m_current.earlier > 0)
            OweCurrent(at);
    } else {
        AddCopy(body, at);
        // Which try it answers is not known: the rest are owed as long as
        // the latest may be.
        if (m_current.earlier > 0)
            m_owed.push_back(Owed{m_current.frame, m_current.form,
                                  std::max(m_current.earlierUntil, m_current.sentAt + m_bounds.lateMs),
                                  m_current.earlier});
    }
    Seen(body, at);
    m_current.active = false;
    return outcome;
}

CLineMatcher::Outcome CLineMatcher::GiveUp(Ms now, Why why)
{
    // Held frames were copies, or answers of this command that came too
    // early to be told: the copies stay expected, their absence showing
    // nothing.
    for (const QByteArray& held : m_current.held)
        MarkDoubtful(held);
    m_current.held.clear();
    OweCurrent(now);
    m_current.active = false;
    Outcome outcome;
    outcome.verdict = Verdict::Failed;
    outcome.why = why;
    return outcome;
}

quint64 CLineMatcher::Standing() const
{
    quint64 vouched = m_oldDeliveries;
    if (m_firstAmbiguous)
        vouched = std::min(vouched, m_firstAmbiguous - 1);
    return std::max(vouched, m_vouchedAll);
}

CLineMatcher::Outcome CLineMatcher::GoOutOfStep(Ms at)
{
    ++m_outOfStep;
    Expire(at);
    m_vouchedAtOutOfStep = Standing();
    m_resync = true;
    // Every answer still under way, and its copy, comes by then.
    m_quietUntil = std::max(at + m_bounds.copyGapMs, m_lastSentAt + m_bounds.lateMs + m_bounds.copyGapMs);
    m_current = Current();
    m_copies.clear();
    m_copyCount.clear();
    m_owed.clear();
    Outcome outcome;
    outcome.verdict = Verdict::OutOfStep;
    outcome.why = Why::Unowed;
    return outcome;
}

CLineMatcher::Outcome CLineMatcher::Frame(const QByteArray& body, Ms startedAt, Ms at)
{
    Expire(std::min(at, std::max(startedAt, Ms(0))));
    // A frame begun after the window of the command on the line: that
    // command has failed first.
    Outcome failed;
    if (m_current.active && startedAt > m_current.answerBy && m_current.held.empty())
        failed = GiveUp(startedAt, Why::WindowOver);
    Outcome outcome = Judge(body, startedAt, at);
    if (failed.verdict == Verdict::Failed && outcome.verdict != Verdict::OutOfStep)
        return failed;
    return outcome;
}

CLineMatcher::Outcome CLineMatcher::Judge(const QByteArray& body, Ms startedAt, Ms at)
{
    Outcome outcome;
    // Before the opening's first command: a frame left from before.
    if (m_lastSentAt < 0) {
        outcome.verdict = Verdict::Dropped;
        outcome.why = Why::Noise;
        return outcome;
    }
    if (m_resync) {
        m_quietUntil = std::max(m_quietUntil, at + m_bounds.copyGapMs);
        outcome.verdict = Verdict::Dropped;
        outcome.why = Why::Resync;
        return outcome;
    }
    // Frames held came in time: the window is over only when they tell.
    const bool inTime = m_current.active && (startedAt <= m_current.answerBy || !m_current.held.empty());
    const bool fits = inTime && Fits(m_current.form, body);
    const bool corrupt = !CReaderFrame::PlainLetter(m_current.frame) && body.startsWith("FF")
        && !CReaderFrame::HasValidChecksum(body);
    if (fits && corrupt)
        return Deliver(body, at, true);
    if (fits) {
        if (OpenCopies(body) > HeldCount(body)) {
            m_current.held.push_back(body);
            outcome.verdict = Verdict::Held;
            outcome.why = Why::Copy;
            outcome.body = body;
            return outcome;
        }
        return Deliver(body, at, false);
    }
    outcome.verdict = Verdict::Dropped;
    outcome.body = body;
    if (body.startsWith("FF") && !CReaderFrame::HasValidChecksum(body)) {
        // It may have been any copy owed: none's absence shows anything.
        for (Copy& copy : m_copies)
            copy.doubtful = m_doubt = true;
        outcome.why = Why::Noise;
        return outcome;
    }
    const bool copyOpen = OpenCopies(body) > HeldCount(body);
    auto owed = std::find_if(m_owed.begin(), m_owed.end(), [&](const Owed& o) { return Fits(o.form, body); });
    if (owed != m_owed.end() && copyOpen) {
        // A copy, or an owed answer (with a copy to come): both stay
        // expected, and neither's absence shows anything. Expecting a
        // frame too many costs a wait at most, one too few a wrong answer.
        MarkDoubtful(body);
        AddCopy(body, at);
        if (!m_copies.empty() && m_habit != Habit::Single)
            m_copies.back().doubtful = m_doubt = true;
        Seen(body, at);
        outcome.why = Why::LateAnswer;
        return outcome;
    }
    if (owed != m_owed.end()) {
        if (--owed->count <= 0)
            m_owed.erase(owed);
        AddCopy(body, at);
        Seen(body, at);
        outcome.why = Why::LateAnswer;
        return outcome;
    }
    if (copyOpen && ConsumeCopy(body)) {
        m_habit = Habit::Repeats;
        Seen(body, at);
        outcome.why = Why::Copy;
        return outcome;
    }
    Seen(body, at);
    // A frame of the form of a command asked lately, when none of its
    // answers or copies is owed any more: an extra frame (a stray copy, an
    // answer beyond the bound) that has shifted the replies, not a try's
    // failed answer.
    const bool askedLately = std::any_of(m_asked.begin(), m_asked.end(),
                                         [&](const auto& asked) { return Fits(asked.first, body); });
    if (inTime && m_current.held.empty() && !askedLately) {
        // A reply of another form than its command asked for: that
        // command's failed try. It may as well be a frame left from before
        // (an earlier opening's), so the try's own answer stays owed and
        // the frame's copy stays possible, neither showing anything.
        AddCopy(body, at);
        if (!m_copies.empty() && m_habit != Habit::Single)
            m_copies.back().doubtful = m_doubt = true;
        OweCurrent(at);
        m_current.active = false;
        outcome.verdict = Verdict::Failed;
        outcome.why = Why::WrongForm;
        return outcome;
    }
    return GoOutOfStep(at);
}

void CLineMatcher::Expire(Ms now)
{
    while (!m_copies.empty() && m_copies.front().until < now) {
        const Copy copy = m_copies.front();
        m_copies.pop_front();
        if (--m_copyCount[copy.body] <= 0)
            m_copyCount.remove(copy.body);
        auto held = std::find(m_current.held.begin(), m_current.held.end(), copy.body);
        if (held != m_current.held.end()) {
            m_current.held.erase(held); // it was this copy
            continue;
        }
        // No copy came in time: a line that repeats every frame would have
        // sent it.
        if (copy.doubtful)
            continue;
        // A line that has shown copies lost one; it stays known to repeat.
        // Once a frame could have been a copy or something else, a copy
        // not seen shows nothing either.
        if (m_habit == Habit::Unknown && !m_doubt) {
            m_habit = Habit::Single;
            m_copies.clear();
            m_copyCount.clear();
        }
    }
    for (auto it = m_owed.begin(); it != m_owed.end();) {
        if (it->until < now) {
            m_lost.emplace_back(it->form, now);
            it = m_owed.erase(it);
        } else {
            ++it;
        }
    }
    const Ms horizon = now - kAmbiguityLateWindows * m_bounds.lateMs;
    while (!m_lost.empty() && m_lost.front().second < horizon)
        m_lost.pop_front();
    while (!m_seen.empty() && m_seen.front().second < horizon) {
        if (--m_seenCount[m_seen.front().first] <= 0)
            m_seenCount.remove(m_seen.front().first);
        m_seen.pop_front();
    }
    while (!m_asked.empty() && m_asked.front().second < now - m_bounds.lateMs)
        m_asked.pop_front();
    while (!m_recent.empty() && m_recent.front().second <= now - m_bounds.lateMs) {
        m_oldDeliveries = m_recent.front().first;
        m_recent.pop_front();
    }
    if (m_resync && now >= m_quietUntil) {
        m_resync = false;
        m_habit = Habit::Unknown;
        m_doubt = false;
        m_lost.clear();
    }
}

CLineMatcher::Outcome CLineMatcher::Tick(Ms now, Ms frameStartedAt)
{
    Expire(now);
    // A held text that came more often than copies of it are still owed:
    // one of them is the answer.
    for (auto it = m_current.held.begin(); it != m_current.held.end(); ++it) {
        if (HeldCount(*it) > OpenCopies(*it)) {
            const QByteArray answer = *it;
            m_current.held.erase(it);
            return Deliver(answer, now, false);
        }
    }
    if (m_current.active && now > m_current.answerBy && m_current.held.empty()
        && (frameStartedAt < 0 || frameStartedAt > m_current.answerBy))
        return GiveUp(now, Why::WindowOver);
    if (!m_current.active && !m_resync && m_owed.empty() && now >= SettledAt()) {
        m_vouchedAll = m_deliveries;
        m_firstAmbiguous = 0;
    }
    return Outcome();
}

CLineMatcher::Outcome CLineMatcher::Cancel(Ms now)
{
    Expire(now);
    if (!m_current.active)
        return Outcome();
    return GiveUp(now, Why::Cancelled);
}

CLineMatcher::Ms CLineMatcher::NextWake() const
{
    Ms wake = kNever;
    if (m_resync)
        wake = std::min(wake, m_quietUntil);
    if (m_current.active && m_current.held.empty())
        wake = std::min(wake, m_current.answerBy + 1);
    if (!m_copies.empty())
        wake = std::min(wake, m_copies.front().until + 1);
    for (const Owed& owed : m_owed)
        wake = std::min(wake, owed.until + 1);
    return wake;
}

CLineMatcher::Ms CLineMatcher::SettledAt() const
{
    if (m_resync)
        return m_quietUntil;
    Ms at = m_lastSentAt < 0 ? 0 : m_lastSentAt + m_bounds.lateMs;
    if (!m_copies.empty())
        at = std::max(at, m_copies.back().until);
    for (const Owed& owed : m_owed)
        at = std::max(at, owed.until);
    return at;
}
