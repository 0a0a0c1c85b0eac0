#pragma once

#include <set>

namespace tramex {

// The match options of a run. Option 0 (default) and the position options
// 1 to 8 exclude each other: the set holds 0 exactly when none of 1 to 8 is
// in it, as long as it is changed only through Add and Delete.
class MatchOptionSet
{
public:
    MatchOptionSet();

    bool Add(int option);
    bool Delete(int option);
    void Clear() { m_options.clear(); }
    void Insert(int option) { m_options.insert(option); }

    bool Contains(int option) const { return m_options.count(option) != 0; }
    const std::set<int>& Values() const { return m_options; }
    bool operator==(const MatchOptionSet& other) const { return m_options == other.m_options; }
    bool operator!=(const MatchOptionSet& other) const { return !(*this == other); }

private:
    bool anyPositionOption() const;

    std::set<int> m_options;
};

} // namespace tramex
