#include "CExportDataDlg.h"

#include "CFontScale.h"
#include "CLanguageHandler.h"

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

// Control ids of the radios, in choice order, and their texts.
constexpr int kRadioIds[4] = {1028, 1029, 1030, 1031};
constexpr unsigned int kRadioTexts[4] = {87, 15, 16, 17};

} // namespace

CExportDataDlg::CExportDataDlg(CLanguageHandler* pLanguage, int canExportView, QWidget* parent)
    : QDialog(parent)
    , m_pLanguage(pLanguage)
    , m_bCanExportView(canExportView)
{
    setObjectName(QStringLiteral("CExportDataDlg"));
    auto text = [this](unsigned int n) { return m_pLanguage ? m_pLanguage->GetLangItem(n) : QString(); };
    setWindowTitle(text(86));

    auto* group = new QGroupBox(this);
    auto* groupLayout = new QVBoxLayout(group);
    m_pText = new QLabel(text(88), group);
    m_pText->setObjectName(QStringLiteral("1032"));
    m_pText->setAlignment(Qt::AlignCenter);
    m_pText->setWordWrap(true);
    groupLayout->addWidget(m_pText);
    for (int choice = 0; choice < 4; ++choice) {
        auto* radio = new QRadioButton(text(kRadioTexts[choice]), group);
        radio->setObjectName(QString::number(kRadioIds[choice]));
        connect(radio, &QRadioButton::toggled, this, [this, choice](bool on) {
            if (on)
                m_nChoice = choice;
        });
        groupLayout->addWidget(radio);
        m_radios[choice] = radio;
    }

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, Qt::Vertical, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QHBoxLayout(this);
    layout->addWidget(group, 1);
    layout->addWidget(buttons, 0, Qt::AlignTop);
    setMinimumWidth(CFontScale(this).Width(330));

    if (m_bCanExportView) {
        m_radios[0]->setChecked(true);
        m_nChoice = 0;
    } else {
        m_radios[1]->setChecked(true);
        m_radios[0]->setEnabled(false);
        m_nChoice = 1;
    }
}
