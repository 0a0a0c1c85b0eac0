#pragma once

#include "ExpressionOptionSet.h"
#include "LocaleDll.h"
#include "MatchOptionSet.h"
#include "RegexEnums.h"
#include "ReportSink.h"

#include <boost/regex.hpp>

#include <cstdint>
#include <locale>
#include <memory>
#include <string>
#include <vector>

namespace tramex {

// Everything one regular-expression job holds, and the work done on it,
// shared by the component's QString and std::string interfaces. Texts are
// single-byte strings (the interfaces decide the code page); offsets in
// results are byte offsets into them.
//
// Nothing here throws to the caller: compile errors become error codes, and
// an engine failure while matching (too complex, out of stack or memory)
// counts as no match.
class RegularExpressionData : public RegexEnums
{
public:
    // The settings that persist, in no particular order; StoredFields gives
    // the order of a stored layout.
    enum class Field {
        ExpressionOptions,
        MatchOptions,
        DirectoryRecursion,
        MergeCopy,
        MergeOnlyFirst,
        SplitInputDelete,
        ContinueFiles,
        MaximumSplits,
        FormatType,
        LocaleModel,
        Expression,
        StringToMatch,
        FilesToMatch,
        FormatString,
        SaveExtension,
        LocaleDll
    };

    RegularExpressionData();
    // A copy takes the settings as operator= does, with the global locale,
    // nothing compiled and nothing parsed.
    RegularExpressionData(const RegularExpressionData& other);
    // Copies the settings, the callbacks' owners copy theirs; the locale,
    // compiled expressions, results and error lists stay; every model
    // becomes unparsed.
    RegularExpressionData& operator=(const RegularExpressionData& other);
    ~RegularExpressionData();

    // Equal settings: both option sets, the texts but the locale DLL's
    // catalogue texts, the flags, maximum splits, format type, locale model
    // and locale DLL. The locale, parse states and results do not count.
    bool SameSettings(const RegularExpressionData& other) const;

    // A text the interface could not represent in full ("representable"
    // false) is kept, but refuses to compile with code 2.
    void SetExpression(const std::string& text, bool representable = true);
    const std::string& GetExpression() const { return m_expression; }
    bool IsExpressionRepresentable() const { return m_expressionRepresentable; }
    void SetStringToMatch(std::string text) { m_stringToMatch = std::make_shared<const std::string>(std::move(text)); }
    const std::string& GetStringToMatch() const { return *m_stringToMatch; }
    // The string to match itself, not a copy: a run holds it while a
    // handler may set another one.
    std::shared_ptr<const std::string> ShareStringToMatch() const { return m_stringToMatch; }
    void SetFilesToMatch(const std::string& text) { m_filesToMatch = text; }
    const std::string& GetFilesToMatch() const { return m_filesToMatch; }
    void SetFormatString(const std::string& text) { m_formatString = text; }
    const std::string& GetFormatString() const { return m_formatString; }
    void SetSaveExtension(const std::string& text) { m_saveExtension = text; }
    const std::string& GetSaveExtension() const { return m_saveExtension; }
    void SetLocaleDll(const std::string& name);
    const std::string& GetLocaleDll() const { return m_localeDll; }

    void SetLocale(const std::locale& locale);
    std::locale GetLocale() const { return m_locale; }

    // Any value is kept; types other than 1 and 2 format as type 0.
    void SetFormatType(int type) { m_formatType = type; }
    int GetFormatType() const { return m_formatType; }
    // Ignored while an operation runs, and for values outside 0 to 2.
    void SetLocaleModel(int model);
    int GetLocaleModel() const { return m_localeModel; }

    void SetDirectoryRecursion(bool on) { m_directoryRecursion = on; }
    bool GetDirectoryRecursion() const { return m_directoryRecursion; }
    void SetMergeCopy(bool on) { m_mergeCopy = on; }
    bool GetMergeCopy() const { return m_mergeCopy; }
    void SetMergeOnlyFirst(bool on) { m_mergeOnlyFirst = on; }
    bool GetMergeOnlyFirst() const { return m_mergeOnlyFirst; }
    void SetContinueFiles(bool on) { m_continueFiles = on; }
    bool GetContinueFiles() const { return m_continueFiles; }
    void SetSplitInputDelete(bool on) { m_splitInputDelete = on; }
    bool GetSplitInputDelete() const { return m_splitInputDelete; }
    // 0 means no limit; the stored form holds 32 bits, so larger values are
    // kept as the largest 32-bit value.
    void SetMaximumSplits(unsigned long long count);
    std::uint32_t GetMaximumSplits() const { return m_maximumSplits; }

