#include "RegularExpression.h"

#include "CArchive.h"
#include "CodePage1252.h"
#include "FileOperations.h"
#include "MirroredText.h"
#include "RegularExpressionData.h"

#include <QFile>

#include <algorithm>
#include <optional>

namespace {

using Field = tramex::RegularExpressionData::Field;

// The schema this class stores; archives of a newer one are refused.
constexpr int kSchema = 2;

} // namespace

// Converts the core's results into the caller's types. Matches in the
// string to match give back the caller's own characters (see MirroredText);
// the converter keeps the subject as it was when the operation began, so a
// handler that changes the setting cannot confuse the offsets. It takes that
// copy at its first report, before any handler has run, so an operation
// that reports nothing pays nothing for it.
class RegularExpression::Converter
{
public:
    explicit Converter(const RegularExpression& owner) : m_owner(owner) {}

    std::vector<REMatch> SubjectParts(const tramex::MatchVector& parts) const
    {
        std::vector<REMatch> matches;
        matches.reserve(parts.size());
        for (const tramex::MatchPart& part : parts)
            matches.push_back({SubjectPart(part.text, part.position), part.position});
        return matches;
    }

    QString SubjectPart(const std::string& bytes, int position) const
    {
        Take();
        return m_mirror->Part(*m_subject, bytes, position);
    }

    // Takes the copy now: for an operation that converts after its
    // handlers have run.
    void Take() const
    {
        if (!m_subject) {
            m_subject = m_owner.m_data->ShareStringToMatch();
            m_mirror = m_owner.m_texts[SubjectText];
        }
    }

    // Valid until the next call: a file search reports a match at a time,
    // and its list is built in the same place each time.
    const std::vector<REMatch>& FileParts(const tramex::MatchVector& parts) const
    {
        m_fileParts.resize(parts.size());
        for (std::size_t i = 0; i < parts.size(); ++i) {
            // Into the last match's texts, unless a handler kept them.
            const std::string& text = parts[i].text;
            CodePage1252::Decode(text.data(), qsizetype(text.size()), m_fileParts[i].text);
            m_fileParts[i].position = parts[i].position;
        }
        return m_fileParts;
    }

    static QString FileName(const std::string& name) { return QFile::decodeName(QByteArray::fromStdString(name)); }

private:
    const RegularExpression& m_owner;
    mutable std::shared_ptr<const std::string> m_subject;
    // Made only at the first report: a match that fails reports nothing.
    mutable std::optional<MirroredText> m_mirror;
    mutable std::vector<REMatch> m_fileParts;
};

const CRuntimeClass RegularExpression::classRegularExpression = {"RegularExpression", kSchema,
                                                                 &RegularExpression::CreateObject};

CObject* RegularExpression::CreateObject()
{
    return new RegularExpression();
}

std::unique_ptr<MirroredText[]> RegularExpression::makeTexts()
{
    auto texts = std::make_unique<MirroredText[]>(TextCount);
    // Names of files reach the file system in its own encoding.
    texts[FilesText] = MirroredText(MirroredText::FileName);
    texts[ExtensionText] = MirroredText(MirroredText::FileName);
    texts[LocaleDllText] = MirroredText(MirroredText::FileName);
    return texts;
}

RegularExpression::RegularExpression()
    : m_data(std::make_unique<tramex::RegularExpressionData>()),
      m_texts(makeTexts())
{
}

RegularExpression::RegularExpression(const RegularExpression& other)
    : CObject(other),
      EventSet(other),
      m_data(std::make_unique<tramex::RegularExpressionData>(*other.m_data)),
      m_texts(makeTexts())
{
    std::copy(other.m_texts.get(), other.m_texts.get() + TextCount, m_texts.get());
}

RegularExpression::~RegularExpression() = default;

RegularExpression& RegularExpression::operator=(const RegularExpression& other)
{
    if (this == &other)
        return *this;
    *m_data = *other.m_data;
    std::copy(other.m_texts.get(), other.m_texts.get() + TextCount, m_texts.get());
    EventSet::operator=(other);
    return *this;
}

bool RegularExpression::operator==(const RegularExpression& other) const
{
    if (!m_data->SameSettings(*other.m_data))
        return false;
    // Texts that differ only in characters the code page cannot hold have
    // equal bytes; the caller's texts decide.
    for (int field = 0; field < TextCount; ++field)
        if (text(TextField(field)) != other.text(TextField(field)))
            return false;
    return true;
}

const CRuntimeClass* RegularExpression::GetRuntimeClass() const
{
    return &classRegularExpression;
}

