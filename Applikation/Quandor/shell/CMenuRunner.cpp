#include "CMenuRunner.h"

#include <QMenu>

namespace {

CMenuRunner::Runner& runner()
{
    static CMenuRunner::Runner current;
    return current;
}

} // namespace

QAction* CMenuRunner::Exec(QMenu& menu, const QPoint& screenPoint)
{
    // A copy: the runner may replace itself while the menu is open.
    const Runner run = runner();
    return run ? run(menu, screenPoint) : menu.exec(screenPoint);
}

CMenuRunner::Runner CMenuRunner::SetRunner(Runner replacement)
{
    std::swap(runner(), replacement);
    return replacement;
}
