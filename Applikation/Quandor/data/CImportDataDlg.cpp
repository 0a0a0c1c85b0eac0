#include "CImportDataDlg.h"

#include "CFontScale.h"
#include "CLanguageHandler.h"

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>

CImportDataDlg::CImportDataDlg(CLanguageHandler* pLanguage, QWidget* parent)
    : QDialog(parent)
    , m_pLanguage(pLanguage)
{
    setObjectName(QStringLiteral("CImportDataDlg"));
    auto text = [this](unsigned int n) { return m_pLanguage ? m_pLanguage->GetLangItem(n) : QString(); };
    setWindowTitle(text(91));

    auto* group = new QGroupBox(this);
    auto* groupLayout = new QVBoxLayout(group);
    m_pText = new QLabel(text(90), group);
    m_pText->setObjectName(QStringLiteral("1032"));
    m_pText->setAlignment(Qt::AlignCenter);
    m_pText->setWordWrap(true);
    groupLayout->addWidget(m_pText);
    m_pTransponders = new QRadioButton(text(15), group);
    m_pTransponders->setObjectName(QStringLiteral("1029"));
    m_pPersons = new QRadioButton(text(16), group);
    m_pPersons->setObjectName(QStringLiteral("1030"));
    groupLayout->addWidget(m_pTransponders);
    groupLayout->addWidget(m_pPersons);
    connect(m_pTransponders, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            m_nChoice = 1;
    });
    connect(m_pPersons, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            m_nChoice = 2;
    });

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, Qt::Vertical, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QHBoxLayout(this);
    layout->addWidget(group, 1);
    layout->addWidget(buttons, 0, Qt::AlignTop);
    setMinimumWidth(CFontScale(this).Width(360));

    m_pTransponders->setChecked(true);
    m_nChoice = 1;
}
