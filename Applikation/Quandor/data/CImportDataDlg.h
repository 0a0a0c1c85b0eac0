#pragma once

#include "CDataChoiceDlg.h"

// Asks what a CSV import reads: transponders (choice 1) or persons (2).
class CImportDataDlg : public CDataChoiceDlg
{
    Q_OBJECT

public:
    explicit CImportDataDlg(CLanguageHandler* pLanguage, QWidget* parent = nullptr);
};
