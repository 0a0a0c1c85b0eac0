#pragma once

#include <cstdint>
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
    void Clear();
    void Insert(int option);

    bool Contains(int option) const { return m_options.count(option) != 0; }
    const std::set<int>& Values() const { return m_options; }
    // Bit n set when option n (0 to 31) is in the set: read before every
    // match, where walking the set would cost more than the match.
    std::uint32_t Mask() const { return m_mask; }
    bool operator==(const MatchOptionSet& other) const { return m_options == other.m_options; }
    bool operator!=(const MatchOptionSet& other) const { return !(*this == other); }

private:
    bool anyPositionOption() const;
    void updateMask();

    std::set<int> m_options;
    std::uint32_t m_mask = 0;
};

} // namespace tramex
