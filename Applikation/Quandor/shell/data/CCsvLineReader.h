#pragma once

#include <QFile>
#include <QString>

// Reads a CSV file line by line, whatever line ends it has (CR LF or LF; a
// last line without one counts too). Bytes are text of code page 1252, so
// every file decodes, binary ones included; a line longer than the limit is
// cut and marked, so no file can make the reader hold more than one limit
// of memory.
class CCsvLineReader
{
public:
    static constexpr qint64 kMaxLineBytes = 64 * 1024;

    explicit CCsvLineReader(const QString& path);

    bool Open();
    // The next line; false at the end of the file or on a read error.
    // *tooLong tells that the line was longer than the limit (its start is
    // given, the rest skipped).
    bool ReadLine(QString* line, bool* tooLong);
    // Whether reading stopped on an error rather than at the end.
    bool Failed() const { return m_failed; }
    QString ErrorString() const { return m_file.errorString(); }

private:
    QFile m_file;
    bool m_failed = false;
};
