#include "CLeftTreeView.h"
#include "CTransferRun.h"

#include "CChooseCOMDlg.h"
#include "CColorStatic.h"
#include "CDataProgressDlg.h"
#include "CDialogRunner.h"
#include "CEventsDlg.h"
#include "CFerrold_Handler.h"
#include "CGridBaseDlg.h"
#include "CLanguageHandler.h"
#include "CLeserDlg.h"
#include "CReaderModel.h"
#include "CMainFrame.h"
#include "CNameDlg.h"
#include "CQuandorApp.h"
#include "CRegistryKey.h"
#include "CThreadMailbox.h"
#include "CTransponderDlg.h"
#include "CUiMessage.h"
#include "CWindowMessage.h"
#include "CZeitschemaDlg.h"
#include "CZeitschemaRules.h"
#include "CtblLeser.h"
#include "CtblZeitschema.h"

#include <QScopeGuard>
#include <QStyle>
#include <QTimer>

namespace {

// Language texts of the link.
constexpr unsigned int kReadersText = 14;
constexpr unsigned int kSearchNotStartedText = 101;
constexpr unsigned int kTryAgainText = 102;
// The search's window: caption, "searching on COM %1", "please wait".
constexpr unsigned int kSearchingOnPortText = 103;
constexpr unsigned int kPleaseWaitText = 104;
constexpr unsigned int kSearchCaptionText = 115;
constexpr unsigned int kLinkLostText = 114;
constexpr unsigned int kTagText = 201;

const QString& kFullAccessGerman = CZeitschemaRules::kFullAccessGerman;
const QString& kFullAccessEnglish = CZeitschemaRules::kFullAccessEnglish;

bool isFullAccessName(const QString& name)
{
    return CZeitschemaRules::IsFullAccessName(name);
}

CFerrold_Handler* database()
{
    CQuandorApp* app = CQuandorApp::Instance();
    return app ? app->GetDBHandler() : nullptr;
}

// The first reader row of that name; 0 when there is none.
qint32 readerIdByName(const QString& name, bool* found)
{
    *found = false;
    CFerrold_Handler* db = database();
    if (!db)
        return 0;
    CtblLeser* readers = db->Get_Ptr_To_tblLeser();
    for (int i = 0; i < readers->GetAnz_Leser(); ++i) {
        if (readers->Get_Leser(i)->Bezeichnung == name) {
            *found = true;
            return readers->Get_Leser(i)->ID_Leser;
        }
    }
    return 0;
}

} // namespace

CLeftTreeView::CLeftTreeView(CAppContext& context, CLanguageHandler* pLanguage, CMainFrame* pFrame, QWidget* parent)
    : QTreeWidget(parent)
    , m_context(context)
    , m_pLanguage(pLanguage)
    , m_pFrame(pFrame)
    , m_pLabelTimer(new QTimer(this))
    , m_pLinkReports(new CThreadMailbox(this))
    , m_link(pLanguage, nullptr, CQuandorApp::Instance() ? CQuandorApp::Instance()->LinkTiming() : CLinkTiming())
{
    m_link.SetObserver(this);
    // Called on the link's thread, which the destructor joins first.
    m_link.SetPortOpener(
        [this](const QString& portName, quint8 baudSelector) { return OpenPort(portName, baudSelector); });
    setObjectName(QStringLiteral("CLeftTreeView"));
    setHeaderHidden(true);
    setColumnCount(1);
    setIconSize(QSize(16, 16));
    setRootIsDecorated(true);
    m_pLabelTimer->setSingleShot(true);
    m_pLabelTimer->setTimerType(Qt::PreciseTimer);
    m_pLabelTimer->setInterval(kTagDisplayMilliseconds);
    connect(m_pLabelTimer, &QTimer::timeout, this, [this] {
        if (m_pFrame && m_pFrame->GetInfoLabel())
            m_pFrame->GetInfoLabel()->setText(m_pLanguage->GetLangItem(kTagText));
    });
    connect(this, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current, QTreeWidgetItem*) { OnSelectionChanged(current); });
    // Open and closed folders, except the four kinds that keep their pictures.
    connect(this, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) {
        const NodeKind kind = Kind(item);
        if (kind != ReadersNode && kind != TranspondersNode && kind != PersonsNode && kind != TimeSchemasNode)
            item->setIcon(0, Image(1));
    });
    connect(this, &QTreeWidget::itemCollapsed, this, [this](QTreeWidgetItem* item) {
        const NodeKind kind = Kind(item);
        if (kind != ReadersNode && kind != TranspondersNode && kind != PersonsNode && kind != TimeSchemasNode)
            item->setIcon(0, Image(0));
    });
}

