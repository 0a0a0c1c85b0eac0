#include "CReadEventsDlg.h"

#include "CDialogFrame.h"
#include <CLanguageHandler.h>

#include <QCheckBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace {

constexpr unsigned int kReadToPointerText = 162;
constexpr unsigned int kDateFilterText = 163;
constexpr unsigned int kFromText = 164;
constexpr unsigned int kToText = 165;
constexpr unsigned int kCaptionText = 167;
constexpr unsigned int kCancelText = 122;

QDateEdit* makePicker(QWidget* parent, int id, const QDate& today)
{
    auto* picker = new QDateEdit(parent);
    picker->setObjectName(QString::number(id));
    picker->setCalendarPopup(true);
    picker->setDisplayFormat(QLocale().dateFormat(QLocale::ShortFormat));
    picker->setDateRange(CReadEventsDlg::kFirstDate, CReadEventsDlg::kLastDate);
    picker->setDate(today);
    picker->setEnabled(false);
    return picker;
}

} // namespace

const QDate CReadEventsDlg::kFirstDate(1971, 1, 1);
const QDate CReadEventsDlg::kLastDate(2070, 12, 31);

CReadEventsDlg::CReadEventsDlg(CLanguageHandler* language, QWidget* parent, CTimeStamp::Clock clock)
    : QDialog(parent)
    , m_pLanguage(language)
    , m_clock(std::move(clock))
    , m_pReadToPointer(new QCheckBox(this))
    , m_pDateFilter(new QCheckBox(this))
    , m_pFromLabel(new QLabel(this))
    , m_pToLabel(new QLabel(this))
    , m_pOk(new QPushButton(QStringLiteral("OK"), this))
    , m_pCancel(new QPushButton(this))
{
    auto text = [this](unsigned int n) { return m_pLanguage ? m_pLanguage->GetLangItem(n) : QString(); };
    CDialogFrame::Setup(*this, QStringLiteral("171"), text(kCaptionText), QStyle::SP_FileDialogDetailedView);

    const CTimeStamp now = Today();
    const QDate today(now.GetYear(), now.GetMonth(), now.GetDay());
    m_pFrom = makePicker(this, IDC_DATE_FROM, today);
    m_pTo = makePicker(this, IDC_DATE_TO, today);

    m_pReadToPointer->setObjectName(QString::number(IDC_READ_TO_POINTER));
    m_pReadToPointer->setText(text(kReadToPointerText));
    m_pReadToPointer->setChecked(true);
    m_pDateFilter->setObjectName(QString::number(IDC_DATE_FILTER));
    m_pDateFilter->setText(text(kDateFilterText));
    m_pFromLabel->setObjectName(QString::number(IDC_LABEL_FROM));
    m_pFromLabel->setText(text(kFromText));
    m_pFromLabel->setBuddy(m_pFrom);
    m_pToLabel->setObjectName(QString::number(IDC_LABEL_TO));
    m_pToLabel->setText(text(kToText));
    m_pToLabel->setBuddy(m_pTo);
    m_pOk->setObjectName(QStringLiteral("1"));
    m_pOk->setDefault(true);
    m_pCancel->setObjectName(QStringLiteral("2"));
    m_pCancel->setText(text(kCancelText));

    auto* dates = new QGridLayout;
    dates->addWidget(m_pFromLabel, 0, 0);
    dates->addWidget(m_pFrom, 0, 1);
    dates->addWidget(m_pToLabel, 1, 0);
    dates->addWidget(m_pTo, 1, 1);
    dates->setColumnStretch(1, 1);
    dates->setContentsMargins(20, 0, 0, 0);

    auto* options = new QVBoxLayout;
    options->addWidget(m_pReadToPointer);
    options->addSpacing(6);
    options->addWidget(m_pDateFilter);
    options->addLayout(dates);
    options->addStretch(1);

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(m_pOk);
    buttons->addWidget(m_pCancel);
    buttons->addStretch(1);

    auto* layout = new QHBoxLayout(this);
    layout->addLayout(options, 1);
    layout->addSpacing(10);
    layout->addLayout(buttons);

    // Connected after the pickers got today's date: only the user's changes
    // fill the texts.
    connect(m_pFrom, &QDateEdit::dateChanged, this, [this](const QDate& d) { m_strDateFrom = DateText(d); });
    connect(m_pTo, &QDateEdit::dateChanged, this, [this](const QDate& d) { m_strDateTo = DateText(d); });
    connect(m_pDateFilter, &QCheckBox::toggled, this, &CReadEventsDlg::OnDateFilter);
    connect(m_pOk, &QPushButton::clicked, this, &CReadEventsDlg::OnOK);
    connect(m_pCancel, &QPushButton::clicked, this, &QDialog::reject);
}

QString CReadEventsDlg::DateText(const QDate& date)
{
    const QString year = QStringLiteral("%1").arg(date.year(), 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1%2").arg(date.day(), 2, 10, QLatin1Char('0')).arg(date.month(), 2, 10, QLatin1Char('0'))
        + year.right(2);
}

CTimeStamp CReadEventsDlg::Today() const
{
    return m_clock ? CTimeStamp(m_clock) : CTimeStamp();
}

void CReadEventsDlg::OnDateFilter(bool checked)
{
    m_pFrom->setEnabled(checked);
    m_pTo->setEnabled(checked);
}

void CReadEventsDlg::OnOK()
{
    m_bReadToPointer = m_pReadToPointer->isChecked();
    m_bDateFilter = m_pDateFilter->isChecked();
    if (m_strDateFrom.isEmpty() || m_strDateTo.isEmpty()) {
        const CTimeStamp now = Today();
        const QString today = DateText(QDate(now.GetYear(), now.GetMonth(), now.GetDay()));
        if (m_strDateFrom.isEmpty())
            m_strDateFrom = today;
        if (m_strDateTo.isEmpty())
            m_strDateTo = today;
    }
    accept();
}
