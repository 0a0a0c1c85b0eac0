#pragma once

#include "ByteRuns.h"
#include "PattornExport.h"

#include <boost/regex.hpp>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace re2 {
class RE2;
}

namespace pattorn {

// Finds, with a linear-time engine, the lines of a text where an expression
// may match, so that the backtracking engine, whose results count, runs only
// there. Most of a searched tree holds no match, and the backtracking engine
// tries the whole expression at every byte of it.
//
// It is sound only where the line engine finds every line the backtracking
// engine would match in: it takes a small subset of the perl syntax whose
// meaning both engines share (literals, bracket lists of literals and
// ranges, groups, alternatives, counted and open repeats), drops the
// assertions it cannot state alike (line and word boundaries, which then
// only let it find more), and refuses everything else: back references,
// look-arounds, escapes for classes, negated lists, options inside the
// expression. It also refuses an expression that could match across a line
// end or match nothing at all, since then a match is not confined to the
// line it starts in.
//
// Before the line engine it skips (see ByteRuns) the text that holds no
// run of bytes a match could consist of as long as the shortest match: a
// match of a number or a word then costs the line engine one call on its
// line, not a scan of the text before it.
class PATTORN_EXPORT LinePrefilter
{
public:
    // Null when the expression lies outside that subset. "icase" folds
    // case; it is taken only where the character type cannot fold a byte
    // outside ASCII onto a letter of the expression ("asciiFolding").
    static std::unique_ptr<LinePrefilter> Create(const std::string& expression, bool icase, bool asciiFolding);
    ~LinePrefilter();

    // Whether it may stand in for a search with these match flags: the
    // plain search, or one whose dot does not match a line end.
    bool Covers(boost::regex_constants::match_flag_type flags) const;

    // What one search has seen: while most runs are matches, asking the
    // line engine about each one's line would only add a call; it is asked
    // once more than one run in four held none.
    class Tally
    {
    public:
        // The last line given held no match after all.
        void Missed() { ++m_missed; }

    private:
        friend class LinePrefilter;
        bool askLineEngine() const { return 4 * m_missed > m_candidates; }
        std::size_t m_candidates = 0;
        std::size_t m_missed = 0;
    };

    // Where in [from, last) the first match may start (no match starts
    // before it), and the end of its line (after its line feed, or "last");
    // false when no match may start there at all. Adds the line feeds in
    // [from, start) to "lineFeeds". A search keeps one tally for all its
    // calls and tells it when the line held no match.
    bool Next(const char* from, const char* last, const char*& start, const char*& lineEnd, Tally& tally,
              std::size_t& lineFeeds) const;

    // The expression as the line engine reads it; empty when refused.
    static std::string Translate(const std::string& expression, bool& hasDot);

private:
    LinePrefilter(std::unique_ptr<re2::RE2> engine, bool hasDot, const ByteRuns::ByteSet& bytes,
                  std::size_t shortest);
    // This thread's copy of the engine.
    const re2::RE2& engine() const;
    bool matchFrom(const char* from, const char* last, const char*& start) const;

    // Threads that search side by side each take a copy: one engine's
    // state cache is shared under a lock that every search takes, and
    // with a search per match they queue on it.
    std::unique_ptr<re2::RE2> m_engine;
    const std::uint64_t m_id;
    // A dot matches a line end unless the search says otherwise.
    bool m_hasDot;
    // Runs of match bytes as long as the shortest match.
    ByteRuns m_runs;
    // Off where most bytes may be in a match: the runs would then be most
    // lines, each costing a call of the line engine.
    bool m_skipRuns;
};

} // namespace pattorn