CLeftTreeView::~CLeftTreeView()
{
    // A transfer uses the link from its own thread: it ends before the link.
    CTransferRun::StopActive();
    // The link's thread reports to this object: it is joined first.
    m_link.ClosePort();
    DestroySearchProgress();
}

QIcon CLeftTreeView::Image(int index) const
{
    static const QStyle::StandardPixmap pictures[] = {
        QStyle::SP_DirClosedIcon,       QStyle::SP_DirOpenIcon,       QStyle::SP_FileIcon,
        QStyle::SP_FileDialogDetailedView, QStyle::SP_DriveNetIcon,  QStyle::SP_DriveHDIcon,
        QStyle::SP_DirHomeIcon,         QStyle::SP_FileDialogContentsView,
    };
    return style()->standardIcon(pictures[qBound(0, index, 7)]);
}

QTreeWidgetItem* CLeftTreeView::Node(NodeKind kind) const
{
    return kind >= RootNode && kind <= EventsNode ? m_nodes[kind] : nullptr;
}

CLeftTreeView::NodeKind CLeftTreeView::Kind(const QTreeWidgetItem* item)
{
    return item ? static_cast<NodeKind>(item->data(0, kKindRole).toInt()) : NoNode;
}

bool CLeftTreeView::IsTernReader(const QString& storedModel)
{
    return CReaderModel::IsTern(storedModel);
}

void CLeftTreeView::AddFixedNode(QTreeWidgetItem* parent, NodeKind kind, unsigned int text, int image)
{
    auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(this);
    item->setText(0, m_pLanguage->GetLangItem(text));
    item->setIcon(0, Image(image));
    item->setData(0, kKindRole, kind);
    m_nodes[kind] = item;
}

void CLeftTreeView::OnInitialUpdate()
{
    m_link.SetMasterLearn(false);
    // One port number, whatever spelling wrote it; repaired when unusable.
    m_nComPort = CReaderLink::StoredComPort();

    clear();
    for (auto& node : m_nodes)
        node = nullptr;
    AddFixedNode(nullptr, RootNode, 13, 0);
    AddFixedNode(m_nodes[RootNode], ReadersNode, 14, 4);
    AddFixedNode(m_nodes[RootNode], TranspondersNode, 15, 5);
    AddFixedNode(m_nodes[RootNode], PersonsNode, 16, 6);
    AddFixedNode(m_nodes[RootNode], TimeSchemasNode, 18, 7);
    AddSchemaChildren();
    AddFixedNode(m_nodes[RootNode], EventsNode, 17, 0);
    AddReaderChildren();

    for (NodeKind kind : {RootNode, EventsNode, TranspondersNode, PersonsNode, TimeSchemasNode})
        m_nodes[kind]->setExpanded(true);
    setCurrentItem(m_nodes[ReadersNode]);

    CWindowMessage::Post(this, CWindowMessage::WM_CHOOSE_PORT);
}

void CLeftTreeView::AddSchemaChildren()
{
    CFerrold_Handler* db = database();
    if (!db)
        return;
    // One child per schema (four rows each), equal names or not.
    CtblZeitschema* schemas = db->Get_Ptr_To_tblZeitschema();
    for (int i = 0; i + 3 < schemas->GetAnz_Zeitschema(); i += 4) {
        const auto* row = schemas->Get_Zeitschema(i);
        NewSchemaChild(row->ID_Zeitschema, row->Bezeichnung);
    }
}

