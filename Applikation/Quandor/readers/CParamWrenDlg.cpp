#include "CParamWrenDlg.h"

#include "CAppContext.h"
#include "CDialogRunner.h"
#include "CFerrold_Handler.h"
#include "CFontScale.h"
#include "CGridCtrl.h"
#include "CLeserDlg.h"
#include "CReaderLink.h"
#include "CNotice.h"
#include "CReaderStore.h"
#include "CShowMessage.h"
#include "CWrenSettings.h"
#include "CtblOnline.h"
#include "CCheckMTransDlg.h"
#include "CWindowMessage.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// Language texts.
constexpr unsigned int kUnitText = 127;
constexpr unsigned int kUpdateReaderText = 138;
constexpr unsigned int kCaptionText = 140;
constexpr unsigned int kNoAnswerText = 141;
constexpr unsigned int kBelowOneText = 142;
constexpr unsigned int kUpdateDatabaseText = 143;
constexpr unsigned int kCloseText = 144;
constexpr unsigned int kNewText = 145;
constexpr unsigned int kActiveText = 146;
constexpr unsigned int kStandaloneText = 147;
constexpr unsigned int kReadingHeadText = 148;
constexpr unsigned int kSwitchTimeText = 149;
constexpr unsigned int kMasterGroupText = 150;
constexpr unsigned int kSettingsGroupText = 151;
constexpr unsigned int kAboveFifteenText = 152;
constexpr unsigned int kNoMasterText = 153;
constexpr unsigned int kPresentText = 154;
constexpr unsigned int kReadyText = 172;
constexpr unsigned int kDoneText = 173;
constexpr unsigned int kReaderNotFoundText = 66;

constexpr int kWidth = 273;
constexpr int kHeight = 138;


} // namespace

CParamWrenDlg::CParamWrenDlg(CLeserDlg* owner, const CtblLeser::structLeser& reader, CLanguageHandler* language,
                             QWidget* parent)
    : QDialog(parent)
    , m_pOwner(owner)
    , m_pLanguage(language)
    , m_link(this, owner ? &owner->Context() : nullptr, language, CWindowMessage::WM_CHOOSE_MASTER_TRANSPONDER, kChooseDelayMs)
    , m_nReaderId(reader.ID_Leser)
    , m_strModus(reader.Modus)
    , m_strParameter(reader.Parameter)
{
    setObjectName(QStringLiteral("CParamWrenDlg"));
    BuildLayout();
    InitDialog();
}

CParamWrenDlg::~CParamWrenDlg()
{
    // Every way out (close, Escape, Enter, an exception) gives the link
    // back its polling.
    if (CReaderLink* link = m_link.ReaderLink()) {
        link->SetMasterLearn(false);
        link->SetParamDialogOpen(false);
    }
}

CFerrold_Handler* CParamWrenDlg::Database() const
{
    return m_link.Context() ? m_link.Context()->Database() : nullptr;
}

void CParamWrenDlg::Open(CLeserDlg& owner, const CtblLeser::structLeser& reader)
{
    // Teaching and sending would only fail after their waits.
    if (CWrenDialogLink::Taken(owner.Context()))
        return;
    CParamWrenDlg dialog(&owner, reader, owner.GetLanguage(), owner.Context().MainWindow());
    CDialogRunner::DoModal(dialog);
}

