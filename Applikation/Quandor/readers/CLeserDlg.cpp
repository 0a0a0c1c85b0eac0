#include "CLeserDlg.h"

#include "CFerrold_Handler.h"
#include "CLeftTreeView.h"
#include "CWindowMessage.h"
#include "CtblLeser.h"

CLeserDlg::CLeserDlg(QWidget* parent)
    : CGridBaseDlg(parent)
{
    setObjectName(QStringLiteral("CLeserDlg"));
    SetHeading(14, QString());
}

int CLeserDlg::Reload(int)
{
    CLeftTreeView* tree = GetTreeView();
    if (tree)
        tree->m_bIdentifyRequest = false;
    CFerrold_Handler* db = GetDBHandler();
    if (!db)
        return 1;
    CtblLeser* readers = db->Get_Ptr_To_tblLeser();
    readers->_Requery();
    SetHeading(14, QString());
    if (tree) {
        tree->SetReaderName(QStringLiteral("---"));
        const int type = tree->ReaderType();
        if (type != 0 && type != 3) {
            for (int i = 0; i < readers->GetAnz_Leser(); ++i) {
                if (readers->Get_Leser(i)->Seriennummer == tree->Identification()) {
                    tree->SetReaderName(readers->Get_Leser(i)->Bezeichnung);
                    break;
                }
            }
        }
    }
    return 1;
}

int CLeserDlg::OnReaderDetected()
{
    CLeftTreeView* tree = GetTreeView();
    const bool asked = m_bIdentifyRequest || (tree && tree->m_bIdentifyRequest);
    m_bIdentifyRequest = false;
    if (tree)
        tree->m_bIdentifyRequest = false;
    if (asked)
        ++m_nIdentifyCount;
    return 0;
}

bool CLeserDlg::event(QEvent* event)
{
    if (static_cast<int>(event->type()) == CWindowMessage::WM_IDENTIFY_READER) {
        OnReaderDetected();
        return true;
    }
    return CGridBaseDlg::event(event);
}
