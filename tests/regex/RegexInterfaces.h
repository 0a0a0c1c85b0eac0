#pragma once

// The interfaces of the regular-expression component that the shared suite
// runs against. The suite speaks in single-byte texts (code page 1252) and
// each adapter converts them to and from its interface's string type, so one
// expectation holds for every interface.

#include "CodePage1252.h"
#include "RegexClass/RegularExpression.h"
#include "RegularExpression.h"

#include <QFile>

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
    static QString Path(const std::string& name) { return QFile::decodeName(QByteArray::fromStdString(name)); }
    static std::string PathBytes(const QString& name) { return QFile::encodeName(name).toStdString(); }

    static void SetOnFindFiles(Regex& re, Regex::FindingFilesCallback callback) { re.SetOnFindingFiles(callback); }
    static Regex::FindingFilesCallback GetOnFindFiles(const Regex& re) { return re.GetOnFindingFiles(); }
    static std::string Merge(Regex& re)
    {
        QString result = QStringLiteral("stale");
        re.Merge(result);
        return Bytes(result);
    }
    static std::vector<std::string> Split(Regex& re)
    {
        QStringList pieces{QStringLiteral("stale")};
        re.Split(pieces);
        std::vector<std::string> bytes;
        for (const QString& piece : pieces)
            bytes.push_back(Bytes(piece));
        return bytes;
    }
    static std::string Format(const Regex& re)
    {
        QString result = QStringLiteral("stale");
        re.Format(result);
        return Bytes(result);
    }
};

struct TramexstdInterface
{
    using Regex = RegexClass::RegularExpression;
    using String = std::string;
    using Match = RegexClass::REMatch;

    static std::string Text(const std::string& bytes) { return bytes; }
    static std::string Bytes(const std::string& text) { return text; }
    static std::string Path(const std::string& name) { return name; }
    static std::string PathBytes(const std::string& name) { return name; }

    static void SetOnFindFiles(Regex& re, Regex::FindingFilesCallback callback) { re.SetOnFindFiles(callback); }
    static Regex::FindingFilesCallback GetOnFindFiles(const Regex& re) { return re.GetOnFindFiles(); }
    static std::string Merge(Regex& re)
    {
        std::string result = "stale";
        re.Merge(result);
        return result;
    }
    static std::vector<std::string> Split(Regex& re)
    {
        std::vector<std::string> pieces{"stale"};
        re.Split(pieces);
        return pieces;
    }
    static std::string Format(const Regex& re)
    {
        std::string result = "stale";
        re.Format(result);
        return result;
    }
};

using RegexInterfaces = ::testing::Types<TramexInterface, TramexstdInterface>;

// Readable names of the interfaces in test names.
struct InterfaceNames
{
    template <class I>
    static std::string GetName(int)
    {
        return std::is_same<I, TramexInterface>::value ? "Tramex" : "Tramexstd";
    }
};

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
