#include "FolderHandle.h"

#include <fcntl.h>
#include <unistd.h>

namespace pattorn {

FolderHandle::~FolderHandle()
{
    if (m_fd >= 0)
        close(m_fd);
}

int FolderHandle::Open(const std::string& path, int flags)
{
    const std::string::size_type slash = path.rfind('/');
    if (slash == std::string::npos || slash + 1 == path.size())
        return open(path.c_str(), flags);
    // The root's files are named from "/" itself.
    const std::string::size_type length = slash == 0 ? 1 : slash;
    if (m_folder.size() != length || path.compare(0, length, m_folder) != 0) {
        if (m_fd >= 0)
            close(m_fd);
        m_folder.assign(path, 0, length);
        // Only a handle to walk from: opening a file through it needs no
        // more right on the folder than its whole path does.
        m_fd = open(m_folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    }
    if (m_fd < 0)
        return open(path.c_str(), flags);
    return openat(m_fd, path.c_str() + slash + 1, flags);
}

} // namespace pattorn
