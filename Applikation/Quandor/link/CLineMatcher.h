#pragma once

#include <QByteArray>
#include <QHash>

#include <deque>
#include <limits>
#include <vector>

// Which frame of the reader line answers which command: the one place that
// decides it, for every command of one opening of the port (the search's,
// the polls, the queued ones and a transfer's direct ones alike).
//
// It does no I/O, takes no lock, never sleeps and reads no clock: the
// line's owner feeds it what happened, with times of the owner's one
// clock (ms), and does what it answers.
//
// The protocol carries no sequence number. A reply is known only by its
// form (the letter and first data character a framed reader echoes, the
// kind of reply a plain command gets) and, between replies of one form, by
// content and count. So the matcher is exact only for a line that keeps
// within this fault model, and notices (never guesses) outside it:
//
//   - one command is on the line at a time; the reader answers each try
//     at most once, in order, late by anything up to the late bound
//     (Bounds::lateMs, from the command's sending to the reply's first
//     byte), or never (a lost request or reply);
//   - a line either repeats every frame the reader sends once, the copy
//     at most Bounds::copyGapMs after it, or repeats none (which of the
//     two is learnt on each opening; a repeating line may lose frames);
//   - bytes outside frames are garbage and dropped before the matcher; a
//     framed reply whose checksum fails is noise: it is its command's
//     failed try, and it stands for nothing else.
//
// Within it every delivered frame is its command's own reply and the line
// is never out of step. Outside it, a frame that no command awaits and
// nothing explains (no owed answer, no copy the line owes) puts the line
// out of step: the command on the line fails, every expectation is
// dropped, and the line must stay quiet (Resync) before the next command.
// A delivery that a fault outside the model could also explain (its
// content was seen lately, or an answer given up as lost may still come in
// its form) is marked ambiguous: after an out-of-step, deliveries are
// vouched for only up to one late window before it and before the first
// ambiguous one since the line last stood quiet through its late window.
//
// States: the line is InStep (its habit Unknown, Repeats or Single) or in
// Resync; the command slot is Idle, Awaiting or Holding (frames that are
// either its answer or copies the line owes, counted until they tell).
//
//  state     | input            | condition                                   | next      | answer
//  ----------+------------------+---------------------------------------------+-----------+----------------------------
//  Resync    | Gate             | before the quiet time                       | Resync    | wait until the quiet time
//  Idle      | Gate             | an owed try of another frame, overlapping   | Idle      | wait until it is in or lost
//            |                  |   form                                      |           |
//  Idle      | Gate             | Unknown, a reply whose copy may still come  | Idle      | wait until that copy's time
//            |                  |   fits the form                             |           |
//  Idle      | Sent             | -                                           | Awaiting  | owed tries of the same frame
//            |                  |                                             |           |   become its earlier tries
//  Awaiting  | Frame fits       | checksum fails                              | Idle      | Delivered (corrupt); the try
//            |                  |                                             |           |   stays owed
//  Awaiting  | Frame fits       | more frames of its text than owed copies    | Idle      | Delivered; held frames were
//  /Holding  |                  |                                             |           |   copies
//  Awaiting  | Frame fits       | an owed copy of its text is open            | Holding   | Held
//  /Holding  |                  |                                             |           |
//  any       | Frame            | does not fit; an owed copy of its text      | same      | Dropped (copy); Unknown
//            |                  |                                             |           |   becomes Repeats
//  any       | Frame            | does not fit; an owed try fits it           | same      | Dropped (late answer)
//  any       | Frame            | checksum fails, or nothing was sent yet on  | same      | Dropped (noise)
//            |                  |   this opening (a frame from before)        |           |
//  Awaiting  | Frame            | does not fit, nothing else explains it, no  | Idle      | Failed (a reply of the
//            |                  |   command of its form within a late window  |           |   wrong form answers the try)
//  Awaiting  | Frame            | does not fit, nothing else explains it, a   | Resync    | OutOfStep (an extra frame
//            |                  |   command of its form within a late window  |           |   shifted the replies)
//  InStep    | Frame            | nothing explains it, no command awaits      | Resync    | OutOfStep (the command
//            |                  |                                             |           |   on the line fails)
//  Resync    | Frame            | -                                           | Resync    | Dropped; quiet time moves
//  any       | Tick             | a copy's time is up, a held frame of its    | same      | the held frame was it
//            |                  |   text                                      |           |
//  any       | Tick             | a copy's time is up, nothing came           | same      | Unknown -> Single (a
//            |                  |                                             |           |   repeating line lost it)
//  any       | Tick             | an owed try's late window is over           | same      | the try is lost
//  Awaiting  | Tick             | answer window over, no frame under way      | Idle      | Failed; the try is owed
//  Holding   | Tick             | held frames all turned out copies, window   | Idle      | Failed; the try is owed
//            |                  |   over                                      |           |
//  Awaiting  | Cancel           | -                                           | Idle      | Failed; the try is owed
//  /Holding  |                  |                                             |           |
//  Resync    | Tick             | quiet time over                             | InStep    | habit Unknown again
//  Idle      | Tick             | past SettledAt()                            | Idle      | everything delivered is
//            |                  |                                             |           |   vouched for
class CLineMatcher
{
public:
    using Ms = qint64;
    static constexpr Ms kNever = std::numeric_limits<Ms>::max();