    void AddExpressionOption(int option);
    void DeleteExpressionOption(int option);
    bool IsExpressionOption(int option) const { return m_expressionOptions.Contains(option); }
    void ClearExpressionOptions();
    const ExpressionOptionSet& GetExpressionOptions() const { return m_expressionOptions; }
    void AddMatchOption(int option) { m_matchOptions.Add(option); }
    void DeleteMatchOption(int option) { m_matchOptions.Delete(option); }
    bool IsMatchOption(int option) const { return m_matchOptions.Contains(option); }
    void ClearMatchOptions() { m_matchOptions.Clear(); }
    const MatchOptionSet& GetMatchOptions() const { return m_matchOptions; }

    // Compiles for the current locale model unless that model is parsed;
    // returns the component's error code.
    int ParseExpression()
    {
        // Every match asks first; only the first compiles.
        const ParseState& state = m_parse[m_localeModel];
        return state.parsed ? state.code : parse();
    }
    // The text of the current model's compile failure; the empty-expression
    // text for an empty, unparsed expression; else empty.
    std::string GetExpressionError() const;
    // Parses first when the current model is not parsed.
    unsigned NumberOfSubexpressions();
    unsigned NumberOfSubexpressions() const;
    bool IsParsed(int model) const;
    // The component's code for an engine error number.
    static int ComponentCode(int engineCode);

    // A match that starts at the subject's start / anywhere / covers it all.
    // A subject longer than the largest int cannot carry its offsets and
    // never matches.
    bool Match(ReportSink& sink);
    bool Search(ReportSink& sink);
    bool MatchAll(ReportSink& sink);
    bool IsBusy() const { return m_busy; }
    // For operations run from outside the record (the file operations);
    // returns the earlier state.
    bool SetBusy(bool busy);

    // Reports every match in the string to match; the number of matches
    // reported (the one a receiver stopped at included). 0 when the
    // expression does not compile.
    unsigned Grep(ReportSink& sink);

    // A stretch of a merge result copied unchanged from the string to match.
    struct CopiedRange
    {
        size_t resultOffset;
        size_t subjectOffset;
        size_t length;
    };
    // The string to match with its matches replaced by the formatted format
    // string (with merge copy off, the replacements alone); empty when the
    // expression does not compile. "copied", when given, receives where the
    // result holds text of the string to match.
    void Merge(ReportSink& sink, std::string& result, std::vector<CopiedRange>* copied = nullptr);

    // Cuts the string to match at the matches (or, with sub-expressions,
    // gives the sub-expressions' texts); each piece with its offset in the
    // string to match (-1 for a sub-expression that took no part). Returns
    // the number of pieces. "consumed", when given, receives how much of the
    // string to match the pieces used up; with split input delete the
    // string to match keeps only the rest.
    unsigned Split(std::vector<MatchPart>& pieces, size_t* consumed = nullptr);

    // The match being reported (by any operation), filled into the format
    // string; empty outside a report.
    std::string Format() const;

    // What the locale DLL gave (defaults when it gave nothing).
    char GetSpaceClassLetter() const { return m_catalogueTexts.spaceClassLetter; }
    std::string GetEmptyExpressionText() const;
    std::string GetLocaleDllFailureText() const;