void CParamWrenDlg::BuildLayout()
{
    setWindowTitle(m_link.Text(kCaptionText));
    auto named = [](QWidget* widget, int id) {
        widget->setObjectName(QString::number(id));
        return widget;
    };
    auto button = [this, &named](unsigned int text, int id) {
        auto* b = new QPushButton(m_link.Text(text), this);
        named(b, id);
        // Enter closes the dialog; it never teaches or sends.
        b->setAutoDefault(false);
        return b;
    };

    auto* masterGroup = new QGroupBox(m_link.Text(kMasterGroupText), this);
    named(masterGroup, IDC_MASTER_GROUP);
    m_pMasterActive = new QCheckBox(m_link.Text(kActiveText), masterGroup);
    named(m_pMasterActive, IDC_MASTER_ACTIVE);
    m_pMaster = new QLineEdit(masterGroup);
    named(m_pMaster, IDC_MASTER);
    m_pMaster->setReadOnly(true);
    m_pNewMaster = button(kNewText, IDC_NEW_MASTER);
    m_pStatus = new QLabel(m_link.Text(kReadyText), masterGroup);
    named(m_pStatus, IDC_STATUS);
    m_pStatus->setAlignment(Qt::AlignCenter);
    m_pStatus->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    // Teaching shows its prompt while the dialog waits for the reader and
    // lays nothing out: the label has room for its longest text from the start.
    int widest = 0;
    for (unsigned int text : {kReadyText, kPresentText})
        widest = std::max(widest, m_pStatus->fontMetrics().horizontalAdvance(m_link.Text(text)));
    m_pStatus->setMinimumWidth(widest + 2 * m_pStatus->frameWidth() + m_pStatus->fontMetrics().averageCharWidth() * 2);
    m_pProgress = new QProgressBar(masterGroup);
    named(m_pProgress, IDC_PROGRESS);
    m_pProgress->setTextVisible(false);
    m_pProgress->setRange(0, kTeachWaits);
    m_pProgress->setValue(0);
    auto* masterLine = new QHBoxLayout;
    masterLine->addWidget(m_pMasterActive);
    masterLine->addWidget(m_pMaster, 1);
    masterLine->addWidget(m_pNewMaster);
    auto* masterLayout = new QVBoxLayout(masterGroup);
    masterLayout->addLayout(masterLine);
    masterLayout->addWidget(m_pStatus);
    masterLayout->addWidget(m_pProgress);

    auto* settingsGroup = new QGroupBox(m_link.Text(kSettingsGroupText), this);
    named(settingsGroup, IDC_SETTINGS_GROUP);
    m_pStandalone = new QRadioButton(m_link.Text(kStandaloneText), settingsGroup);
    named(m_pStandalone, IDC_STANDALONE);
    m_pReadingHead = new QRadioButton(m_link.Text(kReadingHeadText), settingsGroup);
    named(m_pReadingHead, IDC_READING_HEAD);
    m_pSwitchLabel = new QLabel(m_link.Text(kSwitchTimeText), settingsGroup);
    named(m_pSwitchLabel, IDC_SWITCH_LABEL);
    m_pSwitchTime = new QLineEdit(settingsGroup);
    named(m_pSwitchTime, IDC_SWITCH_TIME);
    m_pUnit = new QLabel(m_link.Text(kUnitText), settingsGroup);
    named(m_pUnit, IDC_UNIT);
    auto* settingsLayout = new QGridLayout(settingsGroup);
    settingsLayout->addWidget(m_pStandalone, 0, 0, 1, 3);
    settingsLayout->addWidget(m_pReadingHead, 1, 0, 1, 3);
    settingsLayout->addWidget(m_pSwitchLabel, 2, 0);
    settingsLayout->addWidget(m_pSwitchTime, 2, 1);
    settingsLayout->addWidget(m_pUnit, 2, 2);

    m_pUpdateDatabase = button(kUpdateDatabaseText, IDC_UPDATE_DATABASE);
    m_pUpdateReader = button(kUpdateReaderText, IDC_UPDATE_READER);
    m_pClose = button(kCloseText, IDC_CLOSE);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(m_pUpdateDatabase);
    buttons->addWidget(m_pUpdateReader);
    buttons->addStretch(1);
    buttons->addWidget(m_pClose);

    auto* groups = new QVBoxLayout;
    groups->addWidget(masterGroup);
    groups->addWidget(settingsGroup);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(groups, 1);
    layout->addLayout(buttons);
    resize(CFontScale(this).DialogSize(kWidth, kHeight).expandedTo(sizeHint()));

    connect(m_pNewMaster, &QPushButton::clicked, this, &CParamWrenDlg::OnNewMaster);
    connect(m_pUpdateDatabase, &QPushButton::clicked, this, &CParamWrenDlg::OnUpdateDatabase);
    connect(m_pUpdateReader, &QPushButton::clicked, this, &CParamWrenDlg::OnUpdateReader);
    connect(m_pClose, &QPushButton::clicked, this, &QDialog::reject);
}

void CParamWrenDlg::InitDialog()
{
    CFerrold_Handler* db = Database();
    if (!db || !db->Get_Ptr_To_tblOnline()->_Requery())
        m_pUpdateDatabase->setEnabled(false);

    m_pSwitchTime->setText(CWrenSettings::SwitchTimeShown(m_strModus));
    const CWrenSettings stored = CWrenSettings::FromParameter(m_strParameter);
    m_strStoredMaster = stored.master;
    m_pMasterActive->setChecked(stored.MasterActive());
    (stored.Standalone() ? m_pStandalone : m_pReadingHead)->setChecked(true);
}

