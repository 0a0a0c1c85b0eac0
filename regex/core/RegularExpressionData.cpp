#include "RegularExpressionData.h"

#include "EngineFlags.h"
#include "HandlerGuard.h"
#include "LocaleDllMessages.h"
#include "TraitsLock.h"

#include <algorithm>
#include <climits>
#include <mutex>
#include <new>
#include <type_traits>

namespace tramex {

namespace rc = boost::regex_constants;

namespace {

const char* const kEmptyExpressionText = "Empty expression";
const char* const kLocaleDllFailureText = "Unable to open the Locale DLL ";
const char* const kUnrepresentableText =
    "The expression holds characters that the single-byte code page cannot represent.";

// The engine keeps one message-catalogue name for all expressions with the
// standard traits, which both the standard-locale and the native model use
// (and the file layer too); it is read when an expression is imbued. One
// lock therefore guards the catalogue work of all of them.
std::mutex& catalogueLock()
{
    return pattorn::TraitsLock();
}

// Sets the engine's catalogue name for one imbue and puts the earlier name
// back, so no other expression ever picks up this object's catalogue.
class CatalogueNameScope
{
public:
    explicit CatalogueNameScope(const std::string& name)
        : m_previous(boost::cpp_regex_traits<char>::catalog_name(name))
    {
    }
    ~CatalogueNameScope() { boost::cpp_regex_traits<char>::catalog_name(m_previous); }
    CatalogueNameScope(const CatalogueNameScope&) = delete;
    CatalogueNameScope& operator=(const CatalogueNameScope&) = delete;

private:
    std::string m_previous;
};

std::locale nativeLocale()
{
    try {
        return std::locale("");
    } catch (...) {
        // The environment names a locale this system does not have.
        return std::locale::classic();
    }
}

std::string outOfMemoryText()
{
    return boost::regex_error(rc::error_space).what();
}

} // namespace

// The engine's error numbers as the component reports them. The engine no
// longer raises "size" (15); "complexity" (18) and "stack" (19) both report
// the component's "too complex" code; the engine's newer numbers for perl
// extensions and unknown errors have no code of their own and count as a
// bad pattern, keeping the engine's text.
int RegularExpressionData::ComponentCode(int engineCode)
{
    switch (engineCode) {
    case rc::error_size: return error_size;
    case rc::error_complexity:
    case rc::error_stack: return error_complexity;
    default: break;
    }
    if (engineCode >= rc::error_bad_pattern && engineCode <= rc::error_empty && engineCode != rc::error_size)
        return engineCode;
    return error_bad_pattern;
}

RegularExpressionData::RegularExpressionData() = default;

RegularExpressionData::RegularExpressionData(const RegularExpressionData& other)
{
    copySettings(other);
}

RegularExpressionData& RegularExpressionData::operator=(const RegularExpressionData& other)
{
    if (this != &other) {
        copySettings(other);
        clearParsedFlags();
    }
    return *this;
}

RegularExpressionData::~RegularExpressionData() = default;

void RegularExpressionData::copySettings(const RegularExpressionData& other)
{
    m_expressionOptions = other.m_expressionOptions;
    m_matchOptions = other.m_matchOptions;
    m_expression = other.m_expression;
    m_expressionRepresentable = other.m_expressionRepresentable;
    m_stringToMatch = other.m_stringToMatch;
    m_filesToMatch = other.m_filesToMatch;
    m_formatString = other.m_formatString;
    m_saveExtension = other.m_saveExtension;
    m_directoryRecursion = other.m_directoryRecursion;
    m_mergeCopy = other.m_mergeCopy;
    m_maximumSplits = other.m_maximumSplits;
    m_splitInputDelete = other.m_splitInputDelete;
    m_mergeOnlyFirst = other.m_mergeOnlyFirst;
    m_continueFiles = other.m_continueFiles;
    m_formatType = other.m_formatType;
    m_localeModel = other.m_localeModel;
    m_localeDll = other.m_localeDll;
    m_catalogueTexts = other.m_catalogueTexts;
}

bool RegularExpressionData::SameSettings(const RegularExpressionData& other) const
{
    return m_expressionOptions == other.m_expressionOptions && m_matchOptions == other.m_matchOptions
           && m_expression == other.m_expression && *m_stringToMatch == *other.m_stringToMatch
           && m_filesToMatch == other.m_filesToMatch && m_formatString == other.m_formatString
           && m_saveExtension == other.m_saveExtension && m_directoryRecursion == other.m_directoryRecursion
           && m_mergeCopy == other.m_mergeCopy && m_continueFiles == other.m_continueFiles
           && m_maximumSplits == other.m_maximumSplits && m_localeDll == other.m_localeDll
           && m_mergeOnlyFirst == other.m_mergeOnlyFirst && m_splitInputDelete == other.m_splitInputDelete
           && m_formatType == other.m_formatType && m_localeModel == other.m_localeModel;
}

void RegularExpressionData::clearParsedFlags()
{
    for (ParseState& state : m_parse)
        state = ParseState();
}

void RegularExpressionData::SetExpression(const std::string& text, bool representable)
{
    if (text == m_expression && representable == m_expressionRepresentable)
        return;
    m_expression = text;
    m_expressionRepresentable = representable;
    clearParsedFlags();
}

void RegularExpressionData::SetLocaleDll(const std::string& name)
{
    if (name == m_localeDll)
        return;
    m_localeDll = name;
    m_parse[standard_locale] = ParseState();
    m_parse[win32_locale] = ParseState();
}

void RegularExpressionData::SetLocale(const std::locale& locale)
{
    m_locale = locale;
    m_parse[standard_locale] = ParseState();
    m_localeChanged = true;
}

void RegularExpressionData::SetLocaleModel(int model)
{
    if (m_busy || model < standard_locale || model > runtime_library_locale)
        return;
    m_localeModel = model;
}

void RegularExpressionData::SetMaximumSplits(unsigned long long count)
{
    m_maximumSplits = count > UINT32_MAX ? UINT32_MAX : std::uint32_t(count);
}

void RegularExpressionData::AddExpressionOption(int option)
{
    if (m_expressionOptions.Add(option))
        clearParsedFlags();
}

void RegularExpressionData::DeleteExpressionOption(int option)
{
    if (m_expressionOptions.Delete(option))
        clearParsedFlags();
}

void RegularExpressionData::ClearExpressionOptions()
{
    m_expressionOptions.Clear();
    clearParsedFlags();
}

std::string RegularExpressionData::GetEmptyExpressionText() const
{
    return m_catalogueTexts.emptyExpression.empty() ? kEmptyExpressionText : m_catalogueTexts.emptyExpression;
}

std::string RegularExpressionData::GetLocaleDllFailureText() const
{
    return m_catalogueTexts.failure.empty() ? kLocaleDllFailureText : m_catalogueTexts.failure;
}

bool RegularExpressionData::IsParsed(int model) const
{
    return model >= 0 && model < 3 && m_parse[model].parsed;
}

int RegularExpressionData::parse()
{
    ParseState& state = m_parse[m_localeModel];
    if (m_expression.empty())
        return empty_expression;

    if (!m_expressionRepresentable) {
        state.code = error_bad_pattern;
        state.text = kUnrepresentableText;
    } else {
        const rc::syntax_option_type flags = EngineFlags::Compile(m_expressionOptions);
        if (m_localeModel == runtime_library_locale)
            compileRuntime(flags, state);
        else
            compileWithCatalogue(m_localeModel, flags, state);
    }
    state.parsed = true;
    return state.code;
}

void RegularExpressionData::compileRuntime(rc::syntax_option_type flags, ParseState& state)
{
    try {
        m_runtimeExpression.assign(m_expression.data(), m_expression.data() + m_expression.size(), flags);
        state.code = no_error;
        state.text.clear();
    } catch (const boost::regex_error& e) {
        state.code = ComponentCode(e.code());
        state.text = e.what();
    } catch (const std::bad_alloc&) {
        state.code = error_space;
        state.text = outOfMemoryText();
    } catch (const std::exception& e) {
        state.code = error_bad_pattern;
        state.text = e.what();
    } catch (...) {
        state.code = error_bad_pattern;
        state.text.clear();
    }
}

std::string RegularExpressionData::loadLocaleDll()
{
    // Texts of an earlier catalogue must not outlive it.
    m_catalogueTexts = LocaleDll::Texts();
    if (m_localeDll.empty())
        return std::string();
    return LocaleDll::Load(m_localeDll, LocaleDll::UserLocaleName(), m_catalogueTexts);
}

void RegularExpressionData::compileWithCatalogue(int model, rc::syntax_option_type flags, ParseState& state)
{
    StandardRegex& expression = model == standard_locale ? m_standardExpression : m_nativeExpression;
    AppliedCatalogue& applied = m_applied[model];
    std::lock_guard<std::mutex> lock(catalogueLock());

    const bool reload = !applied.done || applied.setting != m_localeDll
                        || (model == standard_locale && m_localeChanged);
    if (reload) {
        if (model == standard_locale)
            m_localeChanged = false;
        applied.found = loadLocaleDll();
        applied.setting = m_localeDll;
        try {
            CatalogueNameScope scope(applied.found);
            const std::locale base = model == standard_locale ? m_locale : nativeLocale();
            expression.imbue(applied.found.empty() ? base : std::locale(base, new LocaleDllMessages));
            applied.done = true;
        } catch (...) {
            // The expression keeps its earlier locale; the next parse tries again.
            applied.done = false;
            state.code = error_locale_dll;
            state.text = GetLocaleDllFailureText() + applied.found + ".";
            return;
        }
    }

    try {
        expression.assign(m_expression.data(), m_expression.data() + m_expression.size(), flags);
        state.code = no_error;
        state.text.clear();
    } catch (const boost::regex_error& e) {
        state.code = ComponentCode(e.code());
        state.text = e.what();
    } catch (const std::bad_alloc&) {
        state.code = error_space;
        state.text = outOfMemoryText();
    } catch (...) {
        state.code = error_locale_dll;
        state.text = GetLocaleDllFailureText() + applied.found + ".";
    }
}

std::string RegularExpressionData::GetExpressionError() const
{
    const ParseState& state = m_parse[m_localeModel];
    // A failed compile keeps its text whatever failed (the engine, the
    // catalogue or the code page), not only when the engine marks the
    // expression.
    if (state.parsed && state.code != no_error)
        return state.text;
    if (!state.parsed && m_expression.empty())
        return GetEmptyExpressionText();
    return std::string();
}

unsigned RegularExpressionData::markCount(int model) const
{
    const ParseState& state = m_parse[model];
    if (!state.parsed || state.code != no_error)
        return 0;
    switch (model) {
    case standard_locale: return unsigned(m_standardExpression.mark_count());
    case win32_locale: return unsigned(m_nativeExpression.mark_count());
    default: return unsigned(m_runtimeExpression.mark_count());
    }
}

unsigned RegularExpressionData::NumberOfSubexpressions()
{
    if (!m_parse[m_localeModel].parsed)
        ParseExpression();
    return markCount(m_localeModel);
}

unsigned RegularExpressionData::NumberOfSubexpressions() const
{
    return markCount(m_localeModel);
}

template <class Regex>
class RegularExpressionData::FormatterOf : public RegularExpressionData::Formatter
{
public:
    explicit FormatterOf(const Regex& regex) : m_regex(regex) {}