QTreeWidgetItem* CLeftTreeView::NewSchemaChild(qint32 identity, const QString& name)
{
    QTreeWidgetItem* node = m_nodes[TimeSchemasNode];
    if (!node)
        return nullptr;
    auto* child = new QTreeWidgetItem(node);
    const bool fullAccess = isFullAccessName(name);
    child->setText(0, CRegistryKey::ProgramLanguage() == 1 && fullAccess ? m_pLanguage->GetLangItem(81) : name);
    QIcon icon;
    for (QIcon::Mode mode : {QIcon::Normal, QIcon::Selected})
        icon.addPixmap(Image(mode == QIcon::Normal ? 2 : 3).pixmap(16, 16), mode);
    child->setIcon(0, icon);
    child->setData(0, kKindRole, SchemaChild);
    child->setData(0, kFullAccessRole, fullAccess);
    child->setData(0, kSchemaIdRole, identity);
    return child;
}

QTreeWidgetItem* CLeftTreeView::FindSchemaChild(qint32 identity) const
{
    QTreeWidgetItem* node = m_nodes[TimeSchemasNode];
    for (int i = 0; node && i < node->childCount(); ++i) {
        if (node->child(i)->data(0, kSchemaIdRole).toInt() == identity)
            return node->child(i);
    }
    return nullptr;
}

void CLeftTreeView::AddSchemaChild(qint32 identity, const QString& name)
{
    NewSchemaChild(identity, name);
}

void CLeftTreeView::RenameSchemaChild(qint32 identity, const QString& name)
{
    if (QTreeWidgetItem* child = FindSchemaChild(identity))
        child->setText(0, name);
}

void CLeftTreeView::RemoveChild(QTreeWidgetItem* child)
{
    // The tree would show another node's view at once if the removed child
    // were the current one; the view that removes it is still working.
    const QSignalBlocker quiet(this);
    delete child;
}

void CLeftTreeView::RemoveSchemaChild(qint32 identity)
{
    if (QTreeWidgetItem* child = FindSchemaChild(identity))
        RemoveChild(child);
}

void CLeftTreeView::InsertReaderChildren(const QString& name)
{
    for (NodeKind kind : {TranspondersNode, PersonsNode, EventsNode}) {
        QTreeWidgetItem* node = m_nodes[kind];
        if (!node)
            continue;
        int place = 0;
        while (place < node->childCount()
               && QString::compare(node->child(place)->text(0), name, Qt::CaseInsensitive) <= 0)
            ++place;
        node->insertChild(place, NewReaderChild(name));
        node->setExpanded(true);
    }
    update();
}

void CLeftTreeView::RenameReaderChildren(const QString& oldName, const QString& newName)
{
    for (NodeKind kind : {TranspondersNode, PersonsNode, EventsNode}) {
        QTreeWidgetItem* node = m_nodes[kind];
        for (int i = 0; node && i < node->childCount(); ++i) {
            if (node->child(i)->text(0) == oldName) {
                node->child(i)->setText(0, newName);
                break;
            }
        }
    }
}

void CLeftTreeView::RemoveReaderChildren(const QString& name)
{
    for (NodeKind kind : {TranspondersNode, PersonsNode, EventsNode}) {
        QTreeWidgetItem* node = m_nodes[kind];
        for (int i = 0; node && i < node->childCount(); ++i) {
            if (node->child(i)->text(0) == name) {
                RemoveChild(node->child(i));
                break;
            }
        }
    }
}

void CLeftTreeView::RemoveAllReaderChildren()
{
    const QSignalBlocker quiet(this);
    for (NodeKind kind : {TranspondersNode, PersonsNode, EventsNode}) {
        if (QTreeWidgetItem* node = m_nodes[kind])
            qDeleteAll(node->takeChildren());
    }
}

void CLeftTreeView::AddReaderChildren()
{
    CFerrold_Handler* db = database();
    if (!db)
        return;
    CtblLeser* readers = db->Get_Ptr_To_tblLeser();
    for (int i = 0; i < readers->GetAnz_Leser(); ++i) {
        const auto* row = readers->Get_Leser(i);
        if (IsTernReader(row->LeserTyp))
            continue;
        for (NodeKind kind : {TranspondersNode, PersonsNode, EventsNode})
            m_nodes[kind]->addChild(NewReaderChild(row->Bezeichnung));
    }
}

QTreeWidgetItem* CLeftTreeView::NewReaderChild(const QString& name) const
{
    auto* child = new QTreeWidgetItem;
    child->setText(0, name);
    child->setIcon(0, Image(4));
    child->setData(0, kKindRole, ReaderChild);
    return child;
}

