#pragma once

#include "PattornExport.h"

#include <functional>
#include <string>

namespace pattorn {

// Lists the files that a files pattern names. The pattern is a folder part
// taken as it is and a last part that may hold the wildcards of fnmatch(3)
// ("*", "?", "[...]"), compared case-sensitively; without a folder part the
// current folder is meant and names come back without one.
//
// Files come in name order, a folder's own files before its subfolders'.
// Only regular files are reported (and links that lead nowhere, so that
// opening them reports the problem); folders reached through links are not
// entered, so a link loop cannot make the walk endless.
class PATTORN_EXPORT FileWalker
{
public:
    // A false result of either visitor ends the walk.
    using FileVisitor = std::function<bool(const std::string& path)>;
    using FolderProblemVisitor = std::function<bool(const std::string& folder, int error)>;

    static void Walk(const std::string& pattern, bool recurse, const FileVisitor& onFile,
                     const FolderProblemVisitor& onFolderProblem);

    // The folder part (empty for none, "/" for the root) and the name part.
    static void SplitPattern(const std::string& pattern, std::string& folder, std::string& name);
    static std::string Join(const std::string& folder, const std::string& name);
};

} // namespace pattorn
