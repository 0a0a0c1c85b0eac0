#pragma once

#include "RegEx.h"
#include "TestEnvironment.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

// A folder of its own per test, files written into it, and the matches a
// search reports, named relative to the folder.
class PattornFilesFixture : public ::testing::Test
{
protected:
    struct Hit
    {
        std::string file;
        std::string text;
        int position;
        unsigned line;
    };

    void SetUp() override { m_root = TestEnvironment::NewFolder(QStringLiteral("regex")).toStdString(); }

    std::string write(const std::string& name, const std::string& content)
    {
        const std::string path = m_root + "/" + name;
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }

    std::vector<Hit> grep(pattorn::RegEx& engine, const std::string& pattern, unsigned& count)
    {
        std::vector<Hit> hits;
        count = engine.GrepFiles(
            [&](const std::string& name, const pattorn::FileMatch& match) {
                hits.push_back({name.substr(m_root.size() + 1), match[0], match.Position(0), match.Line()});
                return true;
            },
            m_root + "/" + pattern, false, boost::match_default);
        return hits;
    }

    std::string m_root;
};
