#include "CImportDataDlg.h"

CImportDataDlg::CImportDataDlg(CLanguageHandler* pLanguage, QWidget* parent)
    : CDataChoiceDlg(pLanguage, QStringLiteral("CImportDataDlg"), 91, 90, {{1, 1029, 15}, {2, 1030, 16}}, 360, parent)
{
    Choose(1);
}
