#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

// Reads a CSV file line by line, whatever line ends it has: CR LF, LF, or CR
// alone (old Mac editors) all end a line, and no CR is left inside a line; a
// last line without an end counts too. A file that starts with the UTF-8
// byte-order mark (what most editors and spreadsheet programs save today) is
// read as UTF-8, the mark dropped; any other file is text of code page 1252,
// so every file decodes, binary ones included. A line longer than the limit
// is cut and marked, so no file can make the reader hold more than one limit
// of memory.
//
// A quoted field may hold a line break (see CCsvFormat): a line that ends
// inside quotes goes on with the next one, its break kept. When the quote
// never closes, before the end of the file or the limit, the line is taken
// alone, as the text it is.
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
    bool IsUtf8() const { return m_utf8; }

private:
    // Makes sure unread bytes are buffered; false at the end or on an error.
    bool Fill();
    // One line as stored, without its end; "end" is the end that followed it
    // (empty at the end of the file).
    bool ReadStoredLine(QByteArray* bytes, QByteArray* end, bool* tooLong);
    // The position in the file of the next unread byte.
    qint64 Position() const;
    bool Seek(qint64 position);

    QFile m_file;
    QByteArray m_buffer;
    qsizetype m_pos = 0;
    bool m_utf8 = false;
    bool m_failed = false;
};
