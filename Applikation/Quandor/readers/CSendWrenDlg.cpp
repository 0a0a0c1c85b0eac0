#include "CSendWrenDlg.h"

#include "CAppContext.h"
#include "CDialogRunner.h"
#include "CFerrold_Handler.h"
#include "CFontScale.h"
#include "CGridCtrl.h"
#include "CLeserDlg.h"
#include "CPlainListStore.h"
#include "CReaderIdList.h"
#include "CReaderLink.h"
#include "CShowMessage.h"
#include "CTransferRun.h"
#include "CWrenSettings.h"
#include "CtblLeser.h"
#include "CtblPerson.h"
#include "CtblTransponder.h"
#include "CWindowMessage.h"

#include <QEventLoop>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSet>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

// Language texts.
constexpr unsigned int kCancelText = 144;
constexpr unsigned int kDoneText = 173;
constexpr unsigned int kDatabaseTitle = 174;
constexpr unsigned int kSendTitle = 175;
constexpr unsigned int kReaderTitle = 176;
constexpr unsigned int kWriteText = 177;
constexpr unsigned int kFetchText = 178;
constexpr unsigned int kReadingText = 181;
constexpr unsigned int kListReadText = 182;
constexpr unsigned int kRemoveText = 183;
constexpr unsigned int kWritingText = 184;
constexpr unsigned int kTooManyText = 213;
constexpr unsigned int kReaderUpdatedText = 226;
constexpr unsigned int kWriteAgainText = 363;
constexpr unsigned int kOpenFailedText = 83;
constexpr unsigned int kNotStoredText = 321;

// A conversation's end, sent by its run to the dialog.
const int kConversationEnd = QEvent::registerEventType();
// How often the bar follows a conversation.
constexpr int kProgressMs = 50;

constexpr int kWidth = 393;
constexpr int kHeight = 289;
constexpr int kColumnWidth = 160;

// The lists' order, which is also the order of the reader's entries: by
// the text regardless of case, then by case, then by number, the same in
// every locale (a locale-aware order would write another list to the
// reader on another desktop).
class ListItem : public QTreeWidgetItem
{
public:
    using QTreeWidgetItem::QTreeWidgetItem;
    bool operator<(const QTreeWidgetItem& other) const override
    {
        const QString a = text(0), b = other.text(0);
        if (const int c = a.compare(b, Qt::CaseInsensitive))
            return c < 0;
        if (const int c = a.compare(b, Qt::CaseSensitive))
            return c < 0;
        return data(0, CSendWrenDlg::kNumberRole).toString()
             < other.data(0, CSendWrenDlg::kNumberRole).toString();
    }
};

} // namespace

CSendWrenDlg::CSendWrenDlg(CLanguageHandler* language, CFerrold_Handler* db, CLeserDlg* owner, int mode,
                           qint32 readerId, QWidget* parent)
    : QDialog(parent)
    , m_link(this, owner ? &owner->Context() : nullptr, language, CWindowMessage::WM_READ_READER_LIST, kReadDelayMs)
    , m_pDb(db)
    , m_pOwner(owner)
    , m_nMode(mode == WriteMode ? WriteMode : FetchMode)
    , m_nReaderId(readerId)
{
    setObjectName(QStringLiteral("CSendWrenDlg"));
    BuildLayout();
    FillFromDatabase();
}

CSendWrenDlg::~CSendWrenDlg() = default;

void CSendWrenDlg::Run(CLeserDlg& owner, int mode, qint32 readerId)
{
    CAppContext& context = owner.Context();
    if (!context.Link())
        return;
    // One reader conversation at a time.
    if (CWrenDialogLink::Taken(context))
        return;
    CSendWrenDlg dialog(owner.GetLanguage(), owner.GetDBHandler(), &owner, mode, readerId, context.MainWindow());
    CDialogRunner::DoModal(dialog);
}

QTreeWidget* CSendWrenDlg::NewList(unsigned int title, quint32 colorref, int id)
{
    auto* list = new QTreeWidget(this);
    list->setObjectName(QString::number(id));
    list->setColumnCount(1);
    list->setHeaderLabels({m_link.Text(title)});
    list->header()->setDefaultAlignment(Qt::AlignCenter);
    list->setRootIsDecorated(false);
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    // The one column fills the list, so its title stays readable.
    list->header()->setStretchLastSection(true);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    const int titleWidth = list->header()->fontMetrics().horizontalAdvance(m_link.Text(title)) + 40;
    list->setMinimumWidth(std::max(CFontScale(this).Width(kColumnWidth), titleWidth));
    list->setSortingEnabled(true);
    list->sortByColumn(0, Qt::AscendingOrder);
    // Colours are stored as 0x00BBGGRR.
    const QColor back(int(colorref & 0xFF), int((colorref >> 8) & 0xFF), int((colorref >> 16) & 0xFF));
    QPalette palette = list->palette();
    palette.setColor(QPalette::Base, back);
    palette.setColor(QPalette::Text, Qt::black);
    list->setPalette(palette);
    return list;
}

