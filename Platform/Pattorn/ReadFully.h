#pragma once

#include "PattornExport.h"

#include <sys/types.h>

#include <cstddef>
#include <cstdlib>
#include <memory>

namespace pattorn {

// Room for a file's bytes, on a cache line's bound: the kernel copies a
// read to a destination off that bound markedly slower (over many small
// files a tenth more time in reading).
using FileBuffer = std::unique_ptr<char[], void (*)(void*)>;
PATTORN_EXPORT FileBuffer NewFileBuffer(std::size_t size);

// Reads up to "size" bytes, going on after a signal and a short read; fewer
// only at the end of the file (a file that shrank). -1 with errno on a
// failed read.
PATTORN_EXPORT ssize_t ReadFully(int fd, char* buffer, std::size_t size);

} // namespace pattorn
