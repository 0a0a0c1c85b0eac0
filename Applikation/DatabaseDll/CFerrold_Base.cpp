#include "CFerrold_Base.h"

#include "CDatabase.h"
#include "CFerrold_Reporter.h"

#include <QSqlDatabase>

CFerrold_Base::CFerrold_Base(CLanguageHandler* pLanguage, CDatabase* pDatabase)
    : CRecordset(pDatabase)
    , m_pLanguage(pLanguage)
{
}

CFerrold_Base::~CFerrold_Base() = default;

void CFerrold_Base::CloseRecordset()
{
    if (IsOpen())
        Close();
}

QString CFerrold_Base::GetDefaultConnect()
{
    return QStringLiteral("ODBC;DSN=Quandor");
}

QString CFerrold_Base::GetDefaultSQL()
{
    return QString();
}

void CFerrold_Base::DoFieldExchange(CFieldExchange*)
{
}

int CFerrold_Base::ReadTable(const std::function<void(const QVariant*)>& onRow)
{
    int rows = 0;
    QString error;
    QSqlDatabase db = m_pDatabase ? m_pDatabase->Connection(&error) : QSqlDatabase();
    bool ok = false;
    if (db.isOpen()) {
        const QString sql = QStringLiteral("SELECT DISTINCT * FROM %1 ORDER BY %2")
                                .arg(QuotedTable(db), QuotedColumn(db, Fields().Bindings().front().column));
        ok = ReadRows(sql, [&](const QVariant* values) {
            onRow(values);
            ++rows;
        });
    }
    m_lastReadFailed = !ok;
    if (!ok) {
        // A data source found unusable at start was reported once already.
        if (!m_pDatabase || m_pDatabase->IsUsable())
            CFerrold_Reporter::Report(db.isOpen() || !m_pDatabase ? GetLastError() : error,
                                      CFerrold_Reporter::Icon::None);
        return 0;
    }
    return rows > 0 ? 1 : 0;
}
