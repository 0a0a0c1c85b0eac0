#pragma once

#include "CCellTextFilter.h"

#include <QLineEdit>

// The text line of a cell's in-place editor: the keys that end an edit are
// its own before any shortcut of the window, and typed or committed text
// passes the cell's filter.
class CCellLineEdit : public QLineEdit
{
public:
    explicit CCellLineEdit(QWidget* parent);

protected:
    bool event(QEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;

    // A key press that types text, through the filter; false (and nothing
    // done) for any other key.
    bool TypeText(QKeyEvent* event);
    // Accepted text went in.
    virtual void TextEntered() {}
    // Whether text still goes through the filter (no longer once the edit
    // ended).
    virtual bool FiltersInput() const { return true; }

    CCellTextFilter m_filter;
};