    struct Bounds {
        Ms lateMs = 10000;   // latest reply after its command went out
        Ms copyGapMs = 5000; // latest copy after the frame it repeats
    };

    enum class Habit { Unknown, Repeats, Single };

    enum class Verdict {
        None,      // nothing for the owner to do
        Delivered, // body answers the command on the line
        Held,      // the frame may answer it; it waits to be told apart
        Dropped,   // the frame is nobody's answer, as the model expects
        Failed,    // the command on the line got no answer
        OutOfStep  // the line left the fault model
    };

    enum class Why {
        None,
        Answer,
        Corrupt,    // the answer's checksum fails (a failed try)
        Copy,       // a copy the line owed
        LateAnswer, // the answer of a try given up
        Noise,      // a frame whose checksum fails, for nobody
        Resync,     // a frame while the line falls quiet
        Unowed,     // a frame that nothing explains
        WindowOver, // no answer within the answer window
        WrongForm,  // the try's reply has another form than it asked for
        Cancelled   // the caller gave up
    };

    struct Outcome {
        Verdict verdict = Verdict::None;
        Why why = Why::None;
        QByteArray body;
        quint64 delivery = 0;   // the delivery's number, from 1
        bool ambiguous = false; // a fault outside the model could explain it
    };

    CLineMatcher();
    explicit CLineMatcher(const Bounds& bounds);

    // A new opening of the port: nothing known.
    void Reset();
    const Bounds& GetBounds() const { return m_bounds; }

    // The form of the answer a command frame awaits, and whether a reply
    // body has it. Framed: "FF" + letter + echo ("QMZT" for the identity);
    // plain: "P" + letter, by the kind of reply the letter gets (plain
    // reports are never answers).
    static QByteArray FormOf(const QByteArray& frame);
    static bool Fits(const QByteArray& form, const QByteArray& body);
    // Whether one reply could have both forms.
    static bool Overlap(const QByteArray& a, const QByteArray& b);

    // The earliest time frame may go out; <= now: at once.
    Ms GateUntil(const QByteArray& frame, Ms now) const;
    // frame went out at now; its answer is awaited for windowMs.
    void Sent(const QByteArray& frame, Ms now, Ms windowMs);
    // A complete frame, its STX at startedAt, its EOT at at.
    Outcome Frame(const QByteArray& body, Ms startedAt, Ms at);
    // Time passed; frameStartedAt: the STX of a frame still coming (-1 none).
    Outcome Tick(Ms now, Ms frameStartedAt = -1);
    // The caller of the command on the line gave up.
    Outcome Cancel(Ms now);

