#include "CMainFrame.h"
#include "CTransferRun.h"

#include "CColorStatic.h"
#include "CCsvExportCommand.h"
#include "CCsvImportCommand.h"
#include "CDatabaseBackup.h"
#include "CDeleteAllEntries.h"
#include "CFerrold_Handler.h"
#include "CLanguageHandler.h"
#include "CLeftTreeView.h"
#include "CLeserDlg.h"
#include "CMainToolBar.h"
#include "CQuandorApp.h"
#include "CRegistryKey.h"
#include "CUiMessage.h"
#include "CViewSplitterWnd.h"
#include "CtblLeser.h"

#include <QAbstractEventDispatcher>
#include <QActionGroup>
#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QUrl>

namespace {

bool openHelp(const QString& path)
{
    const CMainFrame::HelpOpener opener = CMainFrame::HelpOpenerSeam().Get();
    return opener ? opener(path) : QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

// The model name the reader pane shows for a link's reader type.
unsigned int modelText(int readerType)
{
    switch (readerType) {
    case 0:
        return 111;
    case 1:
        return 112;
    case 2:
        return 113;
    case 3:
        return 225;
    case 4:
        return 237;
    default:
        return 0;
    }
}

} // namespace

CMainFrame::CMainFrame(CAppContext& context, CLanguageHandler* pLanguage, QWidget* parent)
    : QMainWindow(parent)
    , m_context(context)
    , m_pLanguage(pLanguage)
{
    setObjectName(QStringLiteral("CMainFrame"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    setWindowIcon(QApplication::style()->standardIcon(QStyle::SP_ComputerIcon));
}

CMainFrame::~CMainFrame() = default;

CTestSeam<CMainFrame::HelpOpener>& CMainFrame::HelpOpenerSeam()
{
    static CTestSeam<CMainFrame::HelpOpener> seam("CMainFrame::HelpOpenerSeam");
    return seam;
}

bool CMainFrame::Create()
{
    resize(kWidth, kHeight);
    setWindowTitle(CRegistryKey::ProgramLanguage() == 1 ? QStringLiteral("  Kestrav Manager")
                                                        : QStringLiteral("  Vondral Manager"));

    m_pToolBar = new CMainToolBar(this);
    addToolBar(Qt::TopToolBarArea, m_pToolBar);
    m_pToolBar->InfoLabel()->setText(m_pLanguage->GetLangItem(201));

    QStatusBar* bar = statusBar();
    m_pConnectionPane = new QLabel(bar);
    m_pConnectionPane->setObjectName(QStringLiteral("129"));
    m_pConnectionPane->setFixedWidth(150);
    m_pReaderPane = new QLabel(bar);
    m_pReaderPane->setObjectName(QStringLiteral("130"));
    m_pReaderPane->setFixedWidth(320);
    bar->addPermanentWidget(m_pConnectionPane);
    bar->addPermanentWidget(m_pReaderPane);
    // Lock-key states are not told cheaply on every platform: the panes stay blank.
    for (const char* name : {"CAPS", "NUM", "SCRL"}) {
        auto* pane = new QLabel(bar);
        pane->setObjectName(QLatin1String(name));
        pane->setFixedWidth(36);
        bar->addPermanentWidget(pane);
    }

    m_pSplitter = new CViewSplitterWnd(this);
    m_pLeftTreeView = new CLeftTreeView(m_context, m_pLanguage, this, m_pSplitter);
    m_pSplitter->addWidget(m_pLeftTreeView);
    m_pSplitter->addWidget(new CLeserDlg(m_context));
    m_pSplitter->setStretchFactor(0, 0);
    m_pSplitter->setStretchFactor(1, 1);
    m_pSplitter->setSizes({kTreeWidth, kWidth - kTreeWidth});
    setCentralWidget(m_pSplitter);

    CreateMenus();
    UpdateMenuTexts();
    UpdatePanes();

    if (QScreen* screen = QApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - rect().center());
    }

    // The panes follow the link as the framework's idle update did: once the
    // event loop has handled what came (a report of the link, a command, a
    // stored edit) and is about to wait, never on a clock, so a program that
    // only waits is woken by nothing. The lock-key panes stay blank
    // (nothing to follow).
    connect(QAbstractEventDispatcher::instance(thread()), &QAbstractEventDispatcher::aboutToBlock, this,
            &CMainFrame::UpdatePanes);
    return true;
}

void CMainFrame::InitialUpdate()
{
    m_pLeftTreeView->OnInitialUpdate();
}

QAction* CMainFrame::AddCommand(QMenu* menu, int id, const QString& text)
{
    QAction* action = menu->addAction(text);
    action->setObjectName(QString::number(id));
    connect(action, &QAction::triggered, this, [this, id] { OnCommand(id); });
    m_actions.insert(id, action);
    return action;
}

void CMainFrame::CreateMenus()
{
    QMenuBar* bar = menuBar();
    m_pFileMenu = bar->addMenu(QString());
    AddCommand(m_pFileMenu, ID_CSV_IMPORT)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_I));
    AddCommand(m_pFileMenu, ID_CSV_EXPORT)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    m_pFileMenu->addSeparator();
    AddCommand(m_pFileMenu, ID_DATABASE_BACKUP)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_B));
    AddCommand(m_pFileMenu, ID_DATABASE_RESTORE)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_K));
    AddCommand(m_pFileMenu, ID_DELETE_ALL_ENTRIES)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_A));
    m_pFileMenu->addSeparator();
    AddCommand(m_pFileMenu, ID_APP_EXIT);

    m_pSettingsMenu = bar->addMenu(QString());
    m_pLanguageMenu = m_pSettingsMenu->addMenu(QString());
    auto* languages = new QActionGroup(this);
    for (int id : {ID_LANGUAGE_GERMAN, ID_LANGUAGE_ENGLISH}) {
        QAction* action = AddCommand(m_pLanguageMenu, id, id == ID_LANGUAGE_GERMAN ? QStringLiteral("Deutsch")
                                                                                  : QStringLiteral("English"));
        action->setCheckable(true);
        languages->addAction(action);
    }
    AddCommand(m_pSettingsMenu, ID_COM_PORT);
    m_pSettingsMenu->addSeparator();
    AddCommand(m_pSettingsMenu, ID_ONLINE, QStringLiteral("Online"))->setCheckable(true);
    AddCommand(m_pSettingsMenu, ID_OFFLINE, QStringLiteral("Offline"))->setCheckable(true);

    m_pViewMenu = bar->addMenu(QString());
    QAction* statusBarAction = AddCommand(m_pViewMenu, ID_VIEW_STATUS_BAR);
    statusBarAction->setCheckable(true);
    statusBarAction->setChecked(true);
    AddCommand(m_pViewMenu, ID_WINDOW_SPLIT);

    m_pHelpMenu = bar->addMenu(QStringLiteral("?"));
    AddCommand(m_pHelpMenu, ID_HELP_FILE)->setShortcut(QKeySequence(Qt::Key_F1));
    AddCommand(m_pHelpMenu, ID_APP_ABOUT);

    // Focus between the tree and the record view; not in a menu.
    for (int id : {ID_NEXT_PANE, ID_PREV_PANE}) {
        auto* action = new QAction(this);
        action->setObjectName(QString::number(id));
        action->setShortcut(id == ID_NEXT_PANE ? QKeySequence(Qt::Key_F6) : QKeySequence(Qt::SHIFT | Qt::Key_F6));
        connect(action, &QAction::triggered, this, [this, id] { OnCommand(id); });
        addAction(action);
        m_actions.insert(id, action);
    }
}

