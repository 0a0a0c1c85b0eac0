#pragma once

#include <boost/regex.hpp>

namespace tramex {

class ExpressionOptionSet;
class MatchOptionSet;

// Turns the component's option numbers into the engine's flags, by name.
// The component's numbers stem from an older engine whose flag values mean
// something else today (its "normal" family value is now an invalid
// combination, its "basic" value now reads as "literal"), so no number is
// ever passed through.
class EngineFlags
{
public:
    // Compile flags. The first family present decides the syntax (13 to 21
    // in that order); without one, "backslash braces" or "backslash
    // parentheses" choose the basic syntax, else the perl syntax. The single
    // switches then set what they stand for, so a stored set of any shape
    // compiles: switches the engine no longer has (limited operators) and
    // unknown numbers are ignored. "literal" takes the place of the syntax.
    static boost::regex_constants::syntax_option_type Compile(const ExpressionOptionSet& options);

    // Match flags of options 1 to 11; "partial" (12) only where allowed.
    static boost::regex_constants::match_flag_type Match(const MatchOptionSet& options, bool allowPartial);

    // Format flags of a format type; types other than 1 and 2 format as 0.
    static boost::regex_constants::match_flag_type Format(int formatType);
};

} // namespace tramex
