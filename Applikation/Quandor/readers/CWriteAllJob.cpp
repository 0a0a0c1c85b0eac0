#include "CWriteAllJob.h"

#include "CDBException.h"
#include "CDatabase.h"
#include "CGridBaseDlg.h"
#include "CReaderIdList.h"
#include "CTransferRun.h"
#include "CReaderFrame.h"

#include <QSqlDatabase>

namespace {

constexpr unsigned int kNoReplyText = 141;
constexpr unsigned int kWindowsText = 187;
constexpr unsigned int kTableText1 = 83;
constexpr unsigned int kTableText2 = 84;
constexpr QChar kAck(0x06);

QString hex4(quint32 value)
{
    return QStringLiteral("%1").arg(value, 4, 16, QLatin1Char('0')).toUpper();
}

} // namespace

CWriteAllJob::Params CWriteAllJob::FromPayload(const CReaderPayload& payload, qint32 readerId)
{
    Params params;
    params.readerId = payload.found ? readerId : 0;
    params.transponders = payload.transponders;
    params.windows = payload.windows;
    params.parameterData = ParameterData(payload.parameter);
    params.modeData = ModeData(payload.mode);
    params.sent = payload;
    return params;
}

QStringList CWriteAllJob::WindowEntries(const CtblZeitschema& cache, const QList<qint32>& schedules)
{
    // The first row of each schema's group, found once: looking through the
    // table for every listed transponder costs transponders x schemas.
    QHash<qint32, int> groups;
    const int rows = cache.GetAnz_Zeitschema();
    for (int r = 0; r + 3 < rows; r += 4) {
        // Only whole groups: a table left with a partial group must not
        // make the windows read past its end.
        groups.insert(cache.Get_Zeitschema(r)->ID_Zeitschema, r);
    }
    QStringList entries;
    int slot = 0;
    for (qint32 id : schedules) {
        const auto found = groups.constFind(id);
        if (found == groups.constEnd())
            continue;
        for (int k = 0; k < 4; ++k)
            entries << WindowEntry(slot++, *cache.Get_Zeitschema(found.value() + k));
    }
    return entries;
}

QString CWriteAllJob::WindowEntry(int slot, const CtblZeitschema::structZeitschema& row)
{
    // Any non-zero flag is a set day: a stray value must not give a
    // shorter, malformed entry.
    QString bits;
    for (int flag : {row.Sonntag, row.Samstag, row.Freitag, row.Donnerstag, row.Mittwoch, row.Dienstag, row.Montag})
        bits += flag ? QLatin1Char('1') : QLatin1Char('0');
    bits += QLatin1Char('0');
    return QStringLiteral("Z") + hex4(quint32(slot)) + CGridBaseDlg::BinToHex(bits) + row.Von.right(2)
        + row.Von.left(2) + row.Bis.right(2) + row.Bis.left(2);
}

QString CWriteAllJob::CountData(int count)
{
    return QStringLiteral("P0002") + hex4(quint32(count));
}

QString CWriteAllJob::TransponderEntry(int slot, const QString& number)
{
    return QStringLiteral("T") + hex4(quint32(slot)) + number;
}

QString CWriteAllJob::ParameterData(const QString& strParameter)
{
    quint32 value = 0;
    if (!CGridBaseDlg::HexToUInt(strParameter, &value))
        value = 0;
    return QStringLiteral("P0000") + hex4(value);
}

QString CWriteAllJob::ModeData(const QString& strModus)
{
    quint32 value = 0;
    for (QChar c : strModus) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            break;
        value = value * 10 + quint32(c.unicode() - '0');
    }
    return QStringLiteral("P0001") + hex4(value);
}

bool CWriteAllJob::Accepted(const QString& reply)
{
    // A reply whose checksum is wrong may not be the ACK it looks like;
    // sending the entry again does no harm.
    return reply.size() >= 5 && reply.at(4) == kAck && CReaderFrame::VerifyChecksum(reply);
}

bool CWriteAllJob::SettingAccepted(const QString& reply)
{
    return reply.size() == 7 && Accepted(reply);
}

