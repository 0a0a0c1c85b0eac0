#include "ExpressionOptionSet.h"

#include "RegexEnums.h"

#include <vector>

namespace tramex {

namespace {

using E = RegexEnums;

int twinOf(int family)
{
    switch (family) {
    case E::basic: return E::sed;
    case E::sed: return E::basic;
    case E::normal: return E::perl;
    case E::perl: return E::normal;
    default: return -1;
    }
}

// The order in which a newly added family looks for the one it replaces.
// A twin family stands for its pair.
const std::vector<int>& replacementOrder(int family)
{
    static const std::vector<int> forBasic{E::normal, E::extended, E::emacs, E::awk, E::grep, E::egrep};
    static const std::vector<int> forExtended{E::normal, E::basic, E::emacs, E::awk, E::grep, E::egrep};
    static const std::vector<int> forNormal{E::basic, E::extended, E::emacs, E::awk, E::grep, E::egrep};
    static const std::vector<int> forEmacs{E::basic, E::extended, E::normal, E::awk, E::grep, E::egrep};
    static const std::vector<int> forAwk{E::basic, E::extended, E::normal, E::emacs, E::grep, E::egrep};
    static const std::vector<int> forGrep{E::normal, E::extended, E::emacs, E::awk, E::basic, E::egrep};
    static const std::vector<int> forEgrep{E::normal, E::basic, E::emacs, E::awk, E::grep, E::extended};
    switch (family) {
    case E::basic:
    case E::sed: return forBasic;
    case E::extended: return forExtended;
    case E::normal:
    case E::perl: return forNormal;
    case E::emacs: return forEmacs;
    case E::awk: return forAwk;
    case E::grep: return forGrep;
    default: return forEgrep;
    }
}

bool containsAll(const std::set<int>& set, std::initializer_list<int> values)
{
    for (int v : values)
        if (!set.count(v))
            return false;
    return true;
}

} // namespace

ExpressionOptionSet::ExpressionOptionSet()
    : m_options{E::escape_in_lists, E::char_classes, E::intervals, E::bk_refs, E::nocollate, E::normal}
{
}

const std::set<int>& ExpressionOptionSet::SwitchesOf(int family)
{
    static const std::set<int> none;
    static const std::set<int> basicSwitches{1, 2, 3, 6, 7, 8};
    static const std::set<int> extendedSwitches{1, 2, 8};
    static const std::set<int> normalSwitches{0, 1, 2, 8, 12};
    static const std::set<int> emacsSwitches{6, 7, 8, 9};
    static const std::set<int> awkSwitches{0, 1, 2, 8};
    static const std::set<int> grepSwitches{1, 2, 3, 4, 6, 7, 8};
    static const std::set<int> egrepSwitches{1, 2, 4, 8};
    switch (family) {
    case E::basic:
    case E::sed: return basicSwitches;
    case E::extended: return extendedSwitches;
    case E::normal:
    case E::perl: return normalSwitches;
    case E::emacs: return emacsSwitches;
    case E::awk: return awkSwitches;
    case E::grep: return grepSwitches;
    case E::egrep: return egrepSwitches;
    default: return none;
    }
}

bool ExpressionOptionSet::presentAsPair(int family, const std::set<int>& before) const
{
    const int twin = twinOf(family);
    return before.count(family) || (twin >= 0 && before.count(twin));
}

void ExpressionOptionSet::removeFamiliesExcept(int keep, int keepTwin)
{
    for (int f = E::basic; f <= E::perl; ++f)
        if (f != keep && f != keepTwin)
            m_options.erase(f);
}

bool ExpressionOptionSet::Add(int option)
{
    if (Contains(option))
        return false;
    const std::set<int> before = m_options;
    m_options.insert(option);

    if (IsFamily(option)) {
        const std::set<int>& mine = SwitchesOf(option);
        m_options.insert(mine.begin(), mine.end());
        for (int earlier : replacementOrder(option)) {
            if (!presentAsPair(earlier, before))
                continue;
            m_options.erase(earlier);
            if (twinOf(earlier) >= 0)
                m_options.erase(twinOf(earlier));
            for (int s : SwitchesOf(earlier))
                if (!mine.count(s))
                    m_options.erase(s);
            break;
        }
        if (twinOf(option) >= 0)
            m_options.erase(twinOf(option));
    } else {
        markFamilyAfterSwitch();
    }
    return true;
}

void ExpressionOptionSet::markFamilyAfterSwitch()
{
    if (containsAll(m_options, {1, 2, 8})) {
        if (containsAll(m_options, {0, 12})) {
            if (!Contains(E::perl))
                m_options.insert(E::normal);
            removeFamiliesExcept(E::normal, E::perl);
        } else if (containsAll(m_options, {3, 6, 7})) {
            if (!Contains(E::newline_alt)) {
                if (!Contains(E::sed))
                    m_options.insert(E::basic);
                removeFamiliesExcept(E::basic, E::sed);
            } else {
                m_options.insert(E::grep);
                removeFamiliesExcept(E::grep);
            }
        } else if (Contains(E::escape_in_lists)) {
            m_options.insert(E::awk);
            removeFamiliesExcept(E::awk);
        } else if (Contains(E::newline_alt)) {
            m_options.insert(E::egrep);
            removeFamiliesExcept(E::egrep);
        } else {
            m_options.insert(E::extended);
            removeFamiliesExcept(E::extended);
        }
    } else if (containsAll(m_options, {6, 7, 8, 9})) {
        m_options.insert(E::emacs);
        removeFamiliesExcept(E::emacs);
    }
}

bool ExpressionOptionSet::Delete(int option)
{
    if (!Contains(option))
        return false;
    m_options.erase(option);

    if (IsFamily(option)) {
        if (twinOf(option) >= 0)
            m_options.erase(twinOf(option));
        for (int s : SwitchesOf(option))
            m_options.erase(s);
        return true;
    }

    static const int order[] = {E::extended, E::normal, E::basic, E::emacs, E::awk, E::grep, E::egrep};
    for (int family : order) {
        if (!presentAsPair(family, m_options))
            continue;
        for (int s : SwitchesOf(family)) {
            if (!Contains(s)) {
                m_options.erase(family);
                if (twinOf(family) >= 0)
                    m_options.erase(twinOf(family));
                break;
            }
        }
        break;
    }
    return true;
}

bool ExpressionOptionSet::Clear()
{
    const bool changed = !m_options.empty();
    m_options.clear();
    return changed;
}

} // namespace tramex
