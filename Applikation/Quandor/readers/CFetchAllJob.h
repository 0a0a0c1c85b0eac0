#pragma once

#include "CTransferJob.h"

#include <QString>
#include <QStringList>

class CLanguageHandler;

// The worker's part of fetching all data from a framed reader: the number
// of stored entries ('L' "P0002", up to 10 tries) and then every slot
// ('L' "T%04X", up to 10 tries each). It only reads the reader; the
// database is changed afterwards on the UI thread, and only when every
// slot was read, so a failed fetch leaves the table as it was.
class CFetchAllJob : public CTransferJob
{
public:
    static constexpr int kTries = 10;

    // Captures the texts the worker shows in the active language.
    explicit CFetchAllJob(const CLanguageHandler* language);

    // The worker's body (see CTransferRun::Body::work): the number of
    // slots read. Every failure shows its box and ends with EndBeforeStart
    // (no notice).
    qint64 Run(CTransferRun& run, int* endFlags) override;
    qint64 LeaseRefused(CTransferRun& run, int* endFlags) override;

    // Read after the join: whether every slot was read, and the numbers in
    // slot order.
    bool Complete() const { return m_complete; }
    const QStringList& Fetched() const { return m_fetched; }

    // A count reply: exactly 10 characters, "L" "P" at [2] and [3], a valid
    // checksum; the count, 0 when it is not hexadecimal. -1 for no reply.
    static int CountIn(const QString& reply);
    // A slot reply: exactly 16 characters, "L" "T" at [2] and [3], a valid
    // checksum and a number of ten hexadecimal digits (returned upper-case);
    // empty for no reply.
    static QString NumberIn(const QString& reply);

private:
    QStringList m_fetched;
    bool m_complete = false;
};