    // Persistence: the fields of a stored layout (schema or version 1 or 2;
    // empty for any other), read and written straight, without the rules
    // of the setters. LoadLocaleModel refuses values outside 0 to 2.
    static const std::vector<Field>& StoredFields(int schema);
    bool GetFlag(Field field) const;
    const std::string& GetText(Field field) const;
    void LoadClearExpressionOptions() { ClearExpressionOptions(); }
    void LoadExpressionOption(int option) { m_expressionOptions.Insert(option); }
    void LoadClearMatchOptions() { m_matchOptions.Clear(); }
    void LoadMatchOption(int option) { m_matchOptions.Insert(option); }
    void LoadFlag(Field field, bool on);
    void LoadMaximumSplits(std::uint32_t count) { m_maximumSplits = count; }
    void LoadFormatType(int type) { m_formatType = type; }
    bool LoadLocaleModel(int model);
    void LoadText(Field field, const std::string& text, bool representable = true);

private:
    using StandardRegex = boost::basic_regex<char, boost::cpp_regex_traits<char>>;
    using RuntimeRegex = boost::basic_regex<char, boost::c_regex_traits<char>>;
    using Results = boost::match_results<std::string::const_iterator>;

    struct ParseState
    {
        bool parsed = false;
        int code = 0;
        std::string text;
    };
    // What a model's expression was last imbued with.
    struct AppliedCatalogue
    {
        bool done = false;
        std::string setting;
        std::string found;
    };
    // Fills a format string from a match with the traits of the expression
    // that found it.
    class Formatter
    {
    public:
        virtual ~Formatter() = default;
        virtual std::string Format(const Results& results, const std::string& format,
                                   boost::regex_constants::match_flag_type flags) const = 0;
    };
    template <class Regex>
    class FormatterOf;
    // The match a grep or merge is reporting.
    struct CurrentMatch
    {
        const Results* results = nullptr;
        const Formatter* formatter = nullptr;
    };
    // Marks the object busy and publishes the current match for a run, and
    // restores both afterwards (runs may nest through handlers).
    class RunScope;
    // A single match: the results point into the subject the run holds.
    struct LastMatch
    {
        std::shared_ptr<const std::string> subject;
        Results results;
    };
    enum class Operation { Match, Search, MatchAll };

    int parse();
    void clearParsedFlags();
    void copySettings(const RegularExpressionData& other);
    void compileRuntime(boost::regex_constants::syntax_option_type flags, ParseState& state);
    void compileWithCatalogue(int model, boost::regex_constants::syntax_option_type flags, ParseState& state);
    std::string loadLocaleDll();
    unsigned markCount(int model) const;
    bool runSingle(Operation operation, ReportSink& sink);
    bool runEngine(const std::string& subject, Results& results, boost::regex_constants::match_flag_type flags,
                   bool whole) const;
    static MatchVector buildVector(const std::string& subject, const Results& results);
    // Calls "work" with a copy of the current model's compiled expression, so
    // a handler that recompiles the object cannot pull it from under a run.
    template <class Work>
    auto withExpression(Work&& work) const;
    std::unique_ptr<Formatter> currentFormatter() const;
    std::string defaultSplitExpression();
    // The member behind a field, const or not as the record is.
    template <class Self>
    static auto textOf(Self& self, Field field) -> decltype(&self.m_expression);
    template <class Self>
    static auto flagOf(Self& self, Field field) -> decltype(&self.m_mergeCopy);

    LocaleDll::Texts m_catalogueTexts;

    ExpressionOptionSet m_expressionOptions;
    MatchOptionSet m_matchOptions;
    int m_formatType = format_all;
    int m_localeModel = standard_locale;
    std::locale m_locale;
    std::string m_expression;
    bool m_expressionRepresentable = true;
    // Never changed in place, only replaced: runs share it instead of
    // copying a subject that may be megabytes long.
    std::shared_ptr<const std::string> m_stringToMatch = std::make_shared<const std::string>();
    std::string m_filesToMatch;
    std::string m_formatString;
    std::string m_saveExtension;
    std::string m_localeDll;
    bool m_localeChanged = false;
    bool m_directoryRecursion = false;
    bool m_mergeCopy = false;
    bool m_mergeOnlyFirst = false;
    bool m_continueFiles = true;
    std::uint32_t m_maximumSplits = 0;
    bool m_splitInputDelete = false;

    ParseState m_parse[3];
    AppliedCatalogue m_applied[2];
    StandardRegex m_standardExpression;
    StandardRegex m_nativeExpression;
    RuntimeRegex m_runtimeExpression;
    // The match being reported, while its report is handled.
    const CurrentMatch* m_currentMatch = nullptr;
    bool m_busy = false;
};

} // namespace tramex