void CLeftTreeView::RebuildChildren()
{
    for (NodeKind kind : {TranspondersNode, PersonsNode, EventsNode, TimeSchemasNode}) {
        if (QTreeWidgetItem* node = m_nodes[kind])
            qDeleteAll(node->takeChildren());
    }
    if (!m_nodes[RootNode])
        return;
    AddSchemaChildren();
    AddReaderChildren();
}

void CLeftTreeView::RelabelFixedNodes()
{
    const unsigned int texts[] = {0, 13, 14, 15, 16, 18, 17};
    for (int kind = RootNode; kind <= EventsNode; ++kind) {
        if (m_nodes[kind])
            m_nodes[kind]->setText(0, m_pLanguage->GetLangItem(texts[kind]));
    }
    if (QTreeWidgetItem* schemas = m_nodes[TimeSchemasNode]) {
        for (int i = 0; i < schemas->childCount(); ++i) {
            if (schemas->child(i)->data(0, kFullAccessRole).toBool())
                schemas->child(i)->setText(0, m_pLanguage->GetLangItem(81));
        }
    }
}

void CLeftTreeView::RenameFullAccessSchema()
{
    QWidget* pane = m_pFrame ? m_pFrame->GetRightPane() : nullptr;
    if (auto* view = qobject_cast<CGridBaseDlg*>(pane))
        view->SetColumnTitles();
    if (CFerrold_Handler* db = database()) {
        const bool english = m_pLanguage->GetAktivLanguage() == 1;
        CtblZeitschema* schemas = db->Get_Ptr_To_tblZeitschema();
        for (int i = 0; i < schemas->GetAnz_Zeitschema(); ++i) {
            QString& name = schemas->Get_Zeitschema(i)->Bezeichnung;
            if (english && name == kFullAccessGerman)
                name = kFullAccessEnglish;
            else if (!english && name == kFullAccessEnglish)
                name = kFullAccessGerman;
        }
    }
    if (auto* transponders = qobject_cast<CTransponderDlg*>(pane))
        transponders->ShowForReader(0);
}

void CLeftTreeView::OnSelectionChanged(QTreeWidgetItem* current)
{
    m_strSelectedText = current ? current->text(0) : QString();
    m_strParentText = current && current->parent() ? current->parent()->text(0) : QString();
    CWindowMessage::Post(this, CWindowMessage::WM_SHOW_SELECTED_VIEW);
}

bool CLeftTreeView::event(QEvent* event)
{
    switch (static_cast<int>(event->type())) {
    case CWindowMessage::WM_SHOW_SELECTED_VIEW:
        OnShowSelection();
        return true;
    case CWindowMessage::WM_CHOOSE_PORT:
        OnChoosePort();
        return true;
    default:
        return QTreeWidget::event(event);
    }
}

void CLeftTreeView::OnShowSelection()
{
    // Leaving the reader view ends its transfer, before the next view reads
    // the caches the transfer changed.
    CTransferRun::StopActive();
    QTreeWidgetItem* item = currentItem();
    const NodeKind kind = Kind(item);
    const NodeKind group = kind == ReaderChild || kind == SchemaChild ? Kind(item->parent()) : kind;
    const bool child = kind == ReaderChild || kind == SchemaChild;
    const QString name = item ? item->text(0) : QString();

    switch (group) {
    case ReadersNode: {
        auto* view = new CLeserDlg(m_context);
        m_pFrame->ReplaceRightPane(view);
        view->Reload(0);
        break;
    }
    case TranspondersNode:
    case PersonsNode:
    case EventsNode: {
        bool found = !child;
        const qint32 reader = child ? readerIdByName(name, &found) : 0;
        QWidget* view = nullptr;
        if (group == TranspondersNode)
            view = new CTransponderDlg(m_context);
        else if (group == PersonsNode)
            view = new CNameDlg(m_context);
        else
            view = new CEventsDlg(m_context);
        m_pFrame->ReplaceRightPane(view);
        if (!found)
            break;
        if (auto* t = qobject_cast<CTransponderDlg*>(view))
            t->ShowForReader(static_cast<quint32>(reader));
        else if (auto* n = qobject_cast<CNameDlg*>(view))
            n->Reload(static_cast<quint32>(reader));
        else if (auto* e = qobject_cast<CEventsDlg*>(view))
            e->ShowEvents(static_cast<quint32>(reader));
        break;
    }
    case TimeSchemasNode: {
        auto* view = new CZeitschemaDlg(m_context);
        m_pFrame->ReplaceRightPane(view);
        if (!child) {
            view->ShowSchemas(0);
            break;
        }
        CFerrold_Handler* db = database();
        if (!db)
            break;
        const qint32 identity = item->data(0, kSchemaIdRole).toInt();
        CtblZeitschema* schemas = db->Get_Ptr_To_tblZeitschema();
        for (int i = 0; i + 3 < schemas->GetAnz_Zeitschema(); i += 4) {
            const auto* row = schemas->Get_Zeitschema(i);
            if (row->ID_Zeitschema == identity) {
                view->ShowSchemas(static_cast<quint32>(row->nNr));
                break;
            }
        }
        break;
    }
    default:
        // The root and anything unknown leave the right pane as it is.
        break;
    }
}

