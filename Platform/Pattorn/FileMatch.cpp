#include "FileMatch.h"

namespace pattorn {

namespace rc = boost::regex_constants;

unsigned FileMatch::Marks() const
{
    return m_results ? unsigned(m_results->size()) : m_marks;
}

bool FileMatch::bounds(int i, const char*& first, const char*& second) const
{
    if (i < 0 || unsigned(i) >= Marks())
        return false;
    if (m_results) {
        const auto& mark = (*m_results)[i];
        first = mark.first;
        second = mark.second;
        return mark.matched;
    }
    if (m_spans[2 * i] < 0)
        return false;
    first = m_fileStart + m_spans[2 * i];
    second = m_fileStart + m_spans[2 * i + 1];
    return true;
}

std::string FileMatch::operator[](int i) const
{
    std::string text;
    int position = -1;
    Part(i, text, position);
    return text;
}

int FileMatch::Position(int i) const
{
    const char* first = nullptr;
    const char* second = nullptr;
    return bounds(i, first, second) ? int(first - m_fileStart) : -1;
}

void FileMatch::Part(int i, std::string& text, int& position) const
{
    const char* first = nullptr;
    const char* second = nullptr;
    if (!bounds(i, first, second)) {
        text.clear();
        position = -1;
        return;
    }
    // The engine's own str() appends character by character.
    text.assign(first, second);
    position = int(first - m_fileStart);
}

std::string FileMatch::Format(const std::string& format) const
{
    if (m_results)
        return m_formatter.Format(*m_results, format);
    // Where the search found a match first, it finds the same one again
    // when it may only match there; a match of something is never the
    // empty match the search may have passed over at the same place.
    const char* start = m_fileStart + m_spans[0];
    rc::match_flag_type flags = m_flags | rc::match_continuous;
    if (start != m_fileStart)
        flags |= rc::match_prev_avail;
    if (m_spans[1] > m_spans[0])
        flags |= rc::match_not_null;
    return m_formatter.Format(m_formatter.Refind(start, m_fileEnd, flags), format);
}

} // namespace pattorn
