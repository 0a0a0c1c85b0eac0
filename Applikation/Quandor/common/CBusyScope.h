#pragma once

#include <QMessageBox>

class CAppContext;

// The main window's busy state for one long operation: the busy flag set
// and the wait cursor shown from construction to destruction, so that every
// way out of the operation (an early return, a failure, an exception)
// clears them again. Without a context nothing is shown.
class CBusyScope
{
public:
    explicit CBusyScope(CAppContext* context);
    ~CBusyScope();

    CBusyScope(const CBusyScope&) = delete;
    CBusyScope& operator=(const CBusyScope&) = delete;

    // A message box (caption text 74) with the normal cursor over it while
    // the wait cursor is on; returns the button chosen.
    static QMessageBox::StandardButton Show(const QString& text, QMessageBox::Icon icon,
                                            QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                                            QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);
    // A question whose Yes destroys what only a backup brings back: Return
    // and a hasty Enter answer No. True for Yes.
    static bool ConfirmDestructive(const QString& text);

    // The normal cursor over a modal window while the wait cursor is on.
    class NormalCursor
    {
    public:
        NormalCursor();
        ~NormalCursor();
        NormalCursor(const NormalCursor&) = delete;
        NormalCursor& operator=(const NormalCursor&) = delete;

    private:
        bool m_bSet;
    };

private:
    CAppContext* m_context;
};
