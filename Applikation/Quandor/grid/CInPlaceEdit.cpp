#include "CInPlaceEdit.h"

#include "CGridCtrl.h"
#include "GridKeyMap.h"
#include "ValidateText.h"

#include <QCoreApplication>
#include <QFontMetrics>
#include <QInputMethodEvent>

#include <algorithm>

CInPlaceEdit::CInPlaceEdit(CGridCtrl* grid, const QRect& rect, quint32 style, quint32 id, int row, int col,
                           const QString& initialText, const CGridEditKey& firstKey)
    : QLineEdit(grid ? grid->viewport() : nullptr),
      m_pGrid(grid),
      m_nID(id),
      m_nRow(row),
      m_nColumn(col),
      m_strInitText(initialText),
      m_rectCell(rect)
{
    setObjectName(QStringLiteral("CInPlaceEdit"));
    // A click (or F2) leaves the arrows to the caret; an edit begun by a key
    // is a quick entry that the arrows leave again.
    m_bExitOnArrows = !(firstKey.IsKey() && firstKey.KeyCode() == VK_LBUTTON) && !firstKey.IsNone();
    m_bDigitsOnly = (style & ES_NUMBER) != 0;
    Qt::Alignment alignment = Qt::AlignLeft;
    if (style & ES_RIGHT)
        alignment = Qt::AlignRight;
    else if (style & ES_CENTER)
        alignment = Qt::AlignHCenter;
    setAlignment(alignment | Qt::AlignVCenter);
    if (grid)
        setFont(grid->font());
    setGeometry(rect);
    setText(initialText);
    show();
    setFocus(Qt::OtherFocusReason);

    if (firstKey.IsKey()) {
        switch (firstKey.KeyCode()) {
        case VK_DELETE:
            // Delete empties the cell: the edit ends at once as if confirmed.
            clear();
            QCoreApplication::postEvent(this, new QKeyEvent(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier));
            return;
        case VK_LBUTTON:
        case VK_BACK:
        case VK_TAB:
        case VK_SPACE:
        case VK_PRIOR:
        case VK_NEXT:
        case VK_END:
        case VK_HOME:
        case VK_LEFT:
        case VK_UP:
        case VK_RIGHT:
        case VK_DOWN:
            selectAll();
            return;
        default:
            break;
        }
    }
    selectAll();
    // Backspace typed on a cell only opens it; any other typed text replaces
    // the selected text, through the same checks as text typed later.
    if (firstKey.IsChar() && firstKey.Text() == QLatin1String("\b"))
        return;
    if (QKeyEvent* press = GridKeyMap::NewKeyPress(firstKey))
        QCoreApplication::postEvent(this, press);
}

CInPlaceEdit::~CInPlaceEdit() = default;

void CInPlaceEdit::SetTextLimit(int limit)
{
    if (limit <= 0)
        return;
    // A new limit sets the text anew, which drops the selection that the
    // first typed key is about to replace.
    const bool whole = hasSelectedText() && selectedText() == text();
    setMaxLength(limit);
    if (whole)
        selectAll();
}

bool CInPlaceEdit::SetValidation(const QString& expression)
{
    m_strValidation = expression;
    return true;
}

void CInPlaceEdit::ForwardKey(const CGridEditKey& key)
{
    if (QKeyEvent* press = GridKeyMap::NewKeyPress(key))
        QCoreApplication::postEvent(this, press);
}

bool CInPlaceEdit::event(QEvent* event)
{
    if (GridKeyMap::ClaimEndingKeys(event, [this](QKeyEvent* press) { keyPressEvent(press); }))
        return true;
    return QLineEdit::event(event);
}

