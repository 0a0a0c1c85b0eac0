#include "CInPlaceEdit.h"

#include "CGridCtrl.h"
#include "GridKeyMap.h"

#include <QCoreApplication>
#include <QFontMetrics>

#include <algorithm>

CInPlaceEdit::CInPlaceEdit(CGridCtrl* grid, const QRect& rect, quint32 style, quint32 id, int row, int col,
                           const QString& initialText, const CGridEditKey& firstKey)
    : CCellLineEdit(grid ? grid->viewport() : nullptr),
      CGridEditorWnd(grid, id, row, col, initialText, firstKey),
      m_rectCell(rect)
{
    setObjectName(QStringLiteral("CInPlaceEdit"));
    m_filter.SetDigitsOnly((style & ES_NUMBER) != 0);
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
        case VK_SPACE:
            selectAll();
            return;
        default:
            if (GridKeyMap::MovesEditOn(firstKey.KeyCode())) {
                selectAll();
                return;
            }
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
    m_filter.SetValidation(expression);
    return true;
}

void CInPlaceEdit::ForwardKey(const CGridEditKey& key)
{
    if (QKeyEvent* press = GridKeyMap::NewKeyPress(key))
        QCoreApplication::postEvent(this, press);
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
    if (const int key = GridKeyMap::EndingKey(event, m_bExitOnArrows)) {
        event->accept();
        if (key == VK_ESCAPE)
            setText(m_strInitText);
        FinishWithKey(key, modifiers);
        return;
    }
    if (TypeText(event))
        return;
    QLineEdit::keyPressEvent(event);
    // Keys the line has no use for (Up, Down, Page Up, F-keys) stay with it:
    // reaching the grid they would move its focus under the open editor.
    event->accept();
}

void CInPlaceEdit::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    // The editor's own context menu takes the focus for a moment; that is
    // no end.
    if (event->reason() != Qt::PopupFocusReason)
        EndEdit();
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

void CInPlaceEdit::EndEdit()
{
    // Once per editor: the hand-off to the next cell opens a new editor
    // while this end may still be on the stack.
    if (m_bEnded)
        return;
    m_bEnded = true;
    const QString text = this->text();
    if (ReportEnd(this, text, text))
        Dispose(this);
}

void CInPlaceEdit::DiscardEdit()
{
    Discard(this);
}
