#include "FolderHandle.h"
#include "PattornFilesFixture.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace {

class FolderHandleTest : public PattornFilesFixture
{
protected:
    // The first byte of the file "name" opened through the handle, or the
    // error of opening it.
    std::string firstByte(pattorn::FolderHandle& folder, const std::string& name)
    {
        const int fd = folder.Open(m_root + "/" + name, O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return "errno " + std::to_string(errno);
        char c = 0;
        const bool got = read(fd, &c, 1) == 1;
        close(fd);
        return got ? std::string(1, c) : "empty";
    }
};

} // namespace

// Files of the same name in folders of the same length, in turn: each is
// opened from its own folder, and a missing folder or file is reported as
// opening it by the whole path does.
TEST_F(FolderHandleTest, OpensEachFileFromItsOwnFolder)
{
    ASSERT_EQ(mkdir((m_root + "/a1").c_str(), 0700), 0);
    ASSERT_EQ(mkdir((m_root + "/a2").c_str(), 0700), 0);
    write("a1/x.txt", "1");
    write("a2/x.txt", "2");
    write("x.txt", "0");
    const std::string missing = "errno " + std::to_string(ENOENT);
    const std::pair<const char*, std::string> rows[] = {
        {"a1/x.txt", "1"}, {"a2/x.txt", "2"}, {"a1/x.txt", "1"}, {"x.txt", "0"},
        {"a3/x.txt", missing}, {"a2/x.txt", "2"}, {"a2/y.txt", missing},
    };
    pattorn::FolderHandle folder;
    for (const auto& [name, expected] : rows)
        EXPECT_EQ(firstByte(folder, name), expected) << name;
}
