#pragma once

#include <QString>

// One access event as a framed reader keeps it, cut out of the reader's
// 26-character reply to 'L' "E" + event number:
//
//   0-3 head, 4-13 transponder, 14-15 hour, 16-17 minute,
//   18-19 B1 (first kind, day), 20-21 B2 (second kind, month),
//   22-23 year, 24-25 checksum.
//
// A pure value: no link, no database, no language texts (the kinds carry
// the number of their text, which the caller looks up in the language it
// captured).
class CEventRecord
{
public:
    static constexpr int kReplyLength = 26;

    // Cuts a reply into its fields. False (and *out untouched) when the
    // reply is not exactly 26 characters long or is not an event reply
    // (head "FFLE"): a login reply has the same length. A B1 or B2 pair that is not
    // hexadecimal counts as 0, and a units nibble above 9 is written in
    // decimal: a reader that keeps such a record must not end a whole run.
    static bool Decode(const QString& reply, CEventRecord* out);

    // The century of a two-digit year: above "70" the 1900s, else the 2000s.
    static int FullYear(int twoDigits);

    QString transponder; // strTranspondernummer, as it stands
    QString date;        // strDatum: DDMMYYYY
    QString time;        // strUhrzeit: hhmm
    QString kind1Code;   // strBinaerwert1: "10", "01" or "00"
    unsigned int kind1Text = 0;
    QString kind2Code;   // strBinaerwert2: "011" ... "---"
    unsigned int kind2Text = 0;

    // The date as numbers, for the date filter.
    int day = 0;
    int month = 0;
    int year = 0; // full year
};
