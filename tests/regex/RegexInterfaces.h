#pragma once

// The interfaces of the regular-expression component that the shared suite
// runs against. The suite speaks in single-byte texts (code page 1252) and
// each adapter converts them to and from its interface's string type, so one
// expectation holds for every interface.

#include "CodePage1252.h"
#include "RegularExpression.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

struct TramexInterface
{
    using Regex = RegularExpression;
    using String = QString;
    using Match = REMatch;

    static QString Text(const std::string& bytes) { return CodePage1252::Decode(bytes); }
    static std::string Bytes(const QString& text) { return CodePage1252::Encode(text, '?'); }
};

using RegexInterfaces = ::testing::Types<TramexInterface>;

// A match vector as pairs of text and position, for comparisons.
template <class I>
std::vector<std::pair<std::string, int>> PartsOf(const std::vector<typename I::Match>& matches)
{
    std::vector<std::pair<std::string, int>> parts;
    for (const auto& m : matches)
        parts.emplace_back(I::Bytes(m.text), m.position);
    return parts;
}

// Collects what the matching and searching events report.
template <class I>
struct ReportLog
{
    struct Report
    {
        bool searching;
        std::vector<std::pair<std::string, int>> parts;
        unsigned line;
        unsigned lineStart;
    };
    std::vector<Report> reports;

    void Attach(typename I::Regex& re)
    {
        using Matches = std::vector<typename I::Match>;
        re.OnMatching.Subscribe(this, [this](typename I::Regex*, const Matches& m, unsigned line, unsigned start) {
            reports.push_back({false, PartsOf<I>(m), line, start});
        });
        re.OnSearching.Subscribe(this, [this](typename I::Regex*, const Matches& m, unsigned line, unsigned start) {
            reports.push_back({true, PartsOf<I>(m), line, start});
        });
    }
};
