#include "CFetchAllJob.h"

#include "CGridBaseDlg.h"
#include "CTransferRun.h"
#include "CReaderFrame.h"

namespace {

constexpr unsigned int kNoReplyText = 141;
constexpr unsigned int kReaderText = 14;
constexpr unsigned int kEmptyText = 230;

bool framedReplyTo(const QString& reply, int size, QChar kind)
{
    return reply.size() == size && reply.at(2) == QLatin1Char('L') && reply.at(3) == kind
           && CReaderFrame::VerifyChecksum(reply);
}

} // namespace

CFetchAllJob::CFetchAllJob(const CLanguageHandler* language)
    : CTransferJob(language, {kNoReplyText, kReaderText, kEmptyText, CTransferRun::kOutOfStepText})
{
}

int CFetchAllJob::CountIn(const QString& reply)
{
    if (!framedReplyTo(reply, 10, QLatin1Char('P')))
        return -1;
    quint32 count = 0;
    if (!CGridBaseDlg::HexToUInt(reply.mid(4, 4), &count))
        count = 0;
    return int(count);
}

QString CFetchAllJob::NumberIn(const QString& reply)
{
    if (!framedReplyTo(reply, 16, QLatin1Char('T')))
        return QString();
    // Only a transponder number is stored: garbage would be written back
    // to every reader later.
    const QString number = reply.mid(4, 10).toUpper();
    for (QChar c : number) {
        if (!((c >= QLatin1Char('0') && c <= QLatin1Char('9')) || (c >= QLatin1Char('A') && c <= QLatin1Char('F'))))
            return QString();
    }
    return number;
}

qint64 CFetchAllJob::LeaseRefused(CTransferRun& run, int* endFlags)
{
    *endFlags = CTransferRun::EndBeforeStart;
    run.Box(Text(kNoReplyText) + Text(kReaderText), QMessageBox::Critical);
    return 0;
}

qint64 CFetchAllJob::Run(CTransferRun& run, int* endFlags)
{
    *endFlags = CTransferRun::EndBeforeStart;
    int count = -1;
    const auto outOfStep = [&] {
        run.Box(Text(CTransferRun::kOutOfStepText), QMessageBox::Critical);
        return qint64(0);
    };
    for (int attempt = 0; attempt < kTries && count < 0 && !run.IsStopping() && !run.LineLost(); ++attempt)
        count = CountIn(run.SendFramed('L', QStringLiteral("P0002")));
    if (run.IsStopping())
        return 0;
    if (run.OutOfStep())
        return outOfStep();
    if (count < 0) {
        run.Box(Text(kNoReplyText) + Text(kReaderText), QMessageBox::Critical);
        return 0;
    }
    if (count == 0) {
        run.Box(Text(kEmptyText), QMessageBox::Warning);
        return 0;
    }

    run.ProgressRange(count);
    QStringList fetched;
    fetched.reserve(count);
    for (int slot = 0; slot < count; ++slot) {
        run.ProgressPos(slot + 1);
        const QString request = QStringLiteral("T%1").arg(slot, 4, 16, QLatin1Char('0')).toUpper();
        QString number;
        for (int attempt = 0; attempt < kTries && number.isEmpty() && !run.LineLost(); ++attempt) {
            if (run.IsStopping())
                return 0;
            number = NumberIn(run.SendFramed('L', request));
            if (run.OutOfStep())
                return outOfStep();
        }
        if (number.isEmpty()) {
            run.Box(Text(kNoReplyText), QMessageBox::Critical);
            return 0;
        }
        fetched << number;
    }
    // The list is taken over only when the line has vouched for every
    // reply: one shifted onto another slot shows itself only later.
    if (!run.Settle())
        return run.IsStopping() ? 0 : outOfStep();
    m_fetched = fetched;
    m_complete = true;
    *endFlags = CTransferRun::EndNormal;
    return count;
}
