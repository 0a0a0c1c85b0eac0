#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// The CSV files of export and import: one record per line, fields separated
// by ";", the first field the record type. On disk the text is in the
// Windows code page 1252 and every line ends in CR LF; a file with a
// character the code page cannot hold is written as UTF-8 with a byte-order
// mark instead, so no name is ever changed.
//
// A field is written as it is, as the files of the earlier program are,
// unless it holds a ";", a line break or starts with a quote: then it is put
// in quotes, a quote inside doubled ("a;b" as "\"a;b\""), as spreadsheet
// programs read it. A field that starts with a quote but does not end as a
// quoted field is read as the text it is.
class CCsvFormat
{
public:
    static inline const QString kTransponder = QStringLiteral("Transponder");
    static inline const QString kPerson = QStringLiteral("Person");
    static inline const QString kEvent = QStringLiteral("Event");
    // A transponder without person.
    static inline const QString kNoPerson = QStringLiteral("---");

    // The fields of a line: cut at every ";", the piece after the last
    // separator included even when empty; an empty text has no field.
    // A quoted field gives its text.
    static QStringList SplitCsvLine(const QString& line);
    // A field as written: in quotes when it must be.
    static QString Field(const QString& text);
    // Whether a line's bytes end inside a quoted field (its line break is
    // then part of the field).
    static bool EndsInsideQuotes(const QByteArray& bytes);

    static inline const QByteArray kUtf8Mark = QByteArrayLiteral("\xEF\xBB\xBF");
    // Whether code page 1252 holds every character of the text.
    static bool FitsCodePage(const QString& text);
    // The bytes of one line as written to the file, line end included: code
    // page 1252 ("?" for what it cannot hold) or UTF-8.
    static QByteArray EncodeLine(const QString& line, bool utf8 = false);
    // The text of one line as read from the file: its line end (LF, and one
    // CR before it) removed.
    static QString DecodeLine(const QByteArray& bytes);

    // Whether a text is a transponder number: exactly ten hexadecimal digits.
    static bool IsTransponderNumber(const QString& text);
};
