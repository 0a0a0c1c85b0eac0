#include "ReadFully.h"

#include <unistd.h>

#include <cerrno>

namespace pattorn {

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
