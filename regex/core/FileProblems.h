#pragma once

#include <cstdint>
#include <string>

namespace tramex {

// A file or folder that FindFiles or GrepFiles could not process, as the
// file layer reports it: kind 0 not opened, 1 not read, 2 not searched;
// the code is the system's error number or the engine's error code.
struct FileSearchProblem
{
    std::string fileName;
    int kind = 0;
    int code = 0;
};

// A failure of ChangeFiles at one step of rewriting a file (see
// FileRewriter for the steps). "expected" holds the matched text that was
// no longer in the file (step 4 only); "systemError" the system's error
// number, or the file layer's code for problems it reported.
struct FileChangeProblem
{
    enum Step {
        open_failed = 0,
        temporary_failed = 1,
        read_failed = 2,
        write_failed = 3,
        text_changed = 4,
        backup_failed = 5,
        replace_failed = 6,
        attributes_failed = 7
    };

    std::string fileName;
    int step = 0;
    std::uint32_t offset = 0;
    std::string expected;
    std::uint32_t systemError = 0;
};

} // namespace tramex
