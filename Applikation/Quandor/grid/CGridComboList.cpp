#include "CGridComboList.h"

#include "CGridComboEdit.h"
#include "CGridCtrl.h"
#include "GridKeyMap.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCoreApplication>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMetaObject>
#include <QStyle>

#include <algorithm>

CGridComboList::CGridComboList(CGridCtrl* grid, const QRect& rect, int style, quint32 id, int row, int col,
                               const QStringList& displays, const QStringList& values,
                               const QString& initialText, const QString& initialValue,
                               const CGridEditKey& firstKey, COLORREF backColour, COLORREF textColour)
    : QComboBox(grid ? grid->viewport() : nullptr),
      CGridEditorWnd(grid, id, row, col, initialText, firstKey),
      m_nStyle(style == DropDown ? DropDown : DropDownList),
      m_strInitValue(initialValue)
{
    setObjectName(QStringLiteral("CGridComboList"));
    if (grid)
        setFont(grid->font());
    if (!IsDefaultColor(backColour) || !IsDefaultColor(textColour)) {
        QPalette colours = palette();
        if (!IsDefaultColor(backColour)) {
            colours.setColor(QPalette::Base, QColorFromColorref(backColour));
            colours.setColor(QPalette::Button, QColorFromColorref(backColour));
        }
        if (!IsDefaultColor(textColour)) {
            colours.setColor(QPalette::Text, QColorFromColorref(textColour));
            colours.setColor(QPalette::ButtonText, QColorFromColorref(textColour));
        }
        setPalette(colours);
    }
    // Typing picks nothing on its own: what the user typed stays typed.
    setInsertPolicy(QComboBox::NoInsert);
    for (int i = 0; i < displays.size(); ++i)
        addItem(displays.at(i), i < values.size() ? values.at(i) : displays.at(i));
    m_nInitIndex = findText(initialText, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (m_nStyle == DropDown) {
        setEditable(true);
        m_pEdit = new CGridComboEdit(this, initialText);
        setLineEdit(m_pEdit);
        setCompleter(nullptr);
    }
    setCurrentIndex(m_nInitIndex);
    if (m_pEdit)
        m_pEdit->setText(initialText);
    // Return in the dropped list picks its entry and ends the edit, as
    // Return on the closed list does: one key stores the choice.
    if (QAbstractItemView* list = view())
        list->installEventFilter(this);
    setGeometry(rect);
    show();
    setFocus(Qt::OtherFocusReason);
    if (m_pEdit)
        m_pEdit->selectAll();
    // A typed character goes on to the list as if typed there; the list is
    // not dropped by itself.
    if (firstKey.IsChar() && firstKey.Text() != QLatin1String("\b"))
        ForwardKey(firstKey);
}

CGridComboList::~CGridComboList() = default;

void CGridComboList::SetTextLimit(int limit)
{
    if (m_pEdit && limit > 0)
        m_pEdit->setMaxLength(limit);
}

void CGridComboList::SetValidation(const QString& expression)
{
    m_strValidation = expression;
    if (m_pEdit)
        m_pEdit->SetValidation(expression);
}

void CGridComboList::ForwardKey(const CGridEditKey& key)
{
    QWidget* target = m_pEdit ? static_cast<QWidget*>(m_pEdit) : this;
    if (QKeyEvent* press = GridKeyMap::NewKeyPress(key))
        QCoreApplication::postEvent(target, press);
}

int CGridComboList::DroppedWidth() const
{
    const QFontMetrics metrics(view() ? view()->font() : font());
    int widest = 0;
    for (int i = 0; i < count(); ++i)
        widest = std::max(widest, metrics.horizontalAdvance(itemText(i)));
    const int scrollBar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    return std::min(widest + scrollBar + metrics.horizontalAdvance(QLatin1Char('0')), 200);
}

bool CGridComboList::IsDropped() const
{
    const QAbstractItemView* list = view();
    return list && list->window() != window() && list->window()->isVisible();
}

void CGridComboList::showPopup()
{
    if (QAbstractItemView* list = view())
        list->setMinimumWidth(DroppedWidth());
    QComboBox::showPopup();
}

bool CGridComboList::event(QEvent* event)
{
    if (GridKeyMap::ClaimEndingKeys(event, [this](QKeyEvent* press) { keyPressEvent(press); }))
        return true;
    return QComboBox::event(event);
}

bool CGridComboList::HandleEditingKey(QKeyEvent* event)
{
    if (m_bEnded) {
        event->accept();
        return true;
    }
    // Alt+Down and the like drop the list; Alt keys never end the edit.
    const int key = GridKeyMap::EndingKey(event, m_bExitOnArrows);
    if (!key)
        return false;
    if (key == VK_ESCAPE) {
        if (m_pEdit)
            m_pEdit->RestoreInitialText();
        else
            setCurrentIndex(m_nInitIndex);
    }
    event->accept();
    FinishWithKey(key, GridKeyMap::ModifiersOf(event));
    return true;
}

void CGridComboList::keyPressEvent(QKeyEvent* event)
{
    if (HandleEditingKey(event))
        return;
    if (GridKeyMap::ModifiersOf(event) & Qt::AltModifier) {
        // Only the list's own Alt+Up/Down open and close it.
        const int key = event->key();
        if (key != Qt::Key_Up && key != Qt::Key_Down) {
            event->ignore();
            return;
        }
    }
    QComboBox::keyPressEvent(event);
    // What the list does not use must not move the grid's focus under it.
    event->accept();
}

bool CGridComboList::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == view() && event->type() == QEvent::KeyPress && !m_bEnded) {
        const auto* press = static_cast<QKeyEvent*>(event);
        if ((press->key() == Qt::Key_Return || press->key() == Qt::Key_Enter) && !(press->modifiers() & Qt::AltModifier)) {
            // The list takes the entry and closes first; the edit ends
            // right after, with that entry.
            const Qt::KeyboardModifiers modifiers = GridKeyMap::ModifiersOf(press);
            QMetaObject::invokeMethod(
                this, [this, modifiers] {
                    if (!m_bEnded)
                        FinishWithKey(VK_RETURN, modifiers);
                },
                Qt::QueuedConnection);
        }
    }
    return QComboBox::eventFilter(watched, event);
}

