#include "CHyperLink.h"

#include "CUiMessage.h"
#include "LabelPainting.h"

#include <QDesktopServices>
#include <QEnterEvent>
#include <QMouseEvent>
#include <QPainter>

namespace {

const QString kMailPrefix = QStringLiteral("mailto:");

} // namespace

CHyperLink::CHyperLink(QWidget* parent)
    : QLabel(parent)
{
    Init();
}

CHyperLink::CHyperLink(const QString& text, QWidget* parent)
    : QLabel(text, parent)
    , m_link(text.trimmed())
{
    Init();
}

void CHyperLink::Init()
{
    setToolTip(m_link);
    m_opener = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
}

bool CHyperLink::SetLinkText(const QString& link)
{
    QString target = link.trimmed();
    if (target.isEmpty())
        target = text().trimmed();
    if (target.isEmpty())
        return false;
    m_link = target;
    setToolTip(m_link);
    return true;
}

void CHyperLink::SetToolTipText(const QString& text)
{
    setToolTip(text);
}

void CHyperLink::SetBkColour(COLORREF colour)
{
    m_background = colour;
    m_backgroundMode = Solid;
    update();
}

void CHyperLink::SetUnderline(UnderlineMode mode)
{
    m_underlineMode = mode;
    m_underlined = mode == UnderlineAlways || (mode == UnderlineHover && m_hover);
    update();
}

void CHyperLink::SetOpener(Opener opener)
{
    m_opener = std::move(opener);
}

bool CHyperLink::OpenURL(const QString& link)
{
    const QUrl url = QUrl::fromUserInput(link);
    const bool opened = url.isValid() && m_opener && m_opener(url);
    if (!opened)
        CUiMessage::Show(QStringLiteral("Failed to open URL"), QMessageBox::Critical, QMessageBox::Ok,
                         nullptr, QStringLiteral("Error"));
    return opened;
}

bool CHyperLink::OpenMail(const QString& link)
{
    const QUrl url(link);
    const bool opened = url.isValid() && m_opener && m_opener(url);
    if (!opened)
        CUiMessage::Show(QStringLiteral("E - Mail Failure."), QMessageBox::Critical, QMessageBox::Ok,
                         nullptr, QStringLiteral("Error"));
    update();
    return opened;
}

void CHyperLink::FillBackground(QPainter& painter)
{
    painter.fillRect(rect(), palette().color(QPalette::Window));
}

bool CHyperLink::OpenTarget()
{
    if (m_link.size() >= kMailPrefix.size()
        && m_link.left(kMailPrefix.size()).compare(kMailPrefix, Qt::CaseInsensitive) == 0)
        return OpenMail(m_link);
    return OpenURL(m_link);
}

void CHyperLink::paintEvent(QPaintEvent* event)
{
    const bool holdsImage = !pixmap().isNull();
    {
        QPainter painter(this);
        if (m_backgroundMode == Solid)
            painter.fillRect(rect(), QColorFromColorref(m_background));
        else if (!holdsImage)
            FillBackground(painter);
        if (!holdsImage) {
            drawFrame(&painter);
            QFont linkFont = font();
            linkFont.setUnderline(m_underlined);
            painter.setFont(linkFont);
            PaintLabelText(painter, *this, QColorFromColorref(m_current));
            return;
        }
    }
    QLabel::paintEvent(event);
}

void CHyperLink::enterEvent(QEnterEvent* event)
{
    QLabel::enterEvent(event);
    if (m_hover)
        return;
    m_hover = true;
    m_current = m_hoverColour;
    m_underlined = m_underlineMode != UnderlineNever;
    update();
}

void CHyperLink::leaveEvent(QEvent* event)
{
    QLabel::leaveEvent(event);
    if (!m_hover)
        return;
    m_hover = false;
    m_current = RestingColour();
    m_underlined = m_underlineMode == UnderlineAlways;
    update();
}

void CHyperLink::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QLabel::mousePressEvent(event);
        return;
    }
    m_pressed = true;
    m_current = m_pressedColour;
    update();
}

void CHyperLink::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !m_pressed) {
        QLabel::mouseReleaseEvent(event);
        return;
    }
    m_pressed = false;
    if (rect().contains(event->position().toPoint()))
        m_visited = OpenTarget();
    m_current = RestingColour();
    update();
}
