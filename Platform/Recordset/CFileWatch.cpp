#include "CFileWatch.h"

#include <QFile>

#include <sys/stat.h>

CFileWatch::CFileWatch(QString path)
    : m_path(std::move(path))
{
}

CFileWatch::Identity CFileWatch::Current() const
{
    struct stat info;
    if (::stat(QFile::encodeName(m_path).constData(), &info) != 0)
        return {0, 0};
    return {quint64(info.st_dev), quint64(info.st_ino)};
}

void CFileWatch::SetHandler(std::function<void()> handler)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_handler = std::move(handler);
}

void CFileWatch::Opened(const QString& connection)
{
    const Identity file = Current();
    std::lock_guard<std::mutex> lock(m_mutex);
    m_fileOf[connection] = file;
    if (m_known == Identity{0, 0})
        m_known = file;
}

bool CFileWatch::Replaced(const QString& connection, int checkEveryMs)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto& last = m_lastLook[connection];
        const auto now = std::chrono::steady_clock::now();
        if (checkEveryMs > 0 && now - last < std::chrono::milliseconds(checkEveryMs))
            return false;
        last = now;
    }
    const Identity now = Current();
    // A file that is gone for the moment is no new file.
    if (now == Identity{0, 0})
        return false;
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto it = m_fileOf.find(connection);
    return it != m_fileOf.end() && it->second != now;
}

void CFileWatch::Reopened(const QString& connection)
{
    const Identity file = Current();
    std::function<void()> handler;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_fileOf[connection] = file;
        if (file != m_known) {
            m_known = file;
            handler = m_handler;
        }
    }
    if (handler)
        handler();
}

void CFileWatch::Forget(const QString& connection)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_fileOf.erase(connection);
    m_lastLook.erase(connection);
}
