#pragma once

#include "PattornExport.h"

#include <mutex>

namespace pattorn {

// The engine's standard traits keep one message-catalogue name for the whole
// process and read it whenever they build the data of a locale they have not
// seen. Whoever sets that name, or compiles with the standard traits, holds
// this lock, so no expression is ever built with another caller's catalogue.
// One lock for the process, whichever library asks for it.
PATTORN_EXPORT std::mutex& TraitsLock();

} // namespace pattorn
