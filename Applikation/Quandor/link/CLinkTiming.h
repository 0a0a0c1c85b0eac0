#pragma once

// Every wait of the reader link in one value: how long a reply is awaited,
// how often a framed reader is polled, when the link counts as lost, and
// the fixed pauses of the transfers that talk through it. The defaults are
// the times the readers are built for; a link runs with the value it was
// given at construction (or at SetTiming() before a connection).
//
// Scaled() shortens every time by one factor, so the same conversations
// run in a fraction of real time (the order of the steps stays the same).
// Counts are not scaled: a lost link is still 500 empty reads, each of
// them shorter.
class CLinkTiming
{
public:
    // --- every command on the line
    // Time a direct command (and a poll) waits for the first byte of its
    // reply, and any command for each further byte.
    int replyByteMs = 2000;
    // The late bound: the latest a reply may come after its command went
    // out and still be known as its command's (five direct reply windows).
    // A try given up keeps anything its answer could be mistaken for off
    // the line until then; a transfer's success waits this long after its
    // last command.
    int lateReplyMs = 10000;
    // The latest a line that repeats its replies sends the copy after the
    // reply (half the late bound).
    int copyGapMs = 5000;

    // --- the polling thread
    // First byte of a poll answer, and each idle read of a framed reader.
    int firstByteMs = 10;
    // One listening read of a plain reader, called back early when a
    // command or a lease needs the line.
    int listenMs = 250;
    // From one poll answer to the next poll, and before the first.
    int pollSpacingMs = 500;
    // Read calls without a complete frame after which a framed reader
    // counts as lost.
    int linkLostReads = 500;

    // --- queued commands
    // Time a queued command waits for its reply.
    int queuedReplyMs = 3000;

    // --- transfers and dialogs
    // Before each try of the second series of a write-all entry.
    int writeRetryPauseMs = 200;
    // Before the one resend of a plain reader's list entry.
    int plainResendPauseMs = 200;
    // One wait for the master transponder a Wren learns.
    int teachWaitMs = 120;

    // The factor the times were scaled by (1 for the defaults).
    double factor = 1.0;

    // The defaults with every time multiplied by factor (at least 1 ms).
    static CLinkTiming Scaled(double factor);
    // A time of the default scale, multiplied like the others (at least
    // 1 ms, 0 stays 0): for waits a caller derives from the link's.
    int Scale(int ms) const;

    bool operator==(const CLinkTiming& other) const;
    bool operator!=(const CLinkTiming& other) const { return !(*this == other); }
};
