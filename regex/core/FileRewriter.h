#pragma once

#include "FileProblems.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tramex {

// Writes the replacements of ChangeFiles into one file.
//
// The new content is written to a temporary file beside the file (the
// target of a link, so the link stays a link), checked on the way that every
// replaced text is still where the search found it, given the file's
// permission bits (and owner, where the process may), flushed to disk and
// then renamed over the file. Until that rename the file is untouched, so a
// full disk, a refused folder or a vanished text never costs the file its
// content. (A rename gives the file a new identity: other hard links to it
// keep the old content.)
class FileRewriter
{
public:
    struct Replacement
    {
        std::uint64_t position = 0;
        std::string matched;
        std::string replacement;
    };

    // Rewrites "fileName" with "replacements" (in file order). With a save
    // extension the unchanged file is first copied to its backup name.
    // True when the file now holds the replacements; every failure is added
    // to "problems" (steps of FileChangeProblem). A failure to restore the
    // permission bits is recorded but does not undo the change.
    static bool Rewrite(const std::string& fileName, const std::vector<Replacement>& replacements,
                        const std::string& saveExtension, std::vector<FileChangeProblem>& problems);

    // The file's name with its extension replaced by (or, without one,
    // followed by) "." and the save extension, in the file's own folder.
    // A name's leading dot starts no extension (".profile" has none).
    static std::string BackupName(const std::string& fileName, const std::string& saveExtension);
    // Whether the extension of the file's name equals "extension", letters
    // compared without case; never for an empty extension.
    static bool HasExtension(const std::string& fileName, const std::string& extension);
    // A file without its owner's write permission (whoever runs the
    // program, root included).
    static bool IsReadOnly(const std::string& fileName);
};

} // namespace tramex
