#pragma once

#include <string>
#include <vector>

namespace tramex {

// One element of a match vector: the text of a part of the match and its
// offset in the subject; -1 when that part took no part in the match.
struct MatchPart
{
    std::string text;
    int position = -1;

    bool operator==(const MatchPart& other) const { return text == other.text && position == other.position; }
};

// Whole match, sub-expressions 1 to n, prefix, suffix (file operations:
// whole match and sub-expressions only).
using MatchVector = std::vector<MatchPart>;

// The seven kinds of report, one per callback and event.
enum class ReportKind { Matching, Searching, Grepping, Merging, GreppingFiles, ChangingFiles, FindingFiles };

// Where the shared core hands its results to the interface the caller
// uses; the interface converts them and calls the callback or raises the
// event. A receiver that sets "proceed" to false stops the work: a grep at
// once, a merge at this match (left unreplaced), a file operation on the
// current file.
class ReportSink
{
public:
    virtual ~ReportSink() = default;
    // False when neither a callback nor an event handler would receive the
    // report, so the core need not build it.
    virtual bool WantsReport(ReportKind kind) const = 0;
    // Matching and Searching.
    virtual void ReportMatch(ReportKind kind, const MatchVector& parts, unsigned line, unsigned lineStart) = 0;
    // Grepping and Merging.
    virtual void ReportGrep(ReportKind kind, const MatchVector& parts, unsigned line, unsigned lineStart,
                            bool& proceed) = 0;
    // GreppingFiles and ChangingFiles.
    virtual void ReportFileMatch(ReportKind kind, const std::string& fileName, const MatchVector& parts,
                                 unsigned line, bool& proceed) = 0;
    // FindingFiles.
    virtual void ReportFile(const std::string& fileName, bool& proceed) = 0;
};

} // namespace tramex
