#pragma once

#include "FileProblems.h"
#include "ReportSink.h"

#include <vector>

namespace tramex {

class RegularExpressionData;

// The file operations of the component, run on a record's settings: the
// expression, the files-to-match pattern, directory recursion, continue
// files, the locale model, the ignore-case option, the match options, the
// format string and the save extension.
//
// The file layer compiles the expression text itself, in the default
// syntax, with ignore case as the only option taken from the record; an
// expression it refuses (or an empty expression or pattern) gives 0 and no
// problem.
class FileOperations
{
public:
    // The number of files holding a match; each is reported.
    static unsigned Find(RegularExpressionData& data, ReportSink& sink, std::vector<FileSearchProblem>& problems);
    // The number of matches; each is reported with its file and line.
    static unsigned Grep(RegularExpressionData& data, ReportSink& sink, std::vector<FileSearchProblem>& problems);
    // Replaces every match (that its receiver lets change) by the format
    // string filled from the match, in the engine's full format syntax
    // whatever the format type; files with the save extension and files
    // without their owner's write permission are left alone. Returns the
    // number of replacements written into files.
    static unsigned Change(RegularExpressionData& data, ReportSink& sink, std::vector<FileChangeProblem>& problems);
};

} // namespace tramex
