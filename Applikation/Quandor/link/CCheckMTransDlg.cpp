#include "CCheckMTransDlg.h"

#include "CDialogFrame.h"
#include "CFontScale.h"
#include "CLanguageHandler.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

constexpr unsigned int kTitleText = 209;
constexpr unsigned int kGroupText = 210;
constexpr unsigned int kFromReaderText = 211;
constexpr unsigned int kFromDatabaseText = 212;
constexpr unsigned int kCancelText = 166;

// Dialog 183 measures 209 by 81 dialog units.
constexpr int kWidth = 209;
constexpr int kHeight = 81;

} // namespace

CCheckMTransDlg::CCheckMTransDlg(const QString& fromReader, const QString& fromDatabase,
                                 CLanguageHandler* language, QWidget* parent)
    : QDialog(parent)
    , m_strFromReader(fromReader)
    , m_strFromDatabase(fromDatabase)
    , m_pLanguage(language)
    , m_pGroup(new QGroupBox(this))
    , m_pFromReader(new QRadioButton(m_pGroup))
    , m_pFromDatabase(new QRadioButton(m_pGroup))
    , m_pOk(new QPushButton(QStringLiteral("&OK"), this))
    , m_pCancel(new QPushButton(this))
{
    CDialogFrame::Setup(*this, QStringLiteral("183"), m_pLanguage->GetLangItem(kTitleText));
    resize(CFontScale(this).DialogSize(kWidth, kHeight));

    m_pGroup->setObjectName(QString::number(IDC_GROUP));
    m_pGroup->setTitle(m_pLanguage->GetLangItem(kGroupText));
    m_pFromReader->setObjectName(QString::number(IDC_FROM_READER));
    m_pFromReader->setText(m_pLanguage->GetLangItem(kFromReaderText) + m_strFromReader);
    m_pFromDatabase->setObjectName(QString::number(IDC_FROM_DATABASE));
    m_pFromDatabase->setText(m_pLanguage->GetLangItem(kFromDatabaseText) + m_strFromDatabase);
    auto* choices = new QButtonGroup(this);
    choices->addButton(m_pFromReader);
    choices->addButton(m_pFromDatabase);
    m_pFromReader->setChecked(true);

    auto* groupLayout = new QVBoxLayout(m_pGroup);
    groupLayout->addWidget(m_pFromReader);
    groupLayout->addWidget(m_pFromDatabase);

    auto* layout = new QHBoxLayout(this);
    layout->addWidget(m_pGroup, 1);
    layout->addLayout(CDialogFrame::OkCancelColumn(m_pOk, m_pCancel, m_pLanguage->GetLangItem(kCancelText)));

    connect(m_pOk, &QPushButton::clicked, this, &CCheckMTransDlg::OnOK);
    connect(m_pCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void CCheckMTransDlg::OnOK()
{
    m_strChosen = m_pFromReader->isChecked() ? m_strFromReader : m_strFromDatabase;
    accept();
}
