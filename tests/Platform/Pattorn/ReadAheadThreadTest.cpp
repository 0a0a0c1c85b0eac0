#include "PattornFilesFixture.h"

#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <stdexcept>

// Files searched ahead on worker threads: the reports, their order and the
// problems are those of searching in turn, and the work ahead stops when
// the caller does.

using pattorn::FileMatch;
using pattorn::RegEx;

namespace {

class ReadAheadFiles : public PattornFilesFixture
{
};

struct Report
{
    std::string file;
    std::string text;
    int position;
    unsigned line;
    std::string formatted;
    bool operator==(const Report& o) const
    {
        return file == o.file && text == o.text && position == o.position && line == o.line
               && formatted == o.formatted;
    }
};

} // namespace

// Searching ahead on several threads must not change a single report.
TEST_F(ReadAheadFiles, ReadingAheadReportsWhatReadingInTurnReports)
{
    for (int i = 0; i < 40; ++i) {
        std::string text;
        for (int line = 0; line < i * 7 % 23; ++line)
            text += "line " + std::to_string(line) + (line % 3 ? " beta" : " alpha 42") + "\n";
        write("f" + std::to_string(100 + i) + ".txt", text);
    }
    std::string many;
    for (int i = 0; i < 30000; ++i)
        many += "alpha ";
    write("f120-many.txt", many); // more matches than are kept ahead
    ASSERT_EQ(symlink((m_root + "/nowhere").c_str(), (m_root + "/f130-broken.txt").c_str()), 0);

    // A match kept ahead is found again to be formatted: also where a lazy
    // expression's empty match at the same place came first.
    std::string expression;
    auto reports = [&](bool ahead, int stopAt, std::vector<RegEx::FilesContinueInfo>& problems) {
        RegEx engine;
        engine.SetReadAhead(ahead);
        EXPECT_EQ(engine.SetExpression(expression, false), 0);
        std::vector<Report> seen;
        const unsigned count = engine.GrepFiles(
            [&](const std::string& name, const FileMatch& match) {
                seen.push_back({name, match[0], match.Position(0), match.Line(), match.Format("<$1>")});
                return int(seen.size()) % 50 != stopAt;
            },
            m_root + "/*.txt", false, boost::match_default);
        seen.push_back({"count", std::to_string(count), 0, 0, ""});
        problems = engine.FilesContinueErrorsGrep() ? *engine.FilesContinueErrorsGrep()
                                                    : std::vector<RegEx::FilesContinueInfo>();
        return seen;
    };
    for (const char* e : {"alpha( [0-9]+)?", "(alpha)??"}) {
        expression = e;
        for (int stopAt : {-1, 7}) {
            std::vector<RegEx::FilesContinueInfo> inTurnProblems;
            std::vector<RegEx::FilesContinueInfo> aheadProblems;
            const auto inTurn = reports(false, stopAt, inTurnProblems);
            const auto ahead = reports(true, stopAt, aheadProblems);
            if (stopAt < 0) {
                EXPECT_GT(inTurn.size(), 30000u);
            }
            EXPECT_TRUE(inTurn == ahead) << expression << ", stop at " << stopAt;
            ASSERT_EQ(aheadProblems.size(), 1u);
            EXPECT_EQ(aheadProblems[0].fileName, inTurnProblems[0].fileName);
        }
    }

    RegEx engine;
    ASSERT_EQ(engine.SetExpression("alpha 4", false), 0);
    std::vector<std::string> found;
    EXPECT_EQ(engine.FindFiles([&](const std::string& name) { found.push_back(name); return true; },
                               m_root + "/*.txt", false, boost::match_default),
              38u);
    EXPECT_TRUE(std::is_sorted(found.begin(), found.end()));
}

TEST_F(ReadAheadFiles, ACallbackExceptionStopsTheWorkAhead)
{
    for (int i = 0; i < 60; ++i)
        write("f" + std::to_string(100 + i) + ".txt", "alpha\nalpha\n");
    RegEx engine;
    ASSERT_EQ(engine.SetExpression("alpha", false), 0);
    int calls = 0;
    EXPECT_THROW(engine.GrepFiles(
                     [&](const std::string&, const FileMatch&) -> bool {
                         if (++calls == 21)
                             throw std::runtime_error("stop");
                         return true;
                     },
                     m_root + "/*.txt", false, boost::match_default),
                 std::runtime_error);
    EXPECT_EQ(calls, 21);
}

TEST_F(ReadAheadFiles, FilesLargerThanTheBudgetAreStillSearched)
{
    // Three files each larger than half of what is kept ahead.
    for (const char* name : {"a.txt", "b.txt", "c.txt"}) {
        const std::string path = write(name, "");
        ASSERT_EQ(truncate(path.c_str(), 40 * 1024 * 1024), 0);
        std::ofstream(path, std::ios::binary | std::ios::in | std::ios::out) << "alpha";
    }
    RegEx engine;
    ASSERT_EQ(engine.SetExpression("alpha", false), 0);
    unsigned count = 0;
    grep(engine, "*.txt", count);
    EXPECT_EQ(count, 3u);
}
