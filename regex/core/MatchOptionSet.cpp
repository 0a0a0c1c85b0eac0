#include "MatchOptionSet.h"

namespace tramex {

MatchOptionSet::MatchOptionSet()
    : m_options{0}
{
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
    return true;
}

bool MatchOptionSet::Delete(int option)
{
    if (!Contains(option))
        return false;
    m_options.erase(option);
    if (option != 0 && !Contains(0) && !anyPositionOption())
        m_options.insert(0);
    return true;
}

} // namespace tramex
