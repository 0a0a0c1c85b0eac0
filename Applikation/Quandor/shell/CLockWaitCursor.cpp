#include "CLockWaitCursor.h"

#include "CQuandorApp.h"

#include <QThread>

namespace {

CQuandorApp* appOnItsThread()
{
    CQuandorApp* app = CQuandorApp::Instance();
    return app && QThread::currentThread() == app->thread() ? app : nullptr;
}

} // namespace

void CLockWaitCursor::WaitBegins()
{
    if (CQuandorApp* app = appOnItsThread())
        app->BeginWaitCursor();
}

void CLockWaitCursor::WaitEnds()
{
    if (CQuandorApp* app = appOnItsThread())
        app->EndWaitCursor();
}
