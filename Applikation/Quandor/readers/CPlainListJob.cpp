#include "CPlainListJob.h"

#include "CGridBaseDlg.h"
#include "CReaderFrame.h"

namespace {

QString hex2(int value)
{
    return QStringLiteral("%1").arg(value, 2, 16, QLatin1Char('0')).toUpper();
}

} // namespace

CPlainListJob::CPlainListJob(const Params& params, const CLanguageHandler* language)
    : CTransferJob(language, {kNoAnswerText, CTransferRun::kOutOfStepText})
    , m_params(params)
{
}

qint64 CPlainListJob::LeaseRefused(CTransferRun& run, int* endFlags)
{
    *endFlags = CTransferRun::EndBeforeStart;
    m_end = End::NoAnswer;
    run.Box(Text(kNoAnswerText), QMessageBox::Critical);
    return 0;
}

qint64 CPlainListJob::Run(CTransferRun& run, int* endFlags)
{
    m_end = m_params.kind == Kind::Read ? Read(run) : Write(run);
    if (m_end == End::OutOfStep)
        run.Box(Text(CTransferRun::kOutOfStepText), QMessageBox::Critical);
    else if (m_end == End::NoAnswer || m_end == End::SettingsRefused)
        run.Box(Text(kNoAnswerText), QMessageBox::Critical);
    Q_UNUSED(endFlags);
    return m_entries.size();
}

CPlainListJob::End CPlainListJob::Read(CTransferRun& run)
{
    // The stored length counts the master: the list proper is 1 to L - 1.
    const QString lengthReply = run.SendPlain('Y', QString());
    if (run.OutOfStep())
        return End::OutOfStep;
    quint32 length = 0;
    // A refusal is no answer, not an empty reader.
    if (lengthReply.size() < 2 || !CGridBaseDlg::HexToUInt(lengthReply.left(2), &length))
        return run.IsStopping() ? End::Stopped : End::NoAnswer;
    m_length = int(length);

    // The entries wait until the line has vouched for the replies they
    // came from: a reply shifted onto another entry shows itself later.
    QStringList read;
    std::vector<quint64> deliveries;
    End end = End::Done;
    for (quint32 i = 1; i < length; ++i) {
        m_position = int(i);
        quint64 delivery = 0;
        const QString entry = run.SendPlain('G', hex2(int(i)), &delivery);
        if (run.OutOfStep()) {
            end = End::OutOfStep;
            break;
        }
        if (!CWrenSettings::IsTransponderNumber(entry)) {
            end = End::NoAnswer;
            break;
        }
        read << entry.toUpper();
        deliveries.push_back(delivery);
    }
    // A read that failed before its first entry has nothing to vouch for:
    // its box need not wait for the quiet line.
    if (read.isEmpty() && end != End::Done)
        return run.OutOfStep() ? End::OutOfStep : run.IsStopping() ? End::Stopped : end;
    bool outOfStep = false;
    const quint64 vouched = run.Standing(&outOfStep);
    for (int k = 0; k < read.size() && deliveries[size_t(k)] != 0 && deliveries[size_t(k)] <= vouched; ++k)
        m_entries << read.at(k);
    if (outOfStep)
        return End::OutOfStep;
    return run.IsStopping() ? End::Stopped : end;
}

bool CPlainListJob::Acknowledged(CTransferRun& run, char letter, const QString& data)
{
    return CReaderFrame::IsPlainAck(run.SendPlain(letter, data).toLatin1());
}

CPlainListJob::End CPlainListJob::Write(CTransferRun& run)
{
    const QStringList& numbers = m_params.numbers;
    const int n = int(numbers.size());
    const auto failed = [&run](End end) {
        if (run.OutOfStep())
            return End::OutOfStep;
        return run.IsStopping() ? End::Stopped : end;
    };
    m_position = 1;
    if (!Acknowledged(run, 'Z', hex2(n + 1)))
        return failed(End::NoAnswer);
    for (int i = 1; i <= n; ++i) {
        m_position = i + 1;
        const QString data = hex2(i) + numbers.at(i - 1);
        if (Acknowledged(run, 'S', data))
            continue;
        if (run.OutOfStep() || !run.Pause(run.Timing().plainResendPauseMs) || !Acknowledged(run, 'S', data))
            return failed(End::NoAnswer);
    }
    m_position = n + 1;
    const bool settings = !run.OutOfStep()
        && m_params.settings.SendTo([&run](char letter, const QString& data) { return run.SendPlain(letter, data); },
                                    m_params.switchTime);
    if (!settings)
        return failed(End::SettingsRefused);
    // The list is recorded only when the line has vouched for every
    // acknowledgement: one shifted onto another entry shows itself later.
    if (!run.Settle())
        return failed(End::OutOfStep);
    return End::Done;
}