    std::string Format(const Results& results, const std::string& format,
                       rc::match_flag_type flags) const override
    {
        // The expression's own traits read the format string, so no traits
        // of the global locale are built here.
        return results.format(format, flags, m_regex);
    }

private:
    Regex m_regex;
};

class RegularExpressionData::RunScope
{
public:
    RunScope(RegularExpressionData& data, const CurrentMatch* current, bool busy = true)
        : m_data(data), m_busy(data.m_busy), m_current(data.m_currentMatch)
    {
        if (busy)
            data.m_busy = true;
        data.m_currentMatch = current;
    }
    ~RunScope()
    {
        m_data.m_busy = m_busy;
        m_data.m_currentMatch = m_current;
    }
    RunScope(const RunScope&) = delete;
    RunScope& operator=(const RunScope&) = delete;

private:
    RegularExpressionData& m_data;
    bool m_busy;
    const CurrentMatch* m_current;
};

namespace {

// Line and line start of successive offsets in one text, counted once over
// the text however many matches it holds.
class LineCounter
{
public:
    explicit LineCounter(const std::string& text) : m_text(text) {}

    void AdvanceTo(size_t offset)
    {
        while (m_counted < offset) {
            const size_t end = m_text.find('\n', m_counted);
            if (end == std::string::npos || end >= offset) {
                m_counted = offset;
                break;
            }
            ++m_line;
            m_lineStart = end + 1;
            m_counted = end + 1;
        }
    }
    unsigned Line() const { return m_line; }
    unsigned LineStart() const { return unsigned(m_lineStart); }

private:
    const std::string& m_text;
    size_t m_counted = 0;
    unsigned m_line = 1;
    size_t m_lineStart = 0;
};

} // namespace

template <class Work>
auto RegularExpressionData::withExpression(Work&& work) const
{
    switch (m_localeModel) {
    case standard_locale: {
        const StandardRegex copy = m_standardExpression;
        return work(copy);
    }
    case win32_locale: {
        const StandardRegex copy = m_nativeExpression;
        return work(copy);
    }
    default: {
        const RuntimeRegex copy = m_runtimeExpression;
        return work(copy);
    }
    }
}

std::unique_ptr<RegularExpressionData::Formatter> RegularExpressionData::currentFormatter() const
{
    return withExpression([](const auto& regex) -> std::unique_ptr<Formatter> {
        return std::make_unique<FormatterOf<std::decay_t<decltype(regex)>>>(regex);
    });
}

bool RegularExpressionData::Match(ReportSink& sink)
{
    return runSingle(Operation::Match, sink);
}

bool RegularExpressionData::Search(ReportSink& sink)
{
    return runSingle(Operation::Search, sink);
}

bool RegularExpressionData::MatchAll(ReportSink& sink)
{
    return runSingle(Operation::MatchAll, sink);
}

bool RegularExpressionData::runEngine(const std::string& subject, Results& results, rc::match_flag_type flags,
                                      bool whole) const
{
    try {
        switch (m_localeModel) {
        case standard_locale:
            return whole ? boost::regex_match(subject, results, m_standardExpression, flags)
                         : boost::regex_search(subject, results, m_standardExpression, flags);
        case win32_locale:
            return whole ? boost::regex_match(subject, results, m_nativeExpression, flags)
                         : boost::regex_search(subject, results, m_nativeExpression, flags);
        default:
            return whole ? boost::regex_match(subject, results, m_runtimeExpression, flags)
                         : boost::regex_search(subject, results, m_runtimeExpression, flags);
        }
    } catch (...) {
        // Catastrophic backtracking, an exhausted stack or memory: the engine
        // gave up, so there is no match to report.
        return false;
    }
}

bool RegularExpressionData::runSingle(Operation operation, ReportSink& sink)
{
    if (ParseExpression() != no_error)
        return false;
    if (m_stringToMatch->size() > size_t(INT_MAX))
        return false;

    LastMatch last;
    const std::string& subject = *m_stringToMatch;
    const rc::match_flag_type flags = EngineFlags::Match(m_matchOptions, true);

    m_busy = true;
    bool found = runEngine(subject, last.results, flags, operation == Operation::MatchAll);
    m_busy = false;
    if (found && operation == Operation::Match && last.results[0].first != subject.cbegin())
        found = false;

    const ReportKind kind = operation == Operation::Search ? ReportKind::Searching : ReportKind::Matching;
    if (found && sink.WantsReport(kind)) {
        // The results point into the subject, which the report holds, so a
        // handler that changes the string to match cannot leave them
        // dangling. (Nothing has changed it since the engine ran.)
        last.subject = m_stringToMatch;
        const MatchVector parts = buildVector(subject, last.results);
        unsigned line = 1;
        unsigned lineStart = 0;
        if (operation != Operation::MatchAll) {
            const auto begin = subject.cbegin();
            const auto start = last.results[0].first;
            line += unsigned(std::count(begin, start, '\n'));
            const auto lastBreak = std::find(std::make_reverse_iterator(start), subject.crend(), '\n');
            lineStart = unsigned(lastBreak.base() - begin);
        }
        // Format gives this match while the report is handled (also when
        // the handler runs inside another operation's report).
        const std::unique_ptr<Formatter> formatter = currentFormatter();
        const CurrentMatch current{&last.results, formatter.get()};
        RunScope scope(*this, &current, false);
        sink.ReportMatch(kind, parts, line, lineStart);
    }
    return found;
}

MatchVector RegularExpressionData::buildVector(const std::string& subject, const Results& r)
{
    const auto begin = subject.cbegin();
    MatchVector parts;
    parts.reserve(r.size() + 2);
    // Copied whole: the engine's own str() appends character by character.
    // A partial match leaves the whole match unmarked; its text is still
    // the part of the subject it covered.
    parts.push_back({std::string(r[0].first, r[0].second), int(r[0].first - begin)});
    for (size_t i = 1; i < r.size(); ++i) {
        if (r[i].matched)
            parts.push_back({std::string(r[i].first, r[i].second), int(r[i].first - begin)});
        else
            parts.push_back({std::string(), -1});
    }
    for (const auto& side : {r.prefix(), r.suffix()}) {
        if (side.matched)
            parts.push_back({std::string(side.first, side.second), int(side.first - begin)});
        else
            parts.push_back({std::string(), -1});
    }
    return parts;
}

bool RegularExpressionData::SetBusy(bool busy)
{
    const bool before = m_busy;
    m_busy = busy;
    return before;
}

std::string RegularExpressionData::Format() const
{
    if (!m_currentMatch || !m_currentMatch->results || !m_currentMatch->formatter)
        return std::string();
    try {
        return m_currentMatch->formatter->Format(*m_currentMatch->results, m_formatString,
                                                 EngineFlags::Format(m_formatType));
    } catch (...) {
        return std::string();
    }
}

unsigned RegularExpressionData::Grep(ReportSink& sink)
{
    if (ParseExpression() != no_error)
        return 0;
    // The run holds its subject: a handler may change the setting.
    const std::shared_ptr<const std::string> held = m_stringToMatch;
    const std::string& subject = *held;
    if (subject.size() > size_t(INT_MAX))
        return 0;
    const rc::match_flag_type flags = EngineFlags::Match(m_matchOptions, true);
    const bool report = sink.WantsReport(ReportKind::Grepping);

    return withExpression([&](const auto& regex) {
        const FormatterOf<std::decay_t<decltype(regex)>> formatter(regex);
        CurrentMatch current{nullptr, &formatter};
        RunScope scope(*this, &current);
        LineCounter lines(subject);
        pattorn::HandlerGuard guard;
        unsigned count = 0;
        auto predicate = [&](const Results& results) {
            ++count;
            if (!report)
                return true;
            return guard.Run([&] {
                const size_t at = size_t(results[0].first - subject.cbegin());
                lines.AdvanceTo(at);
                bool proceed = true;
                current.results = &results;
                sink.ReportGrep(ReportKind::Grepping, buildVector(subject, results), lines.Line(), lines.LineStart(),
                                proceed);
                current.results = nullptr;
                return proceed;
            });
        };
        try {
            boost::regex_grep(predicate, subject.cbegin(), subject.cend(), regex, flags);
        } catch (...) {
            // The engine gave up (too complex, out of memory): what was
            // reported stands.
        }
        guard.RethrowIfAny();
        return count;
    });
}

void RegularExpressionData::Merge(ReportSink& sink, std::string& result, std::vector<CopiedRange>* copied)
{
    result.clear();
    if (copied)
        copied->clear();
    if (ParseExpression() != no_error)
        return;
    const std::shared_ptr<const std::string> held = m_stringToMatch;
    const std::string& subject = *held;
    if (subject.size() > size_t(INT_MAX))
        return;
    const rc::match_flag_type flags = EngineFlags::Match(m_matchOptions, false);
    const bool report = sink.WantsReport(ReportKind::Merging);

    std::string output;
    size_t position = 0;
    auto copy = [&](size_t to) {
        if (copied)
            copied->push_back({output.size(), position, to - position});
        output.append(subject, position, to - position);
        position = to;
    };

    withExpression([&](const auto& regex) {
        const FormatterOf<std::decay_t<decltype(regex)>> formatter(regex);
        CurrentMatch current{nullptr, &formatter};
        RunScope scope(*this, &current);
        LineCounter lines(subject);
        pattorn::HandlerGuard guard;
        auto predicate = [&](const Results& results) {
            return guard.Run([&] {
                const size_t at = size_t(results[0].first - subject.cbegin());
                current.results = &results;
                if (m_mergeCopy && position < at)
                    copy(at);
                bool replace = true;
                if (report) {
                    lines.AdvanceTo(at);
                    sink.ReportGrep(ReportKind::Merging, buildVector(subject, results), lines.Line(),
                                    lines.LineStart(), replace);
                }
                if (replace) {
                    output += Format();
                    if (m_mergeCopy)
                        position = at + size_t(results.length(0));
                }
                current.results = nullptr;
                return replace && !m_mergeOnlyFirst;
            });
        };
        try {
            boost::regex_grep(predicate, subject.cbegin(), subject.cend(), regex, flags);
        } catch (...) {
            // The engine gave up: the rest of the text stays as it is.
        }
        guard.RethrowIfAny();
    });
    if (m_mergeCopy && position < subject.size())
        copy(subject.size());
    result.swap(output);
}

std::string RegularExpressionData::defaultSplitExpression()
{
    char letter = 's';
    if (m_localeModel != runtime_library_locale) {
        // The letter of the catalogue that the parse will apply.
        const AppliedCatalogue& applied = m_applied[m_localeModel];
        if (!applied.done || applied.setting != m_localeDll)
            loadLocaleDll();
        if (m_catalogueTexts.spaceClassLetter)
            letter = m_catalogueTexts.spaceClassLetter;
    }
    return std::string("\\") + letter + "+";
}

unsigned RegularExpressionData::Split(std::vector<MatchPart>& pieces, size_t* consumed)
{
    pieces.clear();
    if (consumed)
        *consumed = 0;
    if (m_stringToMatch->empty())
        return 0;

    int code = ParseExpression();
    const bool useDefault = code == empty_expression;
    ExpressionOptionSet options;
    if (useDefault) {
        // The default expression is written in the default syntax; under the
        // object's own options (basic, grep, literal...) it would not split
        // at blanks at all.
        const std::string expression = defaultSplitExpression();
        options = m_expressionOptions;
        m_expressionOptions = ExpressionOptionSet();
        SetExpression(expression);
        code = ParseExpression();
    }

    size_t used = 0;
    if (code == no_error && m_stringToMatch->size() <= size_t(INT_MAX)) {
        const std::shared_ptr<const std::string> held = m_stringToMatch;
        const std::string& subject = *held;
        const rc::match_flag_type flags = EngineFlags::Match(m_matchOptions, false);
        size_t remaining = m_maximumSplits ? size_t(m_maximumSplits) : size_t(UINT_MAX);
        const auto begin = subject.cbegin();
        auto part = [&](const boost::sub_match<std::string::const_iterator>& sub) {
            return sub.matched ? MatchPart{std::string(sub.first, sub.second), int(sub.first - begin)} : MatchPart{std::string(), -1};
        };
        const size_t marks = NumberOfSubexpressions();
        // The engine's splitting rule: the text before each match, an empty
        // first piece left out; with sub-expressions, their texts instead;
        // the rest after the last match as the last piece, unless the limit
        // is reached or sub-expressions are split out.
        auto predicate = [&](const Results& what) {
            used = size_t(what[0].second - begin);
            if (what.size() > 1) {
                for (size_t i = 1; i < what.size(); ++i) {
                    pieces.push_back(part(what[i]));
                    if (--remaining == 0)
                        return false;
                }
                return true;
            }
            if (what.prefix().first != what.prefix().second || !pieces.empty()) {
                pieces.push_back(part(what.prefix()));
                return --remaining != 0;
            }
            return true;
        };
        withExpression([&](const auto& regex) {
            try {
                boost::regex_grep(predicate, subject.cbegin(), subject.cend(), regex, flags);
            } catch (...) {
                // The engine gave up: nothing is split.
                pieces.clear();
                used = 0;
                remaining = 0;
            }
        });
        if (remaining && used != subject.size() && marks == 0) {
            pieces.push_back({subject.substr(used), int(used)});
            used = subject.size();
        }
        if (m_splitInputDelete && used > 0)
            SetStringToMatch(subject.substr(used));
    }

    if (useDefault) {
        m_expressionOptions = options;
        SetExpression(std::string());
    }
    if (consumed)
        *consumed = used;
    return unsigned(pieces.size());
}

const std::vector<RegularExpressionData::Field>& RegularExpressionData::StoredFields(int schema)
{
    static const std::vector<Field> none;
    static const std::vector<Field> schema1{
        Field::ExpressionOptions, Field::MatchOptions, Field::DirectoryRecursion, Field::MergeCopy,
        Field::Expression, Field::StringToMatch, Field::FilesToMatch, Field::FormatString, Field::SaveExtension};
    static const std::vector<Field> schema2{
        Field::ExpressionOptions, Field::MatchOptions, Field::DirectoryRecursion, Field::MergeCopy,
        Field::MergeOnlyFirst, Field::SplitInputDelete, Field::ContinueFiles, Field::MaximumSplits,
        Field::FormatType, Field::LocaleModel, Field::Expression, Field::StringToMatch, Field::FilesToMatch,
        Field::FormatString, Field::SaveExtension, Field::LocaleDll};
    switch (schema) {
    case 1: return schema1;
    case 2: return schema2;
    default: return none;
    }
}

template <class Self>
auto RegularExpressionData::flagOf(Self& self, Field field) -> decltype(&self.m_mergeCopy)
{
    switch (field) {
    case Field::DirectoryRecursion: return &self.m_directoryRecursion;
    case Field::MergeCopy: return &self.m_mergeCopy;
    case Field::MergeOnlyFirst: return &self.m_mergeOnlyFirst;
    case Field::SplitInputDelete: return &self.m_splitInputDelete;
    case Field::ContinueFiles: return &self.m_continueFiles;
    default: return nullptr;
    }
}

template <class Self>
auto RegularExpressionData::textOf(Self& self, Field field) -> decltype(&self.m_expression)
{
    switch (field) {
    case Field::Expression: return &self.m_expression;
    case Field::FilesToMatch: return &self.m_filesToMatch;
    case Field::FormatString: return &self.m_formatString;
    case Field::SaveExtension: return &self.m_saveExtension;
    case Field::LocaleDll: return &self.m_localeDll;
    default: return nullptr;
    }
}

bool RegularExpressionData::GetFlag(Field field) const
{
    const bool* flag = flagOf(*this, field);
    return flag && *flag;
}

const std::string& RegularExpressionData::GetText(Field field) const
{
    static const std::string none;
    if (field == Field::StringToMatch)
        return *m_stringToMatch;
    const std::string* text = textOf(*this, field);
    return text ? *text : none;
}

void RegularExpressionData::LoadFlag(Field field, bool on)
{
    if (bool* flag = flagOf(*this, field))
        *flag = on;
}

bool RegularExpressionData::LoadLocaleModel(int model)
{
    if (model < standard_locale || model > runtime_library_locale)
        return false;
    m_localeModel = model;
    return true;
}

void RegularExpressionData::LoadText(Field field, const std::string& text, bool representable)
{
    if (field == Field::StringToMatch)
        SetStringToMatch(text);
    else if (std::string* target = textOf(*this, field))
        *target = text;
    if (field == Field::Expression)
        m_expressionRepresentable = representable;
}

} // namespace tramex
