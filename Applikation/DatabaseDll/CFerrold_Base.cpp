#include "CFerrold_Base.h"

#include "CDatabase.h"
#include "CFerrold_Reporter.h"

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
    const QString key = Fields().Bindings().front().column;
    const QString sql = QStringLiteral("SELECT DISTINCT * FROM %1 ORDER BY %2").arg(TableName(), key);
    int rows = 0;
    const bool ok = ReadRows(sql, [&](const QVariant* values) {
        onRow(values);
        ++rows;
    });
    m_lastReadFailed = !ok;
    if (!ok) {
        // A data source found unusable at start was reported once already.
        if (!m_pDatabase || m_pDatabase->IsUsable())
            CFerrold_Reporter::Report(GetLastError(), CFerrold_Reporter::Icon::None);
        return 0;
    }
    return rows > 0 ? 1 : 0;
}
