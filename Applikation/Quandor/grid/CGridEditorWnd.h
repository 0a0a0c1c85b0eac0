#pragma once

#include "CGridEditKey.h"

#include <QString>

class CGridCtrl;
class QWidget;

// What the grid asks of the window that edits one of its cells. The grid
// keeps the one open editor and reaches it only through this.
class CGridEditorWnd
{
public:
    virtual ~CGridEditorWnd() = default;

    // Ends the edit and reports the result to the grid, once.
    virtual void EndEdit() = 0;
    // Closes the editor without a report: the grid itself is going away.
    virtual void DiscardEdit() = 0;
    // A key or typed text for the open editor, as if the user had given it.
    virtual void ForwardKey(const CGridEditKey& key) = 0;

protected:
    // An end handed to the grid: the editor leaves it first, the focus goes
    // back to the grid when the editor held it, then the result is reported
    // (which may open the next cell's editor). False when the report took
    // the editor away already.
    static bool ReportEnd(QWidget* editor, CGridCtrl* grid, bool heldFocus, int row, int col, const QString& text,
                          const CGridEditKey& key, const QString& value);
    // Hides the editor, which goes at the next turn of the event loop.
    static void Dispose(QWidget* editor);
};
