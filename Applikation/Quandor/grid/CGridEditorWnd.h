#pragma once

#include "CGridEditKey.h"

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
};