void CSendWrenDlg::BuildLayout()
{
    const QString action = m_link.Text(m_nMode == WriteMode ? kWriteText : kFetchText);
    setWindowTitle(action);

    m_pDatabase = NewList(kDatabaseTitle, 0xD2E0FF, IDC_LIST_DATABASE);
    m_pSend = NewList(kSendTitle, 0xE0FFE0, IDC_LIST_SEND);
    m_pReader = NewList(kReaderTitle, 0xD2E0FF, IDC_LIST_READER);

    auto button = [this](const QString& text, int id) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QString::number(id));
        // Enter closes the dialog; it never presses Send or a copy.
        b->setAutoDefault(false);
        b->setDefault(false);
        return b;
    };
    m_pMoveRight = button(QStringLiteral("->"), IDC_MOVE_RIGHT);
    m_pMoveLeft = button(QStringLiteral("<-"), IDC_MOVE_LEFT);
    m_pRemove = button(m_link.Text(kRemoveText), IDC_REMOVE);
    m_pSendButton = button(action, IDC_SEND);
    m_pCancel = button(m_link.Text(kCancelText), IDC_CANCEL);
    m_pSendButton->setEnabled(false);
    m_pRemove->setEnabled(false);

    m_pStatus = new QLabel(this);
    m_pStatus->setObjectName(QString::number(IDC_STATUS));
    m_pStatus->setAlignment(Qt::AlignCenter);
    m_pStatus->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_pProgress = new QProgressBar(this);
    m_pProgress->setObjectName(QString::number(IDC_PROGRESS));
    m_pProgress->setTextVisible(false);
    m_pProgress->setRange(0, 100);
    m_pProgress->setValue(0);

    auto* lists = new QHBoxLayout;
    lists->addWidget(m_pDatabase, 1);
    lists->addWidget(m_pMoveRight);
    auto* middle = new QVBoxLayout;
    middle->addWidget(m_pSend, 1);
    middle->addWidget(m_pRemove);
    lists->addLayout(middle, 1);
    lists->addWidget(m_pMoveLeft);
    lists->addWidget(m_pReader, 1);

    auto* group = new QGroupBox(this);
    auto* groupLayout = new QVBoxLayout(group);
    groupLayout->addWidget(m_pStatus);
    groupLayout->addWidget(m_pProgress);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_pSendButton);
    buttons->addWidget(m_pCancel);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(lists, 1);
    layout->addWidget(group);
    layout->addLayout(buttons);
    resize(CFontScale(this).DialogSize(kWidth, kHeight));

    connect(m_pMoveRight, &QPushButton::clicked, this, &CSendWrenDlg::OnMoveRight);
    connect(m_pMoveLeft, &QPushButton::clicked, this, &CSendWrenDlg::OnMoveLeft);
    connect(m_pRemove, &QPushButton::clicked, this, &CSendWrenDlg::OnRemoveSelected);
    connect(m_pSendButton, &QPushButton::clicked, this, &CSendWrenDlg::OnSend);
    connect(m_pCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void CSendWrenDlg::FillFromDatabase()
{
    if (!m_pDb)
        return;
    CtblPerson* persons = m_pDb->Get_Ptr_To_tblPerson();
    QHash<qint32, QString> personNames;
    for (int i = persons->GetAnz_Person() - 1; i >= 0; --i) {
        const CtblPerson::structPerson* person = persons->Get_Person(i);
        personNames.insert(person->ID_Person, person->Name);
    }
    CtblTransponder* transponders = m_pDb->Get_Ptr_To_tblTransponder();
    m_pDatabase->setSortingEnabled(false);
    for (int i = 0; i < transponders->GetAnz_Transponder(); ++i) {
        const CtblTransponder::structTransponder* row = transponders->Get_Transponder(i);
        if (!CReaderIdList(row->Leser_IDS).Holds(m_nReaderId))
            continue;
        const auto person = row->Person_ID > 0 ? personNames.constFind(row->Person_ID) : personNames.constEnd();
        // A transponder whose person is gone is shown by its number: hidden,
        // every Send would withdraw it from the reader unseen.
        if (person != personNames.constEnd()) {
            m_names.insert(row->TransponderNummer, person.value());
            Insert(m_pDatabase, person.value(), row->TransponderNummer);
        } else {
            Insert(m_pDatabase, row->TransponderNummer, row->TransponderNummer);
        }
    }
    m_pDatabase->setSortingEnabled(true);
    m_pDatabase->sortByColumn(0, Qt::AscendingOrder);
}

void CSendWrenDlg::Insert(QTreeWidget* list, const QString& text, const QString& number)
{
    auto* item = new ListItem;
    item->setText(0, text);
    item->setData(0, kNumberRole, number);
    item->setToolTip(0, text == number ? text : text + QStringLiteral(" (") + number + u')');
    list->addTopLevelItem(item);
    if (list == m_pSend)
        UpdateButtons();
}

void CSendWrenDlg::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (m_link.FirstShow()) {
        MoveBeside();
        m_link.PostLater();
    }
}

