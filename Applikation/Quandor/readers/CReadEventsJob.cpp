#include "CReadEventsJob.h"

#include "CDBException.h"
#include "CEventRecord.h"
#include "CEventStore.h"
#include "CGridBaseDlg.h"
#include "CTransferRun.h"
#include "CReaderFrame.h"

namespace {

constexpr unsigned int kNoReplyText = 141;
constexpr unsigned int kTooManyFaultsText = 169;
constexpr unsigned int kMemoryEmptyText = 190;
constexpr unsigned int kTableText1 = 83;
constexpr unsigned int kTableText2 = 84;

bool checksumGood(const QString& reply)
{
    return CReaderFrame::HasValidChecksum(reply.toLatin1());
}

} // namespace

const unsigned int CReadEventsJob::kTexts[] = {kNoReplyText, kTooManyFaultsText, kMemoryEmptyText, kTableText1,
                                               kTableText2, 191, 192, 193, 194, 195, 196, 197, 198, 199, 229,
                                               CTransferRun::kOutOfStepText};

CReadEventsJob::CReadEventsJob(const Params& params, const CLanguageHandler* language)
    : CTransferJob(language, QList<unsigned int>(std::begin(kTexts), std::end(kTexts)))
    , m_params(params)
{
}

qint64 CReadEventsJob::AskLastEvent(CTransferRun& run)
{
    for (int attempt = 0; attempt < kPointerTries && !run.IsStopping() && !run.LineLost(); ++attempt) {
        const QString reply = run.SendFramed('L', QStringLiteral("P0003"));
        if (run.OutOfStep())
            return kOutOfStep;
        if (reply.size() != 10 || reply.at(2) != QLatin1Char('L') || reply.at(3) != QLatin1Char('P')
            || !checksumGood(reply))
            continue;
        // A count that is not hexadecimal is no answer: it must never
        // leave a range from another run or another reader in place.
        quint32 value = 0;
        if (!CGridBaseDlg::HexToUInt(reply.mid(4, 4), &value))
            continue;
        return value;
    }
    return -1;
}

qint64 CReadEventsJob::LeaseRefused(CTransferRun& run, int* endFlags)
{
    *endFlags = CTransferRun::EndBeforeStart;
    run.Box(Text(kNoReplyText), QMessageBox::Critical);
    return 0;
}

qint64 CReadEventsJob::Run(CTransferRun& run, int* endFlags)
{
    qint64 last = m_params.fixedLastEvent;
    if (m_params.readToPointer) {
        last = AskLastEvent(run);
        if (last == kOutOfStep) {
            *endFlags = CTransferRun::EndBeforeStart;
            run.Box(Text(CTransferRun::kOutOfStepText), QMessageBox::Critical);
            return 0;
        }
        if (last < 0) {
            *endFlags = CTransferRun::EndBeforeStart;
            if (!run.IsStopping())
                run.Box(Text(kNoReplyText), QMessageBox::Critical);
            return 0;
        }
    }
    if (last < 0) {
        *endFlags = CTransferRun::EndBeforeStart;
        run.Box(Text(kNoReplyText), QMessageBox::Critical);
        return 0;
    }
    if (last == kEmptyMemory) {
        *endFlags = CTransferRun::EndBeforeStart;
        run.Box(Text(kMemoryEmptyText), QMessageBox::Critical);
        return 0;
    }
    m_lastEvent = int(last);
    run.ProgressRange(int(last));

    // The rows wait until the line has vouched for the replies they came
    // from: a reply shifted onto another event shows itself only later.
    struct Read {
        CEventStore::Row row;
        quint64 delivery = 0;
    };
    std::vector<Read> read;
    CEventStore::Row row;
    row.readerId = m_params.readerId;
    row.readerName = m_params.readerName;
    int failures = 0;
    bool tooManyFaults = false;
    bool outOfStep = false;
    for (qint64 i = 0; i <= last && !run.IsStopping();) {
        run.ProgressPos(int(i + 1));
        quint64 delivery = 0;
        const QString reply =
            run.SendFramed('L', QStringLiteral("E%1").arg(i, 4, 16, QLatin1Char('0')).toUpper(), &delivery);
        if (run.OutOfStep()) {
            outOfStep = true;
            break;
        }
        CEventRecord record;
        // A reply whose checksum fails is no record: storing it would
        // keep a corrupted event for good.
        if (!checksumGood(reply) || !CEventRecord::Decode(reply, &record)) {
            if (run.IsStopping())
                break;
            // A lost line answers no more tries.
            if (++failures >= kFailuresInARow || run.LineLost()) {
                tooManyFaults = true;
                break;
            }
            continue;
        }
        failures = 0;
        ++i;
        if (!m_params.filter.Passes(record.day, record.month, record.year))
            continue;
        row.transponder = record.transponder;
        row.date = record.date;
        row.time = record.time;
        row.code1 = record.kind1Code;
        row.event1 = Text(record.kind1Text);
        row.code2 = record.kind2Code;
        row.event2 = Text(record.kind2Text);
        read.push_back(Read{row, delivery});
    }
    // Every reply stands only once the line has stood quiet through the
    // late window of the last one; a run stopped before keeps only what
    // the line vouches for by then.
    const quint64 vouched = run.Standing(&outOfStep);

    CEventStore store(m_params.database);
    QString error;
    if (!store.Open(&error)) {
        run.Box(Text(kTableText1) + QStringLiteral("\n") + Text(kTableText2), QMessageBox::Critical);
        return 0;
    }
    try {
        for (const Read& r : read) {
            if (r.delivery == 0 || r.delivery > vouched)
                break;
            store.Add(r.row);
            m_stored = store.Stored() + store.Pending();
        }
    } catch (const CDBException& e) {
        // What was written before the failure is kept and counted.
        store.Commit();
        m_stored = store.Stored();
        run.Box(e.m_strError, QMessageBox::Warning);
        return store.Stored();
    }
    if (!store.Commit(&error))
        run.Box(error, QMessageBox::Warning);
    m_stored = store.Stored();
    if (outOfStep)
        run.Box(Text(CTransferRun::kOutOfStepText), QMessageBox::Critical);
    else if (tooManyFaults)
        run.Box(Text(kTooManyFaultsText), QMessageBox::Critical);
    return store.Stored();
}
