#include "FileMatch.h"

namespace pattorn {

namespace rc = boost::regex_constants;

std::string FileMatch::operator[](int i) const
{
    std::string text;
    int position = -1;
    Part(i, text, position);
    return text;
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
