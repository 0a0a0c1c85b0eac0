#include "CFerrold_Reporter.h"

#include <QtGlobal>

#include <mutex>

namespace {

std::mutex g_mutex;
CFerrold_Reporter::Function g_reporter;
thread_local int t_quiet = 0;

} // namespace

void CFerrold_Reporter::SetReporter(Function reporter)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_reporter = std::move(reporter);
}

void CFerrold_Reporter::Report(const QString& text, Icon icon)
{
    Function reporter;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        reporter = g_reporter;
    }
    if (reporter && t_quiet == 0)
        reporter(text, icon);
    else
        qWarning("%s", qUtf8Printable(text));
}

CFerrold_Reporter::Quiet::Quiet()
{
    ++t_quiet;
}

CFerrold_Reporter::Quiet::~Quiet()
{
    --t_quiet;
}