void CInPlaceEdit::keyPressEvent(QKeyEvent* event)
{
    const Qt::KeyboardModifiers modifiers = GridKeyMap::ModifiersOf(event);
    if (m_bEnded) {
        event->accept();
        return;
    }
    // Alt keys belong to the window's menus and mnemonics, never to the text.
    if (modifiers & Qt::AltModifier) {
        event->ignore();
        return;
    }
    const int key = GridKeyMap::VirtualKeyOf(event->key());
    switch (key) {
    case VK_PRIOR:
    case VK_NEXT:
    case VK_LEFT:
    case VK_UP:
    case VK_RIGHT:
    case VK_DOWN:
        if (m_bExitOnArrows || (modifiers & Qt::ControlModifier)) {
            event->accept();
            FinishWithKey(key, modifiers);
            return;
        }
        break;
    case VK_TAB:
    case VK_RETURN:
        event->accept();
        FinishWithKey(key, modifiers);
        return;
    case VK_ESCAPE:
        event->accept();
        setText(m_strInitText);
        FinishWithKey(key, modifiers);
        return;
    default:
        break;
    }

    const QString text = event->text();
    if (!(modifiers & Qt::ControlModifier) && GridKeyMap::IsTypedText(text)) {
        const QString accepted = AcceptedText(text);
        if (accepted == text)
            QLineEdit::keyPressEvent(event);
        else if (!accepted.isEmpty())
            insert(accepted);
        event->accept();
        if (!accepted.isEmpty())
            WidenToText();
        return;
    }
    QLineEdit::keyPressEvent(event);
    // Keys the line has no use for (Up, Down, Page Up, F-keys) stay with it:
    // reaching the grid they would move its focus under the open editor.
    event->accept();
}

void CInPlaceEdit::inputMethodEvent(QInputMethodEvent* event)
{
    const QString commit = event->commitString();
    if (commit.isEmpty() || m_bEnded) {
        QLineEdit::inputMethodEvent(event);
        return;
    }
    const QString accepted = AcceptedText(commit);
    if (accepted == commit) {
        QLineEdit::inputMethodEvent(event);
    } else {
        QInputMethodEvent filtered(event->preeditString(), event->attributes());
        filtered.setCommitString(accepted, event->replacementStart(), event->replacementLength());
        QLineEdit::inputMethodEvent(&filtered);
    }
    if (!accepted.isEmpty())
        WidenToText();
}

void CInPlaceEdit::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    // The editor's own context menu takes the focus for a moment; that is
    // no end.
    if (event->reason() != Qt::PopupFocusReason)
        EndEdit();
}

QString CInPlaceEdit::AcceptedText(const QString& text) const
{
    if (m_strValidation.isEmpty() && !m_bDigitsOnly)
        return text;
    QString accepted;
    for (const QChar c : text) {
        if (m_bDigitsOnly && (c < QLatin1Char('0') || c > QLatin1Char('9')))
            continue;
        // The character alone is checked, upper-cased for the check only.
        if (!m_strValidation.isEmpty() && ValidateText(QString(c).toUpper(), 4, m_strValidation, 0, 0) != 0)
            continue;
        accepted += c;
    }
    return accepted;
}

void CInPlaceEdit::WidenToText()
{
    const QWidget* parent = parentWidget();
    if (!parent)
        return;
    const int wanted = QFontMetrics(font()).horizontalAdvance(text() + QLatin1String("  "));
    if (wanted <= width())
        return;
    const int right = std::min(x() + wanted, parent->width());
    if (right - x() <= width())
        return;
    m_rectCell = QRect(x(), y(), right - x(), height());
    setGeometry(m_rectCell);
    update();
}

void CInPlaceEdit::FinishWithKey(int key, Qt::KeyboardModifiers modifiers)
{
    m_lastKey = CGridEditKey::Key(key, modifiers);
    if (m_pGrid && hasFocus())
        m_pGrid->setFocus(Qt::OtherFocusReason);
    // Without an active window the focus does not move and no focus-out
    // arrives; the end must not depend on it.
    EndEdit();
}

void CInPlaceEdit::EndEdit()
{
    // Once per editor: the hand-off to the next cell opens a new editor
    // while this end may still be on the stack.
    if (m_bEnded)
        return;
    m_bEnded = true;
    QPointer<CInPlaceEdit> self(this);
    const QString text = this->text();
    if (CGridCtrl* grid = m_pGrid.data()) {
        grid->ReleaseActiveEditor(this);
        if (hasFocus())
            grid->setFocus(Qt::OtherFocusReason);
        grid->EndInPlaceEdit(m_nRow, m_nColumn, text, m_lastKey);
    }
    if (self) {
        hide();
        deleteLater();
    }
}

void CInPlaceEdit::DiscardEdit()
{
    m_bEnded = true;
    m_pGrid.clear();
    hide();
    deleteLater();
}
