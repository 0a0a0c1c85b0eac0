#pragma once

#include <QtGlobal>

// The right of one transfer to talk to the reader directly, or the reason
// why it was not given.
//
// CReaderLink::TakeLink() hands a lease out; every direct command of the
// transfer names it (CReaderLink::SendCommand(lease, ...)); the transfer
// gives it back with CReaderLink::ReleaseLink(lease). While a lease is held
// the polling thread keeps off the port and no other transfer gets one.
//
// A lease is a token of one connection. Once it is released, or cancelled
// because the port closed, every command that names it fails at once
// (returns "") without touching the port, also after a reconnect to another
// reader: a worker of one connection can never talk to the next. Copies name
// the same lease, so it may be taken on one thread and used and released on
// another.
class CLinkLease
{
public:
    enum Answer {
        Granted,         // the transfer holds the link until it releases it
        Searching,       // a search for a reader runs; its end decides
        NoReader,        // no reader is online
        TransferRunning  // another transfer holds the link
    };

    // A refusal: no reader.
    CLinkLease() = default;
    explicit CLinkLease(Answer refusal)
        : m_answer(refusal == Granted ? NoReader : refusal)
    {
    }
    // A granted lease; made by the link only.
    CLinkLease(quint64 ticket, quint64 epoch)
        : m_answer(ticket ? Granted : NoReader)
        , m_ticket(ticket)
        , m_epoch(epoch)
    {
    }

    Answer Why() const { return m_answer; }
    bool IsGranted() const { return m_answer == Granted; }
    explicit operator bool() const { return IsGranted(); }

    // The link's marks of the lease: its number among all leases, and the
    // opening of the port it was granted on.
    quint64 Ticket() const { return m_ticket; }
    quint64 Epoch() const { return m_epoch; }

private:
    Answer m_answer = NoReader;
    quint64 m_ticket = 0;
    quint64 m_epoch = 0;
};
