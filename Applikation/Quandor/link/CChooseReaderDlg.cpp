#include "CChooseReaderDlg.h"

#include "CDialogFrame.h"
#include "CFontScale.h"
#include "CLanguageHandler.h"

#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr unsigned int kTitleText = 121;
constexpr unsigned int kCancelText = 122;
constexpr unsigned int kNewWrenText = 123;
constexpr unsigned int kNewTernText = 224;

// Dialog 170 measures 186 by 126 dialog units.
constexpr int kWidth = 186;
constexpr int kHeight = 126;

} // namespace

CChooseReaderDlg::CChooseReaderDlg(CLanguageHandler* language, const QStringList& entries, int extraKind,
                                   QWidget* parent)
    : QDialog(parent)
    , m_nExtraKind(extraKind)
    , m_pLanguage(language)
    , m_entries(entries)
    , m_pEntries(new QListWidget(this))
    , m_pOk(new QPushButton(QStringLiteral("&OK"), this))
    , m_pCancel(new QPushButton(this))
{
    CDialogFrame::Setup(*this, QStringLiteral("170"), m_pLanguage->GetLangItem(kTitleText));
    m_pEntries->setObjectName(QString::number(IDC_ENTRIES));
    m_pEntries->setSelectionMode(QAbstractItemView::SingleSelection);
    m_pEntries->addItems(m_entries);
    m_pEntries->addItem(m_pLanguage->GetLangItem(m_nExtraKind == 1 ? kNewWrenText : kNewTernText));
    // Every entry readable without scrolling sideways.
    m_pEntries->setMinimumWidth(m_pEntries->sizeHintForColumn(0) + 2 * m_pEntries->frameWidth()
                                + m_pEntries->style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 8);

    m_pOk->setEnabled(false);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(m_pEntries, 1);
    layout->addLayout(CDialogFrame::OkCancelColumn(m_pOk, m_pCancel, m_pLanguage->GetLangItem(kCancelText)));

    const CFontScale scale(this);
    resize(std::max(scale.DialogX(kWidth), sizeHint().width()), scale.DialogY(kHeight));

    connect(m_pEntries, &QListWidget::itemSelectionChanged, this, &CChooseReaderDlg::OnSelectionChanged);
    connect(m_pOk, &QPushButton::clicked, this, &CChooseReaderDlg::OnOK);
    connect(m_pCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void CChooseReaderDlg::OnSelectionChanged()
{
    m_pOk->setEnabled(!m_pEntries->selectedItems().isEmpty());
}

void CChooseReaderDlg::OnOK()
{
    const QList<QListWidgetItem*> selected = m_pEntries->selectedItems();
    if (selected.isEmpty())
        return;
    m_strChosen = selected.first()->text();
    accept();
}
