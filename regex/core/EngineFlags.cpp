#include "EngineFlags.h"

#include "ExpressionOptionSet.h"
#include "MatchOptionSet.h"
#include "RegexEnums.h"

namespace tramex {

namespace {

using E = RegexEnums;
namespace rc = boost::regex_constants;
using rb = boost::regbase;

rc::syntax_option_type familySyntax(const ExpressionOptionSet& options, bool& found)
{
    found = true;
    for (int family = E::basic; family <= E::perl; ++family) {
        if (!options.Contains(family))
            continue;
        switch (family) {
        case E::basic:
        case E::sed: return rb::basic;
        case E::extended: return rb::extended;
        case E::normal:
        case E::perl: return rb::perl;
        case E::emacs: return rb::emacs;
        case E::awk: return rb::awk;
        case E::grep: return rb::grep;
        default: return rb::egrep;
        }
    }
    found = false;
    if (options.Contains(E::bk_braces) || options.Contains(E::bk_parens))
        return rb::basic;
    return rb::perl;
}

} // namespace

rc::syntax_option_type EngineFlags::Compile(const ExpressionOptionSet& options)
{
    const bool ignoreCase = options.Contains(E::icase);
    if (options.Contains(E::literal))
        return ignoreCase ? (rb::literal | rb::icase) : rb::literal;

    bool fromFamily = false;
    rc::syntax_option_type flags = familySyntax(options, fromFamily);

    // The options decide every switch they name, also where the engine's own
    // family differs (older families allowed back references in extended
    // syntax, for example).
    flags &= ~(rb::no_escape_in_lists | rb::newline_alt | rb::collate | rb::icase);
    if (!options.Contains(E::escape_in_lists))
        flags |= rb::no_escape_in_lists;
    if (options.Contains(E::newline_alt))
        flags |= rb::newline_alt;
    if (ignoreCase)
        flags |= rb::icase;
    if (!options.Contains(E::nocollate))
        flags |= rb::collate;

    // The two syntax groups give the same bits different meanings, so each
    // switch is set only in the group that has it.
    if (flags & rb::basic_syntax_group) {
        flags &= ~(rb::no_char_classes | rb::no_intervals | rb::bk_plus_qm | rb::bk_vbar);
        if (!options.Contains(E::char_classes))
            flags |= rb::no_char_classes;
        if (!options.Contains(E::intervals))
            flags |= rb::no_intervals;
        if (options.Contains(E::bk_plus_qm))
            flags |= rb::bk_plus_qm;
        if (options.Contains(E::bk_vbar))
            flags |= rb::bk_vbar;
    } else {
        flags &= ~rb::no_bk_refs;
        if (!options.Contains(E::bk_refs))
            flags |= rb::no_bk_refs;
    }
    return flags;
}

rc::match_flag_type EngineFlags::Match(const MatchOptionSet& options, bool allowPartial)
{
    // Walks the set's mask, which holds one or two options, rather than
    // asking the set for each flag: this runs before every match.
    rc::match_flag_type flags = rc::match_default;
    // Option 0, the default, adds no flag.
    for (std::uint32_t mask = options.Mask() & ~std::uint32_t(1); mask != 0; mask &= mask - 1) {
        switch (__builtin_ctz(mask)) {
        case E::match_not_bol: flags |= rc::match_not_bol; break;
        case E::match_not_eol: flags |= rc::match_not_eol; break;
        case E::match_not_bob: flags |= rc::match_not_bob; break;
        case E::match_not_eob: flags |= rc::match_not_eob; break;
        case E::match_not_bow: flags |= rc::match_not_bow; break;
        case E::match_not_eow: flags |= rc::match_not_eow; break;
        case E::match_not_dot_newline: flags |= rc::match_not_dot_newline; break;
        case E::match_not_dot_null: flags |= rc::match_not_dot_null; break;
        case E::match_any: flags |= rc::match_any; break;
        case E::match_not_null: flags |= rc::match_not_null; break;
        case E::match_continuous: flags |= rc::match_continuous; break;
        case E::match_partial:
            if (allowPartial)
                flags |= rc::match_partial;
            break;
        default: break;
        }
    }
    return flags;
}

rc::match_flag_type EngineFlags::Format(int formatType)
{
    switch (formatType) {
    case E::format_sed: return rc::format_sed;
    case E::format_perl: return rc::format_perl;
    default: return rc::format_all;
    }
}

} // namespace tramex
