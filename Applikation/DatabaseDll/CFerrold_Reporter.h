#pragma once

#include <QString>

#include <functional>

// Where the database library's messages go. The library has no windows of
// its own and may run on worker threads, so the program installs a reporter
// that shows the text in a message box on its UI thread; tests capture them.
// Without one, messages go to the log.
class CFerrold_Reporter
{
public:
    enum class Icon { None, Exclamation, Stop };
    using Function = std::function<void(const QString& text, Icon icon)>;

    static void SetReporter(Function reporter);
    static void Report(const QString& text, Icon icon);

    // While one lives on a thread, that thread's reports are only logged: a
    // failure its caller has just explained in a box of its own (an import
    // undone because the server went away) is not said again by every
    // re-read that follows it.
    class Quiet
    {
    public:
        Quiet();
        ~Quiet();
        Quiet(const Quiet&) = delete;
        Quiet& operator=(const Quiet&) = delete;
    };
};
