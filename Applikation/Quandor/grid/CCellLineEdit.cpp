#include "CCellLineEdit.h"

#include "GridKeyMap.h"

#include <QInputMethodEvent>

CCellLineEdit::CCellLineEdit(QWidget* parent)
    : QLineEdit(parent)
{
}

bool CCellLineEdit::event(QEvent* event)
{
    if (GridKeyMap::ClaimEndingKeys(event, [this](QKeyEvent* press) { keyPressEvent(press); }))
        return true;
    return QLineEdit::event(event);
}

void CCellLineEdit::inputMethodEvent(QInputMethodEvent* event)
{
    const auto input = [this](QInputMethodEvent* filtered) { QLineEdit::inputMethodEvent(filtered); };
    if (!FiltersInput())
        input(event);
    else if (m_filter.Commit(event, input))
        TextEntered();
}

bool CCellLineEdit::TypeText(QKeyEvent* event)
{
    const auto press = [this](QKeyEvent* typed) { QLineEdit::keyPressEvent(typed); };
    switch (m_filter.Type(*this, event, press)) {
    case CCellTextFilter::Typed::Entered:
        TextEntered();
        return true;
    case CCellTextFilter::Typed::Refused:
        return true;
    case CCellTextFilter::Typed::NoText:
        break;
    }
    return false;
}
