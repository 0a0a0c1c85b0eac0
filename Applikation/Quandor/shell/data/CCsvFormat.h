#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// The CSV files of export and import: one record per line, fields separated
// by ";" with no quoting, the first field the record type. On disk the text
// is in the Windows code page 1252 and every line ends in CR LF; a
// character the code page cannot hold is written as "?".
//
// There is no escaping: a ";" inside a name splits the field, a line break
// inside a name breaks the line. The files of the earlier program are read
// and written exactly so.
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
    static QStringList SplitCsvLine(const QString& line);

    // The bytes of one line as written to the file, line end included.
    static QByteArray EncodeLine(const QString& line);
    // The text of one line as read from the file: its line end (LF, and one
    // CR before it) removed.
    static QString DecodeLine(const QByteArray& bytes);

    // Whether a text is a transponder number: exactly ten hexadecimal digits.
    static bool IsTransponderNumber(const QString& text);
};
