#include "CShellContext.h"

#include "CLeftTreeView.h"
#include "CMainFrame.h"
#include "CQuandorApp.h"
#include "CRecordViewRefresh.h"

CShellContext::CShellContext(CQuandorApp& app)
    : m_app(app)
{
}

CMainFrame* CShellContext::Frame() const
{
    return m_app.GetMainFrame();
}

CLeftTreeView* CShellContext::Tree() const
{
    CMainFrame* frame = Frame();
    return frame ? frame->GetLeftTreeView() : nullptr;
}

CFerrold_Handler* CShellContext::Database()
{
    return m_app.GetDBHandler();
}

void CShellContext::CloseDatabase()
{
    m_app.DeleteDatabaseHandler();
}

CLanguageHandler* CShellContext::Language() const
{
    return m_app.GetLanguage();
}

CDialogSetup* CShellContext::LayoutStore() const
{
    return m_app.GetDialogSetup();
}

CReaderLink* CShellContext::Link()
{
    CLeftTreeView* tree = Tree();
    return tree ? &tree->Link() : nullptr;
}

QString CShellContext::SendAndWait(char letter, const QString& data, int mode)
{
    CLeftTreeView* tree = Tree();
    return tree ? tree->SendAndWait(letter, data, mode) : QString();
}

QString CShellContext::SendCommand(const CLinkLease& lease, char letter, const QString& data, quint8 mode)
{
    CLeftTreeView* tree = Tree();
    return tree ? tree->SendCommand(lease, letter, data, mode) : QString();
}

int CShellContext::Connect()
{
    CLeftTreeView* tree = Tree();
    return tree ? tree->Connect() : 0;
}

void CShellContext::ClosePort()
{
    if (CLeftTreeView* tree = Tree())
        tree->ClosePort();
}

bool CShellContext::IdentifyRequested() const
{
    CLeftTreeView* tree = Tree();
    return tree && tree->m_bIdentifyRequest;
}

void CShellContext::SetIdentifyRequest(bool requested)
{
    if (CLeftTreeView* tree = Tree())
        tree->m_bIdentifyRequest = requested;
}

QWidget* CShellContext::MainWindow() const
{
    return Frame();
}

QWidget* CShellContext::RightPane() const
{
    CMainFrame* frame = Frame();
    return frame ? frame->GetRightPane() : nullptr;
}

void CShellContext::BeginBusy()
{
    if (CMainFrame* frame = Frame())
        frame->m_nBusy = 1;
    m_app.BeginWaitCursor();
}

void CShellContext::EndBusy()
{
    if (CMainFrame* frame = Frame())
        frame->m_nBusy = 0;
    m_app.EndWaitCursor();
}

void CShellContext::BeginWaitCursor()
{
    m_app.BeginWaitCursor();
}

void CShellContext::EndWaitCursor()
{
    m_app.EndWaitCursor();
}

void CShellContext::ShowAllRecords()
{
    CRecordViewRefresh::ShowAll(Frame());
}

void CShellContext::ShowAllRecordsAfterImport()
{
    CRecordViewRefresh::ShowAllAfterImport(Frame());
}

bool CShellContext::RefusedWhileTransferRuns()
{
    CMainFrame* frame = Frame();
    return frame && frame->RefusedWhileTransferRuns();
}

void CShellContext::SetCsvPath(const QString& path)
{
    if (CMainFrame* frame = Frame())
        frame->m_strCsvPath = path;
}

void CShellContext::RebuildTree()
{
    if (CMainFrame* frame = Frame())
        frame->RebuildTree();
}

void CShellContext::RebuildTreeChildren()
{
    if (CLeftTreeView* tree = Tree())
        tree->RebuildChildren();
}

void CShellContext::InsertReaderChildren(const QString& name)
{
    if (CLeftTreeView* tree = Tree())
        tree->InsertReaderChildren(name);
}

void CShellContext::RenameReaderChildren(const QString& oldName, const QString& newName)
{
    if (CLeftTreeView* tree = Tree())
        tree->RenameReaderChildren(oldName, newName);
}

void CShellContext::RemoveReaderChildren(const QString& name)
{
    if (CLeftTreeView* tree = Tree())
        tree->RemoveReaderChildren(name);
}

void CShellContext::RemoveAllReaderChildren()
{
    if (CLeftTreeView* tree = Tree())
        tree->RemoveAllReaderChildren();
}

void CShellContext::AddSchemaChild(qint32 identity, const QString& name)
{
    if (CLeftTreeView* tree = Tree())
        tree->AddSchemaChild(identity, name);
}

void CShellContext::RenameSchemaChild(qint32 identity, const QString& name)
{
    if (CLeftTreeView* tree = Tree())
        tree->RenameSchemaChild(identity, name);
}

void CShellContext::RemoveSchemaChild(qint32 identity)
{
    if (CLeftTreeView* tree = Tree())
        tree->RemoveSchemaChild(identity);
}