void CMainFrame::UpdateMenuTexts()
{
    auto text = [this](unsigned int n) { return m_pLanguage->GetLangItem(n); };
    m_pFileMenu->setTitle(text(1));
    m_actions.value(ID_CSV_IMPORT)->setText(text(2));
    m_actions.value(ID_CSV_EXPORT)->setText(text(3));
    m_actions.value(ID_DATABASE_BACKUP)->setText(text(208));
    m_actions.value(ID_DATABASE_RESTORE)->setText(text(219));
    m_actions.value(ID_DELETE_ALL_ENTRIES)->setText(text(220));
    m_actions.value(ID_APP_EXIT)->setText(text(4));
    m_pSettingsMenu->setTitle(text(5));
    m_pLanguageMenu->setTitle(text(6));
    m_actions.value(ID_COM_PORT)->setText(text(117));
    m_pViewMenu->setTitle(text(7));
    m_actions.value(ID_VIEW_STATUS_BAR)->setText(text(9));
    m_actions.value(ID_WINDOW_SPLIT)->setText(text(10));
    m_actions.value(ID_HELP_FILE)->setText(text(11));
    m_actions.value(ID_APP_ABOUT)->setText(text(12));
    const unsigned int active = m_pLanguage->GetAktivLanguage();
    m_actions.value(ID_LANGUAGE_GERMAN)->setChecked(active == 0);
    m_actions.value(ID_LANGUAGE_ENGLISH)->setChecked(active == 1);
}