namespace {

Field coreField(int textField)
{
    static const Field fields[] = {Field::Expression,   Field::StringToMatch, Field::FilesToMatch,
                                   Field::FormatString, Field::SaveExtension, Field::LocaleDll};
    return fields[textField];
}

} // namespace

void RegularExpression::setText(TextField field, const QString& value)
{
    bool representable = true;
    std::string bytes = m_texts[field].Set(value, &representable);
    switch (field) {
    case ExpressionText: m_data->SetExpression(bytes, representable); break;
    case SubjectText: m_data->SetStringToMatch(std::move(bytes)); break;
    case FilesText: m_data->SetFilesToMatch(bytes); break;
    case FormatText: m_data->SetFormatString(bytes); break;
    case ExtensionText: m_data->SetSaveExtension(bytes); break;
    default: m_data->SetLocaleDll(bytes); break;
    }
}

QString RegularExpression::text(TextField field) const
{
    return m_texts[field].Get(m_data->GetText(coreField(field)));
}

void RegularExpression::SetExpression(const QString& expression) { setText(ExpressionText, expression); }
QString RegularExpression::GetExpression() const { return text(ExpressionText); }
void RegularExpression::SetStringToMatch(const QString& value) { setText(SubjectText, value); }
QString RegularExpression::GetStringToMatch() const { return text(SubjectText); }
void RegularExpression::SetFormatString(const QString& format) { setText(FormatText, format); }
QString RegularExpression::GetFormatString() const { return text(FormatText); }
void RegularExpression::SetFilesToMatch(const QString& pattern) { setText(FilesText, pattern); }
QString RegularExpression::GetFilesToMatch() const { return text(FilesText); }
void RegularExpression::SetSaveExtension(const QString& extension) { setText(ExtensionText, extension); }
QString RegularExpression::GetSaveExtension() const { return text(ExtensionText); }
void RegularExpression::SetLocaleDll(const QString& name) { setText(LocaleDllText, name); }
QString RegularExpression::GetLocaleDll() const { return text(LocaleDllText); }

void RegularExpression::SetLocale(const std::locale& locale) { m_data->SetLocale(locale); }
std::locale RegularExpression::GetLocale() const { return m_data->GetLocale(); }
void RegularExpression::SetFormatType(FormatTypes type) { m_data->SetFormatType(type); }
RegularExpression::FormatTypes RegularExpression::GetFormatType() const { return FormatTypes(m_data->GetFormatType()); }
void RegularExpression::SetLocaleModel(LocaleModels model) { m_data->SetLocaleModel(model); }
RegularExpression::LocaleModels RegularExpression::GetLocaleModel() const { return LocaleModels(m_data->GetLocaleModel()); }
void RegularExpression::SetDirectoryRecursion(bool on) { m_data->SetDirectoryRecursion(on); }
bool RegularExpression::GetDirectoryRecursion() const { return m_data->GetDirectoryRecursion(); }
void RegularExpression::SetMergeCopy(bool on) { m_data->SetMergeCopy(on); }
bool RegularExpression::GetMergeCopy() const { return m_data->GetMergeCopy(); }
void RegularExpression::SetMergeOnlyFirst(bool on) { m_data->SetMergeOnlyFirst(on); }
bool RegularExpression::GetMergeOnlyFirst() const { return m_data->GetMergeOnlyFirst(); }
void RegularExpression::SetContinueFiles(bool on) { m_data->SetContinueFiles(on); }
bool RegularExpression::GetContinueFiles() const { return m_data->GetContinueFiles(); }
void RegularExpression::SetSplitInputDelete(bool on) { m_data->SetSplitInputDelete(on); }
bool RegularExpression::GetSplitInputDelete() const { return m_data->GetSplitInputDelete(); }
void RegularExpression::SetMaximumSplits(unsigned long count) { m_data->SetMaximumSplits(count); }
unsigned long RegularExpression::GetMaximumSplits() const { return m_data->GetMaximumSplits(); }

void RegularExpression::AddExpressionOption(Options option) { m_data->AddExpressionOption(option); }
void RegularExpression::DeleteExpressionOption(Options option) { m_data->DeleteExpressionOption(option); }
bool RegularExpression::IsExpressionOption(Options option) const { return m_data->IsExpressionOption(option); }
void RegularExpression::ClearExpressionOptions() { m_data->ClearExpressionOptions(); }
void RegularExpression::AddMatchOption(Matches option) { m_data->AddMatchOption(option); }
void RegularExpression::DeleteMatchOption(Matches option) { m_data->DeleteMatchOption(option); }
bool RegularExpression::IsMatchOption(Matches option) const { return m_data->IsMatchOption(option); }
void RegularExpression::ClearMatchOptions() { m_data->ClearMatchOptions(); }

