#include "CShowMessage.h"

#include "CBlinkStatic.h"
#include "CFontScale.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// The notice's size on the original dialog grid (320 by 40 dialog units of
// an 8-point dialog font) in pixels.
constexpr int kWidth = 480;
constexpr int kHeight = 65;
constexpr int kMargin = 10;
// Room between the sunken frame and the text.
constexpr int kTextPadding = 6;

} // namespace

CShowMessage::CShowMessage(const QString& text, QWidget* parent, Kind kind)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint)
    , m_label(new CBlinkStatic(this))
{
    setObjectName(QStringLiteral("CShowMessage"));

    // A face that is missing here is replaced by the system's sans face, in
    // bold at the same pixel height.
    QFont font(QStringLiteral("Orvanis"));
    font.setPixelSize(20);
    font.setBold(true);

    m_label->setObjectName(QStringLiteral("1032"));
    m_label->setFont(font);
    m_label->setText(text);
    m_label->setAlignment(Qt::AlignCenter);
    m_label->setWordWrap(true);
    m_label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_label->SetTextColor(kind == Error ? kErrorColour : kDoneColour);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
    layout->addWidget(m_label);

    // The usual size grows with the dialog font, as every window drawn on
    // the dialog grid; a longer text widens the notice up to most of the
    // screen and then wraps, so no text is ever cut.
    const CFontScale scale(this);
    const QSize usual(scale.Width(kWidth), scale.Height(kHeight));
    const int chrome = 2 * (kMargin + m_label->frameWidth() + kTextPadding);
    const QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen();
    const int widest = std::max(usual.width(), screen ? screen->availableGeometry().width() * 9 / 10 : 1600);
    const QFontMetrics metrics(font);
    const QRect line = metrics.boundingRect(QRect(0, 0, widest - chrome, 0), Qt::AlignCenter, text);
    const QRect wrapped = line.width() + chrome <= widest
                              ? line
                              : metrics.boundingRect(QRect(0, 0, widest - chrome, 0),
                                                     Qt::AlignCenter | Qt::TextWordWrap, text);
    setFixedSize(std::max(usual.width(), wrapped.width() + chrome),
                 std::max(usual.height(), wrapped.height() + chrome));

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
