#pragma once

#include "PattornExport.h"

#include <boost/regex.hpp>

#include <string>

namespace pattorn {

// Formats a match with the traits of the expression that found it.
class MatchFormatter
{
public:
    using Results = boost::match_results<const char*>;

    virtual ~MatchFormatter() = default;
    virtual std::string Format(const Results& results, const std::string& format) const = 0;
    // The match at "start" found again, up to the file's end "last", with
    // the search's flags told to match at "start" only.
    virtual Results Refind(const char* start, const char* last,
                           boost::regex_constants::match_flag_type flags) const = 0;
};

// One match in a file, as a grep callback sees it: valid only during the
// call. Positions are byte offsets from the start of the file.
class PATTORN_EXPORT FileMatch
{
public:
    using Results = boost::match_results<const char*>;

    // A match as the engine gives it.
    FileMatch(const Results& results, const char* fileStart, unsigned line, const MatchFormatter& formatter)
        : m_results(&results), m_fileStart(fileStart), m_line(line), m_formatter(formatter)
    {
    }
    // A match kept to be reported later, as offsets: for each of "marks"
    // marks its start and end, -1 for a mark that took no part. [fileStart,
    // fileEnd) is the file and "flags" the search's, for Format.
    FileMatch(const int* spans, unsigned marks, const char* fileStart, const char* fileEnd, unsigned line,
              boost::regex_constants::match_flag_type flags, const MatchFormatter& formatter)
        : m_spans(spans), m_marks(marks), m_fileStart(fileStart), m_fileEnd(fileEnd), m_flags(flags), m_line(line),
          m_formatter(formatter)
    {
    }

    // The whole match and the sub-expressions.
    unsigned Marks() const { return m_results ? unsigned(m_results->size()) : m_marks; }
    // The text of mark i; empty when it took no part or does not exist.
    std::string operator[](int i) const;
    // The offset of mark i; -1 when it took no part or does not exist.
    int Position(int i) const
    {
        const char* first = nullptr;
        const char* second = nullptr;
        return bounds(i, first, second) ? int(first - m_fileStart) : -1;
    }
    // Both at once, into a text the caller keeps (so its room is reused).
    // Inline, as the other accessors: a search reports every match.
    void Part(int i, std::string& text, int& position) const
    {
        const char* first = nullptr;
        const char* second = nullptr;
        if (!bounds(i, first, second)) {
            text.clear();
            position = -1;
            return;
        }
        // The engine's own str() appends character by character.
        text.assign(first, second);
        position = int(first - m_fileStart);
    }
    // The line of the match's start, counted from 1.
    unsigned Line() const { return m_line; }
    // The format string filled from this match, in the engine's full syntax
    // (sed and perl references and conditionals). A kept match is found
    // again for it, so its prefix starts at the match.
    std::string Format(const std::string& format) const;

private:
    // Mark i's bounds; false when it took no part or does not exist.
    bool bounds(int i, const char*& first, const char*& second) const
    {
        if (i < 0 || unsigned(i) >= Marks())
            return false;
        if (m_results) {
            const auto& mark = (*m_results)[i];
            first = mark.first;
            second = mark.second;
            return mark.matched;
        }
        if (m_spans[2 * i] < 0)
            return false;
        first = m_fileStart + m_spans[2 * i];
        second = m_fileStart + m_spans[2 * i + 1];
        return true;
    }

    const Results* m_results = nullptr;
    const int* m_spans = nullptr;
    unsigned m_marks = 0;
    const char* m_fileStart;
    const char* m_fileEnd = nullptr;
    boost::regex_constants::match_flag_type m_flags = boost::regex_constants::match_default;
    unsigned m_line;
    const MatchFormatter& m_formatter;
};

} // namespace pattorn
