#include "CChooseCOMDlg.h"

#include "CDialogFrame.h"
#include "CComPorts.h"
#include "CFontScale.h"
#include "CLanguageHandler.h"
#include "CRegistryKey.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <climits>

namespace {

constexpr unsigned int kTitleText = 116;
constexpr unsigned int kConnectNowText = 235;
constexpr int kMaxNumberCharacters = 127;

// Dialog 169 measures 194 by 105 dialog units.
constexpr int kWidth = 194;
constexpr int kHeight = 105;

// The letters of "COM" that end a port text on either side go.
QString stripComLetters(const QString& text)
{
    auto isComLetter = [](QChar c) { return c == QLatin1Char('C') || c == QLatin1Char('O') || c == QLatin1Char('M'); };
    int begin = 0;
    int end = text.size();
    while (begin < end && isComLetter(text.at(begin)))
        ++begin;
    while (end > begin && isComLetter(text.at(end - 1)))
        --end;
    return text.mid(begin, end - begin);
}

} // namespace

CChooseCOMDlg::CChooseCOMDlg(CLanguageHandler* language, QWidget* parent)
    : QDialog(parent)
    , m_pLanguage(language)
    , m_pPorts(new QComboBox(this))
    , m_pOk(new QPushButton(QStringLiteral("OK"), this))
    , m_pConnectNow(new QPushButton(this))
{
    CDialogFrame::Setup(*this, QStringLiteral("169"), m_pLanguage->GetLangItem(kTitleText));
    m_pPorts->setObjectName(QString::number(IDC_PORT_LIST));
    m_pPorts->setEditable(true);
    m_pPorts->setInsertPolicy(QComboBox::NoInsert);
    m_pPorts->addItems(PortEntries(CComPorts::EnumComPorts()));
    if (m_pPorts->count() > 0)
        m_pPorts->setCurrentIndex(0);

    m_pOk->setObjectName(QStringLiteral("1"));
    m_pOk->setDefault(true);
    m_pConnectNow->setObjectName(QString::number(IDC_CONNECT_NOW));
    m_pConnectNow->setText(m_pLanguage->GetLangItem(kConnectNowText));

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_pConnectNow);
    buttons->addWidget(m_pOk);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pPorts);
    layout->addStretch(1);
    layout->addLayout(buttons);

    // As wide as the original; no higher than its few controls need.
    const CFontScale scale(this);
    resize(scale.DialogX(kWidth), std::min(scale.DialogY(kHeight), sizeHint().height()));

    connect(m_pOk, &QPushButton::clicked, this, &CChooseCOMDlg::OnOK);
    connect(m_pConnectNow, &QPushButton::clicked, this, &CChooseCOMDlg::OnConnectNow);
}

QStringList CChooseCOMDlg::PortEntries(const QList<uint>& ports)
{
    QStringList entries;
    for (uint port : ports)
        entries << QStringLiteral("COM%1").arg(port);
    std::sort(entries.begin(), entries.end(),
              [](const QString& a, const QString& b) { return QString::compare(a, b, Qt::CaseInsensitive) < 0; });
    return entries;
}

int CChooseCOMDlg::PortNumberFromText(const QString& text)
{
    const QString head = text.left(kMaxNumberCharacters);
    int i = 0;
    while (i < head.size() && (head.at(i) == QLatin1Char(' ') || (head.at(i) >= QLatin1Char('\t') && head.at(i) <= QLatin1Char('\r'))))
        ++i;
    bool negative = false;
    if (i < head.size() && (head.at(i) == QLatin1Char('+') || head.at(i) == QLatin1Char('-'))) {
        negative = head.at(i) == QLatin1Char('-');
        ++i;
    }
    // Too many digits stop at the int's limit rather than wrap.
    long long value = 0;
    for (; i < head.size() && head.at(i) >= QLatin1Char('0') && head.at(i) <= QLatin1Char('9'); ++i)
        value = std::min<long long>(value * 10 + (head.at(i).unicode() - '0'), 1LL + INT_MAX);
    if (negative)
        value = -value;
    return int(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

void CChooseCOMDlg::StoreChoice()
{
    m_strPort = m_pPorts->currentText();
    // Only a listed port counts as chosen: text typed into the field that
    // names no port present stores nothing, and the stored port stays. A
    // listed port typed in another case is taken as listed.
    const int entry = m_pPorts->findText(m_strPort.trimmed(), Qt::MatchFixedString);
    if (entry < 0)
        return;
    m_strPort = m_pPorts->itemText(entry);
    const int number = PortNumberFromText(stripComLetters(m_strPort));
    CRegistryKey().WriteDWord(quint32(number), CRegistryKey::CurrentUser, QLatin1String(kProgramKey),
                              QStringLiteral("nAktCom"));
}

void CChooseCOMDlg::OnOK()
{
    StoreChoice();
    m_bConnectNow = 0;
    done(QDialog::Accepted);
}

void CChooseCOMDlg::OnConnectNow()
{
    StoreChoice();
    m_bConnectNow = 1;
    done(kConnectNowResult);
}
