#include "FileRewriter.h"
#include "TestEnvironment.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

using tramex::FileChangeProblem;
using tramex::FileRewriter;
namespace fs = std::filesystem;

namespace {

using testfiles::read;

class Rewrite : public ::testing::Test
{
protected:
    void SetUp() override { m_root = TestEnvironment::NewFolder(QStringLiteral("rewrite")).toStdString(); }

    std::string write(const std::string& name, const std::string& content)
    {
        const std::string path = m_root + "/" + name;
        fs::create_directories(fs::path(path).parent_path());
        std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
        return path;
    }

    size_t entries() const { return size_t(std::distance(fs::directory_iterator(m_root), fs::directory_iterator())); }

    std::string m_root;
    std::vector<FileChangeProblem> m_problems;
};

} // namespace

TEST(FileRewriterNames, BackupNamesComeFromTheFilesOwnName)
{
    EXPECT_EQ(FileRewriter::BackupName("/d/notes.txt", "bak"), "/d/notes.bak");
    EXPECT_EQ(FileRewriter::BackupName("/d/v1.2/notes", "bak"), "/d/v1.2/notes.bak");
    EXPECT_EQ(FileRewriter::BackupName("notes", "bak"), "notes.bak");
    EXPECT_EQ(FileRewriter::BackupName("/d/.profile", "bak"), "/d/.profile.bak");
    EXPECT_EQ(FileRewriter::BackupName("a.tar.gz", "old"), "a.tar.old");
    EXPECT_EQ(FileRewriter::BackupName("/d/x.", "bak"), "/d/x.bak");
}

TEST(FileRewriterNames, ExtensionsCompareWithoutCase)
{
    EXPECT_TRUE(FileRewriter::HasExtension("/d/old.BAK", "bak"));
    EXPECT_TRUE(FileRewriter::HasExtension("x.Bak", "bAK"));
    EXPECT_FALSE(FileRewriter::HasExtension("/d/v1.bak/notes", "bak")) << "the folder's dot does not count";
    EXPECT_FALSE(FileRewriter::HasExtension("notes", "bak"));
    EXPECT_FALSE(FileRewriter::HasExtension("notes", "")) << "no save extension, no file skipped";
    EXPECT_FALSE(FileRewriter::HasExtension("notes.", ""));
    EXPECT_FALSE(FileRewriter::HasExtension("a.bake", "bak"));
}

TEST_F(Rewrite, ReplacementsGoWhereTheSearchFoundThem)
{
    const std::string file = write("f.txt", "one two three");
    ASSERT_TRUE(FileRewriter::Rewrite(file, {{4, "two", "2"}, {8, "three", "33333"}}, "", m_problems));
    EXPECT_TRUE(m_problems.empty());
    EXPECT_EQ(read(file), "one 2 33333");
    EXPECT_EQ(entries(), 1u);
}

TEST_F(Rewrite, AChangedOrShortenedFileIsLeftAlone)
{
    const std::string file = write("f.txt", "one TWO three");
    EXPECT_FALSE(FileRewriter::Rewrite(file, {{0, "one", "1"}, {4, "two", "2"}}, "bak", m_problems));
    ASSERT_EQ(m_problems.size(), 1u);
    EXPECT_EQ(m_problems[0].step, FileChangeProblem::text_changed);
    EXPECT_EQ(m_problems[0].offset, 4u);
    EXPECT_EQ(m_problems[0].expected, "two");
    EXPECT_EQ(read(file), "one TWO three");
    EXPECT_EQ(entries(), 1u) << "no temporary file, no backup";

    m_problems.clear();
    EXPECT_FALSE(FileRewriter::Rewrite(file, {{20, "x", "y"}}, "", m_problems));
    ASSERT_EQ(m_problems.size(), 1u);
    EXPECT_EQ(m_problems[0].step, FileChangeProblem::read_failed);
    EXPECT_EQ(m_problems[0].fileName, file);

    m_problems.clear();
    EXPECT_FALSE(FileRewriter::Rewrite(m_root + "/missing.txt", {{0, "x", "y"}}, "", m_problems));
    ASSERT_EQ(m_problems.size(), 1u);
    EXPECT_EQ(m_problems[0].step, FileChangeProblem::open_failed);
    EXPECT_EQ(m_problems[0].systemError, unsigned(ENOENT));
    EXPECT_EQ(entries(), 1u);
}

TEST_F(Rewrite, AFailedBackupLeavesTheFileUnchanged)
{
    const std::string file = write("notes.txt", "alpha");
    fs::create_directory(m_root + "/notes.bak"); // the backup name is taken by a folder
    EXPECT_FALSE(FileRewriter::Rewrite(file, {{0, "alpha", "beta"}}, "bak", m_problems));
    ASSERT_EQ(m_problems.size(), 1u);
    EXPECT_EQ(m_problems[0].step, FileChangeProblem::backup_failed);
    EXPECT_EQ(m_problems[0].fileName, m_root + "/notes.bak");
    EXPECT_EQ(read(file), "alpha");
    EXPECT_EQ(entries(), 2u) << "no temporary file is left";
}

TEST_F(Rewrite, TheBackupReplacesAnOlderOneWhole)
{
    const std::string file = write("notes.txt", "alpha");
    write("notes.bak", "an older and longer backup");
    ASSERT_TRUE(FileRewriter::Rewrite(file, {{0, "alpha", "beta"}}, "bak", m_problems));
    EXPECT_EQ(read(m_root + "/notes.bak"), "alpha");
    EXPECT_EQ(read(file), "beta");
}

TEST_F(Rewrite, PermissionsAndOwnerStay)
{
    const std::string file = write("f.txt", "alpha");
    chmod(file.c_str(), 0751);
    const bool root = geteuid() == 0;
    if (root) {
        ASSERT_EQ(chown(file.c_str(), 65534, 65534), 0);
    }
    ASSERT_TRUE(FileRewriter::Rewrite(file, {{0, "alpha", "beta"}}, "bak", m_problems));
    struct stat info;
    ASSERT_EQ(stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0751u);
    ASSERT_EQ(stat((m_root + "/f.bak").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0751u) << "the backup too";
    if (root) {
        ASSERT_EQ(stat(file.c_str(), &info), 0);
        EXPECT_EQ(info.st_uid, 65534u);
        EXPECT_EQ(info.st_gid, 65534u);
    }
}

TEST_F(Rewrite, ReadOnlyMeansWithoutTheOwnersWritePermission)
{
    const std::string file = write("f.txt", "x");
    chmod(file.c_str(), 0444);
    EXPECT_TRUE(FileRewriter::IsReadOnly(file));
    chmod(file.c_str(), 0244);
    EXPECT_FALSE(FileRewriter::IsReadOnly(file));
    EXPECT_FALSE(FileRewriter::IsReadOnly(m_root + "/missing"));
}