void CGridComboList::focusOutEvent(QFocusEvent* event)
{
    QComboBox::focusOutEvent(event);
    OnFocusLeft(event->reason());
}

bool CGridComboList::IsOwnWidget(const QWidget* widget) const
{
    if (!widget)
        return false;
    if (widget == this || isAncestorOf(widget))
        return true;
    const QAbstractItemView* list = view();
    return list && (widget == list || widget->window() == list->window());
}

void CGridComboList::OnFocusLeft(Qt::FocusReason reason)
{
    // The dropped list takes the focus while it is open; that is still the
    // edit.
    if (m_bEnded || reason == Qt::PopupFocusReason)
        return;
    if (IsOwnWidget(QApplication::focusWidget()))
        return;
    EndEdit();
}

bool CGridComboList::HoldsFocus() const
{
    return IsOwnWidget(QApplication::focusWidget());
}

void CGridComboList::BeforeFocusReturns()
{
    if (IsDropped())
        hidePopup();
}

void CGridComboList::EndEdit()
{
    if (m_bEnded)
        return;
    m_bEnded = true;
    // The shown text and the value it stands for: the chosen entry's, or
    // for typed text the text itself. Nothing chosen leaves the cell as it
    // was.
    QString text = currentText();
    QString value;
    const int index = currentIndex();
    if (m_pEdit) {
        text = m_pEdit->text();
        value = index >= 0 && itemText(index) == text ? itemData(index).toString() : text;
        if (text == m_strInitText)
            value = m_strInitValue;
    } else if (index >= 0) {
        value = itemData(index).toString();
    } else {
        text = m_strInitText;
        value = m_strInitValue;
    }
    if (ReportEnd(this, text, value)) {
        if (IsDropped())
            hidePopup();
        Dispose(this);
    }
}

void CGridComboList::DiscardEdit()
{
    Discard(this);
}
