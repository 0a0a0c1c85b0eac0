#include "CTitleTipWnd.h"

#include <QApplication>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

namespace
{

constexpr Qt::WindowFlags kTipFlags = Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus
                                      | Qt::WindowTransparentForInput;

}  // namespace

CTitleTipWnd::CTitleTipWnd() : QWidget(nullptr, kTipFlags)
{
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    setObjectName(QStringLiteral("QuandorTitleTip"));
}

CTitleTipWnd::~CTitleTipWnd() = default;

bool CTitleTipWnd::Create(QWidget* parent)
{
    if (m_bCreated)
        return true;
    m_pParentWnd = parent;
    m_bCreated = true;
    return true;
}

void CTitleTipWnd::DestroyWindow()
{
    m_bCreated = false;
    hide();
    if (testAttribute(Qt::WA_WState_Created))
        destroy();
}

void CTitleTipWnd::Hide()
{
    if (m_bCreated && isVisible())
        hide();
    m_pPressTarget.clear();
}

void CTitleTipWnd::Show(QRect textRect, const QString& text, int xOffset, const QRect* hoverRect,
                        const QFont* font, COLORREF textColour, COLORREF backColour)
{
    if (!m_bCreated && !Create(m_pParentWnd))
        return;
    QWidget* parent = m_pParentWnd;
    if (!parent || textRect.isEmpty() || isVisible())
        return;

    const QRect hover = hoverRect ? *hoverRect : textRect;
    m_rectHover = QRect(parent->mapToGlobal(hover.topLeft()), hover.size()).adjusted(0, 0, 1, 1);

    // A tip over a window in the background would float over whatever the
    // user works with now.
    if (!QApplication::focusWidget())
        return;

    m_rectText = QRect(QPoint(-1 - xOffset, -1), QPoint(textRect.width() - 1 - xOffset, textRect.height()));
    const QRect screenRect(parent->mapToGlobal(textRect.topLeft()), textRect.size());

    m_strShown = QLatin1Char(' ') + text + QLatin1Char(' ');
    m_font = font ? *font : parent->font();
    const QFontMetrics metrics(m_font);
    // Scalable fonts have no overhang; italics lean past their advance.
    const int overhang = m_font.italic() ? metrics.averageCharWidth() / 2 : 0;
    const int textWidth = metrics.horizontalAdvance(m_strShown);
    const int right = screenRect.left() + screenRect.width();
    if (screenRect.left() + xOffset + textWidth + overhang + xOffset <= right - xOffset)
        return;

    m_crText = textColour;
    m_crBack = backColour;
    setGeometry(screenRect.left() + xOffset, screenRect.top(), textWidth + overhang + xOffset, screenRect.height());
    // A tool-tip window stays on top of the program's windows by itself.
    show();
    update();
}

void CTitleTipWnd::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QPalette& pal = palette();
    const QColor back = IsDefaultColor(m_crBack) ? pal.color(QPalette::ToolTipBase) : QColorFromColorref(m_crBack);
    const QColor text = IsDefaultColor(m_crText) ? pal.color(QPalette::ToolTipText) : QColorFromColorref(m_crText);
    painter.fillRect(rect(), back);
    painter.setFont(m_font);
    painter.setPen(text);
    // The text starts where the cell's text starts and runs on past the
    // cell's edge: that is what the tip is for.
    painter.drawText(m_rectText.adjusted(0, 2, 0, 0),
                     Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine | Qt::TextDontClip, m_strShown);
    // The window's border.
    painter.setPen(pal.color(QPalette::ToolTipText));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

QWidget* CTitleTipWnd::WidgetBelow(QPoint globalPoint)
{
    QWidget* below = QApplication::widgetAt(globalPoint);
    if (below == this || !below)
        below = m_pParentWnd;
    return below;
}

void CTitleTipWnd::Forward(QMouseEvent* event)
{
    const QPoint global = event->globalPosition().toPoint();
    QWidget* target = nullptr;
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        Hide();
        target = WidgetBelow(global);
        m_pPressTarget = target;
        break;
    case QEvent::MouseButtonRelease:
        target = m_pPressTarget ? m_pPressTarget.data() : WidgetBelow(global);
        if (event->buttons() == Qt::NoButton)
            m_pPressTarget.clear();
        break;
    default:
        if (event->buttons() != Qt::NoButton && m_pPressTarget) {
            target = m_pPressTarget;
        } else {
            if (IsInHoverRect(global))
                return;
            Hide();
            target = WidgetBelow(global);
        }
        break;
    }
    event->accept();
    if (!target)
        return;
    QMouseEvent passed(event->type(), target->mapFromGlobal(event->globalPosition()), event->globalPosition(),
                       event->button(), event->buttons(), event->modifiers());
    QCoreApplication::sendEvent(target, &passed);
}

void CTitleTipWnd::mousePressEvent(QMouseEvent* event)
{
    Forward(event);
}

void CTitleTipWnd::mouseReleaseEvent(QMouseEvent* event)
{
    Forward(event);
}

void CTitleTipWnd::mouseDoubleClickEvent(QMouseEvent* event)
{
    Forward(event);
}

void CTitleTipWnd::mouseMoveEvent(QMouseEvent* event)
{
    Forward(event);
}

void CTitleTipWnd::wheelEvent(QWheelEvent* event)
{
    Hide();
    event->accept();
    const QPoint global = event->globalPosition().toPoint();
    QWidget* target = WidgetBelow(global);
    if (!target)
        return;
    QWheelEvent passed(target->mapFromGlobal(event->globalPosition()), event->globalPosition(), event->pixelDelta(),
                       event->angleDelta(), event->buttons(), event->modifiers(), event->phase(), event->inverted());
    QCoreApplication::sendEvent(target, &passed);
}