void CLeftTreeView::OnChoosePort()
{
    CChooseCOMDlg dialog(m_pLanguage, window());
    CDialogRunner::DoModal(dialog);
    if (dialog.m_bConnectNow == 1) {
        m_bIdentifyRequest = true;
        Connect();
    }
}

void CLeftTreeView::OnTagRead(const QString& number)
{
    if (m_pFrame && m_pFrame->GetInfoLabel()) {
        QString text = m_pLanguage->GetLangItem(kTagText) + number;
        const QString master = m_link.Status().masterTransponder;
        if (!master.isEmpty() && number == master)
            text += QStringLiteral(" ==> MASTER");
        m_pFrame->GetInfoLabel()->setText(text);
    }
    m_pLabelTimer->start();
    if (auto* view = qobject_cast<CTransponderDlg*>(m_pFrame ? m_pFrame->GetRightPane() : nullptr))
        view->AddReceivedTransponders(number);
}

int CLeftTreeView::Connect(CReaderLink::ConnectResult* result)
{
    const CReaderLink::ConnectResult started = m_link.Connect(CReaderLink::StoredComPort());
    if (result)
        *result = started;
    switch (started) {
    case CReaderLink::ConnectStarted:
        break;
    case CReaderLink::ConnectOnline:
    case CReaderLink::ConnectTransferRunning:
        return 1;
    case CReaderLink::ConnectSearching:
    case CReaderLink::ConnectPortInUse:
        return 0;
    case CReaderLink::ConnectThreadFailed:
        CUiMessage::Show(m_pLanguage->GetLangItem(kSearchNotStartedText) + QLatin1Char('\n')
                             + m_pLanguage->GetLangItem(kTryAgainText),
                         QMessageBox::Critical);
        return 0;
    }
    m_nComPort = m_link.Status().comPort;
    // A search that failed lately may not have closed its window yet. The
    // search's reports reach this thread only after this returns, so the
    // new window is there for its first one.
    DestroySearchProgress();
    auto* progress = new CDataProgressDlg(m_pLanguage, window());
    m_pSearchProgress = progress;
    progress->show();
    if (m_pFrame)
        m_pFrame->UpdatePanes();
    return 0;
}

int CLeftTreeView::ClosePort()
{
    m_link.ClosePort();
    // The window of a search that was stopped; its end brings nothing more.
    DestroySearchProgress();
    if (m_pFrame)
        m_pFrame->UpdatePanes();
    return 1;
}

int CLeftTreeView::OpenPort(const QString& portName, quint8 baudSelector)
{
    if (const CReaderLink::PortOpener open = PortOpenerSeam().Get())
        return open(portName, baudSelector);
    return m_link.OpenPort(portName, baudSelector);
}

CTestSeam<CReaderLink::PortOpener>& CLeftTreeView::PortOpenerSeam()
{
    static CTestSeam<CReaderLink::PortOpener> seam("CLeftTreeView::PortOpenerSeam");
    return seam;
}

QString CLeftTreeView::SendCommand(const CLinkLease& lease, char letter, const QString& data, quint8 mode)
{
    return m_link.SendCommand(lease, letter, data, mode);
}

