#include "CImportErrorDlg.h"

#include "CFontScale.h"
#include "CLanguageHandler.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// In dialog units.
constexpr int kWidth = 394;
constexpr int kHeight = 215;

} // namespace

CImportErrorDlg::CImportErrorDlg(CLanguageHandler* pLanguage, const QStringList* errors, QWidget* parent)
    : QDialog(parent)
    , m_pErrors(errors)
    , m_pLanguage(pLanguage)
{
    setObjectName(QStringLiteral("CImportErrorDlg"));
    auto text = [this](unsigned int n) { return m_pLanguage ? m_pLanguage->GetLangItem(n) : QString(); };
    setWindowTitle(text(98));
    resize(CFontScale(this).DialogSize(kWidth, kHeight));

    m_pText = new QLabel(text(99) + QLatin1Char('\n') + text(100), this);
    m_pText->setObjectName(QStringLiteral("1032"));
    m_pText->setAlignment(Qt::AlignCenter);
    m_pText->setWordWrap(true);
    m_pText->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_pText->setMargin(6);

    m_pList = new QListWidget(this);
    m_pList->setObjectName(QStringLiteral("1033"));
    m_pList->setSelectionMode(QAbstractItemView::NoSelection);
    m_pList->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_pList->setUniformItemSizes(true);
    if (m_pErrors)
        m_pList->addItems(*m_pErrors);
    // Sorted as text: "Nr.: 10" comes before "Nr.: 2".
    m_pList->sortItems(Qt::AscendingOrder);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    // Nothing in the list can be chosen: the focus belongs to OK.
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    buttons->button(QDialogButtonBox::Ok)->setFocus();

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pText);
    layout->addWidget(m_pList, 1);
    layout->addWidget(buttons);
}
