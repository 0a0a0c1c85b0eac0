#pragma once

#include <set>

namespace tramex {

// The compile options of an expression: single switches (0 to 12) and
// syntax families (13 to 21) that stand for fixed groups of switches.
// Add and Delete keep families and switches consistent: a set changed only
// through them holds at most one family (twins aside) together with all of
// its switches. Insert puts a value in as it is, for loading stored sets.
class ExpressionOptionSet
{
public:
    // The defaults of a new object: the "normal" family and its switches.
    ExpressionOptionSet();

    // Each returns whether the set changed.
    bool Add(int option);
    bool Delete(int option);
    bool Clear();
    void Insert(int option) { m_options.insert(option); }

    bool Contains(int option) const { return m_options.count(option) != 0; }
    const std::set<int>& Values() const { return m_options; }
    bool operator==(const ExpressionOptionSet& other) const { return m_options == other.m_options; }
    bool operator!=(const ExpressionOptionSet& other) const { return !(*this == other); }

    // The single switches a family stands for; empty for a switch.
    static const std::set<int>& SwitchesOf(int family);
    static bool IsFamily(int option) { return option >= 13 && option <= 21; }

private:
    void markFamilyAfterSwitch();
    void removeFamiliesExcept(int keep, int keepTwin = -1);
    bool presentAsPair(int family, const std::set<int>& before) const;

    std::set<int> m_options;
};

} // namespace tramex
