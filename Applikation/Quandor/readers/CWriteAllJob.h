#pragma once

#include "CReaderPayload.h"
#include "CTransferJob.h"
#include "CtblTransponder.h"
#include "CtblZeitschema.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <atomic>

class CDatabase;
class CLanguageHandler;

// Writing everything the database holds for one framed reader into it: the
// transponders assigned to it, the time windows of their schemas and its
// two settings. The worker's part of the write-all transfer.
//
// The lists are built on the UI thread from the rows stored when the run
// starts (the builders below are pure and do not touch the link); the
// worker then only sends them:
// 1. the count, 'S' "P0002%04X", up to 10 tries;
// 2. each transponder "T%04X" + number and then each time window, in two
//    series of 10 tries, the second with a pause (200 ms) before each try;
// 3. the parameter "P0000%04X" and the mode "P0001%04X", each sent exactly
//    10 times; one reply of exactly 7 characters with ACK at [4] suffices;
// 4. the reader's row marked as up to date (boolUpdateOK 0) on the worker's
//    own connection, but only when the stored rows still give what was
//    sent; a change another writer made meanwhile keeps the mark.
// Any refusal ends the run with text 141 and the result 0; a stop ends it
// before the next try, with nothing more sent and the row left marked.
class CWriteAllJob : public CTransferJob
{
public:
    static constexpr int kTries = 10;
    static constexpr int kSettingSends = 10;

    struct Params
    {
        qint32 readerId = 0;
        QStringList transponders; // numbers, in cache order
        QStringList windows;      // finished "Z" entries
        QString parameterData;    // "P0000" + four hex digits
        QString modeData;         // "P0001" + four hex digits
        CDatabase* database = nullptr;
        CReaderPayload sent; // what the lists were built from
    };

    // The lists of a run from what the database holds for the reader.
    static Params FromPayload(const CReaderPayload& payload, qint32 readerId);

    // --- builders (pure)
    // Four entries per listed schema, slots running on across the list; a
    // schema that is unknown or whose group of four is incomplete adds
    // nothing.
    static QStringList WindowEntries(const CtblZeitschema& cache, const QList<qint32>& schedules);
    // One "Z" entry: slot, weekday byte (Sunday..Monday, then 0), start
    // and end with the minutes first.
    static QString WindowEntry(int slot, const CtblZeitschema::structZeitschema& row);
    static QString CountData(int count);
    static QString TransponderEntry(int slot, const QString& number);
    // strParameter read as hexadecimal (0 when it is not), strModus as the
    // decimal number of its leading digits.
    static QString ParameterData(const QString& strParameter);
    static QString ModeData(const QString& strModus);
    // A count, transponder or window reply: at least 5 characters, ACK at
    // [4], a valid checksum.
    static bool Accepted(const QString& reply);
    // A setting reply: as above and exactly 7 characters.
    static bool SettingAccepted(const QString& reply);
    // The reply answers this entry: "FFS" and the entry's first character
    // (the echo the reader sends) ahead of the ACK.
    static bool Answers(const QString& reply, const QString& data);

    // Captures the texts the worker shows in the active language.
    CWriteAllJob(const Params& params, const CLanguageHandler* language);

    const Params& GetParams() const { return m_params; }
    // Progress bar's upper bound: every entry.
    int EntryCount() const { return int(m_params.transponders.size() + m_params.windows.size()); }

    // The worker's body (see CTransferRun::Body::work): the number of
    // transponders written, 0 after a failure.
    qint64 Run(CTransferRun& run, int* endFlags) override;
    qint64 LeaseRefused(CTransferRun& run, int* endFlags) override;

    // The reader's row was marked as up to date in the database; any thread.
    bool MarkCleared() const { return m_markCleared.load(); }
    // The stored rows changed while the run sent them: the mark stays and
    // the reader must be written again.
    bool MarkKept() const { return m_markKept.load(); }

private:
    // One entry in one or two series of tries; false when refused or
    // stopped.
    bool SendEntry(CTransferRun& run, const QString& data, bool secondSeries);
    bool SendSetting(CTransferRun& run, const QString& data);
    // Sets boolUpdateOK 0 on the reader's row when its data are still what
    // was sent; false after a box.
    bool ClearMark(CTransferRun& run);

    Params m_params;
    std::atomic<bool> m_markCleared{false};
    std::atomic<bool> m_markKept{false};
};
