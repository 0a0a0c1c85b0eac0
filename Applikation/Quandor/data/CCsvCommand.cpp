#include "CCsvCommand.h"

#include "CAppContext.h"
#include "CFileNameRule.h"
#include "CLanguageHandler.h"
#include "CRegistryKey.h"

CCsvCommand::CCsvCommand(CAppContext& context, CLanguageHandler* language)
    : m_context(context)
    , m_pLanguage(language)
{
}

QString CCsvCommand::Text(unsigned int number) const
{
    return m_pLanguage ? m_pLanguage->GetLangItem(number) : QString();
}

CFileChooser::Request CCsvCommand::CsvRequest(bool save, const QString& title, const QString& pathValue)
{
    CFileChooser::Request request;
    request.save = save;
    request.title = title;
    request.folder = CFileNameRule::StartFolder(
        CRegistryKey().ReadString(CRegistryKey::CurrentUser, QLatin1String(kProgramKey), pathValue));
    request.filter = QStringLiteral("CSV Dateien (*.csv)");
    return request;
}

void CCsvCommand::RememberPath(const QString& pathValue, const QString& path)
{
    CRegistryKey().WriteString(CRegistryKey::CurrentUser, QLatin1String(kProgramKey), pathValue, path);
    m_context.SetCsvPath(path);
}
