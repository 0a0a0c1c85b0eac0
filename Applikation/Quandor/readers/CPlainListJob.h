#pragma once

#include "CTransferJob.h"
#include "CWrenSettings.h"

#include <QString>
#include <QStringList>

#include <atomic>

// The plain reader's list on the line, the worker's part of the list
// dialog's two conversations (CSendWrenDlg): reading the entries a Wren or
// Tern holds, or writing a composed list and the reader's settings. It runs
// under the link's lease like every transfer, so the line's one matcher
// judges each reply, and its result stands only once the line has stood
// quiet through the late window of the last reply.
//
// - Read: 'Y' gives the stored length L (entries + 1), then 'G' asks for
//   entries 1 to L - 1. No answer or an answer that is no entry ends the
//   read (text 141); the entries read so far stay. After an out-of-step
//   (text 370) or a stop only the entries the line vouches for stay.
// - Write: 'Z' with the length, 'S' for each entry (resent once after a
//   pause), then the settings 'J', 'K' and 'D'. Anything not acknowledged
//   ends it (text 141); a line out of step ends it with text 370. Only a
//   write that ends Done may be recorded in the database.
class CPlainListJob : public CTransferJob
{
public:
    enum class Kind { Read, Write };
    enum class End {
        Done,
        NoAnswer,        // 'Y', a 'G', 'Z' or an 'S' got no (fitting) answer
        SettingsRefused, // 'J' or 'K' was not acknowledged
        OutOfStep,       // the reader's answers could not be matched
        Stopped
    };

    struct Params {
        Kind kind = Kind::Read;
        // Write: the entries 1 to n, the settings and the stored switch time.
        QStringList numbers;
        CWrenSettings settings;
        QString switchTime;
    };

    static constexpr unsigned int kNoAnswerText = 141;

    CPlainListJob(const Params& params, const CLanguageHandler* language);

    qint64 Run(CTransferRun& run, int* endFlags) override;
    // The lease was refused: no answer.
    qint64 LeaseRefused(CTransferRun& run, int* endFlags) override;

    // After the run (the UI thread reads them once the run has ended).
    End GetEnd() const { return m_end; }
    // Read: the entries that stand, in the reader's order, upper-case.
    const QStringList& Entries() const { return m_entries; }
    // Read: the stored length, once known (0 before).
    int Length() const { return m_length.load(); }
    // The command the run is at, for the progress bar (any thread).
    int Position() const { return m_position.load(); }

private:
    End Read(CTransferRun& run);
    End Write(CTransferRun& run);
    bool Acknowledged(CTransferRun& run, char letter, const QString& data);

    Params m_params;
    End m_end = End::Stopped;
    QStringList m_entries;
    std::atomic<int> m_length{0};
    std::atomic<int> m_position{0};
};
