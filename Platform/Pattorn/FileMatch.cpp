#include "FileMatch.h"

namespace pattorn {

unsigned FileMatch::Marks() const
{
    return unsigned(m_results.size());
}

std::string FileMatch::operator[](int i) const
{
    if (i < 0 || size_t(i) >= m_results.size() || !m_results[i].matched)
        return std::string();
    // The engine's own str() appends character by character.
    return std::string(m_results[i].first, m_results[i].second);
}

int FileMatch::Position(int i) const
{
    if (i < 0 || size_t(i) >= m_results.size() || !m_results[i].matched)
        return -1;
    return int(m_results[i].first - m_fileStart);
}

void FileMatch::Part(int i, std::string& text, int& position) const
{
    if (i < 0 || size_t(i) >= m_results.size() || !m_results[i].matched) {
        text.clear();
        position = -1;
        return;
    }
    text.assign(m_results[i].first, m_results[i].second);
    position = int(m_results[i].first - m_fileStart);
}

std::string FileMatch::Format(const std::string& format) const
{
    return m_formatter.Format(m_results, format);
}

} // namespace pattorn
