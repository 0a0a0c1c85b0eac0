#pragma once

#include <map>
#include <memory>
#include <string>

namespace tramex {

// A message catalogue of the regular-expression component: the plain text
// file that takes the place of a resource-only locale library. It is data
// only; nothing in it is ever run.
//
// Format: one entry per line, "<decimal id><TAB><text>"; the text runs to the
// end of the line (a CR before the line feed is dropped) and is taken byte for
// byte, in the single-byte code page of the expressions (Windows-1252). Empty
// lines and lines starting with "#" are ignored. A text is cut at 254
// characters, as the 255-character buffer of a string resource cut it.
//
// Ids the component reads: 143 (its first character replaces the "s" of the
// default split expression "\s+"), 251 (the "Empty expression" text), 252
// (the "Unable to open the Locale DLL " text). The engine reads 1 to 59
// (syntax characters), 200 to 221 (its error texts: 200 + error number) and
// 300 to 313 (character class names).
class MessageCatalogue
{
public:
    // Files larger than this are no catalogue (a catalogue holds a few
    // hundred short lines); they are refused without being read.
    static constexpr long long MaximumFileSize = 1024 * 1024;
    static constexpr size_t MaximumTextLength = 254;

    // Reads the file when it is a readable regular file of sane size. In
    // strict mode a line that is no entry (no TAB, an id that is not a
    // decimal number from 0 to 2147483647, an id given twice) refuses the
    // whole file; otherwise such lines are skipped.
    static std::shared_ptr<const MessageCatalogue> Load(const std::string& path, bool strict);
    // The same for a file's content already read; null when strict mode
    // refuses it.
    static std::shared_ptr<const MessageCatalogue> Parse(const std::string& content, bool strict);

    // The text of an id; null when the catalogue has none.
    const std::string* Find(int id) const;

private:
    std::map<int, std::string> m_texts;
};

} // namespace tramex
