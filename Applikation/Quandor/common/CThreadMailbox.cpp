#include "CThreadMailbox.h"

#include <QSocketNotifier>

#include <cerrno>
#include <stdexcept>
#include <sys/eventfd.h>
#include <unistd.h>

CThreadMailbox::CThreadMailbox(QObject* parent)
    : QObject(parent)
    , m_wakeFd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
    if (m_wakeFd < 0)
        throw std::runtime_error("No event descriptor for the thread mailbox.");
    m_pNotifier = new QSocketNotifier(m_wakeFd, QSocketNotifier::Read, this);
    connect(m_pNotifier, &QSocketNotifier::activated, this, &CThreadMailbox::Deliver);
}

CThreadMailbox::~CThreadMailbox()
{
    delete m_pNotifier;
    ::close(m_wakeFd);
}

void CThreadMailbox::Post(std::function<void()> call)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_calls.push_back(std::move(call));
    }
    const quint64 one = 1;
    // The counter cannot overflow in practice; a full one is awake anyway.
    while (::write(m_wakeFd, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

void CThreadMailbox::Deliver()
{
    quint64 count = 0;
    while (::read(m_wakeFd, &count, sizeof count) < 0 && errno == EINTR) {
    }
    for (;;) {
        std::function<void()> call;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_calls.empty())
                return;
            call = std::move(m_calls.front());
            m_calls.pop_front();
        }
        try {
            call();
        } catch (...) {
            // The calls behind this one must not wait for the next post.
            const quint64 one = 1;
            (void)::write(m_wakeFd, &one, sizeof one);
            throw;
        }
    }
}
