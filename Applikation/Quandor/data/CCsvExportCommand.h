#pragma once

#include "CCsvCommand.h"

#include <QString>

// The main frame's CSV export: what to export is asked in CExportDataDlg,
// the file in a save dialog; the records go through CCsvExporter into the
// file, which replaces an existing one only once it is written whole.
class CCsvExportCommand : private CCsvCommand
{
public:
    CCsvExportCommand(CAppContext& context, CLanguageHandler* language);

    // The menu command: the choice, then the export; text 89 when it fails.
    void OnCsvExport();
    // 1 when the export ran or the user cancelled, 0 when it failed.
    int ExportCsv(int choice);
    // Why the last export could not write its file; empty when it did.
    const QString& ErrorString() const { return m_error; }

    // Whether the right-hand view can be exported as it shows.
    bool CanExportView() const;
    // The name a save dialog proposes, e.g. "Transponder_24121999_235959".
    static QString ProposedName(int choice, bool german, const QString& stamp);

private:
    QString m_error;
};
