#pragma once

#include "CCellLineEdit.h"
#include "CGridEditKey.h"
#include "CGridEditorWnd.h"

#include <QPointer>
#include <QRect>

class CGridCtrl;

// The editor a text cell opens over itself: a line edit in the grid's
// viewport that reports its text and the key that ended it to the grid, then
// goes away by itself. Typed characters may be held to a regular expression,
// one character at a time.
class CInPlaceEdit : public CCellLineEdit, public CGridEditorWnd
{
    Q_OBJECT

public:
    // Style bits of the editor.
    enum : quint32
    {
        ES_LEFT = 0x0000,
        ES_CENTER = 0x0001,
        ES_RIGHT = 0x0002,
        ES_NUMBER = 0x2000,
    };

    // Opens over "rect" (viewport coordinates) with the cell's text and
    // takes the focus; "firstKey" is what started the edit.
    CInPlaceEdit(CGridCtrl* grid, const QRect& rect, quint32 style, quint32 id, int row, int col,
                 const QString& initialText, const CGridEditKey& firstKey);
    // At most this many characters (0: no limit). The text typed to open
    // the editor still replaces the cell's text.
    void SetTextLimit(int limit);
    ~CInPlaceEdit() override;

    bool SetValidation(const QString& expression);
    QString GetValidation() const { return m_filter.GetValidation(); }

    void EndEdit() override;
    void DiscardEdit() override;
    void ForwardKey(const CGridEditKey& key) override;

    int GetRow() const { return m_nRow; }
    int GetColumn() const { return m_nColumn; }
    quint32 GetID() const { return m_nID; }
    QString GetInitialText() const { return m_strInitText; }
    CGridEditKey GetLastKey() const { return m_lastKey; }
    bool GetExitOnArrows() const { return m_bExitOnArrows; }
    bool IsEnded() const { return m_bEnded; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    // Typed text widens the editor to fit it.
    void TextEntered() override { WidenToText(); }
    bool FiltersInput() const override { return !m_bEnded; }

private:
    // Remembers the key and hands the focus back to the grid, which ends
    // the edit.
    void FinishWithKey(int key, Qt::KeyboardModifiers modifiers);
    // Grows to the text, never past the viewport's right edge; never shrinks.
    void WidenToText();

    QPointer<CGridCtrl> m_pGrid;
    quint32 m_nID = 0;
    int m_nRow = -1;
    int m_nColumn = -1;
    QString m_strInitText;
    CGridEditKey m_lastKey;
    bool m_bExitOnArrows = false;
    bool m_bEnded = false;
    QRect m_rectCell;
};
