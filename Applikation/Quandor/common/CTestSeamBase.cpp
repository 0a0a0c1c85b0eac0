#include "CTestSeamBase.h"

#include <algorithm>
#include <atomic>
#include <mutex>

namespace {

struct Seams
{
    std::mutex mutex;
    std::vector<CTestSeamBase*> all;
};

Seams& seams()
{
    static Seams registry;
    return registry;
}

} // namespace

CTestSeamBase::CTestSeamBase(const char* name)
    : m_name(name)
{
    Seams& registry = seams();
    std::lock_guard<std::mutex> lock(registry.mutex);
    registry.all.push_back(this);
}

CTestSeamBase::~CTestSeamBase()
{
    Seams& registry = seams();
    std::lock_guard<std::mutex> lock(registry.mutex);
    registry.all.erase(std::remove(registry.all.begin(), registry.all.end(), this), registry.all.end());
}

std::vector<CTestSeamBase*> CTestSeamBase::All()
{
    Seams& registry = seams();
    std::lock_guard<std::mutex> lock(registry.mutex);
    return registry.all;
}

unsigned long long CTestSeamBase::NextSerial()
{
    static std::atomic<unsigned long long> serial{0};
    return ++serial;
}
