#include "CCsvLineReader.h"

#include "CCsvFormat.h"
#include "CodePage1252.h"

#include <cstring>

namespace {

constexpr qint64 kChunk = 64 * 1024;
const char kByteOrderMark[] = "\xEF\xBB\xBF";

} // namespace

CCsvLineReader::CCsvLineReader(const QString& path)
    : m_file(path)
{
}

bool CCsvLineReader::Open()
{
    if (!m_file.open(QIODevice::ReadOnly))
        return false;
    if (Fill() && m_buffer.startsWith(kByteOrderMark)) {
        m_utf8 = true;
        m_pos = 3;
    }
    return !m_failed;
}

bool CCsvLineReader::Fill()
{
    if (m_pos < m_buffer.size())
        return true;
    m_buffer = m_file.read(kChunk);
    m_pos = 0;
    if (m_buffer.isEmpty()) {
        if (m_file.error() != QFileDevice::NoError)
            m_failed = true;
        return false;
    }
    return true;
}

qint64 CCsvLineReader::Position() const
{
    return m_file.pos() - (m_buffer.size() - m_pos);
}

bool CCsvLineReader::Seek(qint64 position)
{
    m_buffer.clear();
    m_pos = 0;
    if (m_file.seek(position))
        return true;
    m_failed = true;
    return false;
}

bool CCsvLineReader::ReadStoredLine(QByteArray* bytes, QByteArray* end, bool* tooLong)
{
    bytes->clear();
    end->clear();
    if (!Fill())
        return false;
    for (;;) {
        if (!Fill())
            return !m_failed; // a last line without an end
        const char* start = m_buffer.constData() + m_pos;
        const qsizetype available = m_buffer.size() - m_pos;
        qsizetype length = 0;
        while (length < available && start[length] != '\n' && start[length] != '\r')
            ++length;
        // Past the limit only the line's end is looked for.
        const qsizetype room = kMaxLineBytes - bytes->size();
        if (length > room)
            *tooLong = true;
        bytes->append(start, std::min(length, std::max<qsizetype>(room, 0)));
        m_pos += length;
        if (length == available)
            continue;
        const char first = start[length];
        ++m_pos;
        end->append(first);
        // An LF right after a CR belongs to the same end, also across a read.
        if (first == '\r' && Fill() && m_buffer[m_pos] == '\n') {
            ++m_pos;
            end->append('\n');
        }
        return !m_failed;
    }
}

bool CCsvLineReader::ReadLine(QString* line, bool* tooLong)
{
    *tooLong = false;
    if (m_failed || !m_file.isOpen())
        return false;
    const qint64 start = Position();
    QByteArray bytes;
    QByteArray end;
    if (!ReadStoredLine(&bytes, &end, tooLong))
        return false;
    if (!*tooLong && CCsvFormat::EndsInsideQuotes(bytes)) {
        QByteArray joined = bytes;
        QByteArray more;
        bool longer = false;
        bool closed = false;
        while (!end.isEmpty() && joined.size() <= kMaxLineBytes) {
            joined += end;
            if (!ReadStoredLine(&more, &end, &longer) || longer)
                break;
            joined += more;
            if (!CCsvFormat::EndsInsideQuotes(joined)) {
                closed = true;
                break;
            }
        }
        if (m_failed)
            return false;
        if (closed && joined.size() <= kMaxLineBytes) {
            bytes = joined;
        } else {
            // The quote never closes: the line is only itself.
            if (!Seek(start) || !ReadStoredLine(&bytes, &end, tooLong))
                return false;
        }
    }
    *line = m_utf8 ? QString::fromUtf8(bytes) : CodePage1252::Decode(bytes.constData(), bytes.size());
    return true;
}
