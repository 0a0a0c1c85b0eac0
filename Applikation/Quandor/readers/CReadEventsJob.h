#pragma once

#include "CEventDateFilter.h"
#include "CTransferJob.h"

#include <QString>

#include <atomic>

class CDatabase;
class CLanguageHandler;

// Reading a framed reader's event memory into "tblEvents": the worker's
// part of the read-events transfer.
//
// Everything it needs is captured on the UI thread when the run starts
// (the clicked reader's ID and name, how far to read, the date filter, the
// language texts); on the worker it reads nothing else of the program.
//
// Steps on the worker, with the link's lease held:
// 1. how far to read: with "read to the event pointer" the reader's last
//    event number ('L' "P0003", up to 5 tries; a reply counts only when it
//    is "..LP" + four hex digits with a good checksum); else the model's
//    fixed count. None (text 141) or an empty memory, "FFFF" (text 190),
//    ends the run before it starts;
// 2. events 0 to the last: each asked for with 'L' "E%04X"; a reply that is
//    not 26 characters or fails its checksum is a failed try and the same
//    number is asked again; 25 failed tries in a row end the run (text
//    169);
// 3. each event is decoded and filtered by date; the rows are stored once
//    the line has stood quiet through the late window of the last reply
//    (or, after an out-of-step, text 370, or a stop, only those the line
//    vouches for); the result is the number of rows stored, on every end.
class CReadEventsJob : public CTransferJob
{
public:
    static constexpr int kPointerTries = 5;
    static constexpr int kFailuresInARow = 25;
    static constexpr quint32 kEmptyMemory = 0xFFFF;
    // AskLastEvent(): the line went out of step.
    static constexpr qint64 kOutOfStep = -2;

    struct Params
    {
        qint32 readerId = 0;
        QString readerName;
        bool readToPointer = true;
        // The model's highest event number read without asking; -1: none.
        int fixedLastEvent = -1;
        CEventDateFilter filter;
        CDatabase* database = nullptr;
    };

    // Captures the texts the worker uses in the active language.
    CReadEventsJob(const Params& params, const CLanguageHandler* language);

    // The worker's body (see CTransferRun::Body::work).
    qint64 Run(CTransferRun& run, int* endFlags) override;
    // The body when the lease was refused: text 141, nothing read.
    qint64 LeaseRefused(CTransferRun& run, int* endFlags) override;

    // Rows stored so far; any thread.
    int Stored() const { return m_stored.load(); }
    // Events asked for so far (tests).
    int LastEventNumber() const { return m_lastEvent.load(); }

    // The texts the job shows or stores.
    static const unsigned int kTexts[];

private:
    // The last event number from the reader; -1 after kPointerTries.
    qint64 AskLastEvent(CTransferRun& run);

    Params m_params;
    std::atomic<int> m_stored{0};
    std::atomic<int> m_lastEvent{-1};
};
