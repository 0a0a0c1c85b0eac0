#include "CSerialPort.h"

#include "CComPorts.h"
#include "CTtyConfig.h"

#include <QFile>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// Rounded up, so a wait never ends early and a caller's pace holds.
int RemainingMs(Clock::time_point deadline)
{
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? int(left) : 0;
}

void DrainEventFd(int fd)
{
    uint64_t value = 0;
    while (read(fd, &value, sizeof value) > 0) {
    }
}

QString ErrnoText(int error)
{
    return QString::fromLocal8Bit(strerror(error));
}

} // namespace

CSerialPort::CSerialPort()
{
    m_wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    m_interruptFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
}

CSerialPort::~CSerialPort()
{
    Close();
    for (int fd : {m_wakeFd, m_interruptFd}) {
        if (fd >= 0)
            ::close(fd);
    }
}

bool CSerialPort::Open(const QString& portName, quint8 baudSelector)
{
    const QString path = CComPorts::DevicePath(portName);
    if (path.isEmpty()) {
        Close();
        std::lock_guard<std::mutex> lock(m_mutex);
        m_lastError = QStringLiteral("%1: no such port").arg(portName);
        return false;
    }
    return OpenDevice(path, baudSelector);
}

bool CSerialPort::OpenDevice(const QString& devicePath, quint8 baudSelector)
{
    Close();
    std::lock_guard<std::mutex> lock(m_mutex);
    DrainEventFd(m_wakeFd);
    const bool ok = OpenLocked(devicePath, baudSelector);
    m_open.store(ok);
    return ok;
}

bool CSerialPort::OpenLocked(const QString& devicePath, quint8 baudSelector)
{
    m_path = devicePath;
    if (m_wakeFd < 0) {
        m_lastError = QStringLiteral("no wake-up descriptor");
        return false;
    }
    // No O_CREAT: a missing device must stay missing, never become a file
    // that the program then writes its frames into.
    const int fd = ::open(QFile::encodeName(devicePath).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        m_lastError = QStringLiteral("%1: %2").arg(devicePath, ErrnoText(errno));
        return false;
    }
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode)) {
        m_lastError = QStringLiteral("%1: not a serial device").arg(devicePath);
        ::close(fd);
        return false;
    }
    // Exclusive use: the tty's own flag keeps ordinary users out, the lock
    // also keeps a second copy of the program out when it runs as root.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        m_lastError = QStringLiteral("%1: in use by another program").arg(devicePath);
        ::close(fd);
        return false;
    }
    unsigned baud = 0;
    if (baudSelector == kBaud57200)
        baud = 57200;
    else if (baudSelector == kBaud9600)
        baud = 9600;
    const int refused = CTtyConfig::MakeRaw(fd, baud);
    if (refused != 0) {
        m_lastError = QStringLiteral("%1: settings refused: %2").arg(devicePath, ErrnoText(refused));
        ::close(fd);
        return false;
    }
    CTtyConfig::SetExclusive(fd, true);
    CTtyConfig::SetModemLines(fd, true, true, true);
    CTtyConfig::Flush(fd, CTtyConfig::BothQueues);
    m_fd = fd;
    m_lastError.clear();
    return true;
}

void CSerialPort::Close()
{
    // Wake a reader or writer first; it leaves the device and frees the
    // lock, and only then is the file number given back.
    if (m_wakeFd >= 0) {
        const uint64_t one = 1;
        (void)!::write(m_wakeFd, &one, sizeof one);
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    CloseLocked();
}

void CSerialPort::CloseLocked()
{
    m_open.store(false);
    if (m_fd < 0)
        return;
    CTtyConfig::SetModemLines(m_fd, true, false, false);
    CTtyConfig::Flush(m_fd, CTtyConfig::BothQueues);
    // The exclusive flag belongs to the tty, not to this descriptor; it
    // must go, or the next open of the same device fails while some other
    // descriptor keeps the tty alive.
    CTtyConfig::SetExclusive(m_fd, false);
    ::close(m_fd);
    m_fd = -1;
}

bool CSerialPort::SleepUnlessClosed(int timeoutMs)
{
    pollfd wake{m_wakeFd, POLLIN, 0};
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const int n = ::poll(&wake, 1, RemainingMs(deadline));
        if (n > 0)
            return true;
        if (n == 0 || errno != EINTR)
            return false;
    }
}

void CSerialPort::Interrupt()
{
    if (m_interruptFd >= 0) {
        const uint64_t one = 1;
        (void)!::write(m_interruptFd, &one, sizeof one);
    }
}

CSerialPort::ReadResult CSerialPort::ReadByte(unsigned char& byte, int timeoutMs, bool interruptible)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_fd < 0)
        return ReadResult::Closed;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    const nfds_t count = interruptible && m_interruptFd >= 0 ? 3 : 2;
    for (;;) {
        pollfd fds[3] = {{m_fd, POLLIN, 0}, {m_wakeFd, POLLIN, 0}, {m_interruptFd, POLLIN, 0}};
        const int n = ::poll(fds, count, RemainingMs(deadline));
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0)
            return ReadResult::Timeout;
        if (n > 0 && fds[1].revents)
            return ReadResult::Closed;
        if (n > 0 && count == 3 && fds[2].revents) {
            DrainEventFd(m_interruptFd);
            return ReadResult::Timeout;
        }
        if (n > 0 && (fds[0].revents & POLLIN)) {
            const ssize_t got = ::read(m_fd, &byte, 1);
            if (got == 1)
                return ReadResult::Byte;
            if (got < 0 && (errno == EAGAIN || errno == EINTR))
                continue;
        }
        // Hung up, failed or gone: wait out the time-out as a silent line
        // would, so callers counting empty reads keep their timing.
        return SleepUnlessClosed(RemainingMs(deadline)) ? ReadResult::Closed : ReadResult::Timeout;
    }
}

bool CSerialPort::Write(const QByteArray& data)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_fd < 0)
        return false;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(10 + 10 * data.size());
    qsizetype done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(m_fd, data.constData() + done, size_t(data.size() - done));
        if (n > 0) {
            done += n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN)
            return false;
        pollfd fds[2] = {{m_fd, POLLOUT, 0}, {m_wakeFd, POLLIN, 0}};
        const int ready = ::poll(fds, 2, RemainingMs(deadline));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0 || fds[1].revents || (fds[0].revents & (POLLERR | POLLHUP | POLLNVAL)))
            return false;
    }
    return true;
}

void CSerialPort::Purge(bool receive, bool transmit)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_fd < 0 || (!receive && !transmit))
        return;
    CTtyConfig::Flush(m_fd, receive && transmit ? CTtyConfig::BothQueues
                            : receive             ? CTtyConfig::InputQueue
                                                  : CTtyConfig::OutputQueue);
}

unsigned CSerialPort::BaudRate() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_fd < 0 ? 0 : CTtyConfig::Speed(m_fd);
}

QString CSerialPort::DevicePath() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_path;
}

QString CSerialPort::LastError() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_lastError;
}
