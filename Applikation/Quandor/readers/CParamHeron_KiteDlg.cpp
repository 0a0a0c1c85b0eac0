#include "CParamHeron_KiteDlg.h"

#include "CDialogFrame.h"
#include "CAppContext.h"
#include "CDialogRunner.h"
#include "CFerrold_Handler.h"
#include "CGridBaseDlg.h"
#include "CGridCtrl.h"
#include "CLeserDlg.h"
#include "CNotice.h"
#include "CReaderStore.h"
#include "CShowMessage.h"
#include "CUiMessage.h"
#include "CWrenDialogLink.h"
#include "CtblOnline.h"
#include "CLinkLease.h"
#include "CReaderFrame.h"
#include "CReaderLink.h"

#include <CLanguageHandler.h>

#include <QButtonGroup>
#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimeEdit>
#include <QVBoxLayout>

#include <limits>

namespace {

constexpr unsigned int kOnText = 124;
constexpr unsigned int kOffText = 125;
constexpr unsigned int kMinutesText = 126;
constexpr unsigned int kSecondsText = 127;
constexpr unsigned int kFirstBitText = 128; // bit 7; one text per bit down to bit 2
constexpr unsigned int kRetriggerOnOffText = 134;
constexpr unsigned int kRetriggerImpulseText = 135;
constexpr unsigned int kBit0Text = 136;
constexpr unsigned int kDateTimeText = 137;
constexpr unsigned int kUpdateReaderText = 138;
constexpr unsigned int kCaptionText = 139;
constexpr unsigned int kCommandFailedText = 141;
constexpr unsigned int kSwitchTimeText = 142;
constexpr unsigned int kUpdateDatabaseText = 143;
constexpr unsigned int kCancelText = 144;
constexpr unsigned int kDoneText = 173;
constexpr unsigned int kBits5And6Text = 247;
constexpr unsigned int kTransferRunningText = 253;
constexpr unsigned int kNotFoundText = 66;

constexpr int kTries = 5;
constexpr int kLargestSeconds = 126; // code 127; 128 would read as minutes
constexpr int kLargestMinutes = 127;

QDateTime now()
{
    const CTimeStamp::Clock clock = CParamHeron_KiteDlg::ClockSeam().Get();
    if (!clock)
        return QDateTime::currentDateTime();
    return QDateTime::fromMSecsSinceEpoch(
        std::chrono::duration_cast<std::chrono::milliseconds>(clock().time_since_epoch()).count());
}

QString ControlName(int id)
{
    return QStringLiteral("IDC_%1").arg(id);
}

} // namespace

const CParamHeron_KiteDlg::BitControls CParamHeron_KiteDlg::kBits[8] = {
    {7, 1039, 1037, 1038}, {6, 1040, 1041, 1042}, {5, 1043, 1044, 1045}, {4, 1046, 1047, 1048},
    {3, 1049, 1050, 1051}, {2, 1052, 1053, 1054}, {1, 1055, 1056, 1057}, {0, 1058, 1059, 1060},
};

CParamHeron_KiteDlg::CParamHeron_KiteDlg(CLeserDlg* owner, const CtblLeser::structLeser& reader,
                                         CLanguageHandler* language, QWidget* parent)
    : QDialog(parent)
    , m_pContext(owner ? &owner->Context() : nullptr)
    , m_pOwner(owner)
    , m_pLanguage(language)
    , m_nReaderId(reader.ID_Leser)
    , m_strSerial(reader.Seriennummer)
    , m_strModus(reader.Modus)
    , m_strParameter(reader.Parameter)
{
    CDialogFrame::Setup(*this, QStringLiteral("CParamHeron_KiteDlg"), Text(kCaptionText));
    BuildLayout();
    // Until the reader has said who it is (when the dialog is shown).
    Button(IDC_UPDATE_READER)->setEnabled(false);
    CFerrold_Handler* db = Database();
    Button(IDC_UPDATE_DATABASE)->setEnabled(db && db->Get_Ptr_To_tblOnline()->_Requery() != 0);

    m_pTime->setTime(now().time());
    m_clockTimer.setInterval(1000);
    connect(&m_clockTimer, &QTimer::timeout, this, [this] { m_pTime->setTime(now().time()); });
    m_clockTimer.start();
    ShowSettings();
}

CParamHeron_KiteDlg::~CParamHeron_KiteDlg() = default;

