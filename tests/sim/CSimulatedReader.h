#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

// A simulated access-control reader of one of the five models, served on the
// master side of a pseudo-terminal. The program under test opens the slave
// side (SlavePath(), or the COM number given to RegisterAs()) exactly as it
// would open a real port.
//
// The simulator answers the framed command set (Kite, Heron, Egret; 57200
// baud) and the plain command set (Wren, Tern; 9600 baud) and keeps the
// reader's state: identification, clock, parameters, event memory and
// transponder lists. Tests inject faults (silence, delays, NAKs, bad
// checksums, unasked reports, a dropped line) and inspect a log of every
// frame received, with its time and the line speed at that moment.
//
// Behaviour the protocol leaves open is decided here, once:
// - a request is answered only after its EOT, after the latency (2 ms) and
//   any delay a test sets; frames go out in the order they are due (an
//   unasked report overtakes a reply that is held back), never mixed;
// - the bytes of a frame go out at once, or paced at the model's line rate
//   (57200 or 9600 baud, ten bits a byte) with SetPacing(true);
// - a frame received at a speed other than the model's is ignored, as is a
//   frame of the other form (framed readers need "FF", plain readers ignore
//   letters they do not know);
// - a framed request with a bad checksum gets no reply; an unknown framed
//   command or bad data gets NAK "FF" + letter + echo + 0x15 + checksum; a
//   plain NAK is the single byte 0x15, an ACK the single byte 0x06;
// - "no tag" is "FFCTNOTAG" + checksum; a presented tag is reported once,
//   at the next poll (framed) or at once as 'R' + number (plain); a held
//   tag (HoldTag) is in every poll answer until it is taken away;
// - the identity reply carries the usual checksum over "QMZTnn";
// - writes need no prior login;
// - an identification write takes 1 to 20 hex digits, stored padded with
//   '0' to 20; the clock needs every field in range;
// - the event memory is read without being emptied; "last event number" is
//   count - 1, or "FFFF" when empty; numbers at or past the count but below
//   the model's capacity give an all-zero record, numbers past it a NAK;
// - a Wren without a master answers 'G' "00" with NAK; 'M' opens a learn
//   window of 10 s in which the next presented tag is reported as 'M' +
//   number and becomes the master;
// - a Wren and a Tern keep a transponder list of numbered entries, entry 0
//   the master: 'Y' answers the stored length ("%02X", 0 for an empty
//   list), 'G' reads, 'S' writes an entry, 'Z' sets the length (1 to 50),
//   'J', 'K' and 'D' set the list's settings; a Tern has no master at
//   first and answers 'C' and 'M' only with SetTernExtended(true).
//
// Every time the simulator takes or reports (latency, delays, the learn
// window, the pace of the line, the log's times and NowMs()) is protocol
// time: a simulator made with a time scale runs it that much faster, as a
// link with CLinkTiming::Scaled() of the same factor does. WaitFor()'s
// bound is the caller's own patience and is not scaled.
//
// All operations may be called from any thread.
class CSimulatedReader
{
public:
    enum Model { Kite, Heron, Egret, Wren, Tern };

    struct Frame {
        qint64 atMs = 0;     // since the simulator started
        unsigned baud = 0;   // line speed when the frame was complete
        QByteArray body;     // the bytes between STX and EOT
    };

    struct Event {
        QByteArray number = "0000000000";
        int day = 1, month = 1, year = 2024, hour = 0, minute = 0;
        quint8 kind1 = 0x80; // 0x80, 0x40 or 0
        quint8 kind2 = 0x60; // 0x60, 0xA0, 0xC0, 0x40, 0x80, 0x20 or 0
    };

    struct TimeWindow {
        quint8 weekdays = 0;
        QByteArray from, to; // as sent: minutes first ("3007" is 07:30)
    };

    explicit CSimulatedReader(Model model, double timeScale = 1.0);
    ~CSimulatedReader();

    CSimulatedReader(const CSimulatedReader&) = delete;
    CSimulatedReader& operator=(const CSimulatedReader&) = delete;

    static QString ModelName(Model model);
    static bool ModelFromName(const QString& name, Model& model);
    // The model's capacities: events and framed transponder slots.
    static int EventCapacity(Model model);
    static int TransponderCapacity(Model model);
    static QByteArray Checksum(const QByteArray& text);

