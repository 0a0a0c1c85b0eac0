#include "PattornFilesFixture.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <stdexcept>

using pattorn::FileMatch;
using pattorn::RegEx;

namespace {

class Files : public PattornFilesFixture
{
};

} // namespace

TEST_F(Files, ExpressionsAreCompiledInEveryModel)
{
    RegEx engine;
    EXPECT_EQ(engine.SetExpression("(a", false), int(boost::regex_constants::error_paren));
    EXPECT_NE(engine.ExpressionError().find("parenthesis"), std::string::npos);
    write("f.txt", "Alpha");
    for (auto model : {RegEx::cpp_locale, RegEx::c_locale, RegEx::native_locale}) {
        engine.SetLocalizationModel(model);
        ASSERT_EQ(engine.SetExpression("alpha", true), 0) << model;
        EXPECT_EQ(engine.FindFiles([](const std::string&) { return true; }, m_root + "/*.txt", false,
                                   boost::match_default),
                  1u)
            << model;
    }
    RegEx unset;
    EXPECT_EQ(unset.FindFiles([](const std::string&) { return true; }, m_root + "/*.txt", false,
                              boost::match_default),
              0u)
        << "no expression, no search";
}

TEST_F(Files, MatchesWithOffsetsLinesAndFormat)
{
    write("a.txt", "one\r\ntwo 22\r\n\r\nthree 333");
    write("empty.txt", "");
    RegEx engine;
    ASSERT_EQ(engine.SetExpression("([0-9])([0-9]*)", false), 0);
    unsigned count = 0;
    const auto hits = grep(engine, "*.txt", count);
    EXPECT_EQ(count, 2u);
    ASSERT_EQ(hits.size(), 2u);
    EXPECT_EQ(hits[0].text, "22");
    EXPECT_EQ(hits[0].position, 9);
    EXPECT_EQ(hits[0].line, 2u);
    EXPECT_EQ(hits[1].text, "333");
    EXPECT_EQ(hits[1].line, 4u);

    std::vector<std::string> formats;
    engine.GrepFiles(
        [&](const std::string&, const FileMatch& match) {
            EXPECT_EQ(match.Marks(), 3u);
            EXPECT_EQ(match[5], "");
            EXPECT_EQ(match.Position(-1), -1);
            formats.push_back(match.Format("<$2|$1>(?2+:-)"));
            return true;
        },
        m_root + "/a.txt", false, boost::match_default);
    EXPECT_EQ(formats, (std::vector<std::string>{"<2|2>+", "<33|3>+"}));

    // An empty file holds the empty match.
    ASSERT_EQ(engine.SetExpression("x*", false), 0);
    EXPECT_EQ(engine.FindFiles([](const std::string&) { return true; }, m_root + "/empty.txt", false,
                               boost::match_default),
              1u);
}

TEST_F(Files, FilesTooLargeForTheirOffsetsAreProblems)
{
    const std::string huge = write("huge.txt", "");
    // Sparse: no disk space is taken.
    ASSERT_EQ(truncate(huge.c_str(), off_t(RegEx::kMaxFileSize) + 1), 0);
    write("small.txt", "alpha");
    RegEx engine;
    ASSERT_EQ(engine.SetExpression("alpha", false), 0);
    unsigned count = 0;
    grep(engine, "*.txt", count);
    EXPECT_EQ(count, 1u);
    ASSERT_NE(engine.FilesContinueErrorsGrep(), nullptr);
    ASSERT_EQ(engine.FilesContinueErrorsGrep()->size(), 1u);
    EXPECT_EQ(engine.FilesContinueErrorsGrep()->at(0).kind, RegEx::search_failed);
    EXPECT_EQ(engine.FilesContinueErrorsGrep()->at(0).code, EFBIG);
    EXPECT_EQ(engine.FilesContinueErrorsFind(), nullptr);
}

TEST_F(Files, AnExpressionTheEngineGivesUpOnIsAProblemOfThatFile)
{
    write("a-hard.txt", std::string(40, 'a'));
    write("b-easy.txt", "ab");
    RegEx engine;
    ASSERT_EQ(engine.SetExpression("(a*)*(a*)*b", false), 0);
    unsigned count = 0;
    const auto hits = grep(engine, "*.txt", count);
    ASSERT_EQ(hits.size(), 1u);
    EXPECT_EQ(hits[0].file, "b-easy.txt");
    ASSERT_NE(engine.FilesContinueErrorsGrep(), nullptr);
    EXPECT_EQ(engine.FilesContinueErrorsGrep()->at(0).kind, RegEx::search_failed);
    EXPECT_EQ(engine.FilesContinueErrorsGrep()->at(0).code, int(boost::regex_constants::error_complexity));

    engine.SetFilesContinue(false);
    grep(engine, "*.txt", count);
    EXPECT_EQ(count, 0u) << "without continue the run ends there";
}

TEST_F(Files, ACallbacksExceptionPassesThrough)
{
    write("a.txt", "alpha alpha");
    RegEx engine;
    ASSERT_EQ(engine.SetExpression("alpha", false), 0);
    EXPECT_THROW(engine.GrepFiles([](const std::string&, const FileMatch&) -> bool { throw std::logic_error("x"); },
                                  m_root + "/*.txt", false, boost::match_default),
                 std::logic_error);
    EXPECT_EQ(engine.FilesContinueErrorsGrep(), nullptr) << "not mistaken for the engine's failure";
}
