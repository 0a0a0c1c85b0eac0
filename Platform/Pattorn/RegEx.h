#pragma once

#include "FileMatch.h"
#include "PattornExport.h"
#include "ReadFully.h"

#include <boost/regex.hpp>

#include <climits>
#include <cstddef>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace pattorn {

struct FileOutcome;
class FolderHandle;

// Runs one expression over the files that a files pattern names (see
// FileWalker): FindFiles reports each file holding a match, GrepFiles each
// match. Files are read whole, as bytes, so offsets are byte offsets and
// line ends are whatever the file holds ("\n" counts lines).
//
// Files and folders that cannot be processed are recorded as problems:
// kind 0 the file could not be opened, kind 1 not read, kind 2 not searched
// (a folder that could not be listed, a file too large to carry its offsets
// in an int, or an expression the engine gave up on); the code is the
// system's error number or the engine's error code. With files-continue off
// the first problem ends the run.
//
// Nothing is thrown for a bad expression or a bad file; an exception thrown
// by a callback passes through unchanged.
class PATTORN_EXPORT RegEx
{
public:
    enum LocalizationModel {
        cpp_locale = 0,    // the standard traits with the global C++ locale
        c_locale = 1,      // the C library's locale
        native_locale = 2  // the standard traits with the user's locale
    };
    enum ProblemKind { open_failed = 0, read_failed = 1, search_failed = 2 };

    struct FilesContinueInfo
    {
        std::string fileName;
        int kind = 0;
        int code = 0;
    };

    // A false result ends the work on the current file.
    using FindCallback = std::function<bool(const std::string& fileName)>;
    using GrepCallback = std::function<bool(const std::string& fileName, const FileMatch& match)>;

    // The largest file searched: offsets must fit an int.
    static constexpr std::size_t kMaxFileSize = INT_MAX;

    RegEx();
    ~RegEx();
    RegEx(const RegEx&) = delete;
    RegEx& operator=(const RegEx&) = delete;

    void SetFilesContinue(bool on) { m_continue = on; }
    // On, files are searched on several threads ahead of the reports (which
    // still come in order, on the calling thread); off, a file is read only
    // once the reports of the file before it are done, so what a callback
    // writes into a later file is seen.
    void SetReadAhead(bool on) { m_readAhead = on; }
    // On (the default), GrepFiles runs the engine only from where a
    // linear-time engine finds that a match may start to the end of that
    // line (see LinePrefilter), for the expressions it can take. The
    // matches are the same; only a match's prefix and suffix then reach no
    // further than its line, so a caller that formats them turns it off.
    void SetLineFilter(bool on) { m_lineFilter = on; }
    // Takes effect at the next SetExpression.
    void SetLocalizationModel(LocalizationModel model) { m_model = model; }
    // Compiles in perl syntax; 0 when accepted, else the engine's error code.
    int SetExpression(const std::string& expression, bool icase);
    std::string ExpressionError() const { return m_error; }

    // The number of files holding a match.
    unsigned FindFiles(const FindCallback& callback, const std::string& files, bool recurse,
                       boost::regex_constants::match_flag_type flags);
    // The number of matches, counting the one whose callback said stop.
    unsigned GrepFiles(const GrepCallback& callback, const std::string& files, bool recurse,
                       boost::regex_constants::match_flag_type flags);

    // The problems of the last run; null when there were none.
    const std::vector<FilesContinueInfo>* FilesContinueErrorsFind() const;
    const std::vector<FilesContinueInfo>* FilesContinueErrorsGrep() const;

private:
    class Matcher;
    template <class Regex>
    class MatcherOf;
    // A file to search, or a folder that could not be listed.
    struct Item
    {
        std::string path;
        bool folderProblem = false;
        int error = 0;
    };
    // One file searched on the calling thread, its reports given as the
    // engine finds them; false when the run is to end.
    using Search = std::function<bool(const std::string& path)>;
    // One file searched ahead; the outcome reported later.
    using Collect = std::function<void(const std::string& path, FileOutcome& outcome,
                                       const std::function<bool(std::size_t)>& reserve)>;
    using Report = std::function<bool(const std::string& path, FileOutcome& outcome)>;

    std::vector<Item> list(const std::string& files, bool recurse);
    void run(const std::vector<Item>& items, std::vector<FilesContinueInfo>& problems, const Search& search,
             const Collect& collect, const Report& report);
    // Reads the file into the buffer; false after a problem it recorded
    // that ends the run, "done" false when there is nothing to search.
    bool readFile(const std::string& path, FolderHandle& folder, std::vector<FilesContinueInfo>& problems,
                  bool& done);
    bool record(std::vector<FilesContinueInfo>& problems, const std::string& name, int kind, int code);
    // The file in the buffer (an empty text before the first read).
    const char* fileStart() const { return m_buffer ? m_buffer.get() : ""; }

    std::shared_ptr<const Matcher> m_matcher;
    std::string m_error;
    bool m_continue = true;
    bool m_readAhead = true;
    bool m_lineFilter = true;
    LocalizationModel m_model = cpp_locale;
    std::vector<FilesContinueInfo> m_findProblems;
    std::vector<FilesContinueInfo> m_grepProblems;
    // The file searched on the calling thread, kept between files to spare
    // allocations.
    FileBuffer m_buffer{nullptr, std::free};
    std::size_t m_capacity = 0;
    std::size_t m_size = 0;
};

} // namespace pattorn
