#include "FileOperations.h"

#include "EngineFlags.h"
#include "FileRewriter.h"
#include "RegularExpressionData.h"

#include "RegEx.h"

namespace tramex {

namespace {

using E = RegexEnums;

// Compiles the record's expression for the file layer; false when there is
// nothing to run.
bool prepare(RegularExpressionData& data, pattorn::RegEx& engine)
{
    if (data.GetExpression().empty() || data.GetFilesToMatch().empty() || !data.IsExpressionRepresentable())
        return false;
    engine.SetFilesContinue(data.GetContinueFiles());
    switch (data.GetLocaleModel()) {
    case E::win32_locale: engine.SetLocalizationModel(pattorn::RegEx::native_locale); break;
    case E::runtime_library_locale: engine.SetLocalizationModel(pattorn::RegEx::c_locale); break;
    default: break;
    }
    if (engine.SetExpression(data.GetExpression(), data.IsExpressionOption(E::icase)) != 0)
        return false;
    // Compiles the record's own expression too, for handlers that use it.
    data.ParseExpression();
    return true;
}

// Fills "parts" in place: a search reports a match at a time, and the
// same list, reused, spares an allocation per match.
const MatchVector& partsOf(const pattorn::FileMatch& match, MatchVector& parts)
{
    parts.resize(match.Marks());
    for (std::size_t i = 0; i < parts.size(); ++i)
        match.Part(int(i), parts[i].text, parts[i].position);
    return parts;
}

void copyProblems(const std::vector<pattorn::RegEx::FilesContinueInfo>* from, std::vector<FileSearchProblem>& to)
{
    if (from)
        for (const auto& problem : *from)
            to.push_back({problem.fileName, problem.kind, problem.code});
}

// Keeps the record busy while a change runs and its handlers are called.
class BusyScope
{
public:
    explicit BusyScope(RegularExpressionData& data) : m_data(data), m_before(data.SetBusy(true)) {}
    ~BusyScope() { m_data.SetBusy(m_before); }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    RegularExpressionData& m_data;
    bool m_before;
};

} // namespace

unsigned FileOperations::Find(RegularExpressionData& data, ReportSink& sink, std::vector<FileSearchProblem>& problems)
{
    problems.clear();
    pattorn::RegEx engine;
    if (!prepare(data, engine))
        return 0;
    const bool report = sink.WantsReport(ReportKind::FindingFiles);
    const unsigned count = engine.FindFiles(
        [&](const std::string& name) {
            bool proceed = true;
            if (report)
                sink.ReportFile(name, proceed);
            return proceed;
        },
        data.GetFilesToMatch(), data.GetDirectoryRecursion(), EngineFlags::Match(data.GetMatchOptions(), false));
    copyProblems(engine.FilesContinueErrorsFind(), problems);
    return count;
}

unsigned FileOperations::Grep(RegularExpressionData& data, ReportSink& sink, std::vector<FileSearchProblem>& problems)
{
    problems.clear();
    pattorn::RegEx engine;
    if (!prepare(data, engine))
        return 0;
    const bool report = sink.WantsReport(ReportKind::GreppingFiles);
    MatchVector parts;
    const unsigned count = engine.GrepFiles(
        [&](const std::string& name, const pattorn::FileMatch& match) {
            bool proceed = true;
            if (report)
                sink.ReportFileMatch(ReportKind::GreppingFiles, name, partsOf(match, parts), match.Line(), proceed);
            return proceed;
        },
        data.GetFilesToMatch(), data.GetDirectoryRecursion(), EngineFlags::Match(data.GetMatchOptions(), false));
    copyProblems(engine.FilesContinueErrorsGrep(), problems);
    return count;
}

unsigned FileOperations::Change(RegularExpressionData& data, ReportSink& sink, std::vector<FileChangeProblem>& problems)
{
    problems.clear();
    pattorn::RegEx engine;
    if (!prepare(data, engine))
        return 0;
    // A file is read only after the one before it is rewritten, so no
    // change is made from content that an earlier rewrite replaced (a file
    // reached twice, through a link).
    engine.SetReadAhead(false);
    // A replacement may quote what comes before and after its match.
    engine.SetLineFilter(false);
    const bool continueFiles = data.GetContinueFiles();
    const std::string saveExtension = data.GetSaveExtension();
    const bool report = sink.WantsReport(ReportKind::ChangingFiles);

    // The file whose replacements are being collected; it is rewritten when
    // the matches of the next file begin, and after the run.
    std::string current;
    std::vector<FileRewriter::Replacement> pending;
    unsigned changed = 0;
    MatchVector parts;
    auto rewriteCurrent = [&] {
        if (!current.empty() && FileRewriter::Rewrite(current, pending, saveExtension, problems))
            changed += unsigned(pending.size());
        current.clear();
        pending.clear();
    };

    {
        BusyScope busy(data);
        engine.GrepFiles(
            [&](const std::string& name, const pattorn::FileMatch& match) {
                if (!continueFiles && !problems.empty())
                    return false;
                if (name != current) {
                    rewriteCurrent();
                    if (FileRewriter::HasExtension(name, saveExtension) || FileRewriter::IsReadOnly(name))
                        return false;
                }
                bool change = true;
                if (report)
                    sink.ReportFileMatch(ReportKind::ChangingFiles, name, partsOf(match, parts), match.Line(), change);
                if (!change)
                    return false;
                current = name;
                // Filled from the match as found in the whole file, so
                // look-arounds, anchors and empty matches mean what they
                // meant in the search.
                pending.push_back(
                    {std::uint64_t(match.Position(0)), match[0], match.Format(data.GetFormatString())});
                return true;
            },
            data.GetFilesToMatch(), data.GetDirectoryRecursion(), EngineFlags::Match(data.GetMatchOptions(), false));
    }
    if (continueFiles || problems.empty())
        rewriteCurrent();

    if (const auto* engineProblems = engine.FilesContinueErrorsGrep())
        for (const auto& problem : *engineProblems)
            problems.push_back({problem.fileName, FileChangeProblem::open_failed, 0, std::string(),
                                std::uint32_t(problem.code)});
    return changed;
}

} // namespace tramex
