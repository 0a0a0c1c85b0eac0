#include "MirroredText.h"

#include "CodePage1252.h"

#include <QFile>

namespace {

// The byte that stands for a character the code page cannot hold: a
// control character no expression gives a meaning to (a "?" would turn the
// text into an operator).
constexpr char kSubstitute = '\x1A';

} // namespace

std::string MirroredText::Set(const QString& text, bool* representable)
{
    bool all = true;
    std::string bytes;
    if (m_encoding == CodePage) {
        bytes = CodePage1252::Encode(text, kSubstitute, &all);
    } else {
        bytes = QFile::encodeName(text).toStdString();
        all = QFile::decodeName(QByteArray::fromStdString(bytes)) == text;
    }
    m_lossy = !all;
    if (m_lossy) {
        m_original = text;
        m_bytes = bytes;
    } else {
        m_original.clear();
        m_bytes.clear();
    }
    if (representable)
        *representable = all;
    return bytes;
}

QString MirroredText::decode(const std::string& bytes) const
{
    if (m_encoding == CodePage)
        return CodePage1252::Decode(bytes);
    return QFile::decodeName(QByteArray::fromStdString(bytes));
}

QString MirroredText::Get(const std::string& bytes) const
{
    return holdsOriginalOf(bytes) ? m_original : decode(bytes);
}

QString MirroredText::Part(const std::string& bytes, const std::string& part, int position) const
{
    if (position >= 0 && holdsOriginalOf(bytes))
        return m_original.mid(position, qsizetype(part.size()));
    return decode(part);
}
