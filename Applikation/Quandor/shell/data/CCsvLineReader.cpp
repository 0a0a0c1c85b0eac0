#include "data/CCsvLineReader.h"

#include "data/CCsvFormat.h"

CCsvLineReader::CCsvLineReader(const QString& path)
    : m_file(path)
{
}

bool CCsvLineReader::Open()
{
    return m_file.open(QIODevice::ReadOnly);
}

bool CCsvLineReader::ReadLine(QString* line, bool* tooLong)
{
    *tooLong = false;
    if (m_failed || !m_file.isOpen() || m_file.atEnd())
        return false;
    QByteArray bytes = m_file.readLine(kMaxLineBytes);
    if (bytes.isEmpty() && m_file.error() != QFileDevice::NoError) {
        m_failed = true;
        return false;
    }
    if (!bytes.endsWith('\n') && !m_file.atEnd()) {
        *tooLong = true;
        // The rest of the line is skipped, a piece at a time.
        for (;;) {
            const QByteArray rest = m_file.readLine(kMaxLineBytes);
            if (rest.isEmpty()) {
                if (m_file.error() != QFileDevice::NoError) {
                    m_failed = true;
                    return false;
                }
                break;
            }
            if (rest.endsWith('\n'))
                break;
        }
    }
    *line = CCsvFormat::DecodeLine(bytes);
    return true;
}