void CMainFrame::OnCommand(int id)
{
    switch (id) {
    case ID_LANGUAGE_GERMAN:
        SwitchLanguage(0);
        break;
    case ID_LANGUAGE_ENGLISH:
        SwitchLanguage(1);
        break;
    case ID_ONLINE:
        m_pLeftTreeView->m_bIdentifyRequest = true;
        m_pLeftTreeView->Connect();
        break;
    case ID_OFFLINE:
        if (!RefusedWhileTransferRuns())
            m_pLeftTreeView->ClosePort();
        break;
    case ID_COM_PORT:
        m_pLeftTreeView->OnChoosePort();
        break;
    case ID_HELP_FILE:
        OnHelp();
        break;
    case ID_CSV_IMPORT:
        if (!RefusedWhileTransferRuns())
            OnCsvImport();
        break;
    case ID_CSV_EXPORT:
        OnCsvExport();
        break;
    case ID_DATABASE_BACKUP:
        OnDatabaseBackup();
        break;
    case ID_DATABASE_RESTORE:
        if (!RefusedWhileTransferRuns())
            OnDatabaseRestore();
        break;
    case ID_DELETE_ALL_ENTRIES:
        if (!RefusedWhileTransferRuns())
            OnDeleteAllEntries();
        break;
    case ID_APP_ABOUT:
        if (CQuandorApp* app = CQuandorApp::Instance())
            app->OnAppAbout();
        break;
    case ID_APP_EXIT:
        close();
        break;
    case ID_VIEW_STATUS_BAR:
        statusBar()->setVisible(m_actions.value(ID_VIEW_STATUS_BAR)->isChecked());
        break;
    case ID_WINDOW_SPLIT:
        m_pSplitter->StartKeyboardSplit();
        break;
    case ID_NEXT_PANE:
    case ID_PREV_PANE:
        FocusNextPane(id == ID_NEXT_PANE);
        break;
    default:
        break;
    }
    UpdatePanes();
}

void CMainFrame::SwitchLanguage(unsigned int language)
{
    CRegistryKey::StoreProgramLanguage(language);
    m_pLanguage->SetAktLanguage(language);
    m_pLanguage->GetAllItems();
    if (CQuandorApp* app = CQuandorApp::Instance())
        app->ApplyQtLanguage(m_pLanguage->GetAktivLanguage());
    UpdateMenuTexts();
    if (m_pLeftTreeView) {
        m_pLeftTreeView->RelabelFixedNodes();
        m_pLeftTreeView->RelabelSearchProgress();
        m_pLeftTreeView->RenameFullAccessSchema();
        setWindowTitle(QStringLiteral("  ") + m_pLanguage->GetLangItem(74));
    }
    // The label's idle text in the new language, unless a tag is on show.
    if (m_pLeftTreeView && !m_pLeftTreeView->LabelTimer()->isActive())
        GetInfoLabel()->setText(m_pLanguage->GetLangItem(201));
}

QString CMainFrame::HelpFileName() const
{
    return m_pLanguage->GetAktivLanguage() == 1 ? QStringLiteral("Vondral ManagerENG.chm")
                                                : QStringLiteral("Vondral ManagerDEU.chm");
}

void CMainFrame::OnHelp()
{
    const QString path = QDir::current().absoluteFilePath(HelpFileName());
    if (!QFileInfo::exists(path) || !openHelp(path))
    {
        QString text = m_pLanguage->GetLangItem(kHelpFailedText);
        if (text.contains(QLatin1String("%1")))
            text = text.arg(path);
        CUiMessage::Show(text, QMessageBox::Warning);
    }
}

void CMainFrame::FocusNextPane(bool /*forward*/)
{
    // Two panes: either direction moves to the other one.
    QWidget* right = GetRightPane();
    if (m_pLeftTreeView->hasFocus() && right)
        right->setFocus();
    else
        m_pLeftTreeView->setFocus();
}

CColorStatic* CMainFrame::GetInfoLabel() const
{
    return m_pToolBar ? m_pToolBar->InfoLabel() : nullptr;
}

QWidget* CMainFrame::GetRightPane() const
{
    return m_pSplitter ? m_pSplitter->RightPane() : nullptr;
}

void CMainFrame::ReplaceRightPane(QWidget* view)
{
    m_pSplitter->ReplaceRightPane(view);
}

