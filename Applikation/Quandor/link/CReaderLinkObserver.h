#pragma once

#include <QList>
#include <QString>

// How a reader search ended.
struct CSearchOutcome {
    quint64 connection = 0; // CReaderLink::ConnectionId() of the search
    bool success = false;
    bool cancelled = false; // stopped by ClosePort or shut-down; nothing to tell the user
    // Language texts to show the user, in this order (caption text 74,
    // exclamation icon); the last one of a failed search is 107.
    QList<int> messages;
};

// The receiver of what the reader link reports: the window that owns the
// link implements it.
//
// Every call comes on the link's own thread, with no lock of the link held.
// An implementation must return promptly and must not wait for the UI
// thread: it posts what it needs to the UI thread. It must not call
// Connect() or ClosePort() from inside the call either (post that too).
class CReaderLinkObserver
{
public:
    virtual ~CReaderLinkObserver() = default;

    // The search progress window: range 0 to maximum, its position, its text.
    virtual void SearchProgress(int maximum, int position, const QString& text) = 0;
    // The search has ended; on success the polling thread already runs.
    virtual void SearchFinished(const CSearchOutcome& outcome) = 0;
    // A transponder was presented (10 hex digits); isMaster when it is the
    // master transponder of the connected Wren. The link polls no further,
    // and reports no further tag, until TagHandled(ticket) is called, so the
    // UI handles one tag at a time, as with a message that was sent.
    virtual void TagRead(quint64 ticket, const QString& number, bool isMaster) = 0;
    // A framed reader stopped answering. The owner closes the port and
    // tells the user (texts 114 and 14).
    virtual void LinkLost(quint64 connection) = 0;
};
