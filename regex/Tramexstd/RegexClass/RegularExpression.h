#pragma once

#include "EventSet.h"
#include "FileProblems.h"
#include "RegexEnums.h"
#include "ReportSink.h"
#include "TramexstdExport.h"

#include <iosfwd>
#include <locale>
#include <memory>
#include <string>
#include <vector>

namespace tramex {
class RegularExpressionData;
}

namespace RegexClass {

// One element of a match vector: the matched text and its offset (in bytes)
// in the string to match; -1 when that part took no part in the match.
using REMatch = tramex::MatchPart;

class RegularExpression;

// The settings as text (version 2); reads versions 1 and 2. The stream's
// number formatting (base, boolalpha, width, locale) is set aside while
// reading and writing. A failed read stops at once and leaves the fields
// read so far with their new values.
TRAMEXSTD_EXPORT std::ostream& operator<<(std::ostream& out, const RegularExpression& re);
TRAMEXSTD_EXPORT std::istream& operator>>(std::istream& in, RegularExpression& re);

// The regular-expression component with a standard-string interface: one
// job's expression and options, subject, match options, format settings,
// locale model and file settings, the operations that run on them, and
// their results handed to a callback or, when none is set, to an event.
// It behaves as the QString interface does, with texts as bytes taken as
// they are.
//
// No operation throws: compile errors are error codes, and an engine that
// gives up while matching counts as no match. An exception thrown by a
// handler or callback reaches the caller unchanged.
class TRAMEXSTD_EXPORT RegularExpression : public tramex::RegexEnums,
                                           public tramex::EventSet<RegularExpression, std::string, REMatch>
{
public:
    using FileSearchProblem = tramex::FileSearchProblem;
    using FileChangeProblem = tramex::FileChangeProblem;

    RegularExpression();
    // A copy has the source's settings and callbacks, the global locale,
    // nothing compiled and no event handlers.
    RegularExpression(const RegularExpression& other);
    virtual ~RegularExpression();
    // Copies settings and callbacks; keeps this object's locale, event
    // handlers and results; every locale model becomes unparsed.
    RegularExpression& operator=(const RegularExpression& other);
    // Equal settings; the locale, callbacks, parse states and results do
    // not count.
    bool operator==(const RegularExpression& other) const;
    bool operator!=(const RegularExpression& other) const { return !(*this == other); }

    void SetExpression(const std::string& expression);
    std::string GetExpression() const;
    void SetStringToMatch(const std::string& text);
    std::string GetStringToMatch() const;
    void SetFormatString(const std::string& format);
    std::string GetFormatString() const;
    void SetFilesToMatch(const std::string& pattern);
    std::string GetFilesToMatch() const;
    void SetSaveExtension(const std::string& extension);
    std::string GetSaveExtension() const;
    void SetLocaleDll(const std::string& name);
    std::string GetLocaleDll() const;
    void SetLocale(const std::locale& locale);
    std::locale GetLocale() const;
    void SetFormatType(FormatTypes type);
    FormatTypes GetFormatType() const;
    // Ignored while an operation runs and for values outside the enumeration.
    void SetLocaleModel(LocaleModels model);
    LocaleModels GetLocaleModel() const;
    void SetDirectoryRecursion(bool on);
    bool GetDirectoryRecursion() const;
    void SetMergeCopy(bool on);
    bool GetMergeCopy() const;
    void SetMergeOnlyFirst(bool on);
    bool GetMergeOnlyFirst() const;
    void SetContinueFiles(bool on);
    bool GetContinueFiles() const;
    void SetSplitInputDelete(bool on);
    bool GetSplitInputDelete() const;
    void SetMaximumSplits(unsigned long count);
    unsigned long GetMaximumSplits() const;

    void AddExpressionOption(Options option);
    void DeleteExpressionOption(Options option);
    bool IsExpressionOption(Options option) const;
    void ClearExpressionOptions();
    void AddMatchOption(Matches option);
    void DeleteMatchOption(Matches option);
    bool IsMatchOption(Matches option) const;
    void ClearMatchOptions();

    ExpressionErrorCode ParseExpression();
    std::string GetExpressionError() const;
    unsigned NumberOfSubexpressions();
    unsigned NumberOfSubexpressions() const;
    bool Match();
    bool Search();
    bool MatchAll();
    // Reports carry the text before and after their match: a handler costs
    // time in proportion to the text's length per match.
    unsigned Grep();
    // The output is emptied first.
    void Merge(std::string& result);
    unsigned Split(std::vector<std::string>& pieces);
    void Format(std::string& result) const;

    unsigned FindFiles();
    unsigned GrepFiles();
    unsigned ChangeFiles();

    void SetOnFindFiles(FindingFilesCallback callback) { m_callbacks.findingFiles = callback; }
    FindingFilesCallback GetOnFindFiles() const { return m_callbacks.findingFiles; }

    // The problems of the last file operation; null when there were none.
    // The lists belong to the object.
    const std::vector<FileSearchProblem>* GetFindFilesErrors() const;
    const std::vector<FileSearchProblem>* GetGrepFilesErrors() const;
    const std::vector<FileChangeProblem>* GetChangeFilesErrors() const;

private:
    friend TRAMEXSTD_EXPORT std::ostream& operator<<(std::ostream& out, const RegularExpression& re);
    friend TRAMEXSTD_EXPORT std::istream& operator>>(std::istream& in, RegularExpression& re);

    // The core's results are already this interface's types.
    struct Converter
    {
        static const tramex::MatchVector& SubjectParts(const tramex::MatchVector& parts) { return parts; }
        static const tramex::MatchVector& FileParts(const tramex::MatchVector& parts) { return parts; }
        static const std::string& FileName(const std::string& name) { return name; }
    };

    std::unique_ptr<tramex::RegularExpressionData> m_data;
    std::vector<FileSearchProblem> m_findErrors;
    std::vector<FileSearchProblem> m_grepErrors;
    std::vector<FileChangeProblem> m_changeErrors;
};

} // namespace RegexClass