void CSendWrenDlg::MoveBeside()
{
    // Bottom left on the record view, so the reader list stays in sight.
    QWidget* pane = m_link.Context() ? m_link.Context()->RightPane() : nullptr;
    if (!pane || !pane->isVisible())
        return;
    const QPoint bottomLeft = pane->mapToGlobal(QPoint(0, pane->height()));
    move(bottomLeft.x(), bottomLeft.y() - frameGeometry().height());
}

bool CSendWrenDlg::event(QEvent* event)
{
    if (m_link.IsMessage(event)) {
        OnReadReaderList();
        return true;
    }
    if (event->type() == kConversationEnd) {
        if (m_pWait)
            m_pWait->quit();
        return true;
    }
    return QDialog::event(event);
}

void CSendWrenDlg::reject()
{
    if (!m_pWait)
        QDialog::reject();
}

void CSendWrenDlg::keyPressEvent(QKeyEvent* event)
{
    if (!CWrenDialogLink::CloseOnEnter(*this, event))
        QDialog::keyPressEvent(event);
}

void CSendWrenDlg::SetStatus(const QString& text)
{
    m_pStatus->setText(text);
    // The UI thread is blocked between commands: paint now.
    if (m_pStatus->isVisible())
        m_pStatus->repaint();
}

void CSendWrenDlg::SetProgressRange(int upper)
{
    m_pProgress->setRange(0, std::max(upper, 1));
}

void CSendWrenDlg::SetProgress(int position)
{
    m_pProgress->setValue(std::clamp(position, m_pProgress->minimum(), m_pProgress->maximum()));
    if (m_pProgress->isVisible())
        m_pProgress->repaint();
}

CPlainListJob::End CSendWrenDlg::Converse(const std::shared_ptr<CPlainListJob>& job)
{
    CReaderLink* link = m_link.ReaderLink();
    if (!link) {
        m_link.ShowBox(CPlainListJob::kNoAnswerText, QMessageBox::Critical);
        return CPlainListJob::End::NoAnswer;
    }
    QEventLoop wait;
    CTransferRun run(*link, m_link.Context(), this);
    CTransferRun::Body body = CTransferJob::BodyFor(job, kConversationEnd, [&wait] { wait.quit(); });
    QTimer progress;
    progress.setInterval(kProgressMs);
    connect(&progress, &QTimer::timeout, this, [this, job] {
        if (job->Length() > 0)
            SetProgressRange(job->Length());
        SetProgress(job->Position());
    });
    setEnabled(false);
    if (run.Start(std::move(body))) {
        m_pWait = &wait;
        progress.start();
        wait.exec();
        m_pWait = nullptr;
    } else {
        m_link.ShowBox(CPlainListJob::kNoAnswerText, QMessageBox::Critical);
    }
    setEnabled(true);
    return job->GetEnd();
}

void CSendWrenDlg::OnReadReaderList()
{
    SetStatus(m_link.Text(kReadingText));
    CPlainListJob::Params params;
    params.kind = CPlainListJob::Kind::Read;
    auto job = std::make_shared<CPlainListJob>(params, m_link.Language());
    const CPlainListJob::End end = Converse(job);
    m_pReader->setSortingEnabled(false);
    for (const QString& number : job->Entries())
        Insert(m_pReader, m_names.value(number, number), number);
    m_pReader->setSortingEnabled(true);
    m_pReader->sortByColumn(0, Qt::AscendingOrder);
    if (end != CPlainListJob::End::Done)
        return;
    SetStatus(m_link.Text(kListReadText));
    SetProgress(0);
}

void CSendWrenDlg::CopyInto(QTreeWidget* from)
{
    QSet<QString> present;
    for (int i = 0; i < m_pSend->topLevelItemCount(); ++i)
        present.insert(m_pSend->topLevelItem(i)->data(0, kNumberRole).toString());
    for (int i = 0; i < from->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = from->topLevelItem(i);
        const QString number = item->data(0, kNumberRole).toString();
        // The same transponder once, whether it shows as a name or a number.
        if (!item->isSelected() || present.contains(number))
            continue;
        present.insert(number);
        Insert(m_pSend, item->text(0), number);
    }
}

void CSendWrenDlg::OnMoveRight()
{
    CopyInto(m_pDatabase);
}

