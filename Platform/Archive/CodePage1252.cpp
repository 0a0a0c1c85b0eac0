#include "CodePage1252.h"

namespace {

// 0x80 to 0x9F; the undefined places carry their own value.
const char16_t kHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

} // namespace

bool CodePage1252::ToByte(char16_t unit, unsigned char& byte)
{
    if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF)) {
        byte = static_cast<unsigned char>(unit);
        return true;
    }
    for (int i = 0; i < 32; ++i) {
        if (kHighControls[i] == unit) {
            byte = static_cast<unsigned char>(0x80 + i);
            return true;
        }
    }
    return false;
}

std::string CodePage1252::Encode(QStringView text, char substitute, bool* allRepresentable)
{
    std::string bytes(static_cast<size_t>(text.size()), '\0');
    bool all = true;
    const char16_t* units = text.utf16();
    for (qsizetype i = 0; i < text.size(); ++i) {
        unsigned char b;
        if (ToByte(units[i], b)) {
            bytes[static_cast<size_t>(i)] = static_cast<char>(b);
        } else {
            bytes[static_cast<size_t>(i)] = substitute;
            all = false;
        }
    }
    if (allRepresentable)
        *allRepresentable = all;
    return bytes;
}

namespace {

void decodeTo(const char* bytes, qsizetype size, QChar* out)
{
    for (qsizetype i = 0; i < size; ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        out[i] = QChar((b >= 0x80 && b < 0xA0) ? kHighControls[b - 0x80] : char16_t(b));
    }
}

} // namespace

QString CodePage1252::Decode(const char* bytes, qsizetype size)
{
    QString text(size, Qt::Uninitialized);
    decodeTo(bytes, size, text.data());
    return text;
}

void CodePage1252::Decode(const char* bytes, qsizetype size, QString& text)
{
    // Empty, never null, as the text Decode returns.
    if (text.isNull()) {
        text = Decode(bytes, size);
        return;
    }
    text.resize(size);
    if (size > 0)
        decodeTo(bytes, size, text.data());
}