bool CWriteAllJob::Answers(const QString& reply, const QString& data)
{
    return !data.isEmpty() && reply.size() >= 4 && reply.startsWith(QLatin1String("FFS")) && reply.at(3) == data.at(0);
}

CWriteAllJob::CWriteAllJob(const Params& params, const CLanguageHandler* language)
    : CTransferJob(language, {kNoReplyText, kWindowsText, kTableText1, kTableText2, CTransferRun::kOutOfStepText})
    , m_params(params)
{
}

bool CWriteAllJob::SendEntry(CTransferRun& run, const QString& data, bool secondSeries)
{
    for (int series = 0; series < (secondSeries ? 2 : 1); ++series) {
        for (int attempt = 0; attempt < kTries; ++attempt) {
            if (run.IsStopping() || run.LineLost())
                return false;
            if (series == 1 && !run.Pause(run.Timing().writeRetryPauseMs))
                return false;
            const QString reply = run.SendFramed('S', data);
            if (run.OutOfStep())
                return false;
            if (Answers(reply, data) && Accepted(reply))
                return true;
        }
    }
    return false;
}

bool CWriteAllJob::SendSetting(CTransferRun& run, const QString& data)
{
    // Every one of the ten sends goes out, accepted or not.
    bool accepted = false;
    for (int attempt = 0; attempt < kSettingSends; ++attempt) {
        if (run.IsStopping())
            return false;
        if (run.LineLost())
            break;
        const QString reply = run.SendFramed('S', data);
        if (run.OutOfStep())
            return false;
        accepted = (Answers(reply, data) && SettingAccepted(reply)) || accepted;
    }
    return accepted;
}

bool CWriteAllJob::ClearMark(CTransferRun& run)
{
    QString error;
    QSqlDatabase db = m_params.database ? m_params.database->Connection(&error) : QSqlDatabase();
    if (!db.isOpen()) {
        run.Box(Text(kTableText1) + QStringLiteral("\n") + Text(kTableText2), QMessageBox::Critical);
        return false;
    }
    const CReaderPayload::Clearing clearing =
        CReaderPayload::ClearMarkIfUnchanged(m_params.database, m_params.readerId, m_params.sent);
    m_markCleared = clearing == CReaderPayload::Clearing::Cleared;
    m_markKept = clearing == CReaderPayload::Clearing::Changed;
    return true;
}

qint64 CWriteAllJob::LeaseRefused(CTransferRun& run, int* endFlags)
{
    Q_UNUSED(endFlags);
    run.Box(Text(kNoReplyText), QMessageBox::Critical);
    return 0;
}

qint64 CWriteAllJob::Run(CTransferRun& run, int* endFlags)
{
    Q_UNUSED(endFlags);
    const int n = int(m_params.transponders.size());
    const auto refused = [&] {
        run.Box(Text(run.OutOfStep() ? CTransferRun::kOutOfStepText : kNoReplyText), QMessageBox::Critical);
        return qint64(0);
    };
    if (!SendEntry(run, CountData(n), false))
        return run.IsStopping() ? 0 : refused();
    for (int i = 0; i < n; ++i) {
        if (run.IsStopping())
            return 0;
        run.ProgressPos(i + 1);
        if (!SendEntry(run, TransponderEntry(i, m_params.transponders.at(i)), true))
            return run.IsStopping() ? 0 : refused();
    }
    run.ProgressText(QStringLiteral("\n") + Text(kWindowsText));
    for (int j = 0; j < m_params.windows.size(); ++j) {
        if (run.IsStopping())
            return 0;
        run.ProgressPos(n + j);
        if (!SendEntry(run, m_params.windows.at(j), true))
            return run.IsStopping() ? 0 : refused();
    }
    if (!SendSetting(run, m_params.parameterData) || !SendSetting(run, m_params.modeData))
        return run.IsStopping() ? 0 : refused();
    if (run.IsStopping())
        return 0;
    // The mark is cleared only when the line has vouched for every
    // acknowledgement: one shifted onto another entry shows itself later.
    if (!run.Settle())
        return run.IsStopping() ? 0 : refused();
    try {
        if (!ClearMark(run))
            return 0;
    } catch (const CDBException& e) {
        run.Box(e.m_strError, QMessageBox::Warning);
        return 0;
    }
    return n;
}