    // A transfer's session begins: what was delivered before it cannot
    // shift its answers unnoticed (its forms differ), so only its own
    // deliveries count as ambiguous.
    void BeginSession() { m_firstAmbiguous = 0; }
    // When Tick() has something to do next; kNever when nothing.
    Ms NextWake() const;
    bool Awaiting() const { return m_current.active; }
    bool InResync() const { return m_resync; }
    // The line will have been quiet through every late window by then.
    Ms SettledAt() const;
    Habit LineHabit() const { return m_habit; }
    quint64 Deliveries() const { return m_deliveries; }
    quint64 OutOfStepCount() const { return m_outOfStep; }
    // After the last out-of-step: the deliveries up to this number stand.
    quint64 VouchedThrough() const { return m_vouchedAtOutOfStep; }
    // On a line in step, as of the last input: the deliveries up to this
    // number would stand if the line went out of step now (older than one
    // late window and before the first ambiguous one, or settled).
    quint64 Standing() const;
    // The deliveries up to this number were followed by a line that stood
    // quiet through their late windows.
    quint64 SettledThrough() const { return m_vouchedAll; }

private:
    struct Copy {
        QByteArray body;
        Ms until = 0;
        // A frame of its text came and was taken for an owed answer: the
        // copy may have come, so its absence shows nothing.
        bool doubtful = false;
    };
    struct Owed {
        QByteArray frame;
        QByteArray form;
        Ms until = 0;
        int count = 0;
    };
    struct Current {
        bool active = false;
        QByteArray frame;
        QByteArray form;
        Ms sentAt = 0;
        Ms answerBy = 0;
        int earlier = 0;     // tries before this one whose answers are owed
        Ms earlierUntil = 0; // until when they are
        std::vector<QByteArray> held;
    };

    bool Framed(const QByteArray& form) const { return form.startsWith("FF") || form == "QMZT"; }
    int OpenCopies(const QByteArray& body) const { return m_copyCount.value(body); }
    int HeldCount(const QByteArray& body) const;
    void AddCopy(const QByteArray& body, Ms at);
    bool ConsumeCopy(const QByteArray& body);
    void MarkDoubtful(const QByteArray& body);
    void Seen(const QByteArray& body, Ms at);
    Outcome Deliver(const QByteArray& body, Ms at, bool corrupt);
    void OweCurrent(Ms now);
    Outcome GiveUp(Ms now, Why why);
    Outcome GoOutOfStep(Ms at);
    Outcome Judge(const QByteArray& body, Ms startedAt, Ms at);
    void Expire(Ms now);

    Bounds m_bounds;
    Habit m_habit = Habit::Unknown;
    bool m_doubt = false; // a frame was taken for one of two things
    bool m_resync = false;
    Ms m_quietUntil = 0;
    Ms m_lastSentAt = -1;
    Current m_current;
    std::deque<Copy> m_copies; // in order of time
    QHash<QByteArray, int> m_copyCount;
    std::vector<Owed> m_owed;
    std::deque<std::pair<QByteArray, Ms>> m_lost; // forms of tries given up as lost
    std::deque<std::pair<QByteArray, Ms>> m_seen; // bodies received lately
    std::deque<std::pair<QByteArray, Ms>> m_asked; // forms sent within a late window
    QHash<QByteArray, int> m_seenCount;
    std::deque<std::pair<quint64, Ms>> m_recent; // deliveries of the last late window
    quint64 m_deliveries = 0;
    quint64 m_oldDeliveries = 0;    // the last delivery older than a late window
    quint64 m_vouchedAll = 0;       // delivered before the line last stood quiet
    quint64 m_firstAmbiguous = 0;   // since then; 0 none
    quint64 m_outOfStep = 0;
    quint64 m_vouchedAtOutOfStep = 0;
};
