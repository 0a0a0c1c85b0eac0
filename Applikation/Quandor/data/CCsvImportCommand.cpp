#include "CCsvImportCommand.h"

#include "CAppContext.h"
#include "CBusyScope.h"
#include "CUiPump.h"
#include "CCsvImporter.h"
#include "CCsvLineReader.h"
#include "CDataProgressDlg.h"
#include "CFerrold_Handler.h"
#include "CFileChooser.h"
#include "CFileNameRule.h"
#include "CImportDataDlg.h"
#include "CImportErrorDlg.h"
#include "CLanguageHandler.h"
#include "CRegistryKey.h"
#include "CtblOnline.h"

#include <QApplication>
#include <QPointer>
#include <QProgressBar>
#include <QScreen>

namespace {

constexpr unsigned int kImportFailedText = 92;
constexpr unsigned int kNoOnlineRowText = 93;

// The progress window of one import, gone however the import ends.
class ProgressWindow
{
public:
    ProgressWindow(CLanguageHandler* language, const QString& text)
        : m_dialog(new CDataProgressDlg(language))
    {
        m_dialog->GetProgressCtrl()->hide();
        m_dialog->SetText(text);
        if (QScreen* screen = QApplication::primaryScreen())
            m_dialog->move(screen->availableGeometry().center() - m_dialog->rect().center());
        m_dialog->show();
    }
    ~ProgressWindow()
    {
        if (m_dialog)
            m_dialog->DestroyWindow();
    }
    ProgressWindow(const ProgressWindow&) = delete;
    ProgressWindow& operator=(const ProgressWindow&) = delete;

    void Hide()
    {
        if (m_dialog)
            m_dialog->hide();
    }

private:
    QPointer<CDataProgressDlg> m_dialog;
};

} // namespace

CCsvImportCommand::CCsvImportCommand(CAppContext& context, CLanguageHandler* language)
    : CCsvCommand(context, language)
{
}

void CCsvImportCommand::OnCsvImport()
{
    CImportDataDlg dialog(m_pLanguage, m_context.MainWindow());
    if (dialog.exec() != QDialog::Accepted)
        return;
    if (ImportCsv(dialog.GetChoice()) == 0)
        CBusyScope::Show(Text(kImportFailedText), QMessageBox::Critical);
}

int CCsvImportCommand::ImportCsv(int choice)
{
    const CCsvImporter::Kind kind = choice == 2 ? CCsvImporter::Persons : CCsvImporter::Transponders;
    const bool german = CRegistryKey::ProgramLanguage() == 0;
    const CFileChooser::Request request = CsvRequest(
        false, german ? QStringLiteral("CSV Daten importieren ...") : QStringLiteral("Import csv - data ..."),
        QStringLiteral("ImportPath"));
    const QString path = CFileChooser::Choose(m_context.MainWindow(), request);
    if (path.isEmpty())
        return 1;
    RememberPath(QStringLiteral("ImportPath"), path);

    CFerrold_Handler* db = m_context.Database();
    if (!db)
        return 0;
    // Without a row in the online table the database is not ready for data.
    if (db->Get_Ptr_To_tblOnline()->_Requery() == 0) {
        CBusyScope::Show(Text(kNoOnlineRowText), QMessageBox::Critical);
        return 1;
    }
    CCsvLineReader reader(path);
    if (!reader.Open())
        return 0;

    // The import stays on this thread, but the windows go on painting while
    // it runs; the operator's input waits for its end, as under a modal
    // window, so nothing can change the views or the database half-way.
    CUiPump pump;
    ProgressWindow progress(m_pLanguage, QStringLiteral("\n") + Text(234) + QStringLiteral("\n") + Text(104));
    CBusyScope busy(&m_context);
    pump.PumpNow();

    QStringList accepted;
    int lineNumber = 0;
    QString line;
    bool tooLong = false;
    while (reader.ReadLine(&line, &tooLong)) {
        pump.Pump();
        ++lineNumber;
        QString rest;
        if (!tooLong && CCsvImporter::AcceptLine(kind, line, &rest)) {
            accepted << rest;
            continue;
        }
        const QString question = (m_pLanguage ? m_pLanguage->GetLangItem(94, lineNumber) : QString())
                                 + QLatin1Char('\n') + Text(95);
        if (CBusyScope::Show(question, QMessageBox::Question, QMessageBox::Yes | QMessageBox::No)
            != QMessageBox::Yes)
            break;
    }
    // A file that breaks off while being read is not imported in part.
    if (reader.Failed())
        return 0;
    if (!db->IsUsable()) {
        progress.Hide();
        return 0;
    }

    CCsvImporter importer(*db, m_pLanguage, kind);
    importer.SetProgress([&pump] { pump.Pump(); });
    const int result = importer.Write(accepted);
    m_context.ShowAllRecordsAfterImport();
    if (!importer.Failed() && !importer.Errors().isEmpty()) {
        progress.Hide();
        CBusyScope::NormalCursor cursor;
        CImportErrorDlg errors(m_pLanguage, &importer.Errors(), m_context.MainWindow());
        errors.exec();
    }
    return result;
}
