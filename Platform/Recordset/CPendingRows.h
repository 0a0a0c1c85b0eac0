#pragma once

// Rows that record sets of the calling thread hold back inside a
// transaction, to send many in one statement. Before the thread's
// connection to their data source is used for anything else, and before
// the transaction ends, they are sent; a rollback drops them unsent.
//
// Per thread: every set, and so every held row, belongs to the thread that
// uses it.
class CPendingRows
{
public:
    // One that holds rows back (a record set).
    class Holder
    {
    public:
        // Sends the rows; throws CDBException when they cannot be stored.
        virtual void SendPendingRows() = 0;
        virtual void DropPendingRows() = 0;

    protected:
        ~Holder() = default;
    };

    // The holder has rows back for this data source ("source" only tells
    // data sources apart).
    static void Note(const void* source, Holder* holder);
    static void Forget(Holder* holder);
    // Whether a use of a connection now must have rows sent first: some are
    // held, and neither an add in progress (Keep) nor a send is running.
    static bool Due();
    // Has the source's holders send their rows. A holder that fails has
    // spoiled its transaction, whose commit says so; the rest still send.
    static void Send(const void* source);
    static void Drop(const void* source);

    // While one lives on a thread, nothing is due: the set adding its next
    // row uses the connection itself.
    class Keep
    {
    public:
        Keep();
        ~Keep();
        Keep(const Keep&) = delete;
        Keep& operator=(const Keep&) = delete;
    };
};
