#include "RegularExpression.h"

#include "FileOperations.h"
#include "RegularExpressionData.h"

namespace RegexClass {

RegularExpression::RegularExpression() : m_data(std::make_unique<tramex::RegularExpressionData>()) {}

RegularExpression::RegularExpression(const RegularExpression& other)
    : RegexEnums(other),
      EventSet(other),
      m_data(std::make_unique<tramex::RegularExpressionData>(*other.m_data))
{
}

RegularExpression::~RegularExpression() = default;

RegularExpression& RegularExpression::operator=(const RegularExpression& other)
{
    if (this != &other) {
        *m_data = *other.m_data;
        EventSet::operator=(other);
    }
    return *this;
}

bool RegularExpression::operator==(const RegularExpression& other) const
{
    return m_data->SameSettings(*other.m_data);
}

void RegularExpression::SetExpression(const std::string& expression) { m_data->SetExpression(expression); }
std::string RegularExpression::GetExpression() const { return m_data->GetExpression(); }
void RegularExpression::SetStringToMatch(const std::string& text) { m_data->SetStringToMatch(text); }
std::string RegularExpression::GetStringToMatch() const { return m_data->GetStringToMatch(); }
void RegularExpression::SetFormatString(const std::string& format) { m_data->SetFormatString(format); }
std::string RegularExpression::GetFormatString() const { return m_data->GetFormatString(); }
void RegularExpression::SetFilesToMatch(const std::string& pattern) { m_data->SetFilesToMatch(pattern); }
std::string RegularExpression::GetFilesToMatch() const { return m_data->GetFilesToMatch(); }
void RegularExpression::SetSaveExtension(const std::string& extension) { m_data->SetSaveExtension(extension); }
std::string RegularExpression::GetSaveExtension() const { return m_data->GetSaveExtension(); }
void RegularExpression::SetLocaleDll(const std::string& name) { m_data->SetLocaleDll(name); }
std::string RegularExpression::GetLocaleDll() const { return m_data->GetLocaleDll(); }

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

std::string RegularExpression::GetExpressionError() const { return m_data->GetExpressionError(); }
unsigned RegularExpression::NumberOfSubexpressions() { return m_data->NumberOfSubexpressions(); }
unsigned RegularExpression::NumberOfSubexpressions() const
{
    return static_cast<const tramex::RegularExpressionData&>(*m_data).NumberOfSubexpressions();
}

bool RegularExpression::Match()
{
    const Converter convert;
    Sink<Converter> sink(*this, convert);
    return m_data->Match(sink);
}

bool RegularExpression::Search()
{
    const Converter convert;
    Sink<Converter> sink(*this, convert);
    return m_data->Search(sink);
}

bool RegularExpression::MatchAll()
{
    const Converter convert;
    Sink<Converter> sink(*this, convert);
    return m_data->MatchAll(sink);
}

unsigned RegularExpression::Grep()
{
    const Converter convert;
    Sink<Converter> sink(*this, convert);
    return m_data->Grep(sink);
}

void RegularExpression::Merge(std::string& result)
{
    const Converter convert;
    Sink<Converter> sink(*this, convert);
    m_data->Merge(sink, result);
}

unsigned RegularExpression::Split(std::vector<std::string>& pieces)
{
    std::vector<tramex::MatchPart> parts;
    const unsigned count = m_data->Split(parts);
    pieces.clear();
    pieces.reserve(parts.size());
    for (tramex::MatchPart& part : parts)
        pieces.push_back(std::move(part.text));
    return count;
}

void RegularExpression::Format(std::string& result) const
{
    result = m_data->Format();
}

unsigned RegularExpression::FindFiles()
{
    const Converter convert;
    Sink<Converter> sink(*this, convert);
    return tramex::FileOperations::Find(*m_data, sink, m_findErrors);
}

unsigned RegularExpression::GrepFiles()
{
    const Converter convert;
    Sink<Converter> sink(*this, convert);
    return tramex::FileOperations::Grep(*m_data, sink, m_grepErrors);
}

unsigned RegularExpression::ChangeFiles()
{
    const Converter convert;
    Sink<Converter> sink(*this, convert);
    return tramex::FileOperations::Change(*m_data, sink, m_changeErrors);
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

} // namespace RegexClass
