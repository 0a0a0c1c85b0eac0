#pragma once

#include "CRecordset.h"

class CLanguageHandler;

// The record-set base of the six tables: it keeps the lent language handler
// and reads a whole table for the row caches.
class CFerrold_Base : public CRecordset
{
public:
    CFerrold_Base(CLanguageHandler* pLanguage, CDatabase* pDatabase);
    ~CFerrold_Base() override;

    void CloseRecordset();

    // Empties the row cache and reads the whole table again. 1 when rows were
    // read; 0 when the table is empty or the read failed (reported).
    virtual int _Requery() = 0;

    // Whether the last re-read of the cache failed (an empty table is no failure).
    bool LastReadFailed() const { return m_lastReadFailed; }

    CLanguageHandler* m_pLanguage;

protected:
    QString GetDefaultConnect() override;
    QString GetDefaultSQL() override;
    void DoFieldExchange(CFieldExchange* pFX) override;

    // Reads every row of the table in key order and hands it to onRow (values
    // in binding order). Leaves the set itself, open or closed, untouched.
    // Returns 1 when rows were read, 0 when the table is empty or the read
    // failed; a failure is reported with the driver's text.
    int ReadTable(const std::function<void(const QVariant* values)>& onRow);

    static qint32 Long(const QVariant& v) { return CFieldExchange::ToLong(v); }
    static QString Text(const QVariant& v) { return CFieldExchange::ToText(v); }
    static int Bool(const QVariant& v) { return CFieldExchange::ToBool(v); }

private:
    bool m_lastReadFailed = false;
};
