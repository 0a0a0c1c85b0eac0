#pragma once

#include "CGridCellClass.h"
#include "CGridEditKey.h"
#include "Colorref.h"
#include "GridConstants.h"
#include "GridLogFont.h"

#include <QFont>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

class CGridCtrl;
class CGridDefaultCell;
class QPainter;
class QWidget;

// The root of every grid cell: position, state word, the colours the owner
// supplied for this display, text limit and validation expression, and the
// operations by which a cell draws, measures, edits and reacts to input.
// Cells are plain objects (a grid shows many thousands of them), owned by
// the grid that created them.
class CGridCellBase
{
public:
    CGridCellBase();
    virtual ~CGridCellBase();

    CGridCellBase(const CGridCellBase&) = delete;
    CGridCellBase& operator=(const CGridCellBase&) = delete;

    static const CGridCellClass& GetThisClass();
    virtual const CGridCellClass& GetRuntimeClass() const;
    bool IsKindOf(const CGridCellClass& cls) const { return GetRuntimeClass().IsDerivedFrom(cls); }

    // Setters
    virtual void SetValue(const QString& value);
    virtual void SetText(const QString& text) = 0;
    virtual void SetImage(int image) = 0;
    virtual void SetData(qint64 data) = 0;
    virtual void SetState(quint32 state);
    virtual void SetFormat(quint32 format) = 0;
    virtual void SetTextClr(COLORREF colour) = 0;
    virtual void SetBackClr(COLORREF colour) = 0;
    // A copy of the font; null removes the cell's own font.
    virtual void SetFont(const GridLogFont* font) = 0;
    virtual void SetMargin(quint32 margin) = 0;
    virtual void SetGrid(CGridCtrl* grid) = 0;
    virtual bool SetValidation(const QString& expression);
    virtual bool SetTextLimit(int limit);

    // Getters
    virtual QString GetValue() const;
    virtual QString GetText() const = 0;
    virtual QString GetTipText() const;
    virtual int GetImage() const = 0;
    virtual qint64 GetData() const = 0;
    virtual quint32 GetState() const;
    virtual quint32 GetFormat() const = 0;
    virtual COLORREF GetTextClr(bool ignoreDisplay = false) const = 0;
    virtual COLORREF GetBackClr(bool ignoreDisplay = false) const = 0;
    virtual const GridLogFont* GetFont() const = 0;
    virtual QFont GetFontObject() const = 0;
    virtual CGridCtrl* GetGrid() const = 0;
    virtual QWidget* GetEditWnd() const = 0;
    virtual quint32 GetMargin() const = 0;
    virtual QString GetValidation() const;
    virtual int GetTextLimit() const;
    // The grid's default cell for this cell's kind (fixed row, fixed column,
    // both or normal); null without a grid.
    virtual CGridDefaultCell* GetDefaultCell() const;
    virtual bool IsDefaultFont() const = 0;
    virtual bool IsEditing() const = 0;

    virtual bool IsFocused() const { return (GetState() & GVIS_FOCUSED) != 0; }
    virtual bool IsFixed() const { return (GetState() & GVIS_FIXED) != 0; }
    virtual bool IsFixedCol() const { return (GetState() & GVIS_FIXEDCOL) != 0; }
    virtual bool IsFixedRow() const { return (GetState() & GVIS_FIXEDROW) != 0; }
    virtual bool IsSelected() const { return (GetState() & GVIS_SELECTED) != 0; }
    virtual bool IsReadOnly() const { return (GetState() & (GVIS_READONLY | GVIS_READONLY_OWN)) != 0; }
    virtual bool IsModified() const { return (GetState() & GVIS_MODIFIED) != 0; }
    virtual bool IsDropHighlighted() const { return (GetState() & GVIS_DROPHILITED) != 0; }

    // Copies the other cell's properties (not its state, position or text
    // limit) unless it is this very cell.
    virtual void Assign(const CGridCellBase& source) = 0;
    virtual void CopyFrom(const CGridCellBase& source);
    // Back to the fallbacks: the default cell's colours, format, font, margin.
    virtual void Reset();

    // Drawing and measuring. Rectangles are the cell's full pixel area; the
    // grid draws its lines over the last column and row of pixels.
    virtual bool DrawBackground(QPainter* painter, QRect rect, COLORREF shade = 0);
    virtual bool Draw(QPainter* painter, int row, int col, QRect rect, bool eraseBackground = true,
                      COLORREF shade = 0);
    virtual bool GetTextRect(QRect& rect);
    virtual bool GetTipTextRect(QRect& rect);
    virtual QSize GetTextExtent(const QString& text, QPainter* painter = nullptr);
    virtual QSize GetCellExtent(QPainter* painter = nullptr);

    // Colours the owner supplied through the colour request of the display
    // exchange; while set they win over the cell's own colours.
    void ResetDisplayColours();
    void SetDisplayColours(COLORREF back, COLORREF text);
    COLORREF GetDisplayBackClr() const { return m_crDisplayBack; }
    COLORREF GetDisplayTextClr() const { return m_crDisplayText; }

    void SetCoords(int row, int col);
    int GetRow() const { return m_nRow; }
    int GetColumn() const { return m_nCol; }
    // The data row this display copy was filled for (-1: not a display copy).
    void SetDataRow(int dataRow) { m_nDataRow = dataRow; }
    int GetDataRow() const { return m_nDataRow; }

    // Editing
    // Opens the cell's editor over "rect"; "key" is what started the edit
    // (a click or F2 as VK_LBUTTON, Delete as VK_DELETE, typed text, or the
    // key that moved an edit on to this cell).
    virtual bool Edit(int row, int col, QRect rect, QPoint point, quint32 id, const CGridEditKey& key);
    virtual bool ValidateEdit(const QString& text);
    virtual void EndEdit();
    virtual bool PrintCell(QPainter* painter, int row, int col, QRect rect);
    virtual void OnEndEdit();

    // Input hooks
    virtual void OnMouseOver();
    virtual void OnClickDown(QPoint point);
    virtual void OnClick(QPoint point);
    virtual void OnRClick(QPoint point);
    virtual void OnDblClick(QPoint point);
    virtual bool OnKeyDown(int key, int repeat, quint32 flags);
    virtual bool OnSetCursor();

    virtual void SetValueText(const QString& text);
    virtual QString GetValueText() const;

    // List cells point their item-list reference back at their own list
    // before they serve as the source of a display copy.
    virtual void UseOwnItemList();

protected:
    // Colour rules shared by DrawBackground and Draw. Fills the background as
    // the state asks and gives back the text colour to draw with.
    bool PaintBackground(QPainter* painter, const QRect& rect, bool erase, COLORREF shade,
                         QColor& textColour);

private:
    int m_nRow = -1;
    int m_nCol = -1;
    int m_nDataRow = -1;
    int m_nTextLimit = 0;
    QString m_strValidation;
    quint32 m_nState = 0;
    COLORREF m_crDisplayBack = CLR_DEFAULT;
    COLORREF m_crDisplayText = CLR_DEFAULT;
};
