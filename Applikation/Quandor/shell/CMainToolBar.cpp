#include "CMainToolBar.h"

#include "CColorStatic.h"

#include <QAction>
#include <QStyle>

CMainToolBar::CMainToolBar(QWidget* parent)
    : QToolBar(parent)
{
    setObjectName(QStringLiteral("128"));
    setMovable(true);
    setAllowedAreas(Qt::AllToolBarAreas);
    setIconSize(QSize(16, 15));

    m_pInfoLabel = new CColorStatic(this);
    m_pInfoLabel->setObjectName(QStringLiteral("1032"));
    m_pInfoLabel->setAlignment(Qt::AlignCenter);
    m_pInfoLabel->setFixedWidth(kLabelWidth);
    QFont font(QStringLiteral("Orvanis"));
    font.setPixelSize(20);
    font.setBold(true);
    m_pInfoLabel->setFont(font);
    // Blue on pale yellow.
    m_pInfoLabel->SetColors(0xD4FFFF, 0xFF3232);
    addWidget(m_pInfoLabel);

    // A button with no command behind it, so it stays disabled.
    QAction* spare = addAction(style()->standardIcon(QStyle::SP_FileDialogInfoView), QString());
    spare->setObjectName(QStringLiteral("32815"));
    spare->setEnabled(false);
}
