#include "FileWalker.h"
#include "TestEnvironment.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

using pattorn::FileWalker;
namespace fs = std::filesystem;

namespace {

using Names = std::vector<std::string>;

class Walk : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_root = TestEnvironment::NewFolder(QStringLiteral("walk")).toStdString();
        for (const char* name : {"b.txt", "a.txt", "c.log", "sub/z.txt", "sub/inner/y.txt", "sub2/x.txt", ".hidden.txt"})
            touch(name);
    }

    void touch(const std::string& name)
    {
        fs::create_directories(fs::path(m_root + "/" + name).parent_path());
        std::ofstream(m_root + "/" + name) << "x";
    }

    // The files found, relative to the root; folder problems as "!name".
    Names walk(const std::string& pattern, bool recurse, int stopAfter = 0)
    {
        Names names;
        FileWalker::Walk(
            pattern, recurse,
            [&](const std::string& path) {
                names.push_back(relative(path));
                return int(names.size()) != stopAfter;
            },
            [&](const std::string& folder, int) {
                names.push_back("!" + relative(folder));
                return true;
            });
        return names;
    }

    std::string relative(const std::string& path) const
    {
        return path.rfind(m_root + "/", 0) == 0 ? path.substr(m_root.size() + 1) : path;
    }

    std::string m_root;
};

} // namespace

TEST(FileWalkerPattern, FolderAndNameParts)
{
    std::string folder, name;
    FileWalker::SplitPattern("a/b/*.txt", folder, name);
    EXPECT_EQ(folder, "a/b");
    EXPECT_EQ(name, "*.txt");
    FileWalker::SplitPattern("*.txt", folder, name);
    EXPECT_EQ(folder, "");
    EXPECT_EQ(name, "*.txt");
    FileWalker::SplitPattern("/x", folder, name);
    EXPECT_EQ(folder, "/");
    EXPECT_EQ(name, "x");
    FileWalker::SplitPattern("dir/", folder, name);
    EXPECT_EQ(folder, "dir");
    EXPECT_EQ(name, "");
    EXPECT_EQ(FileWalker::Join("", "a"), "a");
    EXPECT_EQ(FileWalker::Join("/", "a"), "/a");
    EXPECT_EQ(FileWalker::Join("d", "a"), "d/a");
}

TEST_F(Walk, NameOrderOwnFilesBeforeSubfolders)
{
    EXPECT_EQ(walk(m_root + "/*.txt", false), (Names{".hidden.txt", "a.txt", "b.txt"}));
    EXPECT_EQ(walk(m_root + "/*.txt", true),
              (Names{".hidden.txt", "a.txt", "b.txt", "sub/z.txt", "sub/inner/y.txt", "sub2/x.txt"}));
    EXPECT_EQ(walk(m_root + "/?.*", false), (Names{"a.txt", "b.txt", "c.log"}));
    EXPECT_EQ(walk(m_root + "/[ab].txt", false), (Names{"a.txt", "b.txt"}));
    EXPECT_EQ(walk(m_root + "/A.TXT", false), Names{}) << "names compare with case";
    EXPECT_EQ(walk(m_root + "/sub", false), Names{}) << "folders are no files";
    EXPECT_EQ(walk(m_root + "/", true), Names{}) << "no name part";
    EXPECT_EQ(walk(m_root + "/*.txt", true, 2), (Names{".hidden.txt", "a.txt"})) << "a false result ends the walk";
}

TEST_F(Walk, WithoutAFolderPartTheCurrentFolderIsWalked)
{
    char* old = getcwd(nullptr, 0);
    ASSERT_EQ(chdir((m_root + "/sub").c_str()), 0);
    const Names names = walk("*.txt", true);
    EXPECT_EQ(chdir(old), 0);
    free(old);
    EXPECT_EQ(names, (Names{"z.txt", "inner/y.txt"}));
}

TEST_F(Walk, LinksPipesAndLoops)
{
    ASSERT_EQ(symlink((m_root + "/a.txt").c_str(), (m_root + "/sub2/to-file.txt").c_str()), 0);
    ASSERT_EQ(symlink((m_root + "/nowhere").c_str(), (m_root + "/sub2/broken.txt").c_str()), 0);
    ASSERT_EQ(symlink(m_root.c_str(), (m_root + "/sub2/loop.txt").c_str()), 0);
    ASSERT_EQ(symlink(m_root.c_str(), (m_root + "/sub2/loop").c_str()), 0);
    ASSERT_EQ(mkfifo((m_root + "/sub2/pipe.txt").c_str(), 0644), 0);
    // A link to a file counts, a broken link is handed on (opening it tells
    // why it failed); links to folders are not entered, pipes never opened.
    EXPECT_EQ(walk(m_root + "/sub2/*.txt", true), (Names{"sub2/broken.txt", "sub2/to-file.txt", "sub2/x.txt"}));
}

TEST_F(Walk, FoldersThatCannotBeListedAreReported)
{
    EXPECT_EQ(walk(m_root + "/missing/*.txt", true), (Names{"!missing"}));
    touch("closed/f.txt");
    chmod((m_root + "/closed").c_str(), 0311);
    const std::string root = m_root;
    const bool ok = TestEnvironment::RunWithoutRoot([&] {
        Names names;
        FileWalker::Walk(
            root + "/*.txt", true, [&](const std::string&) { return true; },
            [&](const std::string& folder, int error) {
                names.push_back(folder);
                return error == EACCES;
            });
        return names == Names{root + "/closed"};
    });
    chmod((m_root + "/closed").c_str(), 0755);
    EXPECT_TRUE(ok);
}

TEST_F(Walk, DeepTreesDoNotExhaustTheStack)
{
    std::string path = m_root;
    for (int depth = 0; depth < 300; ++depth)
        path += "/d";
    fs::create_directories(path);
    std::ofstream(path + "/deep.txt") << "x";
    const Names names = walk(m_root + "/deep.txt", true);
    ASSERT_EQ(names.size(), 1u);
    EXPECT_EQ(names[0].size(), 600 + 8u);
}
