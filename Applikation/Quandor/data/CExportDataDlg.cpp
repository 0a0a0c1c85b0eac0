#include "CExportDataDlg.h"

#include <QRadioButton>

CExportDataDlg::CExportDataDlg(CLanguageHandler* pLanguage, int canExportView, QWidget* parent)
    : CDataChoiceDlg(pLanguage, QStringLiteral("CExportDataDlg"), 86, 88,
                     {{0, 1028, 87}, {1, 1029, 15}, {2, 1030, 16}, {3, 1031, 17}}, 330, parent)
{
    if (canExportView) {
        Choose(0);
    } else {
        Choose(1);
        Radio(0)->setEnabled(false);
    }
}
