#include "CTransferJob.h"

#include <CLanguageHandler.h>

CTransferJob::CTransferJob(const CLanguageHandler* language, const QList<unsigned int>& texts)
{
    for (unsigned int number : texts)
        m_texts.insert(number, language ? language->GetLangItem(number) : QString());
}

CTransferRun::Body CTransferJob::BodyFor(const std::shared_ptr<CTransferJob>& job, int endMessage,
                                         std::function<void()> teardown)
{
    CTransferRun::Body body;
    body.work = [job](CTransferRun& run, int* flags) { return job->Run(run, flags); };
    body.leaseRefused = [job](CTransferRun& run, int* flags) { return job->LeaseRefused(run, flags); };
    body.endMessage = endMessage;
    body.teardown = std::move(teardown);
    return body;
}
