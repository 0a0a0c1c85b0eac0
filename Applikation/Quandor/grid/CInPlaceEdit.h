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

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    // Typed text widens the editor to fit it.
    void TextEntered() override { WidenToText(); }
    bool FiltersInput() const override { return !m_bEnded; }
    bool HoldsFocus() const override { return hasFocus(); }

private:
    // Grows to the text, never past the viewport's right edge; never shrinks.
    void WidenToText();

    QRect m_rectCell;
};
