#pragma once

#include "CCsvCommand.h"

#include <QString>

// The main frame's CSV import: transponders or persons are chosen in
// CImportDataDlg, the file in an open dialog. The reading pass asks about
// every line it cannot use; CCsvImporter writes the rest; rejected records
// are listed in CImportErrorDlg. The caches and the right-hand view are
// brought up to date however the import ends.
class CCsvImportCommand : private CCsvCommand
{
public:
    CCsvImportCommand(CAppContext& context, CLanguageHandler* language);

    // The menu command: the choice, then the import; text 92 when it fails.
    void OnCsvImport();
    // 1 transponders, 2 persons. 0 when the import failed, else 1.
    int ImportCsv(int choice);
};
