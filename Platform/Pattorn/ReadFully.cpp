#include "ReadFully.h"

#include <unistd.h>

#include <cerrno>
#include <new>

namespace pattorn {

FileBuffer NewFileBuffer(std::size_t size)
{
    constexpr std::size_t kLine = 64;
    void* room = std::aligned_alloc(kLine, (size / kLine + 1) * kLine);
    if (!room)
        throw std::bad_alloc();
    return FileBuffer(static_cast<char*>(room), std::free);
}

ssize_t ReadFully(int fd, char* buffer, std::size_t size)
{
    std::size_t done = 0;
    while (done < size) {
        const ssize_t got = read(fd, buffer + done, size - done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return -1;
        if (got == 0)
            break;
        done += std::size_t(got);
    }
    return ssize_t(done);
}

} // namespace pattorn
