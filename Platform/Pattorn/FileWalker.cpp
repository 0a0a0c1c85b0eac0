#include "FileWalker.h"

#include <dirent.h>
#include <fnmatch.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <vector>

namespace pattorn {

namespace {

enum class Kind { File, Folder, Link, Other };

Kind kindOf(const std::string& path, unsigned char type)
{
    switch (type) {
    case DT_REG: return Kind::File;
    case DT_DIR: return Kind::Folder;
    case DT_LNK: return Kind::Link;
    case DT_UNKNOWN: break;
    default: return Kind::Other;
    }
    // Some file systems do not tell the type while listing.
    struct stat info;
    if (lstat(path.c_str(), &info) != 0)
        return Kind::Link; // vanished or unreadable: let opening it report why
    if (S_ISREG(info.st_mode))
        return Kind::File;
    if (S_ISDIR(info.st_mode))
        return Kind::Folder;
    if (S_ISLNK(info.st_mode))
        return Kind::Link;
    return Kind::Other;
}

// A link counts as a file when it leads to one, or leads nowhere (opening it
// then reports the broken link); links to folders, pipes or devices do not.
bool linkCountsAsFile(const std::string& path)
{
    struct stat info;
    if (stat(path.c_str(), &info) != 0)
        return true;
    return S_ISREG(info.st_mode);
}

struct Entry
{
    std::string name;
    unsigned char type;
};

// The entries of one folder in name order; false with errno when the folder
// could not be listed.
bool listFolder(const std::string& folder, std::vector<Entry>& entries, int& error)
{
    entries.clear();
    DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
    if (!dir) {
        error = errno;
        return false;
    }
    errno = 0;
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            entries.push_back({name, entry->d_type});
        errno = 0;
    }
    error = errno;
    closedir(dir);
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.name < b.name; });
    return error == 0;
}

} // namespace

void FileWalker::SplitPattern(const std::string& pattern, std::string& folder, std::string& name)
{
    const std::string::size_type slash = pattern.rfind('/');
    if (slash == std::string::npos) {
        folder.clear();
        name = pattern;
        return;
    }
    folder = slash == 0 ? std::string("/") : pattern.substr(0, slash);
    name = pattern.substr(slash + 1);
}

std::string FileWalker::Join(const std::string& folder, const std::string& name)
{
    if (folder.empty())
        return name;
    if (folder.back() == '/')
        return folder + name;
    return folder + '/' + name;
}

void FileWalker::Walk(const std::string& pattern, bool recurse, const FileVisitor& onFile,
                      const FolderProblemVisitor& onFolderProblem)
{
    std::string top;
    std::string namePattern;
    SplitPattern(pattern, top, namePattern);
    if (namePattern.empty())
        return;

    // Depth first without recursion, so a deep tree cannot exhaust the stack.
    std::vector<std::string> pending{top};
    std::vector<Entry> entries;
    while (!pending.empty()) {
        const std::string folder = std::move(pending.back());
        pending.pop_back();
        int error = 0;
        if (!listFolder(folder, entries, error)) {
            if (!onFolderProblem(folder.empty() ? std::string(".") : folder, error))
                return;
            if (entries.empty())
                continue;
        }
        std::vector<std::string> subfolders;
        for (const Entry& entry : entries) {
            const std::string path = Join(folder, entry.name);
            const Kind kind = kindOf(path, entry.type);
            if (kind == Kind::Folder) {
                if (recurse)
                    subfolders.push_back(path);
                continue;
            }
            if (fnmatch(namePattern.c_str(), entry.name.c_str(), 0) != 0)
                continue;
            if (kind == Kind::File || (kind == Kind::Link && linkCountsAsFile(path))) {
                if (!onFile(path))
                    return;
            }
        }
        pending.insert(pending.end(), subfolders.rbegin(), subfolders.rend());
    }
}

} // namespace pattorn
