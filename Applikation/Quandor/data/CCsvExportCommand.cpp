#include "CCsvExportCommand.h"

#include "CAppContext.h"
#include "CBusyScope.h"
#include "CCsvExporter.h"
#include "CCsvFormat.h"
#include "CExportDataDlg.h"
#include "CFerrold_Handler.h"
#include "CFileChooser.h"
#include "CFileNameRule.h"
#include "CLanguageHandler.h"
#include "CRegistryKey.h"
#include "CSafeFile.h"

#include <QFileInfo>

namespace {

constexpr unsigned int kExportFailedText = 89;
// Asks before a file is replaced whose name the extension rule made.
constexpr unsigned int kReplaceText = 249;

} // namespace

CCsvExportCommand::CCsvExportCommand(CAppContext& context, CLanguageHandler* language)
    : CCsvCommand(context, language)
{
}

bool CCsvExportCommand::CanExportView() const
{
    return CCsvExporter::ViewGrid(m_context.RightPane()) != nullptr;
}

void CCsvExportCommand::OnCsvExport()
{
    CExportDataDlg dialog(m_pLanguage, CanExportView() ? 1 : 0, m_context.MainWindow());
    if (dialog.exec() != QDialog::Accepted)
        return;
    if (ExportCsv(dialog.GetChoice()) == 0)
        CBusyScope::Show(m_error.isEmpty() ? Text(kExportFailedText)
                                           : Text(kExportFailedText) + QStringLiteral("\n\n") + m_error,
                         QMessageBox::Critical);
}

QString CCsvExportCommand::ProposedName(int choice, bool german, const QString& stamp)
{
    switch (choice) {
    case CCsvExporter::CurrentView:
        return (german ? QStringLiteral("Aktuelle_Ansicht_") : QStringLiteral("Current_view_")) + stamp;
    case CCsvExporter::Transponders:
        return QStringLiteral("Transponder_") + stamp;
    case CCsvExporter::Persons:
        return (german ? QStringLiteral("Personen_") : QStringLiteral("Persons_")) + stamp;
    default:
        return (german ? QStringLiteral("Ereignisse_") : QStringLiteral("Events_")) + stamp;
    }
}

int CCsvExportCommand::ExportCsv(int choice)
{
    const bool german = CRegistryKey::ProgramLanguage() == 0;
    CFileChooser::Request request = CsvRequest(
        true, german ? QStringLiteral("Ereignisse speichern unter ...") : QStringLiteral("Save Events as ..."),
        QStringLiteral("SavePath"));
    request.proposedName = ProposedName(choice, german, CFileNameRule::StampNow());
    request.defaultSuffix = QStringLiteral("csv");
    const QString chosen = CFileChooser::Choose(m_context.MainWindow(), request);
    if (chosen.isEmpty())
        return 1;

    const QString path = CFileNameRule::ApplyExtension(chosen, QStringLiteral(".csv"));
    // The dialog asked about the name it showed, not about this one.
    if (path != chosen && QFileInfo::exists(path)
        && !CBusyScope::ConfirmDestructive(m_pLanguage ? m_pLanguage->GetLangItem(kReplaceText).arg(path) : path))
        return 1;
    RememberPath(QStringLiteral("SavePath"), path);

    // The source first: a file the export cannot fill is not touched.
    QWidget* view = nullptr;
    CFerrold_Handler* db = nullptr;
    if (choice == CCsvExporter::CurrentView) {
        view = m_context.RightPane();
        if (!CCsvExporter::ViewGrid(view))
            return 0;
    } else {
        db = m_context.Database();
        if (!db || !db->IsUsable())
            return 0;
    }

    CBusyScope busy(&m_context);
    m_error.clear();
    // The lines first: the code page is known only once every name is seen.
    QStringList lines;
    bool fits = true;
    const CCsvExporter exporter(m_pLanguage);
    const CCsvExporter::LineSink sink = [&lines, &fits](const QString& line) {
        fits = fits && CCsvFormat::FitsCodePage(line);
        lines << line;
        return true;
    };
    bool written = false;
    switch (choice) {
    case CCsvExporter::CurrentView:
        written = CCsvExporter::ExportView(view, sink);
        break;
    case CCsvExporter::Transponders:
        written = exporter.ExportTransponders(*db, sink);
        break;
    case CCsvExporter::Persons:
        written = exporter.ExportPersons(*db, sink);
        break;
    case CCsvExporter::Events:
        written = exporter.ExportEvents(*db, sink);
        break;
    default:
        return 0;
    }
    if (!written)
        return 0;
    // Code page 1252 as peers read it, unless a name needs more: then UTF-8
    // with its mark, which the import reads.
    CSafeFile file(path);
    bool ok = file.Open() && (fits || file.Write(CCsvFormat::kUtf8Mark));
    for (qsizetype i = 0; ok && i < lines.size(); ++i)
        ok = file.Write(CCsvFormat::EncodeLine(lines[i], !fits));
    if (ok && file.Commit())
        return 1;
    m_error = file.ErrorString();
    return 0;
}
