#pragma once

#include <QString>

// Which read events are stored when the operator asks for a date range:
// whole dates, both bounds inclusive, so a range across a month or a year
// end keeps every event inside it.
//
// Bounds come as the options dialog writes them, "DDMMYY"; their two-digit
// years follow the events' own century rule (71-99: 1900s, 00-70: 2000s),
// so bounds and events always agree.
class CEventDateFilter
{
public:
    // Off: every event passes.
    CEventDateFilter() = default;
    // On only when "on" is set and both bounds are given. A bound that is
    // not six digits switches the filter off: a filter nobody can read must
    // not throw events away.
    CEventDateFilter(bool on, const QString& fromDDMMYY, const QString& toDDMMYY);

    bool IsOn() const { return m_on; }
    // A from-date after the to-date passes nothing.
    bool Passes(int day, int month, int fullYear) const;

    // yyyymmdd as one number, ordered as the dates are.
    static int DateKey(int day, int month, int fullYear) { return fullYear * 10000 + month * 100 + day; }
    // The key of a "DDMMYY" text; -1 when it is not six digits.
    static int BoundKey(const QString& ddmmyy);

private:
    bool m_on = false;
    int m_from = 0;
    int m_to = 0;
};
