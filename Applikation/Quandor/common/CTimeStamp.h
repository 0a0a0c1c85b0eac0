#pragma once

#include <QString>

#include <chrono>
#include <cstdint>
#include <functional>

// A moment in local time to the millisecond, with the fixed text form
// "dd-mm-yyyy/hh:mm:ss.mmm" (23 characters) that reader clocks, backup and
// export file names are cut from.
//
// Every field comes from one reading of the clock, so the milliseconds
// always belong to the second printed beside them. A value: copy it freely;
// each object may be used by one thread at a time.
class CTimeStamp
{
public:
    using Clock = std::function<std::chrono::system_clock::time_point()>;

    // Reads the system clock.
    CTimeStamp();
    // Reads the given clock now and at every Now(); for callers (and tests)
    // that need the time from somewhere other than the system clock.
    explicit CTimeStamp(Clock clock);

    // Reads the clock again and returns the new text.
    QString Now();

    // The text of the last reading.
    const QString& GetText() const { return m_text; }
    int GetDay() const { return m_day; }
    // 1 to 12.
    int GetMonth() const { return m_month + 1; }
    // The full year, e.g. 2010.
    int GetYear() const { return m_year + 1900; }

private:
    void Read();

    Clock m_clock;
    std::uint8_t m_day = 1;
    std::uint8_t m_month = 0; // January = 0
    std::uint16_t m_year = 70; // years since 1900
    std::uint8_t m_second = 0;
    std::uint8_t m_minute = 0;
    std::uint8_t m_hour = 0;
    std::int64_t m_seconds1970 = 0; // 64 bits: 32 run out in 2038
    std::uint32_t m_milliseconds = 0;
    QString m_text;
};