RegularExpression::ExpressionErrorCode RegularExpression::ParseExpression()
{
    return ExpressionErrorCode(m_data->ParseExpression());
}

QString RegularExpression::GetExpressionError() const
{
    return CodePage1252::Decode(m_data->GetExpressionError());
}

unsigned RegularExpression::NumberOfSubexpressions() { return m_data->NumberOfSubexpressions(); }
unsigned RegularExpression::NumberOfSubexpressions() const
{
    return static_cast<const tramex::RegularExpressionData&>(*m_data).NumberOfSubexpressions();
}

bool RegularExpression::Match()
{
    const Converter convert(*this);
    Sink<Converter> sink(*this, convert);
    return m_data->Match(sink);
}

bool RegularExpression::Search()
{
    const Converter convert(*this);
    Sink<Converter> sink(*this, convert);
    return m_data->Search(sink);
}

bool RegularExpression::MatchAll()
{
    const Converter convert(*this);
    Sink<Converter> sink(*this, convert);
    return m_data->MatchAll(sink);
}

unsigned RegularExpression::Grep()
{
    const Converter convert(*this);
    Sink<Converter> sink(*this, convert);
    return m_data->Grep(sink);
}

void RegularExpression::Merge(QString& result)
{
    const Converter convert(*this);
    convert.Take();
    Sink<Converter> sink(*this, convert);
    std::string merged;
    std::vector<tramex::RegularExpressionData::CopiedRange> copied;
    m_data->Merge(sink, merged, &copied);
    // Text copied from the string to match keeps the caller's characters;
    // the replacements are decoded.
    result.clear();
    size_t done = 0;
    for (const auto& range : copied) {
        result += CodePage1252::Decode(merged.substr(done, range.resultOffset - done));
        result += convert.SubjectPart(merged.substr(range.resultOffset, range.length), int(range.subjectOffset));
        done = range.resultOffset + range.length;
    }
    result += CodePage1252::Decode(merged.substr(done));
}

unsigned RegularExpression::Split(QStringList& pieces)
{
    const Converter convert(*this);
    const QString before = GetStringToMatch();
    std::vector<tramex::MatchPart> parts;
    size_t consumed = 0;
    const unsigned count = m_data->Split(parts, &consumed);
    pieces.clear();
    for (const tramex::MatchPart& part : parts)
        pieces.append(convert.SubjectPart(part.text, part.position));
    if (m_data->GetSplitInputDelete() && consumed > 0)
        SetStringToMatch(before.mid(qsizetype(consumed)));
    return count;
}

void RegularExpression::Format(QString& result) const
{
    result = CodePage1252::Decode(m_data->Format());
}

namespace {

std::vector<RegularExpression::FileSearchProblem> searchProblems(const std::vector<tramex::FileSearchProblem>& from)
{
    std::vector<RegularExpression::FileSearchProblem> to;
    to.reserve(from.size());
    for (const auto& problem : from)
        to.push_back({QFile::decodeName(QByteArray::fromStdString(problem.fileName)), problem.kind, problem.code});
    return to;
}

} // namespace

unsigned RegularExpression::FindFiles()
{
    const Converter convert(*this);
    Sink<Converter> sink(*this, convert);
    std::vector<tramex::FileSearchProblem> problems;
    const unsigned count = tramex::FileOperations::Find(*m_data, sink, problems);
    m_findErrors = searchProblems(problems);
    return count;
}

unsigned RegularExpression::GrepFiles()
{
    const Converter convert(*this);
    Sink<Converter> sink(*this, convert);
    std::vector<tramex::FileSearchProblem> problems;
    const unsigned count = tramex::FileOperations::Grep(*m_data, sink, problems);
    m_grepErrors = searchProblems(problems);
    return count;
}

unsigned RegularExpression::ChangeFiles()
{
    const Converter convert(*this);
    Sink<Converter> sink(*this, convert);
    std::vector<tramex::FileChangeProblem> problems;
    const unsigned count = tramex::FileOperations::Change(*m_data, sink, problems);
    m_changeErrors.clear();
    for (const auto& problem : problems)
        m_changeErrors.push_back({QFile::decodeName(QByteArray::fromStdString(problem.fileName)), problem.step,
                                  problem.offset, CodePage1252::Decode(problem.expected), problem.systemError});
    return count;
}

const std::vector<RegularExpression::FileSearchProblem>* RegularExpression::GetFindFilesErrors() const
{
    return m_findErrors.empty() ? nullptr : &m_findErrors;
}

const std::vector<RegularExpression::FileSearchProblem>* RegularExpression::GetGrepFilesErrors() const
{
    return m_grepErrors.empty() ? nullptr : &m_grepErrors;
}

