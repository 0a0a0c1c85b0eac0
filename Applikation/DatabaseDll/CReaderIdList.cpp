#include "CReaderIdList.h"

#include <algorithm>
#include <limits>

namespace {

// The column takes no NULL: a list emptied here is an empty text.
QString notNull(QString text)
{
    return text.isNull() ? QStringLiteral("") : text;
}

} // namespace

CReaderIdList::CReaderIdList(const QString& stored)
    : m_text(stored)
{
    ForEachPiece(m_text, kSeparator, [this](QStringView piece) {
        const qint32 reader = ReaderOf(piece);
        if (reader != 0 && !Holds(reader))
            m_readers.append(reader);
    });
}

qint32 CReaderIdList::ReaderOf(QStringView piece)
{
    qsizetype i = 0;
    while (i < piece.size() && piece[i].isSpace())
        ++i;
    qint64 number = 0;
    for (; i < piece.size() && piece[i] >= u'0' && piece[i] <= u'9'; ++i) {
        number = number * 10 + (piece[i].unicode() - u'0');
        // Beyond every ID the table can give: the piece names no reader,
        // however many digits follow.
        if (number > std::numeric_limits<qint32>::max())
            return 0;
    }
    return qint32(number);
}

bool CReaderIdList::Holds(qint32 reader) const
{
    return reader > 0 && std::find(m_readers.cbegin(), m_readers.cend(), reader) != m_readers.cend();
}

CReaderIdList CReaderIdList::With(qint32 reader) const
{
    if (reader <= 0 || Holds(reader))
        return *this;
    CReaderIdList result = *this;
    const QString id = QString::number(reader);
    result.m_text = m_text.isEmpty() ? id : m_text + kSeparator + id;
    result.m_readers.append(reader);
    return result;
}

CReaderIdList CReaderIdList::Without(qint32 reader) const
{
    return reader > 0 ? Without(QSet<qint32>{reader}) : *this;
}

CReaderIdList CReaderIdList::Without(const QSet<qint32>& readers) const
{
    if (std::none_of(m_readers.cbegin(), m_readers.cend(), [&readers](qint32 id) { return readers.contains(id); }))
        return *this;
    CReaderIdList result;
    QString kept;
    bool first = true;
    ForEachPiece(m_text, kSeparator, [&](QStringView piece) {
        const qint32 id = ReaderOf(piece);
        if (id != 0 && readers.contains(id))
            return;
        if (!first)
            kept += kSeparator;
        kept += piece;
        first = false;
        if (id != 0 && !result.Holds(id))
            result.m_readers.append(id);
    });
    result.m_text = notNull(std::move(kept));
    return result;
}

CReaderIdList CReaderIdList::Imported(const QList<qint32>& readers)
{
    QString text = QStringLiteral("");
    for (qint32 reader : readers)
        text += QString::number(reader) + kSeparator;
    return CReaderIdList(text);
}

QString CReaderIdList::ExportFields(const QList<qint32>& readers, const QStringList& fields) const
{
    QString part;
    for (qsizetype i = 0; i < readers.size(); ++i) {
        part += u';';
        if (Holds(readers[i]) && i < fields.size())
            part += fields[i];
    }
    return part;
}
