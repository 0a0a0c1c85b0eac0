#include "MatchOptionSet.h"

namespace tramex {

MatchOptionSet::MatchOptionSet()
    : m_options{0}
{
    updateMask();
}

void MatchOptionSet::updateMask()
{
    m_mask = 0;
    for (const int option : m_options)
        if (option >= 0 && option < 32)
            m_mask |= std::uint32_t(1) << option;
}

void MatchOptionSet::Clear()
{
    m_options.clear();
    m_mask = 0;
}

void MatchOptionSet::Insert(int option)
{
    m_options.insert(option);
    updateMask();
}

bool MatchOptionSet::anyPositionOption() const
{
    for (int m = 1; m <= 8; ++m)
        if (Contains(m))
            return true;
    return false;
}

bool MatchOptionSet::Add(int option)
{
    if (Contains(option))
        return false;
    m_options.insert(option);
    if (option == 0) {
        for (int m = 1; m <= 8; ++m)
            m_options.erase(m);
    } else if (Contains(0) && anyPositionOption()) {
        m_options.erase(0);
    }
    updateMask();
    return true;
}

bool MatchOptionSet::Delete(int option)
{
    if (!Contains(option))
        return false;
    m_options.erase(option);
    if (option != 0 && !Contains(0) && !anyPositionOption())
        m_options.insert(0);
    updateMask();
    return true;
}

} // namespace tramex
