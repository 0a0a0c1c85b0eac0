#pragma once

#include "CGridEditKey.h"

#include <QPointer>
#include <QString>

class CGridCtrl;
class QWidget;

// What the grid asks of the window that edits one of its cells, and what
// every such window keeps: the cell, its text at the start and the key that
// ended the edit. The grid keeps the one open editor and reaches it only
// through this.
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

    int GetRow() const { return m_nRow; }
    int GetColumn() const { return m_nColumn; }
    quint32 GetID() const { return m_nID; }
    QString GetInitialText() const { return m_strInitText; }
    CGridEditKey GetLastKey() const { return m_lastKey; }
    bool GetExitOnArrows() const { return m_bExitOnArrows; }
    bool IsEnded() const { return m_bEnded; }

protected:
    // The editor of a cell of the grid; "firstKey" is what started the edit.
    CGridEditorWnd(CGridCtrl* grid, quint32 id, int row, int col, const QString& initialText,
                   const CGridEditKey& firstKey);

    // Whether the focus is on the editor or a part of it.
    virtual bool HoldsFocus() const = 0;
    // Called by FinishWithKey once the key is remembered, before the focus
    // goes back to the grid.
    virtual void BeforeFocusReturns() {}
    // Remembers the key and hands the focus back to the grid, which ends
    // the edit.
    void FinishWithKey(int key, Qt::KeyboardModifiers modifiers);
    // An end handed to the grid: the editor leaves it first, the focus goes
    // back to the grid when the editor held it, then the result is reported
    // (which may open the next cell's editor). False when the report took
    // the editor away already.
    bool ReportEnd(QWidget* editor, const QString& text, const QString& value);
    // Hides the editor, which goes at the next turn of the event loop.
    static void Dispose(QWidget* editor);
    // Closes the editor unreported.
    void Discard(QWidget* editor);

    QPointer<CGridCtrl> m_pGrid;
    quint32 m_nID = 0;
    int m_nRow = -1;
    int m_nColumn = -1;
    QString m_strInitText;
    CGridEditKey m_lastKey;
    bool m_bExitOnArrows = false;
    bool m_bEnded = false;
};
