#include "TraitsLock.h"

namespace pattorn {

std::mutex& TraitsLock()
{
    static std::mutex lock;
    return lock;
}

} // namespace pattorn