void CParamHeron_KiteDlg::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (m_bShown)
        return;
    m_bShown = true;
    // Asked when the dialog runs, not when it is made: a dialog that is
    // only built sends nothing. Only the reader of this row may be sent
    // anything; any other reply (another reader, none, a plain reader)
    // leaves storing alone.
    CReaderLink* link = ReaderLink();
    if (link && link->IsPortOpen()) {
        const QString reply = m_pContext->SendAndWait('L', QStringLiteral("S0000"), CReaderFrame::FramedMode);
        Button(IDC_UPDATE_READER)->setEnabled(reply.size() == 26 && reply.mid(4, 20) == m_strSerial);
    }
}

CFerrold_Handler* CParamHeron_KiteDlg::Database() const
{
    return m_pContext ? m_pContext->Database() : nullptr;
}

CReaderLink* CParamHeron_KiteDlg::ReaderLink() const
{
    return m_pContext ? m_pContext->Link() : nullptr;
}

void CParamHeron_KiteDlg::Open(CLeserDlg& view, const CtblLeser::structLeser& reader)
{
    // Settings stored now would be marked as sent by the transfer's end
    // without ever reaching the reader.
    if (CWrenDialogLink::Taken(view.Context()))
        return;
    QWidget* parent = view.Context().MainWindow() ? view.Context().MainWindow() : &view;
    CParamHeron_KiteDlg dialog(&view, reader, view.GetLanguage(), parent);
    CDialogRunner::DoModal(dialog);
}

CTestSeam<CTimeStamp::Clock>& CParamHeron_KiteDlg::ClockSeam()
{
    static CTestSeam<CTimeStamp::Clock> seam("CParamHeron_KiteDlg::ClockSeam");
    return seam;
}

QString CParamHeron_KiteDlg::Text(unsigned int number) const
{
    return m_pLanguage ? m_pLanguage->GetLangItem(number) : QString();
}