QString CLeftTreeView::SendAndWait(char letter, const QString& data, int mode)
{
    return m_link.SendAndWait(letter, data, mode);
}

CDataProgressDlg* CLeftTreeView::GetSearchProgress() const
{
    return m_pSearchProgress.data();
}

void CLeftTreeView::RelabelSearchProgress()
{
    CDataProgressDlg* progress = m_pSearchProgress.data();
    if (!progress)
        return;
    progress->setWindowTitle(m_pLanguage->GetLangItem(kSearchCaptionText));
    // The search's own words, in the language now in force.
    progress->SetText(QStringLiteral("\n") + m_pLanguage->GetLangItem(kSearchingOnPortText, m_link.Status().comPort)
                      + QStringLiteral("\n") + m_pLanguage->GetLangItem(kPleaseWaitText));
}

void CLeftTreeView::DestroySearchProgress()
{
    if (CDataProgressDlg* progress = m_pSearchProgress.data())
        progress->DestroyWindow();
    m_pSearchProgress.clear();
}

// --- Reports of the link's thread. They are only handed over: the UI
// thread may be waiting for that very thread (a command's reply, a close).

void CLeftTreeView::SearchProgress(int maximum, int position, const QString& text)
{
    const quint64 connection = m_link.ConnectionId();
    m_pLinkReports->Post(
        [this, connection, maximum, position, text] { OnSearchProgress(connection, maximum, position, text); });
}

void CLeftTreeView::SearchFinished(const CSearchOutcome& outcome)
{
    m_pLinkReports->Post([this, outcome] { OnSearchDone(outcome); });
}

void CLeftTreeView::TagRead(quint64 ticket, const QString& number, bool /*isMaster*/)
{
    const quint64 connection = m_link.ConnectionId();
    m_pLinkReports->Post([this, ticket, connection, number] { OnLinkTag(ticket, connection, number); });
}

void CLeftTreeView::LinkLost(quint64 connection)
{
    m_pLinkReports->Post([this, connection] { OnLinkLost(connection); });
}

// --- Their handling on the UI thread.

void CLeftTreeView::OnSearchProgress(quint64 connection, int maximum, int position, const QString& text)
{
    if (connection != m_link.ConnectionId() || !m_pSearchProgress)
        return;
    m_pSearchProgress->SetRange(0, maximum);
    m_pSearchProgress->SetPos(position);
    m_pSearchProgress->SetText(text);
}

void CLeftTreeView::OnSearchDone(const CSearchOutcome& outcome)
{
    // A search whose connection was closed and replaced meanwhile.
    if (outcome.connection != m_link.ConnectionId())
        return;
    // The boxes below let other events run; the window is this search's.
    const QPointer<CDataProgressDlg> progress = m_pSearchProgress;
    for (int text : outcome.messages)
        CUiMessage::Show(m_pLanguage->GetLangItem(static_cast<unsigned int>(text)), QMessageBox::Warning);
    if (outcome.success && outcome.connection == m_link.ConnectionId() && m_link.IsPortOpen()) {
        if (QWidget* view = m_pFrame ? m_pFrame->GetRightPane() : nullptr)
            CWindowMessage::Post(view, CWindowMessage::WM_IDENTIFY_READER);
    }
    if (progress) {
        progress->DestroyWindow();
        if (m_pSearchProgress == progress)
            m_pSearchProgress.clear();
    }
    if (m_pFrame)
        m_pFrame->UpdatePanes();
}

void CLeftTreeView::OnLinkTag(quint64 ticket, quint64 connection, const QString& number)
{
    // However the tag is handled, the link polls on afterwards.
    const auto handled = qScopeGuard([this, ticket] { m_link.TagHandled(ticket); });
    if (connection == m_link.ConnectionId() && m_link.IsPortOpen())
        OnTagRead(number);
}

void CLeftTreeView::OnLinkLost(quint64 connection)
{
    if (connection != m_link.ConnectionId() || !m_link.IsPortOpen())
        return;
    ClosePort();
    CUiMessage::Show(m_pLanguage->GetLangItem(kLinkLostText) + m_pLanguage->GetLangItem(kReadersText),
                     QMessageBox::Warning);
}
