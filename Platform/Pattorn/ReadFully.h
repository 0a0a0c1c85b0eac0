#pragma once

#include "PattornExport.h"

#include <sys/types.h>

#include <cstddef>

namespace pattorn {

// Reads up to "size" bytes, going on after a signal and a short read; fewer
// only at the end of the file (a file that shrank). -1 with errno on a
// failed read.
PATTORN_EXPORT ssize_t ReadFully(int fd, char* buffer, std::size_t size);

} // namespace pattorn