void CParamWrenDlg::AskReader()
{
    if (CReaderLink* link = m_link.ReaderLink())
        link->SetParamDialogOpen(true);

    const QString reply = m_link.Send('G', QStringLiteral("00"));
    const bool answered = reply.size() == 10;
    if (answered) {
        m_strReaderMaster = reply;
    } else {
        m_pUpdateReader->setEnabled(false);
        m_pNewMaster->setEnabled(false);
    }
    if (m_strStoredMaster.isEmpty() || m_strStoredMaster == m_strReaderMaster)
        m_pMaster->setText(m_strReaderMaster);
    else if (!answered)
        m_pMaster->setText(m_strStoredMaster);
    else // which one is current is asked once the dialog is on screen
        m_link.PostLater();
}

void CParamWrenDlg::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // The reader is asked when the dialog runs, not when it is made: a
    // dialog that is only built sends nothing.
    if (m_link.FirstShow())
        AskReader();
}

bool CParamWrenDlg::event(QEvent* event)
{
    if (m_link.IsMessage(event)) {
        OnChooseMaster();
        return true;
    }
    return QDialog::event(event);
}

void CParamWrenDlg::keyPressEvent(QKeyEvent* event)
{
    if (!CWrenDialogLink::CloseOnEnter(*this, event))
        QDialog::keyPressEvent(event);
}

const CtblLeser::structLeser* CParamWrenDlg::CurrentRow() const
{
    CFerrold_Handler* db = Database();
    CtblLeser* readers = db ? db->Get_Ptr_To_tblLeser() : nullptr;
    for (int i = 0; readers && i < readers->GetAnz_Leser(); ++i) {
        if (readers->Get_Leser(i)->ID_Leser == m_nReaderId)
            return readers->Get_Leser(i);
    }
    return nullptr;
}

void CParamWrenDlg::AfterReaderWrite()
{
    if (CFerrold_Handler* db = Database())
        db->Get_Ptr_To_tblLeser()->_Requery();
    if (m_pOwner) {
        if (CGridCtrl* grid = m_pOwner->GetGrid())
            grid->Refresh();
    }
}

void CParamWrenDlg::OnChooseMaster()
{
    CCheckMTransDlg choice(m_strReaderMaster, m_strStoredMaster, m_pLanguage, this);
    if (CDialogRunner::DoModal(choice) != QDialog::Accepted || choice.m_strChosen.isEmpty()) {
        m_pMaster->clear();
        return;
    }
    const QString chosen = choice.m_strChosen;
    m_pMaster->setText(chosen);
    if (chosen == m_strStoredMaster) {
        // The reader takes the database's master; only its ACK says it did.
        if (!m_link.Acknowledged('S', QStringLiteral("00") + chosen)) {
            m_link.ShowBox(kNoAnswerText, QMessageBox::Critical);
            return;
        }
        // Presented, the new master must show as the master at once.
        if (CReaderLink* link = m_link.ReaderLink())
            link->SetMasterTransponder(chosen);
        m_strReaderMaster = chosen;
        return;
    }
    // The database takes the reader's master.
    CFerrold_Handler* db = Database();
    const CtblLeser::structLeser* row = CurrentRow();
    if (!db || !row) {
        CNotice::ShowNotice(kReaderNotFoundText);
        return;
    }
    const QString parameter = CWrenSettings::ModeBitsText(row->Parameter) + u';' + chosen;
    const auto written = CReaderStore(*db).StoreSettings(m_nReaderId, parameter, QString(), false);
    if (written == CReaderStore::Result::NotFound)
        CNotice::ShowNotice(kReaderNotFoundText);
    if (written == CReaderStore::Result::Written)
        m_strStoredMaster = chosen;
    AfterReaderWrite();
}

