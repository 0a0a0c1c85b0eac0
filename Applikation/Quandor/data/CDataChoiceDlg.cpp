#include "CDataChoiceDlg.h"

#include "CFontScale.h"
#include "CLanguageHandler.h"

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>

CDataChoiceDlg::CDataChoiceDlg(CLanguageHandler* language, const QString& id, unsigned int captionText,
                               unsigned int introText, std::initializer_list<Choice> choices, int minimumWidth,
                               QWidget* parent)
    : QDialog(parent)
{
    setObjectName(id);
    auto text = [language](unsigned int n) { return language ? language->GetLangItem(n) : QString(); };
    setWindowTitle(text(captionText));

    auto* group = new QGroupBox(this);
    auto* groupLayout = new QVBoxLayout(group);
    auto* intro = new QLabel(text(introText), group);
    intro->setObjectName(QStringLiteral("1032"));
    intro->setAlignment(Qt::AlignCenter);
    intro->setWordWrap(true);
    groupLayout->addWidget(intro);
    for (const Choice& entry : choices) {
        auto* radio = new QRadioButton(text(entry.text), group);
        radio->setObjectName(QString::number(entry.controlId));
        const int choice = entry.choice;
        connect(radio, &QRadioButton::toggled, this, [this, choice](bool on) {
            if (on)
                m_nChoice = choice;
        });
        groupLayout->addWidget(radio);
        m_radios.insert(choice, radio);
    }

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, Qt::Vertical, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QHBoxLayout(this);
    layout->addWidget(group, 1);
    layout->addWidget(buttons, 0, Qt::AlignTop);
    setMinimumWidth(CFontScale(this).Width(minimumWidth));
}

void CDataChoiceDlg::Choose(int choice)
{
    if (QRadioButton* radio = m_radios.value(choice))
        radio->setChecked(true);
    m_nChoice = choice;
}
