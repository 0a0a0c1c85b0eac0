#include "CRecordViewRefresh.h"

#include "CEventsDlg.h"
#include "CLeftTreeView.h"
#include "CLeserDlg.h"
#include "CMainFrame.h"
#include "CNameDlg.h"
#include "CTransponderDlg.h"
#include "CZeitschemaDlg.h"

namespace {

void selectNode(CMainFrame* frame, CLeftTreeView::NodeKind kind)
{
    CLeftTreeView* tree = frame->GetLeftTreeView();
    if (QTreeWidgetItem* node = tree ? tree->Node(kind) : nullptr)
        tree->setCurrentItem(node);
}

} // namespace

void CRecordViewRefresh::ShowAll(CMainFrame* frame)
{
    QWidget* pane = frame ? frame->GetRightPane() : nullptr;
    if (auto* events = qobject_cast<CEventsDlg*>(pane))
        events->ShowEvents(0);
    else if (auto* persons = qobject_cast<CNameDlg*>(pane))
        persons->Reload(0);
    else if (auto* readers = qobject_cast<CLeserDlg*>(pane))
        readers->Reload(0);
    else if (auto* transponders = qobject_cast<CTransponderDlg*>(pane))
        transponders->ShowForReader(0);
    else if (auto* schemas = qobject_cast<CZeitschemaDlg*>(pane))
        schemas->ShowSchemas(0);
}

void CRecordViewRefresh::ShowAllAfterImport(CMainFrame* frame)
{
    QWidget* pane = frame ? frame->GetRightPane() : nullptr;
    if (auto* readers = qobject_cast<CLeserDlg*>(pane)) {
        readers->Reload(0);
    } else if (auto* transponders = qobject_cast<CTransponderDlg*>(pane)) {
        selectNode(frame, CLeftTreeView::TranspondersNode);
        transponders->ShowForReader(0);
    } else if (auto* persons = qobject_cast<CNameDlg*>(pane)) {
        selectNode(frame, CLeftTreeView::PersonsNode);
        persons->Reload(0);
    } else if (auto* events = qobject_cast<CEventsDlg*>(pane)) {
        selectNode(frame, CLeftTreeView::EventsNode);
        events->ShowEvents(0);
    }
}