QString CMainFrame::PaneText(int pane) const
{
    QLabel* label = pane == ID_INDICATOR_CONNECTION ? m_pConnectionPane : m_pReaderPane;
    return label ? label->text() : QString();
}

void CMainFrame::UpdatePanes()
{
    if (!m_pLeftTreeView)
        return;
    auto text = [this](unsigned int n) { return m_pLanguage->GetLangItem(n); };
    CLeftTreeView* tree = m_pLeftTreeView;

    // One reading for both panes: the port and the reader of one moment.
    CLinkStatus::Snapshot status = tree->LinkStatus();
    const bool online = tree->IsPortOpen() && status.connectedPort > 0;
    m_pConnectionPane->setText(text(109)
                               + (online ? QStringLiteral("COM%1").arg(status.connectedPort) : QStringLiteral("Offline")));
    m_actions.value(ID_ONLINE)->setChecked(online);
    m_actions.value(ID_OFFLINE)->setChecked(!online);

    const int type = status.readerType;
    QString reader = text(110);
    switch (type) {
    case 1:
    case 2:
    case 4:
        // Never makes a handler: a restore may be between deleting one and
        // making the next while a box of its own shows.
        if (CFerrold_Handler* db = CQuandorApp::Instance() ? CQuandorApp::Instance()->CurrentDBHandler() : nullptr) {
            CtblLeser* readers = db->Get_Ptr_To_tblLeser();
            for (int i = 0; i < readers->GetAnz_Leser(); ++i) {
                if (readers->Get_Leser(i)->Seriennummer == status.identification) {
                    status.readerName = readers->Get_Leser(i)->Bezeichnung;
                    tree->SetReaderName(status.readerName);
                    break;
                }
            }
        }
        reader += text(modelText(type)) + text(216) + status.readerName;
        break;
    case 0:
    case 3:
        reader += text(modelText(type)) + text(216) + QStringLiteral("---");
        break;
    default:
        reader += QStringLiteral("---");
        break;
    }
    m_pReaderPane->setText(reader);
}

bool CMainFrame::RefusedWhileTransferRuns()
{
    // A transfer writes the tables from its own thread; replacing or
    // emptying them under it would lose data or pull rows from under it.
    if (!CTransferRun::Active() && (!m_pLeftTreeView || !m_pLeftTreeView->Link().IsLinkTaken()))
        return false;
    CUiMessage::Show(m_pLanguage->GetLangItem(kTransferRunsText), QMessageBox::Information);
    return true;
}

void CMainFrame::OnCsvImport()
{
    CCsvImportCommand(m_context, m_pLanguage).OnCsvImport();
}

void CMainFrame::OnCsvExport()
{
    CCsvExportCommand(m_context, m_pLanguage).OnCsvExport();
}

int CMainFrame::ImportCsv(int choice)
{
    return CCsvImportCommand(m_context, m_pLanguage).ImportCsv(choice);
}

int CMainFrame::ExportCsv(int choice)
{
    return CCsvExportCommand(m_context, m_pLanguage).ExportCsv(choice);
}

void CMainFrame::OnDatabaseBackup()
{
    CDatabaseBackup(m_context, m_pLanguage).OnDatabaseBackup();
}

void CMainFrame::OnDatabaseRestore()
{
    CDatabaseBackup(m_context, m_pLanguage).OnDatabaseRestore();
}

void CMainFrame::OnDeleteAllEntries()
{
    CDeleteAllEntries(m_context, m_pLanguage).OnDeleteAllEntries();
}

void CMainFrame::RebuildTree()
{
    if (!m_pLeftTreeView)
        return;
    m_pLeftTreeView->RebuildChildren();
    for (CLeftTreeView::NodeKind kind : {CLeftTreeView::RootNode, CLeftTreeView::EventsNode,
                                         CLeftTreeView::TranspondersNode, CLeftTreeView::PersonsNode,
                                         CLeftTreeView::TimeSchemasNode}) {
        if (QTreeWidgetItem* node = m_pLeftTreeView->Node(kind))
            node->setExpanded(true);
    }
    // Painted at the next turn of the event loop, when the right-hand view
    // shows the new rows already.
    update();
}

void CMainFrame::mouseMoveEvent(QMouseEvent* event)
{
    if (m_nBusy == 1) {
        if (CQuandorApp* app = CQuandorApp::Instance())
            app->RestoreWaitCursor();
    }
    QMainWindow::mouseMoveEvent(event);
}