const std::vector<RegularExpression::FileChangeProblem>* RegularExpression::GetChangeFilesErrors() const
{
    return m_changeErrors.empty() ? nullptr : &m_changeErrors;
}

void RegularExpression::Serialize(CArchive& ar)
{
    if (ar.IsStoring()) {
        storeSettings(ar);
        return;
    }
    // Loading without a class header (the caller read none) takes the
    // current layout, so a direct store and load round-trip.
    const int schema = ar.GetObjectSchema() == CArchive::NoSchema ? kSchema : ar.GetObjectSchema();
    if (schema > kSchema) {
        ar.Abort();
        return;
    }
    loadSettings(ar, schema);
}

void RegularExpression::storeSettings(CArchive& ar) const
{
    const tramex::RegularExpressionData& data = *m_data;
    auto storeSet = [&ar](const std::set<int>& values) {
        ar << qint32(values.size());
        for (int value : values)
            ar << qint32(value);
    };
    for (Field field : tramex::RegularExpressionData::StoredFields(kSchema)) {
        switch (field) {
        case Field::ExpressionOptions: storeSet(data.GetExpressionOptions().Values()); break;
        case Field::MatchOptions: storeSet(data.GetMatchOptions().Values()); break;
        case Field::MaximumSplits: ar << quint32(data.GetMaximumSplits()); break;
        case Field::FormatType: ar << qint32(data.GetFormatType()); break;
        case Field::LocaleModel: ar << qint32(data.GetLocaleModel()); break;
        case Field::Expression: ar.WriteString(text(ExpressionText)); break;
        case Field::StringToMatch: ar.WriteString(text(SubjectText)); break;
        case Field::FilesToMatch: ar.WriteString(text(FilesText)); break;
        case Field::FormatString: ar.WriteString(text(FormatText)); break;
        case Field::SaveExtension: ar.WriteString(text(ExtensionText)); break;
        case Field::LocaleDll: ar.WriteString(text(LocaleDllText)); break;
        default: ar << qint32(data.GetFlag(field) ? 1 : 0); break;
        }
    }
}

void RegularExpression::loadSettings(CArchive& ar, int schema)
{
    tramex::RegularExpressionData& data = *m_data;
    // Reads a stored set; each value goes in as stored, without the rules
    // of Add. The first failed read ends the set.
    auto loadSet = [&ar](auto insert) {
        qint32 count = 0;
        ar >> count;
        if (!ar.IsOk())
            return;
        if (count < 0) {
            ar.MarkCorrupt();
            return;
        }
        for (qint32 i = 0; i < count; ++i) {
            qint32 value = 0;
            ar >> value;
            if (!ar.IsOk())
                return;
            insert(value);
        }
    };
    auto loadText = [&](TextField textField) {
        QString value;
        if (!ar.ReadString(value))
            return;
        bool representable = true;
        const std::string bytes = m_texts[textField].Set(value, &representable);
        data.LoadText(coreField(textField), bytes, representable);
    };

    for (Field field : tramex::RegularExpressionData::StoredFields(schema)) {
        if (!ar.IsOk())
            return;
        qint32 number = 0;
        quint32 unsignedNumber = 0;
        switch (field) {
        case Field::ExpressionOptions:
            data.LoadClearExpressionOptions();
            loadSet([&data](int value) { data.LoadExpressionOption(value); });
            break;
        case Field::MatchOptions:
            data.LoadClearMatchOptions();
            loadSet([&data](int value) { data.LoadMatchOption(value); });
            break;
        case Field::MaximumSplits:
            ar >> unsignedNumber;
            if (ar.IsOk())
                data.LoadMaximumSplits(unsignedNumber);
            break;
        case Field::FormatType:
            ar >> number;
            if (ar.IsOk())
                data.LoadFormatType(number);
            break;
        case Field::LocaleModel:
            ar >> number;
            // A model this class does not have would index past its
            // compiled expressions; such an archive is damaged.
            if (ar.IsOk() && !data.LoadLocaleModel(number))
                ar.MarkCorrupt();
            break;
        case Field::Expression: loadText(ExpressionText); break;
        case Field::StringToMatch: loadText(SubjectText); break;
        case Field::FilesToMatch: loadText(FilesText); break;
        case Field::FormatString: loadText(FormatText); break;
        case Field::SaveExtension: loadText(ExtensionText); break;
        case Field::LocaleDll: loadText(LocaleDllText); break;
        default:
            ar >> number;
            if (ar.IsOk())
                data.LoadFlag(field, number == 1);
            break;
        }
    }
}