void CParamHeron_KiteDlg::BuildLayout()
{
    auto* parameters = new QGroupBox(QStringLiteral("Parameter"), this);
    parameters->setObjectName(ControlName(IDC_PARAMETER_GROUP));
    auto* grid = new QGridLayout(parameters);
    for (int i = 0; i < 8; ++i) {
        const BitControls& c = kBits[i];
        unsigned int caption = kFirstBitText + unsigned(i);
        if (c.bit == 0)
            caption = kBit0Text;
        auto* group = new QGroupBox(c.bit == 1 ? QString() : Text(caption), parameters);
        group->setObjectName(ControlName(c.group));
        auto* row = new QHBoxLayout(group);
        auto* on = new QRadioButton(c.bit == 0 ? QString() : Text(kOnText), group);
        auto* off = new QRadioButton(c.bit == 0 ? QString() : Text(kOffText), group);
        on->setObjectName(ControlName(c.on));
        off->setObjectName(ControlName(c.off));
        row->addWidget(on);
        row->addWidget(off);
        row->addStretch();
        auto* pair = new QButtonGroup(group);
        pair->addButton(on);
        pair->addButton(off);
        // Clicks only: setting the radios from the stored byte must not run
        // the rule that bits 5 and 6 exclude each other.
        const int bit = c.bit;
        connect(on, &QAbstractButton::clicked, this, [this, bit] { OnRadio(bit, true); });
        connect(off, &QAbstractButton::clicked, this, [this, bit] { OnRadio(bit, false); });
        grid->addWidget(group, i / 2, i % 2);
    }

    auto* clockGroup = new QGroupBox(Text(kDateTimeText), this);
    clockGroup->setObjectName(ControlName(IDC_DATETIME_GROUP));
    auto* clockRow = new QHBoxLayout(clockGroup);
    m_pDate = new QDateEdit(now().date(), clockGroup);
    m_pDate->setObjectName(ControlName(IDC_DATE));
    m_pDate->setEnabled(false);
    m_pTime = new QTimeEdit(clockGroup);
    m_pTime->setObjectName(ControlName(IDC_TIME));
    m_pTime->setDisplayFormat(QStringLiteral("HH:mm:ss"));
    m_pTime->setEnabled(false);
    m_pSwitchTime = new QLineEdit(clockGroup);
    m_pSwitchTime->setObjectName(ControlName(IDC_SWITCH_TIME));
    m_pUnit = new QComboBox(clockGroup);
    m_pUnit->setObjectName(ControlName(IDC_UNIT));
    m_pUnit->setEditable(true);
    m_pUnit->setInsertPolicy(QComboBox::NoInsert);
    m_pUnit->addItem(Text(kSecondsText));
    m_pUnit->addItem(Text(kMinutesText));
    for (QWidget* w : std::initializer_list<QWidget*>{m_pDate, m_pTime, m_pSwitchTime, m_pUnit})
        clockRow->addWidget(w);

    auto* buttons = new QHBoxLayout;
    const std::pair<int, unsigned int> kButtons[] = {
        {IDC_UPDATE_DATABASE, kUpdateDatabaseText}, {IDC_UPDATE_READER, kUpdateReaderText}, {IDC_CANCEL, kCancelText}};
    buttons->addStretch();
    for (const auto& [id, text] : kButtons) {
        auto* button = new QPushButton(Text(text), this);
        button->setObjectName(ControlName(id));
        // Enter means "update the reader" and nothing else.
        button->setAutoDefault(false);
        button->setDefault(id == IDC_UPDATE_READER);
        buttons->addWidget(button);
    }
    connect(Button(IDC_UPDATE_DATABASE), &QPushButton::clicked, this, &CParamHeron_KiteDlg::OnUpdateDatabase);
    connect(Button(IDC_UPDATE_READER), &QPushButton::clicked, this, &CParamHeron_KiteDlg::OnUpdateReader);
    connect(Button(IDC_CANCEL), &QPushButton::clicked, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(parameters);
    layout->addWidget(clockGroup);
    layout->addLayout(buttons);
}

void CParamHeron_KiteDlg::ShowSettings()
{
    bool minutes = false;
    m_pSwitchTime->setText(DecodeSwitchTime(LeadingNumber(m_strModus), &minutes));
    m_pUnit->setCurrentIndex(m_pUnit->findText(Text(minutes ? kMinutesText : kSecondsText)));

    quint32 value = 0;
    if (!CGridBaseDlg::HexToUInt(m_strParameter, &value))
        value = 0;
    m_nParameter = quint8(value & 0xFF);
    for (const BitControls& c : kBits) {
        const bool on = (m_nParameter >> c.bit) & 1;
        Radio(on ? c.on : c.off)->setChecked(true);
    }
    SetRetriggerCaption();
}

QAbstractButton* CParamHeron_KiteDlg::Radio(int id) const
{
    return findChild<QAbstractButton*>(ControlName(id));
}

QGroupBox* CParamHeron_KiteDlg::Group(int id) const
{
    return findChild<QGroupBox*>(ControlName(id));
}

QPushButton* CParamHeron_KiteDlg::Button(int id) const
{
    return findChild<QPushButton*>(ControlName(id));
}

void CParamHeron_KiteDlg::SetRetriggerCaption()
{
    Group(1055)->setTitle(Text(m_nParameter & 1 ? kRetriggerOnOffText : kRetriggerImpulseText));
}

void CParamHeron_KiteDlg::OnRadio(int bit, bool on)
{
    // "Key as tag 0" and "key switches the relay off" exclude each other.
    const int other = bit == 6 ? 1044 : bit == 5 ? 1041 : 0;
    if (on && other && Radio(other)->isChecked()) {
        CUiMessage::Show(Text(kBits5And6Text), QMessageBox::Critical);
        Radio(bit == 6 ? 1042 : 1045)->setChecked(true);
        m_nParameter = quint8(m_nParameter & ~(1u << bit));
        return;
    }
    if (on)
        m_nParameter = quint8(m_nParameter | (1u << bit));
    else
        m_nParameter = quint8(m_nParameter & ~(1u << bit));
    if (bit == 0)
        SetRetriggerCaption();
}

int CParamHeron_KiteDlg::LeadingNumber(const QString& text)
{
    const QString t = text.trimmed();
    qsizetype i = 0;
    bool negative = false;
    if (i < t.size() && (t.at(i) == u'-' || t.at(i) == u'+'))
        negative = t.at(i++) == u'-';
    qint64 value = 0;
    for (; i < t.size() && t.at(i) >= u'0' && t.at(i) <= u'9'; ++i) {
        value = value * 10 + (t.at(i).unicode() - u'0');
        if (value > std::numeric_limits<int>::max())
            return negative ? std::numeric_limits<int>::min() : std::numeric_limits<int>::max();
    }
    return int(negative ? -value : value);
}

CParamHeron_KiteDlg::SwitchTime CParamHeron_KiteDlg::EncodeSwitchTime(const QString& number, bool minutes, int* code)
{
    const QString typed = number.trimmed();
    if (!minutes && (typed == QLatin1String("0.5") || typed == QLatin1String("0,5"))) {
        *code = 1;
        return SwitchTime::Code;
    }
    const int n = LeadingNumber(typed);
    if (n < 1 || n > (minutes ? kLargestMinutes : kLargestSeconds))
        return SwitchTime::Refused;
    *code = minutes ? (n | 0x80) : n + 1;
    return SwitchTime::Code;
}

QString CParamHeron_KiteDlg::DecodeSwitchTime(int code, bool* minutes)
{
    *minutes = (code & 0x80) != 0;
    if (*minutes)
        return QString::number(code & 0x7F);
    if (code == 1)
        return QStringLiteral("0.5");
    if (code <= 0)
        return QStringLiteral("0");
    return QString::number(code - 1);
}

bool CParamHeron_KiteDlg::ReadControls(QString* parameter, int* code) const
{
    *parameter = QStringLiteral("%1").arg(m_nParameter, 2, 16, QLatin1Char('0')).toUpper();
    *code = -1;
    const QString unit = m_pUnit->currentText();
    const bool seconds = unit == Text(kSecondsText);
    // Any other unit typed into the box keeps the stored switch time.
    if (!seconds && unit != Text(kMinutesText))
        return true;
    if (EncodeSwitchTime(m_pSwitchTime->text(), !seconds, code) != SwitchTime::Code) {
        CUiMessage::Show(Text(kSwitchTimeText), QMessageBox::Critical);
        return false;
    }
    return true;
}

bool CParamHeron_KiteDlg::Store(const QString& parameter, int code, bool markForSending)
{
    CFerrold_Handler* db = Database();
    if (!db)
        return false;
    const CReaderStore::Result result = CReaderStore(*db).StoreSettings(
        m_nReaderId, parameter, code >= 0 ? QString::number(code) : QString(), markForSending);
    if (result == CReaderStore::Result::NotFound)
        CNotice::ShowNotice(kNotFoundText);
    // The table read again and the list redrawn as it stands: its sort
    // and its selection stay.
    db->Get_Ptr_To_tblLeser()->_Requery();
    if (CGridCtrl* grid = m_pOwner ? m_pOwner->GetGrid() : nullptr)
        grid->Refresh();
    return result == CReaderStore::Result::Written;
}

void CParamHeron_KiteDlg::SetBusy(bool busy)
{
    // No second click may start while the link is held.
    setEnabled(!busy);
}

void CParamHeron_KiteDlg::OnUpdateDatabase()
{
    QString parameter;
    int code = -1;
    if (!ReadControls(&parameter, &code))
        return;
    if (!Store(parameter, code, true))
        return;
    CShowMessage notice(Text(kDoneText), this);
    CDialogRunner::DoModal(notice);
}

bool CParamHeron_KiteDlg::SendTries(CReaderLink& link, const CLinkLease& lease, const std::function<QString()>& data,
                                    bool exactLength)
{
    for (int i = 0; i < kTries && !link.IsLineLost(); ++i) {
        const QByteArray reply = m_pContext->SendCommand(lease, 'S', data(), CReaderFrame::FramedMode).toLatin1();
        // A reply with a wrong checksum is no answer.
        const bool length = exactLength ? reply.size() == 7 : reply.size() >= 5;
        if (length && CReaderFrame::IsFramedAck(reply) && CReaderFrame::HasValidChecksum(reply))
            return true;
    }
    return false;
}

void CParamHeron_KiteDlg::OnUpdateReader()
{
    if (!Button(IDC_UPDATE_READER)->isEnabled() || !isEnabled())
        return;
    QString parameter;
    int code = -1;
    if (!ReadControls(&parameter, &code))
        return;
    // Stored first and unmarked; marked for the next write-all when the
    // reader does not take it.
    if (!Store(parameter, code, false))
        return;
    CReaderLink* link = ReaderLink();
    SetBusy(true);
    bool sent = false;
    CLinkLease::Answer refusal = CLinkLease::NoReader;
    if (link) {
        const CLinkLease lease = link->TakeLink();
        refusal = lease.Why();
        if (lease.IsGranted()) {
            const quint8 byte = m_nParameter;
            sent = SendTries(*link, lease, [byte] { return QStringLiteral("P0000%1").arg(byte, 4, 16, QLatin1Char('0')).toUpper(); }, true)
                && (code < 0
                    || SendTries(*link, lease, [code] { return QStringLiteral("P0001%1").arg(code, 4, 16, QLatin1Char('0')).toUpper(); }, true))
                // The clock is read anew for each try.
                && SendTries(*link, lease, [] { return CReaderLink::BuildClockString(now()); }, false);
            link->ReleaseLink(lease);
        }
    }
    SetBusy(false);
    if (!sent) {
        Store(parameter, code, true);
        CUiMessage::Show(Text(refusal == CLinkLease::TransferRunning ? kTransferRunningText : kCommandFailedText),
                         QMessageBox::Critical);
        return;
    }
    CShowMessage notice(Text(kDoneText), this);
    CDialogRunner::DoModal(notice);
}
