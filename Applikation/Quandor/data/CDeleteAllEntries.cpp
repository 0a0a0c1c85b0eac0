#include "CDeleteAllEntries.h"

#include "CAppContext.h"
#include "CBulkWriter.h"
#include "CBusyScope.h"
#include "CDBException.h"
#include "CDatabase.h"
#include "CFerrold_Handler.h"
#include "CLanguageHandler.h"
#include "CtblEvents.h"
#include "CtblLeser.h"
#include "CtblPerson.h"
#include "CtblTransponder.h"
#include "CtblZeitschema.h"


namespace {

constexpr unsigned int kConfirmText = 223;

} // namespace

CDeleteAllEntries::CDeleteAllEntries(CAppContext& context, CLanguageHandler* language)
    : m_context(context)
    , m_pLanguage(language)
{
}

void CDeleteAllEntries::OnDeleteAllEntries()
{
    auto text = [this](unsigned int n) { return m_pLanguage ? m_pLanguage->GetLangItem(n) : QString(); };
    if (!CBusyScope::ConfirmDestructive(text(kConfirmText)))
        return;

    CBusyScope busy(&m_context);
    CFerrold_Handler* db = m_context.Database();
    if (!db)
        return;
    CtblZeitschema* schemas = db->Get_Ptr_To_tblZeitschema();
    CFerrold_Base* const tables[] = {db->Get_Ptr_To_tblLeser(), db->Get_Ptr_To_tblEvents(),
                                     db->Get_Ptr_To_tblPerson(), db->Get_Ptr_To_tblTransponder(), schemas};
    CDatabase* database = db->GetDatabase();
    // The built-in schema stays, under either of its names.
    const QList<QVariant> builtIn{QStringLiteral("Vollzugriff"), QStringLiteral("Full access")};
    for (CFerrold_Base* table : tables) {
        // One statement a table: a server deleting row by row takes seconds
        // for what the embedded file does at once.
        QString error;
        int count = 0;
        qint32 largest = 0;
        if (!table->ReadKeyRange(&count, &largest) || !database->BeginTrans(&error)) {
            CBusyScope::Show(text(83) + QLatin1Char('\n') + text(84), QMessageBox::Critical);
            break;
        }
        try {
            if (table == schemas)
                CBulkWriter(*table).DeleteAllRows(QStringLiteral("strBezeichnung"), builtIn);
            else
                CBulkWriter(*table).DeleteAllRows();
            if (!database->CommitTrans(&error))
                throw CDBException(error);
        } catch (const CDBException& e) {
            database->Rollback();
            CBusyScope::Show(e.m_strError, QMessageBox::Warning);
        }
    }

    // Whatever was emptied, the caches, the tree and the view show it.
    for (CFerrold_Base* table : tables)
        table->_Requery();
    m_context.ShowAllRecords();
    m_context.RebuildTree();
}
