#pragma once

#include <QString>
#include <QStringView>

#include <string>

// The single-byte Windows code page 1252 ("ANSI" on German and English
// Windows), in which stored files and the regular-expression engine keep
// their text.
//
// Every UTF-16 unit becomes exactly one byte and every byte exactly one
// QChar, so offsets in the byte text equal QString indices. The five bytes
// that the code page leaves undefined decode to the C1 controls of the same
// value (as Windows does), which makes Decode followed by Encode give back
// every byte unchanged.
class CodePage1252
{
public:
    // The byte text of "text"; a unit the code page cannot hold (letters of
    // other scripts, halves of surrogate pairs) becomes "substitute".
    // "allRepresentable", when given, tells whether no unit was replaced.
    static std::string Encode(QStringView text, char substitute, bool* allRepresentable = nullptr);
    static QString Decode(const char* bytes, qsizetype size);
    static QString Decode(const std::string& bytes) { return Decode(bytes.data(), qsizetype(bytes.size())); }
    // The same into "text", which keeps its room where it is not shared:
    // for texts decoded one after another into the same place.
    static void Decode(const char* bytes, qsizetype size, QString& text);

    // The byte of one unit; false when the code page cannot hold it.
    static bool ToByte(char16_t unit, unsigned char& byte);
};
