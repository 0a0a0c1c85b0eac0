#pragma once

#include "CListEntry.h"
#include "Colorref.h"

#include <QPoint>
#include <QRect>

#include <QSize>

#include <functional>

class CGridCell;
class QPainter;

// The entries of a check-list or option-list cell, one to a line, and the
// current line the keys move: what the two list cells share.
class CGridItemLines
{
public:
    static constexpr int kLineHeight = 16;
    static constexpr int kMarkSize = 15;

    CGridItemArray& Own() { return m_items; }
    const CGridItemArray& Items() const { return m_pItems ? *m_pItems : m_items; }
    int Count() const { return int(Items().size()); }
    // The entry at "index"; null outside the list.
    const CListEntry* At(int index) const;
    // Shows another cell's entries without owning them, until UseOwn.
    void Share(const CGridItemLines& other) { m_pItems = &other.Items(); }
    void UseOwn() { m_pItems = nullptr; }

    int Current() const { return m_nCurrent; }
    // Down wraps from the last line to the first; false when there is no
    // line to move to.
    bool MoveDown();
    // Up stops at the first line: false there, so the grid moves instead.
    bool MoveUp();

    // The line under "point" (relative to the cell) when it lies on that
    // line's mark; -1 otherwise.
    int MarkAt(QPoint point, int margin) const;
    QRect MarkRect(int index, int margin) const;

    // Draws every line: a check box or an option mark, then the entry's text.
    void Draw(QPainter* painter, const CGridCell& cell, QRect rect, bool radio,
              const std::function<bool(int)>& isOn) const;

    // What the two list cells do alike. "choose" ticks or picks a line.
    using Choose = std::function<void(int)>;
    // The cell drawn: with entries the lines stand in for its text.
    bool DrawCell(QPainter* painter, CGridCell& cell, int row, int col, QRect rect, bool eraseBackground,
                  COLORREF shade, bool radio, const std::function<bool(int)>& isOn) const;
    // The text keeps clear of the room a scroll bar would take.
    static void NarrowTextRect(QRect& rect, const CGridCell& cell);
    // The text's extent widened by a mark and heightened to every line.
    QSize Extent(QSize text) const;
    // A click on a line's mark chooses that line.
    void Click(QPoint point, const CGridCell& cell, const Choose& choose) const;
    // Enter and Space choose the current line; Up and Down move it and let
    // the grid move on where the list ends. The cell's OnKeyDown result.
    bool KeyDown(int key, const CGridCell& cell, const Choose& choose);
    // Tells the grid's owner the cell's new value, as an ended edit.
    static void ReportValue(const CGridCell& cell, const QString& value);

private:
    CGridItemArray m_items;
    const CGridItemArray* m_pItems = nullptr;
    int m_nCurrent = 0;
};
