#pragma once

#include "CGridEditKey.h"
#include "CGridEditorWnd.h"
#include "Colorref.h"

#include <QComboBox>
#include <QPointer>
#include <QStringList>

class CGridComboEdit;
class CGridCtrl;

// The choice list a combo cell opens over itself. As a drop-down list it
// only chooses; as a drop-down its text part (CGridComboEdit) also takes
// typed text. It reports the chosen text and the value it stands for to
// the grid when the focus leaves it or an ending key is pressed, then goes
// away by itself.
class CGridComboList : public QComboBox, public CGridEditorWnd
{
    Q_OBJECT

public:
    enum Style { DropDown = 2, DropDownList = 3 };

    // "displays" and "values" pair up: what the list shows and what each
    // entry stands for. The entry whose display text is "initialText" is
    // chosen at the start.
    CGridComboList(CGridCtrl* grid, const QRect& rect, int style, quint32 id, int row, int col,
                   const QStringList& displays, const QStringList& values, const QString& initialText,
                   const QString& initialValue, const CGridEditKey& firstKey, COLORREF backColour,
                   COLORREF textColour);
    ~CGridComboList() override;

    void SetTextLimit(int limit);
    void SetValidation(const QString& expression);
    QString GetValidation() const { return m_strValidation; }

    void EndEdit() override;
    void DiscardEdit() override;
    void ForwardKey(const CGridEditKey& key) override;

    // The width the dropped list asks for: the widest entry, a scroll bar
    // and one digit, at most 200 pixels.
    int DroppedWidth() const;
    void showPopup() override;
    // Whether the list is dropped now.
    bool IsDropped() const;

    CGridComboEdit* GetEditPart() const { return m_pEdit; }

    // Key handling shared with the text part: true when the key was the
    // list's (an ending key), which then ends the edit.
    bool HandleEditingKey(QKeyEvent* event);
    // The focus left the list or its text part for "reason".
    void OnFocusLeft(Qt::FocusReason reason);

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

    bool HoldsFocus() const override;
    // The dropped list closes before the focus goes.
    void BeforeFocusReturns() override;

private:
    // Whether "widget" is the list itself, its text part or its dropped list.
    bool IsOwnWidget(const QWidget* widget) const;

    CGridComboEdit* m_pEdit = nullptr;
    QString m_strValidation;
    int m_nStyle = DropDownList;
    QString m_strInitValue;
    int m_nInitIndex = -1;
};
