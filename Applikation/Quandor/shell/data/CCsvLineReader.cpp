#include "data/CCsvLineReader.h"

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

bool CCsvLineReader::ReadLine(QString* line, bool* tooLong)
{
    *tooLong = false;
    if (m_failed || !m_file.isOpen())
        return false;
    if (!Fill())
        return false;
    if (m_afterCr) {
        m_afterCr = false;
        if (m_buffer[m_pos] == '\n') {
            ++m_pos;
            if (!Fill())
                return false;
        }
    }

    QByteArray bytes;
    bool ended = false;
    while (!ended && Fill()) {
        const char* start = m_buffer.constData() + m_pos;
        const qsizetype available = m_buffer.size() - m_pos;
        qsizetype length = 0;
        while (length < available && start[length] != '\n' && start[length] != '\r')
            ++length;
        // Past the limit only the line's end is looked for.
        const qsizetype room = kMaxLineBytes - bytes.size();
        if (length > room)
            *tooLong = true;
        bytes.append(start, std::min(length, std::max<qsizetype>(room, 0)));
        m_pos += length;
        if (length < available) {
            m_afterCr = start[length] == '\r';
            ++m_pos;
            ended = true;
        }
    }
    if (m_failed)
        return false;
    *line = m_utf8 ? QString::fromUtf8(bytes) : CodePage1252::Decode(bytes.constData(), bytes.size());
    return true;
}
