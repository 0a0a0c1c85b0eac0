#pragma once

#include <iosfwd>

namespace tramex {
class RegularExpressionData;
}

namespace RegexClass {

// The settings of a regular-expression job as blank-separated text: numbers
// in decimal, booleans as 0 and 1, each text as its length in bytes, a
// blank and the bytes as they are (so a text may hold blanks and line
// breaks). Version 2 is written; versions 1 and 2 are read.
class SettingsStream
{
public:
    static void Write(std::ostream& out, const tramex::RegularExpressionData& data);
    // Reads into "data" field by field; the stream's state tells the result.
    // A version above 2 fails the stream and changes nothing; a version of 0
    // or below is ignored. A stream that is not a settings text (a negative
    // count, a locale model the component does not have, a text shorter
    // than its length) fails where that shows; the fields read before keep
    // their new values.
    static void Read(std::istream& in, tramex::RegularExpressionData& data);

    static constexpr int kVersion = 2;
};

} // namespace RegexClass
