#pragma once

#include "PattornExport.h"

#include <boost/regex.hpp>

#include <string>

namespace pattorn {

// Formats a match with the traits of the expression that found it.
class MatchFormatter
{
public:
    virtual ~MatchFormatter() = default;
    virtual std::string Format(const boost::match_results<const char*>& results, const std::string& format) const = 0;
};

// One match in a file, as a grep callback sees it: valid only during the
// call. Positions are byte offsets from the start of the file.
class PATTORN_EXPORT FileMatch
{
public:
    using Results = boost::match_results<const char*>;

    FileMatch(const Results& results, const char* fileStart, unsigned line, const MatchFormatter& formatter)
        : m_results(results), m_fileStart(fileStart), m_line(line), m_formatter(formatter)
    {
    }

    // The whole match and the sub-expressions.
    unsigned Marks() const;
    // The text of mark i; empty when it took no part or does not exist.
    std::string operator[](int i) const;
    // The offset of mark i; -1 when it took no part or does not exist.
    int Position(int i) const;
    // Both at once, into a text the caller keeps (so its room is reused).
    void Part(int i, std::string& text, int& position) const;
    // The line of the match's start, counted from 1.
    unsigned Line() const { return m_line; }
    // The format string filled from this match, in the engine's full syntax
    // (sed and perl references and conditionals).
    std::string Format(const std::string& format) const;

private:
    const Results& m_results;
    const char* m_fileStart;
    unsigned m_line;
    const MatchFormatter& m_formatter;
};

} // namespace pattorn
