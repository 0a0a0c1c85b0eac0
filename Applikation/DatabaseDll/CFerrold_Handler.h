#pragma once

#include "CDatabase.h"

#include <QString>

#include <memory>

class CFerrold_Base;
class CLanguageHandler;
class CtblEvents;
class CtblLeser;
class CtblPerson;
class CtblTransponder;
class CtblZeitschema;
class CtblOnline;

// The program's one way to its database: it opens the data source, creates
// and fills the six tables, hands them out and re-reads them on request.
class CFerrold_Handler
{
public:
    // The default data source (the ODBC data source "Quandor" or the
    // embedded file).
    explicit CFerrold_Handler(CLanguageHandler* pLanguage);
    CFerrold_Handler(CLanguageHandler* pLanguage, const CDatabase::Source& source);
    virtual ~CFerrold_Handler();

    CFerrold_Handler(const CFerrold_Handler&) = delete;
    CFerrold_Handler& operator=(const CFerrold_Handler&) = delete;

    CtblEvents* Get_Ptr_To_tblEvents() const { return m_pEvents; }
    CtblLeser* Get_Ptr_To_tblLeser() const { return m_pLeser; }
    CtblPerson* Get_Ptr_To_tblPerson() const { return m_pPerson; }
    CtblTransponder* Get_Ptr_To_tblTransponder() const { return m_pTransponder; }
    CtblZeitschema* Get_Ptr_To_tblZeitschema() const { return m_pZeitschema; }
    CtblOnline* Get_Ptr_To_tblOnline() const { return m_pOnline; }

    // Re-reads all six tables; 0 when any read failed (each failure is
    // reported). An empty table is no failure.
    int _RequeryAll();
    // Re-reads one table: 0 events, 1 readers, 2 persons, 3 transponders,
    // 4 time schemas, 5 online. 0 when it failed or the number is unknown.
    int Selective_Requery(int table);
    // The database file's path, with ".mdb" appended unless it ends so;
    // empty when the data source has no file.
    QString GetAktDBPath();

    // The data source, for transactions that span several tables.
    CDatabase* GetDatabase() const { return m_pDatabase.get(); }
    // Whether the data source could be opened and holds the tables.
    bool IsUsable() const { return m_pDatabase->IsUsable(); }

private:
    // 0 events, 1 readers, 2 persons, 3 transponders, 4 time schemas, 5 online.
    CFerrold_Base* Table(int table) const;

    CLanguageHandler* m_pLanguage;
    std::unique_ptr<CDatabase> m_pDatabase;
    CtblEvents* m_pEvents = nullptr;
    CtblLeser* m_pLeser = nullptr;
    CtblPerson* m_pPerson = nullptr;
    CtblTransponder* m_pTransponder = nullptr;
    CtblZeitschema* m_pZeitschema = nullptr;
    CtblOnline* m_pOnline = nullptr;
    QString m_strDBPath;
};
