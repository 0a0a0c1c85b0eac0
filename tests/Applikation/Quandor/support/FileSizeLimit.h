#pragma once

#include <csignal>
#include <sys/resource.h>

// A disk that fills up: while the object lives, no file of the process may
// grow beyond "limit" bytes (writes past it fail with EFBIG instead of the
// signal). Unprivileged, so it runs anywhere; the old limit comes back with
// the object.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t limit)
    {
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        if (getrlimit(RLIMIT_FSIZE, &m_old) != 0)
            return;
        rlimit lowered = m_old;
        lowered.rlim_cur = limit;
        m_active = setrlimit(RLIMIT_FSIZE, &lowered) == 0;
    }
    ~FileSizeLimit()
    {
        if (m_active)
            setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

    // False where the limit could not be set: the test is then skipped.
    bool Active() const { return m_active; }

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = nullptr;
    bool m_active = false;
};

// Where a full disk stops a write of "size" bytes: before its first byte,
// or one byte short of its end (the last write).
struct DiskFullCase
{
    const char* name;
    bool atFirstByte;
    rlim_t Limit(qint64 size) const { return atFirstByte ? 0 : rlim_t(size - 1); }
};
inline constexpr DiskFullCase kDiskFullCases[] = {{"full at the first byte", true},
                                                  {"full during the last write", false}};
