#pragma once

#include <QPoint>

#include <functional>

class QAction;
class QMenu;

// The one way the program shows its context menus. Normally that is the
// menu's own modal loop at the screen point; tests put a runner in its
// place that looks at the menu and picks an entry (or none), so no test
// ever waits for a person.
class CMenuRunner
{
public:
    using Runner = std::function<QAction*(QMenu& menu, const QPoint& screenPoint)>;

    // Shows the menu at the screen point and returns the entry chosen, or
    // null when the menu was closed without a choice.
    static QAction* Exec(QMenu& menu, const QPoint& screenPoint);

    // Replaces how menus are shown; an empty runner brings back the menu's
    // own loop. Returns the runner it replaces. UI thread only.
    static Runner SetRunner(Runner runner);
};
