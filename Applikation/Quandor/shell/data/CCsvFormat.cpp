#include "data/CCsvFormat.h"

#include "CodePage1252.h"

QStringList CCsvFormat::SplitCsvLine(const QString& line)
{
    if (line.isEmpty())
        return QStringList();
    return line.split(u';', Qt::KeepEmptyParts);
}

QByteArray CCsvFormat::EncodeLine(const QString& line)
{
    const std::string bytes = CodePage1252::Encode(line, '?');
    QByteArray encoded;
    encoded.reserve(qsizetype(bytes.size()) + 2);
    encoded.append(bytes.data(), qsizetype(bytes.size()));
    encoded.append("\r\n", 2);
    return encoded;
}

QString CCsvFormat::DecodeLine(const QByteArray& bytes)
{
    qsizetype size = bytes.size();
    if (size > 0 && bytes[size - 1] == '\n') {
        --size;
        if (size > 0 && bytes[size - 1] == '\r')
            --size;
    }
    return CodePage1252::Decode(bytes.constData(), size);
}

bool CCsvFormat::IsTransponderNumber(const QString& text)
{
    if (text.size() != 10)
        return false;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        const bool hex = (u >= u'0' && u <= u'9') || (u >= u'A' && u <= u'F') || (u >= u'a' && u <= u'f');
        if (!hex)
            return false;
    }
    return true;
}
