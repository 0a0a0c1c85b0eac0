#pragma once

#include "CObject.h"
#include "EventSet.h"
#include "REMatch.h"
#include "RegexEnums.h"
#include "TramexExport.h"

#include <QString>
#include <QStringList>

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
// File names, the files-to-match pattern and the save extension are in the
// file system's encoding; the contents of files are taken as code page 1252.
//
// No operation throws: compile errors are error codes, and an engine that
// gives up while matching (catastrophic backtracking, exhausted stack or
// memory) counts as no match. An exception thrown by a handler or callback
// reaches the caller unchanged.
class TRAMEX_EXPORT RegularExpression : public CObject,
                                        public tramex::RegexEnums,
                                        public tramex::EventSet<RegularExpression, QString, REMatch>
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

    // Every match of the string to match, reported through OnGrepping; the
    // number of matches reported. 0 when the expression does not compile.
    // Each report carries the text before and after its match, so handlers
    // cost time in proportion to the text's length per match; without a
    // handler nothing is built.
    unsigned Grep();
    // The string to match with each match replaced by the formatted format
    // string (merge copy on), or the replacements alone (merge copy off).
    void Merge(QString& result);
    // The pieces of the string to match, cut at the matches (an empty
    // expression cuts at white space); their number.
    unsigned Split(QStringList& pieces);
    // Inside a report of any match operation: the format string filled from
    // that match. Empty elsewhere. Characters of the string to match that
    // the code page cannot hold come back as U+001A.
    void Format(QString& result) const;

    // The files matching the files-to-match pattern that hold a match, each
    // reported through OnFindFiles; their number.
    unsigned FindFiles();
    // Every match in those files, reported through OnGreppingFiles; their
    // number.
    unsigned GrepFiles();
    // Replaces every match in those files that OnChangingFiles lets change;
    // the number of replacements written.
    unsigned ChangeFiles();

    void SetOnFindingFiles(FindingFilesCallback callback) { m_callbacks.findingFiles = callback; }
    FindingFilesCallback GetOnFindingFiles() const { return m_callbacks.findingFiles; }

    // The problems of the last file operation; null when there were none.
    // The lists belong to the object.
    const std::vector<FileSearchProblem>* GetFindFilesErrors() const;
    const std::vector<FileSearchProblem>* GetGrepFilesErrors() const;
    const std::vector<FileChangeProblem>* GetChangeFilesErrors() const;

private:
    class Converter;
    enum TextField { ExpressionText, SubjectText, FilesText, FormatText, ExtensionText, LocaleDllText, TextCount };

    static std::unique_ptr<MirroredText[]> makeTexts();
    void setText(TextField field, const QString& text);
    QString text(TextField field) const;
    void storeSettings(CArchive& ar) const;
    void loadSettings(CArchive& ar, int schema);

    std::unique_ptr<tramex::RegularExpressionData> m_data;
    std::unique_ptr<MirroredText[]> m_texts;

    std::vector<FileSearchProblem> m_findErrors;
    std::vector<FileSearchProblem> m_grepErrors;
    std::vector<FileChangeProblem> m_changeErrors;
};