void CParamWrenDlg::OnNewMaster()
{
    CReaderLink* link = m_link.ReaderLink();
    if (!link)
        return;
    // Teaching leaves the other buttons waiting.
    setEnabled(false);
    link->SetMasterLearn(true);
    m_pStatus->setText(m_link.Text(kReadyText));
    if (!m_link.Acknowledged('M', QString())) {
        link->SetMasterLearn(false);
        setEnabled(true);
        m_link.ShowBox(kNoAnswerText, QMessageBox::Critical);
        return;
    }
    m_pProgress->setRange(0, kTeachWaits);
    m_pStatus->setText(m_link.Text(kPresentText));
    m_pStatus->repaint();
    QString number;
    const int teachWaitMs = link->Timing().teachWaitMs;
    for (int wait = 1; wait <= kTeachWaits && number.isEmpty(); ++wait) {
        const QString report = link->WaitMasterReport(teachWaitMs);
        m_pProgress->setValue(wait);
        m_pProgress->repaint();
        if (report.size() == 11 && (report.at(0) == u'M' || report.at(0) == u'R')
            && CWrenSettings::IsTransponderNumber(report.mid(1)))
            number = report.mid(1).toUpper();
    }
    m_pStatus->setText(m_link.Text(kReadyText));
    m_pProgress->setValue(0);
    link->SetMasterLearn(false);
    setEnabled(true);
    if (number.isEmpty()) {
        m_link.ShowBox(kNoMasterText, QMessageBox::Warning);
        return;
    }
    m_pMaster->setText(number);
    link->SetMasterTransponder(number);
    m_strReaderMaster = number;

    // The reader's master is no longer one of its ordinary transponders.
    CFerrold_Handler* db = Database();
    if (!db)
        return;
    const CtblLeser::structLeser* row = CurrentRow();
    if (!row) {
        CNotice::ShowNotice(kReaderNotFoundText);
        return;
    }
    const QString parameter = CWrenSettings::ModeBitsText(row->Parameter) + u';' + number;
    const CReaderStore::MasterResult stored = CReaderStore(*db).StoreNewMaster(m_nReaderId, number, parameter);
    if (stored == CReaderStore::MasterResult::ReaderNotFound)
        CNotice::ShowNotice(kReaderNotFoundText);
    if (stored == CReaderStore::MasterResult::Stored)
        m_strStoredMaster = number;
    AfterReaderWrite();
}

bool CParamWrenDlg::ReadControls(QString* modus, QString* parameter)
{
    CWrenSettings settings;
    settings.modeBits = CWrenSettings::ModeBits(m_strParameter) & ~(CWrenSettings::kStandalone | CWrenSettings::kMasterActive);
    if (m_pMasterActive->isChecked())
        settings.modeBits |= CWrenSettings::kMasterActive;
    if (m_pStandalone->isChecked())
        settings.modeBits |= CWrenSettings::kStandalone;
    settings.master = m_pMaster->text();
    *parameter = settings.ToParameter();

    switch (CWrenSettings::CheckSwitchTime(m_pSwitchTime->text(), modus)) {
    case CWrenSettings::SwitchTimeCheck::Valid:
        return true;
    case CWrenSettings::SwitchTimeCheck::BelowOne:
        m_link.ShowBox(kBelowOneText, QMessageBox::Critical);
        return false;
    case CWrenSettings::SwitchTimeCheck::AboveFifteen: {
        // Back to what is stored now, not to what was stored at opening.
        const CtblLeser::structLeser* row = CurrentRow();
        m_pSwitchTime->setText(CWrenSettings::SwitchTimeShown(row ? row->Modus : m_strModus));
        m_link.ShowBox(kAboveFifteenText, QMessageBox::Critical);
        return false;
    }
    }
    return false;
}

bool CParamWrenDlg::StoreControls(bool markForUpdate, QString* modus, QString* parameter)
{
    if (!ReadControls(modus, parameter))
        return false;
    CFerrold_Handler* db = Database();
    if (!db)
        return false;
    const auto written = CReaderStore(*db).StoreSettings(m_nReaderId, *parameter, *modus, markForUpdate);
    AfterReaderWrite();
    if (written == CReaderStore::Result::NotFound)
        CNotice::ShowNotice(kReaderNotFoundText);
    if (written != CReaderStore::Result::Written)
        return false;
    m_strModus = *modus;
    m_strParameter = *parameter;
    return true;
}

void CParamWrenDlg::OnUpdateDatabase()
{
    QString modus, parameter;
    if (!StoreControls(true, &modus, &parameter))
        return;
    CShowMessage notice(m_link.Text(kDoneText), this);
    CDialogRunner::DoModal(notice);
}

void CParamWrenDlg::OnUpdateReader()
{
    QString modus, parameter;
    if (!StoreControls(false, &modus, &parameter))
        return;
    setEnabled(false);
    const bool accepted = m_link.SendSettings(CWrenSettings::FromParameter(parameter), modus);
    setEnabled(true);
    if (!accepted) {
        // The database holds settings the reader lacks: marked, the next
        // write of the reader's data sends them again.
        if (CFerrold_Handler* db = Database())
            CReaderStore(*db).Mark(m_nReaderId);
        AfterReaderWrite();
        m_link.ShowBox(kNoAnswerText, QMessageBox::Critical);
        return;
    }
    CShowMessage notice(m_link.Text(kDoneText), this);
    CDialogRunner::DoModal(notice);
}
