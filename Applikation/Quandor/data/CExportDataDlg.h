#pragma once

#include "CDataChoiceDlg.h"

// Asks what a CSV export writes: the current view (only when it can be
// exported), all transponders, all persons or all events.
class CExportDataDlg : public CDataChoiceDlg
{
    Q_OBJECT

public:
    // "canExportView": 1 when the right-hand view can be exported.
    // Choices: 0 current view, 1 transponders, 2 persons, 3 events.
    CExportDataDlg(CLanguageHandler* pLanguage, int canExportView, QWidget* parent = nullptr);
};
