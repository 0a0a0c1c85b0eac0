#pragma once

#include "CCellLineEdit.h"

class CGridComboList;

// The text part of a drop-down combo cell's editor: it holds typed
// characters to the cell's expression, puts the initial text back on Esc
// and leaves the ending keys to its list.
class CGridComboEdit : public CCellLineEdit
{
    Q_OBJECT

public:
    CGridComboEdit(CGridComboList* list, const QString& initialText);

    QString GetInitialText() const { return m_strInitText; }
    void RestoreInitialText() { setText(m_strInitText); }
    void SetValidation(const QString& expression) { m_filter.SetValidation(expression); }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    CGridComboList* m_pList;
    QString m_strInitText;
};
