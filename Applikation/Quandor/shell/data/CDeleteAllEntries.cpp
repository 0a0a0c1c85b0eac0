#include "data/CDeleteAllEntries.h"

#include "CBusyScope.h"
#include "CDBException.h"
#include "CDatabase.h"
#include "CFerrold_Handler.h"
#include "CLanguageHandler.h"
#include "CMainFrame.h"
#include "CQuandorApp.h"
#include "CRecordViewRefresh.h"
#include "CtblEvents.h"
#include "CtblLeser.h"
#include "CtblPerson.h"
#include "CtblTransponder.h"
#include "CtblZeitschema.h"

#include <QSqlError>

namespace {

constexpr unsigned int kConfirmText = 223;

bool isFullAccess(const QString& name)
{
    return name == QLatin1String("Vollzugriff") || name == QLatin1String("Full access");
}

} // namespace

CDeleteAllEntries::CDeleteAllEntries(CMainFrame* frame, CLanguageHandler* language)
    : m_pFrame(frame)
    , m_pLanguage(language)
{
}

void CDeleteAllEntries::OnDeleteAllEntries()
{
    auto text = [this](unsigned int n) { return m_pLanguage ? m_pLanguage->GetLangItem(n) : QString(); };
    if (!CBusyScope::ConfirmDestructive(text(kConfirmText)))
        return;

    CBusyScope busy(m_pFrame);
    CQuandorApp* app = CQuandorApp::Instance();
    CFerrold_Handler* db = app ? app->GetDBHandler() : nullptr;
    if (!db)
        return;
    CtblZeitschema* schemas = db->Get_Ptr_To_tblZeitschema();
    CFerrold_Base* const tables[] = {db->Get_Ptr_To_tblLeser(), db->Get_Ptr_To_tblEvents(),
                                     db->Get_Ptr_To_tblPerson(), db->Get_Ptr_To_tblTransponder(), schemas};
    CDatabase* database = db->GetDatabase();
    for (CFerrold_Base* table : tables) {
        if (!table->Open() || !database->BeginTrans()) {
            table->CloseRecordset();
            CBusyScope::Show(text(83) + QLatin1Char('\n') + text(84), QMessageBox::Critical);
            break;
        }
        try {
            for (table->MoveFirst(); !table->IsEOF(); table->MoveNext()) {
                if (table == schemas && isFullAccess(schemas->strBezeichnung))
                    continue;
                table->Delete();
            }
            if (!database->CommitTrans())
                throw CDBException(database->Connection().lastError().text());
        } catch (const CDBException& e) {
            database->Rollback();
            CBusyScope::Show(e.m_strError, QMessageBox::Warning);
        }
        table->CloseRecordset();
    }

    // Whatever was emptied, the caches, the tree and the view show it.
    for (CFerrold_Base* table : tables)
        table->_Requery();
    CRecordViewRefresh::ShowAll(m_pFrame);
    if (m_pFrame)
        m_pFrame->RebuildTree();
}
