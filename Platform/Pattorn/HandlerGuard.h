#pragma once

#include <exception>

namespace pattorn {

// Carries an exception thrown by a caller's handler past the engine, so the
// engine's own failures (which the callers turn into results) are never
// confused with it: the handler's exception reaches the caller unchanged.
class HandlerGuard
{
public:
    template <class Call>
    bool Run(Call&& call)
    {
        try {
            return call();
        } catch (...) {
            m_exception = std::current_exception();
            return false;
        }
    }

    void RethrowIfAny() const
    {
        if (m_exception)
            std::rethrow_exception(m_exception);
    }

private:
    std::exception_ptr m_exception;
};

} // namespace pattorn