void CSendWrenDlg::OnMoveLeft()
{
    CopyInto(m_pReader);
}

void CSendWrenDlg::OnRemoveSelected()
{
    for (int i = 0; i < m_pSend->topLevelItemCount();) {
        if (m_pSend->topLevelItem(i)->isSelected())
            delete m_pSend->takeTopLevelItem(i);
        else
            ++i;
    }
    // One row left cannot be sent until another is added, as ever.
    if (m_pSend->topLevelItemCount() < 2) {
        m_pSendButton->setEnabled(false);
        m_pRemove->setEnabled(false);
    }
}

void CSendWrenDlg::UpdateButtons()
{
    const bool any = m_pSend->topLevelItemCount() > 0;
    m_pSendButton->setEnabled(any);
    m_pRemove->setEnabled(any);
}

QStringList CSendWrenDlg::Numbers(const QTreeWidget* list)
{
    QStringList numbers;
    for (int i = 0; list && i < list->topLevelItemCount(); ++i)
        numbers << list->topLevelItem(i)->data(0, kNumberRole).toString();
    return numbers;
}

QStringList CSendWrenDlg::Texts(const QTreeWidget* list)
{
    QStringList texts;
    for (int i = 0; list && i < list->topLevelItemCount(); ++i)
        texts << list->topLevelItem(i)->text(0);
    return texts;
}

bool CSendWrenDlg::SendToReader(const QStringList& numbers)
{
    // The settings as stored for the reader; a reader gone from the table
    // gets the reader's own defaults.
    CPlainListJob::Params params;
    params.kind = CPlainListJob::Kind::Write;
    params.numbers = numbers;
    params.settings.modeBits = CWrenSettings::kStandalone | CWrenSettings::kMasterActive;
    CtblLeser* readers = m_pDb->Get_Ptr_To_tblLeser();
    for (int i = 0; i < readers->GetAnz_Leser(); ++i) {
        const CtblLeser::structLeser* row = readers->Get_Leser(i);
        if (row->ID_Leser == m_nReaderId) {
            params.settings = CWrenSettings::FromParameter(row->Parameter);
            params.switchTime = row->Modus;
            break;
        }
    }
    SetProgressRange(int(numbers.size()) + 1);
    SetProgress(1);
    SetStatus(m_link.Text(kWritingText));
    switch (Converse(std::make_shared<CPlainListJob>(params, m_link.Language()))) {
    case CPlainListJob::End::Done:
        SetStatus(m_link.Text(kDoneText));
        SetProgress(0);
        return true;
    case CPlainListJob::End::NoAnswer:
        SetProgress(0);
        SetStatus(m_link.Text(CPlainListJob::kNoAnswerText));
        return false;
    case CPlainListJob::End::OutOfStep:
        SetProgress(0);
        SetStatus(m_link.Text(CTransferRun::kOutOfStepText));
        return false;
    case CPlainListJob::End::SettingsRefused:
    case CPlainListJob::End::Stopped:
        break;
    }
    return false;
}

void CSendWrenDlg::OnSend()
{
    if (!m_pDb)
        return;
    // The numbers in the list's order, each once.
    QStringList numbers;
    for (const QString& number : Numbers(m_pSend)) {
        if (!numbers.contains(number))
            numbers << number;
    }
    if (m_nMode == WriteMode) {
        if (numbers.size() + 1 > kMaxLength) {
            m_link.ShowBox(kTooManyText, QMessageBox::Critical);
            return;
        }
        if (!SendToReader(numbers))
            return;
        SetStatus(m_link.Text(kReaderUpdatedText));
    }

    CPlainListStore::Counts counts;
    const CPlainListStore::Result stored = CPlainListStore::Store(*m_pDb, m_nReaderId, numbers, &counts);
    // A refused update leaves the database as it was, and the run says so.
    switch (stored) {
    case CPlainListStore::Result::Stored: SetStatus(m_link.Text(kDoneText)); break;
    case CPlainListStore::Result::OpenFailed: SetStatus(m_link.Text(kOpenFailedText)); break;
    case CPlainListStore::Result::Refused: SetStatus(m_link.Text(kNotStoredText)); break;
    }
    SetProgress(0);
    if (m_pOwner) {
        if (CGridCtrl* grid = m_pOwner->GetGrid())
            grid->Refresh();
    }
    if (stored != CPlainListStore::Result::Stored)
        return;
    if (counts.markKept)
        SetStatus(m_link.Text(kWriteAgainText));
    CShowMessage notice(counts.markKept ? m_link.Text(kDoneText) + QStringLiteral("\n") + m_link.Text(kWriteAgainText)
                                        : m_link.Text(kDoneText),
                        this, counts.markKept ? CShowMessage::Error : CShowMessage::Done);
    CDialogRunner::DoModal(notice);
}
