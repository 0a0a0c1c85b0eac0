#pragma once

#include "CTransferRun.h"

#include <QHash>
#include <QList>
#include <QString>

#include <functional>
#include <memory>

class CLanguageHandler;

// The worker's part of a transfer with a reader. Everything it shows
// is captured on the UI thread when the job is made: on the worker it
// reads nothing of the program but its own values.
class CTransferJob
{
public:
    virtual ~CTransferJob() = default;

    CTransferJob(const CTransferJob&) = delete;
    CTransferJob& operator=(const CTransferJob&) = delete;

    // The worker's body (see CTransferRun::Body::work).
    virtual qint64 Run(CTransferRun& run, int* endFlags) = 0;
    // The body when the lease was refused.
    virtual qint64 LeaseRefused(CTransferRun& run, int* endFlags) = 0;

    // A run's body for the job; the run keeps the job alive until its end.
    static CTransferRun::Body BodyFor(const std::shared_ptr<CTransferJob>& job, int endMessage,
                                      std::function<void()> teardown);

protected:
    // The language texts the job shows, in the active language.
    CTransferJob(const CLanguageHandler* language, const QList<unsigned int>& texts);

    QString Text(unsigned int number) const { return m_texts.value(number); }

private:
    QHash<unsigned int, QString> m_texts;
};
