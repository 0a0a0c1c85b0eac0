#include "CCsvFormat.h"

#include "CodePage1252.h"

namespace {

// Reads the quoted field that starts at "from" (a quote). Gives the position
// after it (at a ";" or the end), or -1 when the field does not end as a
// quoted field does.
qsizetype quotedField(const QString& line, qsizetype from, QString* text)
{
    text->clear();
    qsizetype i = from + 1;
    while (i < line.size()) {
        if (line[i] == u'"') {
            if (i + 1 < line.size() && line[i + 1] == u'"') {
                text->append(u'"');
                i += 2;
                continue;
            }
            ++i;
            return i == line.size() || line[i] == u';' ? i : -1;
        }
        text->append(line[i++]);
    }
    return -1;
}

} // namespace

QStringList CCsvFormat::SplitCsvLine(const QString& line)
{
    QStringList fields;
    if (line.isEmpty())
        return fields;
    if (!line.contains(u'"'))
        return line.split(u';', Qt::KeepEmptyParts);
    qsizetype start = 0;
    for (;;) {
        QString text;
        qsizetype end = -1;
        if (start < line.size() && line[start] == u'"')
            end = quotedField(line, start, &text);
        if (end < 0) {
            end = line.indexOf(u';', start);
            if (end < 0)
                end = line.size();
            text = line.mid(start, end - start);
        }
        fields << text;
        if (end >= line.size())
            return fields;
        start = end + 1;
    }
}

QString CCsvFormat::Field(const QString& text)
{
    const bool quoted = text.startsWith(u'"') || text.contains(u';') || text.contains(u'\n') || text.contains(u'\r');
    if (!quoted)
        return text;
    QString field = text;
    field.replace(QStringLiteral("\""), QStringLiteral("\"\""));
    return u'"' + field + u'"';
}

bool CCsvFormat::EndsInsideQuotes(const QByteArray& bytes)
{
    bool fieldStart = true;
    bool inside = false;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (inside) {
            if (c == '"') {
                if (i + 1 < bytes.size() && bytes[i + 1] == '"')
                    ++i;
                else
                    inside = false;
            }
        } else if (c == ';') {
            fieldStart = true;
            continue;
        } else if (c == '"' && fieldStart) {
            inside = true;
        }
        fieldStart = false;
    }
    return inside;
}

bool CCsvFormat::FitsCodePage(const QString& text)
{
    for (const QChar c : text) {
        unsigned char byte = 0;
        if (!CodePage1252::ToByte(c.unicode(), byte))
            return false;
    }
    return true;
}

QByteArray CCsvFormat::EncodeLine(const QString& line, bool utf8)
{
    QByteArray encoded;
    if (utf8) {
        encoded = line.toUtf8();
    } else {
        const std::string bytes = CodePage1252::Encode(line, '?');
        encoded.reserve(qsizetype(bytes.size()) + 2);
        encoded.append(bytes.data(), qsizetype(bytes.size()));
    }
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