    bool IsRunning() const;
    Model GetModel() const { return m_model; }
    double TimeScale() const { return m_scale; }
    QString SlavePath() const { return m_slavePath; }
    // Names the slave as COM<n> in the program's "Ports" settings.
    void RegisterAs(int comNumber) const;

    // --- reader state
    // The identification a new reader of the model reports.
    static QByteArray DefaultIdentification(Model model);
    void SetIdentification(const QByteArray& id20);
    QByteArray Identification() const;
    QByteArray LastClock() const; // the 19-character data of the last clock set
    void SetParameter(quint16 value);
    quint16 Parameter() const;
    void SetSwitchCode(quint16 value);
    quint16 SwitchCode() const;
    void AddEvent(const Event& event);
    int EventCount() const;
    void SetTransponderCount(int count);
    int TransponderCount() const;
    void SetTransponder(int slot, const QByteArray& number);
    QByteArray Transponder(int slot) const; // empty when unwritten
    QMap<int, TimeWindow> TimeWindows() const;
    // Wren: entry 0 is the master; the list length counts it.
    void SetMaster(const QByteArray& number);
    QByteArray Master() const;
    void SetListLength(int length);
    // Sets entry index of the list (1 and up for the list proper),
    // lengthening the list as needed.
    void SetListEntry(int index, const QByteArray& number10);
    int ListLength() const;
    QByteArray ListEntry(int index) const;
    bool MasterActive() const;
    bool Standalone() const;
    int SwitchTime() const; // seconds, as the last 'D' set them
    void SetTernExtended(bool on);
    // Plain learn reports use 'R' in place of 'M'.
    void SetLearnReportsAsR(bool on);

    // Presents a transponder to the reader.
    void PresentTag(const QByteArray& number10);
    // Holds a transponder in front of a framed reader: every poll answer
    // carries it until ReleaseTag(). A plain reader reports it once.
    void HoldTag(const QByteArray& number10);
    void ReleaseTag();

    // --- faults
    void SetSilent(bool on);
    void SetLatency(int ms);
    // Sends every frame at the model's line rate instead of all at once.
    void SetPacing(bool on);
    void DelayNextReply(int ms);
    // Delays the reply to the next frame whose body starts with prefix.
    void DelayReplyTo(const QByteArray& prefix, int ms);
    // Answers the next count commands with this letter with NAK.
    void NakNext(char letter, int count);
    // Answers the next count framed commands whose letter and data start
    // with request ("LE" any event, "LE0001" event 1, "LP0003") with payload
    // and its checksum, whatever they ask: replies of a wrong length or
    // form (the event head is "FFLE"), NAKs ("FFLE\x15"), or with a wrong
    // checksum when badChecksum is set. Counts add up for one request.
    void AnswerNext(const QByteArray& request, const QByteArray& payload, int count, bool badChecksum = false);
    // Fills the event memory with count events at once (oldest first),
    // made from a template whose minute runs on with the number.
    void FillEvents(int count, const Event& pattern);
    // Gives the next count framed replies a wrong checksum.
    void CorruptNextChecksums(int count);
    // The same for the next count commands whose body starts with prefix
    // ("FFLP0000"), whatever polls come between.
    void NakNextTo(const QByteArray& prefix, int count);
    void CorruptNextTo(const QByteArray& prefix, int count);
    // Ignores the next count commands with this letter (0: any letter).
    void IgnoreNext(char letter, int count);
    // Sends an unasked 'R' report right before the next reply.
    void InjectReportBeforeNextReply(const QByteArray& number10);
    // Sends these raw bytes in place of the next reply.
    void ReplaceNextReply(const QByteArray& raw);
    // Answers the next command with this text between STX and EOT, as it
    // stands (no checksum added): a reply out of its usual form.
    void ReplyNextWith(const QByteArray& body);
    // Answers the identity request with this text (checksum added for
    // framed models).
    void SetIdentityOverride(const QByteArray& identity);
    // Ignore frames that arrive at another speed (on by default).
    void SetCheckSpeed(bool on);
    // Writes raw bytes to the line now.
    void SendRaw(const QByteArray& raw);
    // Unplugs the reader: closes the master side, so the port hangs up.
    void DropLine();
    // Unplugs the reader when the count-th frame from now comes in (that
    // frame gets no reply): a line that goes dead in the middle of a run.
    void DropLineAfter(int count);
    // Sends every reply twice, the copy gapMs after the first (as a
    // converter that repeats what it hears); -1 turns it off. Unasked
    // reports are not repeated.
    void SetRepeatReplies(int gapMs);
    // Sends the reply to the next frame whose body starts with prefix
    // twice, the copy gapMs after it: a line that repeats a reply now and
    // then.
    void RepeatReplyTo(const QByteArray& prefix, int gapMs);

