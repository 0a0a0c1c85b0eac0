#include "CAboutDlg.h"

#include "CColorStatic.h"
#include "CFontScale.h"
#include "CHyperLink.h"
#include "CLanguageHandler.h"

#include <QCoreApplication>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTimer>

namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);

} // namespace

CAboutDlg::CAboutDlg(int mode, CLanguageHandler* pLanguage, QWidget* parent)
    : QDialog(parent)
    , m_nMode(mode)
    , m_pLanguage(pLanguage)
{
    setObjectName(QStringLiteral("IDD_ABOUTBOX"));
    const QString title = pLanguage ? pLanguage->GetLangItem(74) : QString();
    setWindowTitle(title);
    setAutoFillBackground(true);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);

    auto* icon = new QLabel(this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_ComputerIcon).pixmap(48, 48));

    m_pTitle = new CColorStatic(this);
    m_pTitle->setObjectName(QStringLiteral("1026"));
    m_pTitle->setText(title.trimmed());
    QFont bold = m_pTitle->font();
    bold.setBold(true);
    bold.setPixelSize(18);
    m_pTitle->setFont(bold);

    m_pVersion = new CColorStatic(this);
    m_pVersion->setObjectName(QStringLiteral("1023"));
    m_pVersion->setText(QStringLiteral("Version %1").arg(QCoreApplication::applicationVersion().isEmpty()
                                                             ? QStringLiteral("1.0")
                                                             : QCoreApplication::applicationVersion()));

    m_pText = new CColorStatic(this);
    m_pText->setObjectName(QStringLiteral("1021"));
    m_pText->setWordWrap(true);
    m_pText->setText(pLanguage ? pLanguage->GetLangItem(82) : QString());

    m_pLinksLabel = new CColorStatic(this);
    m_pLinksLabel->setObjectName(QStringLiteral("1022"));
    m_pLinksLabel->setText(QStringLiteral("Velmora"));

    m_pMail = new CHyperLink(this);
    m_pMail->setObjectName(QStringLiteral("1090"));
    m_pMail->SetLinkText(QLatin1String(kMailAddress));
    m_pMail->setText(QLatin1String(kMailAddress).mid(7));
    m_pMail->SetToolTipText(QLatin1String(kMailAddress).mid(7));
    m_pMail->SetBkColour(kWhite);

    m_pWeb = new CHyperLink(this);
    m_pWeb->setObjectName(QStringLiteral("1091"));
    m_pWeb->SetLinkText(QLatin1String(kWebAddress));
    m_pWeb->setText(QLatin1String(kWebAddress));
    m_pWeb->SetToolTipText(QLatin1String(kWebAddress));
    m_pWeb->SetBkColour(kWhite);

    for (CColorStatic* label : {m_pTitle, m_pVersion, m_pText, m_pLinksLabel})
        label->SetColors(kWhite, kBlack);

    m_pOk = new QPushButton(QStringLiteral("OK"), this);
    m_pOk->setObjectName(QStringLiteral("IDOK"));
    m_pOk->setDefault(true);
    connect(m_pOk, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(16, 16, 16, 16);
    layout->setHorizontalSpacing(16);
    layout->addWidget(icon, 0, 0, 3, 1, Qt::AlignTop);
    layout->addWidget(m_pTitle, 0, 1);
    layout->addWidget(m_pVersion, 1, 1);
    layout->addWidget(m_pText, 2, 1);
    layout->addWidget(m_pLinksLabel, 3, 1);
    layout->addWidget(m_pMail, 4, 1);
    layout->addWidget(m_pWeb, 5, 1);
    layout->addWidget(m_pOk, 6, 1, Qt::AlignRight);
    layout->setColumnStretch(1, 1);
    setMinimumWidth(CFontScale(this).Width(420));

    if (m_nMode == 1) {
        // The splash ends itself; nothing on it waits for the user.
        m_pOk->hide();
        setWindowFlag(Qt::WindowCloseButtonHint, false);
        m_pTimer = new QTimer(this);
        m_pTimer->setSingleShot(true);
        m_pTimer->setTimerType(Qt::PreciseTimer);
        m_pTimer->setInterval(kSplashMilliseconds);
        connect(m_pTimer, &QTimer::timeout, this, [this] {
            m_bTimeUp = true;
            if (!m_bHeld)
                done(0);
        });
    }
}

void CAboutDlg::Hold()
{
    m_bHeld = true;
}

void CAboutDlg::Release()
{
    m_bHeld = false;
    if (m_bTimeUp)
        done(0);
}

void CAboutDlg::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // The splash's time runs from when it is on screen.
    if (m_pTimer && !m_pTimer->isActive())
        m_pTimer->start();
}
