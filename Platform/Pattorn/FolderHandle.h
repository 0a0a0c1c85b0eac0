#pragma once

#include "PattornExport.h"

#include <string>

namespace pattorn {

// Opens files relative to the folder of the file opened last: the files of
// a search come folder by folder, and opening each by its whole path walks
// every folder of the path again.
class PATTORN_EXPORT FolderHandle
{
public:
    FolderHandle() = default;
    ~FolderHandle();
    FolderHandle(const FolderHandle&) = delete;
    FolderHandle& operator=(const FolderHandle&) = delete;

    // Opens "path" as open(2) does with "flags"; -1 with errno on failure.
    int Open(const std::string& path, int flags);

private:
    std::string m_folder;
    // -1 when the folder could not be opened: its files are then opened
    // by their whole path, which reports why.
    int m_fd = -1;
};

} // namespace pattorn
