#pragma once

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <QVarLengthArray>

#include <utility>

// The readers a transponder is assigned to, as tblTransponder stores them
// in strLeser_IDS: reader IDs as decimal texts joined by ";" ("3;7").
//
// Every part of the program reads and changes these lists by the rules
// here, so a list means the same reader in the views, the transfers, the
// deleter and the CSV export:
// - A piece names the reader its leading decimal digits give (blanks before
//   them skipped), so "05" is reader 5 and "7x" reader 7. An empty piece,
//   "0", text without leading digits and a number beyond the ID range name
//   no reader.
// - A list that a change leaves as it was keeps its stored text exactly,
//   so an unchanged row is never rewritten and lists written by other PCs
//   or older files ("3;7;" from an import, ";5", "05") keep their form.
// - Adding a reader appends ";" and its ID to the stored text; an empty list
//   becomes the ID alone. A list that already names the reader, in any
//   form, stays as it is, and reader 0 is never written.
// - Removing a reader takes out every piece that names it (a reader listed
//   twice must not stay assigned); the other pieces stay as they were,
//   joined by ";". A list with no piece left is stored as an empty text.
class CReaderIdList
{
public:
    static constexpr QChar kSeparator = u';';

    CReaderIdList() = default;
    explicit CReaderIdList(const QString& stored);

    // Calls each with every piece of text between separators, in order,
    // and with the piece after the last separator, also when it is empty;
    // an empty text has no piece. The one rule by which lists are split.
    template <class Each>
    static void ForEachPiece(QStringView text, QChar separator, Each each)
    {
        if (text.isEmpty())
            return;
        qsizetype start = 0;
        for (qsizetype i = 0; i <= text.size(); ++i) {
            if (i == text.size() || text[i] == separator) {
                each(text.mid(start, i - start));
                start = i + 1;
            }
        }
    }
    // The reader one piece names; 0 for none.
    static qint32 ReaderOf(QStringView piece);

    // The stored text; never null when the list was changed here.
    const QString& Text() const { return m_text; }
    bool Holds(qint32 reader) const;
    // The readers named, each once, in the order of their first piece. A
    // temporary list hands out a copy, so a loop over it stays valid.
    const QVarLengthArray<qint32, 8>& Readers() const& { return m_readers; }
    QVarLengthArray<qint32, 8> Readers() && { return std::move(m_readers); }
    bool NamesNoReader() const { return m_readers.isEmpty(); }

    CReaderIdList With(qint32 reader) const;
    CReaderIdList Without(qint32 reader) const;
    CReaderIdList Without(const QSet<qint32>& readers) const;

    // A list of readers as the CSV import has always stored it: each ID
    // followed by ";" ("3;7;"), empty for none.
    static CReaderIdList Imported(const QList<qint32>& readers);

    // The reader fields of a CSV export line: for each reader given, in that
    // order, ";" and then its field when this list names the reader, else
    // ";" alone. Empty when there are no readers.
    QString ExportFields(const QList<qint32>& readers, const QStringList& fields) const;

private:
    QString m_text;
    QVarLengthArray<qint32, 8> m_readers;
};
