#include "RegexInterfaces.h"
#include "TestEnvironment.h"
#include "core/TestFiles.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

// The file operations on a temporary tree: which files are found, what is
// reported of them, what is recorded when files or folders cannot be
// processed, and what a change does to the files on disk, also when the
// disk or the folder refuses it.

namespace fs = std::filesystem;

namespace {

using testfiles::read;
using testfiles::write;

mode_t modeOf(const std::string& path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0 ? (info.st_mode & 07777) : 0;
}

// The names in a folder, to see that no temporary file was left behind.
std::vector<std::string> namesIn(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Runs "body" in a child process whose files may not grow beyond "limit"
// bytes: the disk refuses every longer write there.
bool withFileSizeLimit(rlim_t limit, const std::function<bool()>& body)
{
    const pid_t pid = fork();
    if (pid == 0) {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit small{limit, limit};
        if (setrlimit(RLIMIT_FSIZE, &small) != 0)
            _exit(2);
        _exit(body() ? 0 : 1);
    }
    int status = 0;
    return pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace

template <class I>
class RegexFiles : public ::testing::Test
{
protected:
    using R = typename I::Regex;
    using Matches = std::vector<typename I::Match>;

    struct FileReport
    {
        std::string file;
        std::vector<std::pair<std::string, int>> parts;
        unsigned line;
    };

    void SetUp() override
    {
        m_root = TestEnvironment::NewFolder(QStringLiteral("files")).toStdString();
        write(path("a.txt"), "alpha\nbeta gamma\nalpha beta\n");
        write(path("b.log"), "alpha\n");
        write(path("sub/c.txt"), "gamma alpha\n");
        write(path("sub/deeper/d.txt"), "nothing here\n");
        write(path("sub/deeper/e.txt"), "alphabet\n");
    }

    std::string path(const std::string& name) const { return m_root + "/" + name; }

    void setup(R& re, const std::string& expression, const std::string& files, bool recurse = false)
    {
        re.SetExpression(I::Text(expression));
        re.SetFilesToMatch(I::Path(path(files)));
        re.SetDirectoryRecursion(recurse);
    }

    std::vector<std::string> found(R& re, unsigned& count)
    {
        std::vector<std::string> names;
        int receiver = 0;
        re.OnFindFiles.Subscribe(&receiver, [&](R*, typename I::String name, bool&) {
            names.push_back(relative(I::PathBytes(name)));
        });
        count = re.FindFiles();
        re.RemoveAllEventHandlers(&receiver);
        return names;
    }

    std::vector<FileReport> grepped(R& re, unsigned& count, int stopAt = 0)
    {
        std::vector<FileReport> reports;
        int receiver = 0;
        re.OnGreppingFiles.Subscribe(&receiver,
                                     [&](R*, typename I::String name, const Matches& m, unsigned line, bool& go) {
                                         reports.push_back({relative(I::PathBytes(name)), PartsOf<I>(m), line});
                                         if (int(reports.size()) == stopAt)
                                             go = false;
                                     });
        count = re.GrepFiles();
        re.RemoveAllEventHandlers(&receiver);
        return reports;
    }

    std::string relative(const std::string& name) const
    {
        return name.rfind(m_root + "/", 0) == 0 ? name.substr(m_root.size() + 1) : name;
    }

    std::string m_root;
};
TYPED_TEST_SUITE(RegexFiles, RegexInterfaces, InterfaceNames);

using Names = std::vector<std::string>;
using Parts = std::vector<std::pair<std::string, int>>;

TYPED_TEST(RegexFiles, FindFilesWithAndWithoutRecursion)
{
    typename TypeParam::Regex re;
    unsigned count = 0;
    this->setup(re, "alpha", "*.txt");
    EXPECT_EQ(this->found(re, count), (Names{"a.txt"}));
    EXPECT_EQ(count, 1u);

    this->setup(re, "alpha", "*.txt", true);
    EXPECT_EQ(this->found(re, count), (Names{"a.txt", "sub/c.txt", "sub/deeper/e.txt"}));
    EXPECT_EQ(count, 3u);

    this->setup(re, "alpha", "?.*", true);
    EXPECT_EQ(this->found(re, count), (Names{"a.txt", "b.log", "sub/c.txt", "sub/deeper/e.txt"}));

    this->setup(re, "alpha", "b.log", true);
    EXPECT_EQ(this->found(re, count), (Names{"b.log"}));

    this->setup(re, "ALPHA", "*", true);
    EXPECT_EQ(this->found(re, count), Names{});
    re.AddExpressionOption(TypeParam::Regex::icase);
    EXPECT_EQ(this->found(re, count).size(), 4u) << "ignore case reaches the file search";
    EXPECT_EQ(re.GetFindFilesErrors(), nullptr);
}

TYPED_TEST(RegexFiles, NothingToSearchGivesNothingAndNoProblem)
{
    typename TypeParam::Regex re;
    unsigned count = 1;
    re.SetExpression(TypeParam::Text("alpha"));
    EXPECT_EQ(this->found(re, count), Names{});
    EXPECT_EQ(count, 0u) << "no files pattern";
    EXPECT_EQ(re.GetFindFilesErrors(), nullptr);

    this->setup(re, "", "*.txt");
    EXPECT_EQ(re.FindFiles(), 0u) << "no expression";
    EXPECT_EQ(re.GrepFiles(), 0u);
    EXPECT_EQ(re.ChangeFiles(), 0u);

    this->setup(re, "(alpha", "*.txt");
    EXPECT_EQ(re.FindFiles(), 0u) << "an expression the engine refuses";
    EXPECT_EQ(re.GetFindFilesErrors(), nullptr);
}

TYPED_TEST(RegexFiles, GrepFilesGivesPositionsLinesAndMarks)
{
    typename TypeParam::Regex re;
    unsigned count = 0;
    this->setup(re, "(al)(x)?pha", "*.txt", true);
    const auto reports = this->grepped(re, count);
    EXPECT_EQ(count, 4u);
    ASSERT_EQ(reports.size(), 4u);
    EXPECT_EQ(reports[0].file, "a.txt");
    // Whole match and sub-expressions only: no prefix or suffix.
    EXPECT_EQ(reports[0].parts, (Parts{{"alpha", 0}, {"al", 0}, {"", -1}}));
    EXPECT_EQ(reports[0].line, 1u);
    EXPECT_EQ(reports[1].parts[0], (std::pair<std::string, int>{"alpha", 17}));
    EXPECT_EQ(reports[1].line, 3u);
    EXPECT_EQ(reports[2].file, "sub/c.txt");
    EXPECT_EQ(reports[2].parts[0].second, 6);
    EXPECT_EQ(reports[3].file, "sub/deeper/e.txt");

    // A handler may keep the matches it is given: later reports leave them
    // as they were.
    std::vector<typename TestFixture::Matches> kept;
    int keeper = 0;
    re.OnGreppingFiles.Subscribe(&keeper, [&](typename TypeParam::Regex*, typename TypeParam::String,
                                               const typename TestFixture::Matches& m, unsigned,
                                               bool&) { kept.push_back(m); });
    re.SetExpression(TypeParam::Text("([a-z])[a-z]*"));
    const auto words = this->grepped(re, count);
    re.RemoveAllEventHandlers(&keeper);
    ASSERT_EQ(kept.size(), words.size());
    for (std::size_t i = 0; i < kept.size(); ++i)
        EXPECT_EQ(PartsOf<TypeParam>(kept[i]), words[i].parts) << i;
    re.SetExpression(TypeParam::Text("(al)(x)?pha"));

    // Stopping ends the work on that file only; the stopped match counts.
    const auto stopped = this->grepped(re, count, 1);
    EXPECT_EQ(count, 3u);
    EXPECT_EQ(stopped.size(), 3u);
    EXPECT_EQ(stopped[1].file, "sub/c.txt");
}

TYPED_TEST(RegexFiles, ProblemsAreRecordedAndContinueDecidesWhetherTheRunGoesOn)
{
    using R = typename TypeParam::Regex;
    // A link that leads nowhere cannot be opened, even by root.
    ASSERT_EQ(symlink((this->m_root + "/gone.txt").c_str(), this->path("broken.txt").c_str()), 0);
    R re;
    unsigned count = 0;
    this->setup(re, "alpha", "*.txt", true);
    EXPECT_EQ(this->found(re, count), (Names{"a.txt", "sub/c.txt", "sub/deeper/e.txt"}));
    ASSERT_NE(re.GetFindFilesErrors(), nullptr);
    ASSERT_EQ(re.GetFindFilesErrors()->size(), 1u);
    EXPECT_EQ(TypeParam::PathBytes(re.GetFindFilesErrors()->at(0).fileName), this->path("broken.txt"));
    EXPECT_EQ(re.GetFindFilesErrors()->at(0).kind, 0);
    EXPECT_EQ(re.GetFindFilesErrors()->at(0).code, ENOENT);

    this->grepped(re, count);
    EXPECT_EQ(count, 4u);
    ASSERT_NE(re.GetGrepFilesErrors(), nullptr);
    EXPECT_EQ(re.GetGrepFilesErrors()->size(), 1u);

    // Without continue the run ends at the problem ("a.txt" comes before it).
    re.SetContinueFiles(false);
    EXPECT_EQ(this->found(re, count), (Names{"a.txt"}));
    EXPECT_EQ(re.GetFindFilesErrors()->size(), 1u);

    // A missing folder is a problem of its own.
    this->setup(re, "alpha", "missing/*.txt");
    EXPECT_EQ(re.FindFiles(), 0u);
    ASSERT_NE(re.GetFindFilesErrors(), nullptr);
    EXPECT_EQ(re.GetFindFilesErrors()->at(0).kind, 2);
    EXPECT_EQ(re.GetFindFilesErrors()->at(0).code, ENOENT);
}

TYPED_TEST(RegexFiles, UnreadableFilesAndFoldersAreProblems)
{
    using R = typename TypeParam::Regex;
    write(this->path("locked.txt"), "alpha\n", 0);
    write(this->path("closed/f.txt"), "alpha\n");
    chmod(this->path("closed").c_str(), 0311);
    const std::string root = this->m_root;
    const bool ok = TestEnvironment::RunWithoutRoot([&] {
        R re;
        re.SetExpression(TypeParam::Text("alpha"));
        re.SetFilesToMatch(TypeParam::Path(root + "/*.txt"));
        re.SetDirectoryRecursion(true);
        const unsigned count = re.FindFiles();
        const auto* problems = re.GetFindFilesErrors();
        if (count != 3 || !problems || problems->size() != 2)
            return false;
        // The root's own files come before its subfolders.
        const auto& file = problems->at(0);
        const auto& folder = problems->at(1);
        return TypeParam::PathBytes(folder.fileName) == root + "/closed" && folder.kind == 2
               && folder.code == EACCES && TypeParam::PathBytes(file.fileName) == root + "/locked.txt"
               && file.kind == 0 && file.code == EACCES;
    });
    chmod(this->path("closed").c_str(), 0755);
    EXPECT_TRUE(ok);
}

TYPED_TEST(RegexFiles, ChangeFilesKeepsABackupAndTheFilesPermissions)
{
    using R = typename TypeParam::Regex;
    const std::string binary = std::string("one alpha,\r\ntwo alpha") + '\0' + "\xFF" "end";
    write(this->path("notes.txt"), binary, 0640);
    write(this->path("old.BAK"), "alpha\n");
    R re;
    this->setup(re, "al(pha)", "*");
    re.SetFormatString(TypeParam::Text("<$1>"));
    re.SetSaveExtension(TypeParam::Path("bak"));
    EXPECT_EQ(re.ChangeFiles(), 5u) << "a.txt 2, b.log 1, notes.txt 2";
    EXPECT_EQ(re.GetChangeFilesErrors(), nullptr);
    EXPECT_EQ(read(this->path("notes.txt")), std::string("one <pha>,\r\ntwo <pha>") + '\0' + "\xFF" "end")
        << "every byte outside the matches stays";
    EXPECT_EQ(read(this->path("notes.bak")), binary);
    EXPECT_EQ(modeOf(this->path("notes.txt")), 0640u);
    EXPECT_EQ(read(this->path("old.BAK")), "alpha\n") << "files with the save extension are left alone";
    EXPECT_EQ(read(this->path("a.txt")), "<pha>\nbeta gamma\n<pha> beta\n");
    EXPECT_EQ(read(this->path("a.bak")), "alpha\nbeta gamma\nalpha beta\n");
    EXPECT_EQ(namesIn(this->m_root), (Names{"a.bak", "a.txt", "b.bak", "b.log", "notes.bak", "notes.txt",
                                             "old.BAK", "sub"}))
        << "no temporary file is left";
}

TYPED_TEST(RegexFiles, ReplacementsAreFilledFromTheMatchInTheWholeFile)
{
    using R = typename TypeParam::Regex;
    write(this->path("x/empty.txt"), "aa");
    R re;
    this->setup(re, "a*", "x/empty.txt");
    re.SetFormatString(TypeParam::Text("X"));
    EXPECT_EQ(re.ChangeFiles(), 1u);
    EXPECT_EQ(read(this->path("x/empty.txt")), "X") << "one match, one replacement";

    // A file changes as a merge of its text would change it.
    const std::string mixed = "aa b aab\nbaa";
    write(this->path("x/mixed.txt"), mixed);
    this->setup(re, "a*", "x/mixed.txt");
    re.SetStringToMatch(TypeParam::Text(mixed));
    re.SetMergeCopy(true);
    const std::string merged = TypeParam::Merge(re);
    re.ChangeFiles();
    EXPECT_EQ(read(this->path("x/mixed.txt")), merged);

    // The context of the match counts, as it did in the search.
    write(this->path("x/look.txt"), "concat cat");
    this->setup(re, "(?<=con)cat", "x/look.txt");
    re.SetFormatString(TypeParam::Text("dog"));
    re.SetFormatType(R::format_sed);
    EXPECT_EQ(re.ChangeFiles(), 1u);
    EXPECT_EQ(read(this->path("x/look.txt")), "condog cat") << "and the format type does not apply";
}

TYPED_TEST(RegexFiles, ReadOnlyFilesAndDeclinedMatchesStayUnchanged)
{
    using R = typename TypeParam::Regex;
    write(this->path("r/locked.txt"), "alpha alpha", 0444);
    write(this->path("r/first.txt"), "alpha alpha alpha");
    write(this->path("r/second.txt"), "alpha alpha alpha");
    R re;
    this->setup(re, "alpha", "r/*.txt");
    re.SetFormatString(TypeParam::Text("A"));
    int receiver = 0;
    std::map<std::string, int> seen;
    re.OnChangingFiles.Subscribe(&receiver, [&](R*, typename TypeParam::String name,
                                                const std::vector<typename TypeParam::Match>&, unsigned, bool& change) {
        const std::string file = this->relative(TypeParam::PathBytes(name));
        const int n = ++seen[file];
        if (file == "r/first.txt")
            change = false; // at the first match
        if (file == "r/second.txt")
            change = n != 2; // at the second
    });
    EXPECT_EQ(re.ChangeFiles(), 1u);
    EXPECT_EQ(re.GetChangeFilesErrors(), nullptr) << "a read-only file is no problem";
    EXPECT_EQ(read(this->path("r/locked.txt")), "alpha alpha") << "even for root";
    EXPECT_EQ(read(this->path("r/first.txt")), "alpha alpha alpha");
    EXPECT_EQ(read(this->path("r/second.txt")), "A alpha alpha");
    EXPECT_EQ(seen.count("r/locked.txt"), 0u) << "a read-only file is not offered";
}

TYPED_TEST(RegexFiles, AFileAlteredBeforeItsRewriteStaysAsItIs)
{
    using R = typename TypeParam::Regex;
    write(this->path("w/1.txt"), "alpha beta");
    write(this->path("w/2.txt"), "alpha");
    R re;
    this->setup(re, "alpha|beta", "w/*.txt");
    re.SetFormatString(TypeParam::Text("X"));
    int receiver = 0;
    const std::string first = this->path("w/1.txt");
    re.OnChangingFiles.Subscribe(&receiver, [&](R*, typename TypeParam::String name,
                                                const std::vector<typename TypeParam::Match>& m, unsigned, bool&) {
        // Someone edits the file between the search and the rewrite.
        if (TypeParam::PathBytes(name) == first && m[0].position == 6)
            write(first, "alpha BETA");
    });
    EXPECT_EQ(re.ChangeFiles(), 1u) << "only 2.txt";
    EXPECT_EQ(read(first), "alpha BETA");
    EXPECT_EQ(read(this->path("w/2.txt")), "X");
    const auto* problems = re.GetChangeFilesErrors();
    ASSERT_NE(problems, nullptr);
    ASSERT_EQ(problems->size(), 1u);
    EXPECT_EQ(problems->at(0).step, 4);
    EXPECT_EQ(TypeParam::Bytes(problems->at(0).expected), "beta");
    EXPECT_EQ(problems->at(0).offset, 6u);
    EXPECT_EQ(TypeParam::PathBytes(problems->at(0).fileName), first);
    EXPECT_EQ(namesIn(this->path("w")), (Names{"1.txt", "2.txt"}));

    // Without continue, no file after the first problem is changed.
    write(first, "alpha beta");
    write(this->path("w/2.txt"), "alpha");
    re.SetContinueFiles(false);
    EXPECT_EQ(re.ChangeFiles(), 0u);
    EXPECT_EQ(read(this->path("w/2.txt")), "alpha");
}

TYPED_TEST(RegexFiles, BackupsAndLinksStayBesideTheirFile)
{
    using R = typename TypeParam::Regex;
    write(this->path("v1.2/notes"), "alpha");
    write(this->path("v1.2/.profile"), "alpha");
    write(this->path("real/target.txt"), "alpha");
    ASSERT_EQ(symlink(this->path("real/target.txt").c_str(), this->path("v1.2/link.txt").c_str()), 0);
    R re;
    this->setup(re, "alpha", "v1.2/*");
    re.SetFormatString(TypeParam::Text("beta"));
    re.SetSaveExtension(TypeParam::Path("bak"));
    EXPECT_EQ(re.ChangeFiles(), 3u);
    EXPECT_EQ(read(this->path("v1.2/notes.bak")), "alpha") << "not v1.bak in the parent folder";
    EXPECT_FALSE(fs::exists(this->path("v1.bak")));
    EXPECT_EQ(read(this->path("v1.2/.profile.bak")), "alpha");
    EXPECT_EQ(read(this->path("v1.2/link.bak")), "alpha");
    EXPECT_TRUE(fs::is_symlink(this->path("v1.2/link.txt"))) << "the link stays a link";
    EXPECT_EQ(read(this->path("real/target.txt")), "beta");
}

TYPED_TEST(RegexFiles, ARefusedFolderLeavesTheFileIntact)
{
    using R = typename TypeParam::Regex;
    write(this->path("ro/keep.txt"), "alpha beta");
    chmod(this->path("ro").c_str(), 0555);
    const std::string root = this->m_root;
    const bool ok = TestEnvironment::RunWithoutRoot([&] {
        R re;
        re.SetExpression(TypeParam::Text("alpha"));
        re.SetFilesToMatch(TypeParam::Path(root + "/ro/*.txt"));
        re.SetFormatString(TypeParam::Text("X"));
        const unsigned changed = re.ChangeFiles();
        const auto* problems = re.GetChangeFilesErrors();
        return changed == 0 && problems && problems->size() == 1 && problems->at(0).step == 1
               && problems->at(0).systemError == EACCES;
    });
    chmod(this->path("ro").c_str(), 0755);
    EXPECT_TRUE(ok);
    EXPECT_EQ(read(this->path("ro/keep.txt")), "alpha beta");
    EXPECT_EQ(namesIn(this->path("ro")), (Names{"keep.txt"}));
}

TYPED_TEST(RegexFiles, AFullDiskLeavesTheFileIntact)
{
    using R = typename TypeParam::Regex;
    const std::string big = std::string(50000, 'x') + "alpha" + std::string(50000, 'y');
    write(this->path("full/big.txt"), big);
    const std::string pattern = this->path("full/*.txt");
    // The disk takes 4096 bytes of the new content, then refuses.
    const bool ok = withFileSizeLimit(4096, [&] {
        R re;
        re.SetExpression(TypeParam::Text("alpha"));
        re.SetFilesToMatch(TypeParam::Path(pattern));
        re.SetFormatString(TypeParam::Text("beta"));
        const unsigned changed = re.ChangeFiles();
        const auto* problems = re.GetChangeFilesErrors();
        return changed == 0 && problems && problems->size() == 1 && problems->at(0).step == 3
               && problems->at(0).systemError == EFBIG;
    });
    EXPECT_TRUE(ok);
    EXPECT_EQ(read(this->path("full/big.txt")), big);
    EXPECT_EQ(namesIn(this->path("full")), (Names{"big.txt"})) << "the temporary file is removed";
}

TYPED_TEST(RegexFiles, AHandlerMayRunFileOperationsOfOtherObjects)
{
    using R = typename TypeParam::Regex;
    R outer;
    R inner;
    this->setup(outer, "gamma", "*.txt", true);
    this->setup(inner, "alpha", "*.txt", true);
    std::vector<unsigned> innerCounts;
    int receiver = 0;
    outer.OnFindFiles.Subscribe(&receiver, [&](R*, typename TypeParam::String, bool&) {
        innerCounts.push_back(inner.FindFiles());
    });
    EXPECT_EQ(outer.FindFiles(), 2u);
    EXPECT_EQ(innerCounts, (std::vector<unsigned>{3u, 3u}));
}
