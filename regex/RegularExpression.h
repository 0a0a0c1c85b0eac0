#pragma once

#include "CObject.h"
#include "EventList.h"
#include "REMatch.h"
#include "RegexEnums.h"
#include "TramexExport.h"

#include <QString>

#include <locale>
#include <memory>
#include <vector>

class MirroredText;

namespace tramex {
class RegularExpressionData;
}

// One regular-expression job: the expression and its options, the subject,
// the match options, the format settings, the locale model and every other
// setting the operations run on, with their results handed to a callback or,
// when none is set, to an event.
//
// Texts reach the engine as single bytes of code page 1252, so character
// offsets in results equal QString indices. A subject character the code
// page cannot hold matches only what any character matches ("." or a
// negated class); an expression holding such a character does not compile
// (code 2). Settings texts keep what the caller gave.
//
// No operation throws: compile errors are error codes, and an engine that
// gives up while matching (catastrophic backtracking, exhausted stack or
// memory) counts as no match.
class TRAMEX_EXPORT RegularExpression : public CObject, public tramex::RegexEnums
{
public:
    struct FileSearchProblem
    {
        QString fileName;
        int kind = 0;
        int code = 0;
    };
    struct FileChangeProblem
    {
        QString fileName;
        int step = 0;
        quint32 offset = 0;
        QString expected;
        quint32 systemError = 0;
    };

    using MatchingCallback = void (*)(RegularExpression*, const std::vector<REMatch>&, unsigned line,
                                      unsigned lineStart);
    using SearchingCallback = MatchingCallback;
    using GreppingCallback = void (*)(RegularExpression*, const std::vector<REMatch>&, unsigned line,
                                      unsigned lineStart, bool& proceed);
    using MergingCallback = GreppingCallback;
    using GreppingFilesCallback = void (*)(RegularExpression*, QString fileName, const std::vector<REMatch>&,
                                           unsigned line, bool& proceed);
    using ChangingFilesCallback = GreppingFilesCallback;
    using FindingFilesCallback = void (*)(RegularExpression*, QString fileName, bool& proceed);

    static const CRuntimeClass classRegularExpression;
    static CObject* CreateObject();

    RegularExpression();
    // A copy has the source's settings and callbacks, the global locale,
    // nothing compiled and no event handlers.
    RegularExpression(const RegularExpression& other);
    ~RegularExpression() override;
    // Copies settings and callbacks; keeps this object's locale, event
    // handlers and results; every locale model becomes unparsed.
    RegularExpression& operator=(const RegularExpression& other);
    // Equal settings; the locale, callbacks, parse states and results do not
    // count.
    bool operator==(const RegularExpression& other) const;
    bool operator!=(const RegularExpression& other) const { return !(*this == other); }

    const CRuntimeClass* GetRuntimeClass() const override;
    // Stores schema 2; loads schema 2 and 1 (the archive's object schema;
    // none given means 2). A newer schema aborts the archive, any other
    // reads nothing. A failed read stops at once; the fields read before it
    // keep their new values.
    void Serialize(CArchive& ar) override;

    void SetExpression(const QString& expression);
    QString GetExpression() const;
    void SetStringToMatch(const QString& text);
    QString GetStringToMatch() const;
    void SetFormatString(const QString& format);
    QString GetFormatString() const;
    void SetFilesToMatch(const QString& pattern);
    QString GetFilesToMatch() const;
    void SetSaveExtension(const QString& extension);
    QString GetSaveExtension() const;
    void SetLocaleDll(const QString& name);
    QString GetLocaleDll() const;
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
    QString GetExpressionError() const;
    unsigned NumberOfSubexpressions();
    unsigned NumberOfSubexpressions() const;
    bool Match();
    bool Search();
    bool MatchAll();

    void SetOnMatching(MatchingCallback callback) { m_onMatching = callback; }
    MatchingCallback GetOnMatching() const { return m_onMatching; }
    void SetOnSearching(SearchingCallback callback) { m_onSearching = callback; }
    SearchingCallback GetOnSearching() const { return m_onSearching; }
    void SetOnGrepping(GreppingCallback callback) { m_onGrepping = callback; }
    GreppingCallback GetOnGrepping() const { return m_onGrepping; }
    void SetOnGreppingFiles(GreppingFilesCallback callback) { m_onGreppingFiles = callback; }
    GreppingFilesCallback GetOnGreppingFiles() const { return m_onGreppingFiles; }
    void SetOnFindingFiles(FindingFilesCallback callback) { m_onFindingFiles = callback; }
    FindingFilesCallback GetOnFindingFiles() const { return m_onFindingFiles; }
    void SetOnMerging(MergingCallback callback) { m_onMerging = callback; }
    MergingCallback GetOnMerging() const { return m_onMerging; }
    void SetOnChangingFiles(ChangingFilesCallback callback) { m_onChangingFiles = callback; }
    ChangingFilesCallback GetOnChangingFiles() const { return m_onChangingFiles; }

    // Removes every handler that "receiver" subscribed, from all seven events.
    void RemoveAllEventHandlers(const void* receiver);

    // The problems of the last file operation; null when there were none.
    // The lists belong to the object.
    const std::vector<FileSearchProblem>* GetFindFilesErrors() const;
    const std::vector<FileSearchProblem>* GetGrepFilesErrors() const;
    const std::vector<FileChangeProblem>* GetChangeFilesErrors() const;

    tramex::EventList<RegularExpression*, const std::vector<REMatch>&, unsigned, unsigned> OnMatching;
    tramex::EventList<RegularExpression*, const std::vector<REMatch>&, unsigned, unsigned> OnSearching;
    tramex::EventList<RegularExpression*, const std::vector<REMatch>&, unsigned, unsigned, bool&> OnGrepping;
    tramex::EventList<RegularExpression*, const std::vector<REMatch>&, unsigned, unsigned, bool&> OnMerging;
    tramex::EventList<RegularExpression*, QString, const std::vector<REMatch>&, unsigned, bool&> OnChangingFiles;
    tramex::EventList<RegularExpression*, QString, const std::vector<REMatch>&, unsigned, bool&> OnGreppingFiles;
    tramex::EventList<RegularExpression*, QString, bool&> OnFindFiles;

private:
    class Sink;
    enum TextField { ExpressionText, SubjectText, FilesText, FormatText, ExtensionText, LocaleDllText, TextCount };

    static std::unique_ptr<MirroredText[]> makeTexts();
    void setText(TextField field, const QString& text);
    QString text(TextField field) const;
    void storeSettings(CArchive& ar) const;
    void loadSettings(CArchive& ar, int schema);

    std::unique_ptr<tramex::RegularExpressionData> m_data;
    std::unique_ptr<MirroredText[]> m_texts;

    MatchingCallback m_onMatching = nullptr;
    SearchingCallback m_onSearching = nullptr;
    GreppingCallback m_onGrepping = nullptr;
    GreppingFilesCallback m_onGreppingFiles = nullptr;
    FindingFilesCallback m_onFindingFiles = nullptr;
    MergingCallback m_onMerging = nullptr;
    ChangingFilesCallback m_onChangingFiles = nullptr;

    std::vector<FileSearchProblem> m_findErrors;
    std::vector<FileSearchProblem> m_grepErrors;
    std::vector<FileChangeProblem> m_changeErrors;
};
