#include "CShowMessage.h"

#include "CBlinkStatic.h"
#include "CFontScale.h"

#include <QPainter>
#include <QVBoxLayout>

namespace {

// The notice's size on the original dialog grid (320 by 40 dialog units of
// an 8-point dialog font) in pixels.
constexpr int kWidth = 480;
constexpr int kHeight = 65;
constexpr int kMargin = 10;

} // namespace

CShowMessage::CShowMessage(const QString& text, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint)
    , m_label(new CBlinkStatic(this))
{
    setObjectName(QStringLiteral("CShowMessage"));
    // The text has a font of its own, fixed in pixels; the notice still
    // grows with the dialog font, as every window drawn on the dialog grid.
    const CFontScale scale(this);
    setFixedSize(scale.Width(kWidth), scale.Height(kHeight));

    // A face that is missing here is replaced by the system's sans face, in
    // bold at the same pixel height.
    QFont font(QStringLiteral("Orvanis"));
    font.setPixelSize(20);
    font.setBold(true);

    m_label->setObjectName(QStringLiteral("1032"));
    m_label->setFont(font);
    m_label->setText(text);
    m_label->setAlignment(Qt::AlignCenter);
    m_label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_label->SetTextColor(RGB(0, 192, 0));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
    layout->addWidget(m_label);

    // A coarse timer may fire up to 5 % early; the notice stays its full time.
    m_closeTimer.setTimerType(Qt::PreciseTimer);
    m_closeTimer.setSingleShot(true);
    m_closeTimer.setInterval(kShowMilliseconds);
    connect(&m_closeTimer, &QTimer::timeout, this, &QDialog::reject);
}

void CShowMessage::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    m_closeTimer.start();
}

void CShowMessage::paintEvent(QPaintEvent* event)
{
    QDialog::paintEvent(event);
    // Without a title bar the window needs a border of its own to stand out.
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::Dark));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}
