#include "CTimeStamp.h"

#include <ctime>

CTimeStamp::CTimeStamp()
{
    Read();
}

CTimeStamp::CTimeStamp(Clock clock)
    : m_clock(std::move(clock))
{
    Read();
}

QString CTimeStamp::Now()
{
    Read();
    return m_text;
}

void CTimeStamp::Read()
{
    using namespace std::chrono;
    const system_clock::time_point now = m_clock ? m_clock() : system_clock::now();
    const std::int64_t totalMs = duration_cast<milliseconds>(now.time_since_epoch()).count();
    // Floor division, so moments before 1970 keep milliseconds in 0..999.
    std::int64_t seconds = totalMs / 1000;
    std::int64_t millis = totalMs % 1000;
    if (millis < 0) {
        millis += 1000;
        --seconds;
    }

    const std::time_t asTimeT = static_cast<std::time_t>(seconds);
    std::tm local{};
    if (!localtime_r(&asTimeT, &local) || local.tm_year < 0 || local.tm_year > 9999 - 1900) {
        // A clock outside the years 1900 to 9999 cannot be written in the
        // four-digit form: show the epoch rather than garbage.
        local = std::tm{};
        local.tm_mday = 1;
        local.tm_year = 70;
        seconds = 0;
        millis = 0;
    }

    m_day = static_cast<std::uint8_t>(local.tm_mday);
    m_month = static_cast<std::uint8_t>(local.tm_mon);
    m_year = static_cast<std::uint16_t>(local.tm_year);
    m_second = static_cast<std::uint8_t>(local.tm_sec);
    m_minute = static_cast<std::uint8_t>(local.tm_min);
    m_hour = static_cast<std::uint8_t>(local.tm_hour);
    m_seconds1970 = seconds;
    m_milliseconds = static_cast<std::uint32_t>(millis);

    m_text = QString::asprintf("%02d-%02d-%04d/%02d:%02d:%02d.%03d", int(m_day), int(m_month) + 1,
                               int(m_year) + 1900, int(m_hour), int(m_minute), int(m_second),
                               int(m_milliseconds));
}