    // --- what the reader received
    QList<Frame> Log() const;
    void ClearLog();
    qint64 BytesReceived() const;
    qint64 NowMs() const;
    // Waits until the log satisfies the condition; false after timeoutMs.
    bool WaitFor(const std::function<bool(const QList<Frame>&)>& condition, int timeoutMs) const;
    // Number of logged frames whose body starts with prefix.
    int Count(const QByteArray& prefix) const;

private:
    struct Outgoing {
        std::chrono::steady_clock::time_point due;
        QByteArray bytes;
        bool started = false; // its first byte is out: nothing goes before it
        std::chrono::steady_clock::time_point startedAt;
        qsizetype sent = 0;
    };

    void Run();
    // A span of protocol time in real time.
    std::chrono::microseconds Real(qint64 protocolMs) const;
    void OnByte(unsigned char byte);
    void OnFrame(const QByteArray& body);
    QByteArray AnswerFramed(const QByteArray& body);
    QByteArray AnswerPlain(const QByteArray& body);
    QByteArray FramedRead(char echo, const QByteArray& data);
    QByteArray FramedWrite(char echo, const QByteArray& data);
    QByteArray EventRecord(int number) const;
    void Queue(const QByteArray& bytes, int delayMs);
    // Whether a fault by prefix applies to this body; uses it up if so.
    static bool TakeByPrefix(QMap<QByteArray, int>& faults, const QByteArray& body);
    // Writes what is due; the time of the next write, if any.
    bool WriteDueLocked(std::chrono::steady_clock::time_point now, std::chrono::steady_clock::time_point& next);
    void WakeLocked();
    bool IsFramed() const;
    unsigned OwnBaud() const;
    unsigned LineBaud() const;

    const Model m_model;
    const double m_scale;
    int m_master = -1;
    int m_slave = -1; // held open so the line does not hang up between opens
    int m_wake = -1;
    QString m_slavePath;
    std::thread m_thread;
    bool m_stop = false;
    bool m_dropRequested = false;
    int m_dropAfter = 0;
    int m_repeatGapMs = -1;
    QByteArray m_repeatOncePrefix;
    int m_repeatOnceGapMs = 0;
    std::chrono::steady_clock::time_point m_started;

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_logChanged;
    std::deque<Outgoing> m_outgoing;
    QByteArray m_partial;
    bool m_inFrame = false;
    QList<Frame> m_log;
    qint64 m_bytesReceived = 0;

    QByteArray m_identification;
    QByteArray m_clock;
    quint16 m_parameter = 0x00A5;
    quint16 m_switchCode = 0x0006;
    QList<Event> m_events;
    int m_transponderCount = 0;
    QMap<int, QByteArray> m_transponders;
    QMap<int, TimeWindow> m_windows;
    QList<QByteArray> m_list; // Wren entries, [0] the master
    bool m_masterActive = true;
    bool m_standalone = true;
    int m_switchTime = 5;
    bool m_ternExtended = false;
    bool m_learnAsR = false;
    std::chrono::steady_clock::time_point m_learnUntil;
    QList<QByteArray> m_pendingTags;
    QByteArray m_heldTag;

    bool m_silent = false;
    bool m_checkSpeed = true;
    int m_latencyMs = 2;
    bool m_pacing = false;
    int m_nextDelayMs = 0;
    QByteArray m_delayPrefix;
    int m_delayPrefixMs = 0;
    QMap<char, int> m_nak;
    QMap<char, int> m_ignore;
    struct Forced {
        QByteArray request, payload;
        int count = 0;
        bool badChecksum = false;
    };
    QList<Forced> m_answerNext;
    int m_corrupt = 0;
    QMap<QByteArray, int> m_nakPrefix;
    QMap<QByteArray, int> m_corruptPrefix;
    QByteArray m_injectReport;
    QByteArray m_replacement;
    bool m_hasReplacement = false;
    QByteArray m_identityOverride;
};
