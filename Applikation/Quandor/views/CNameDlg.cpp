#include "CNameDlg.h"

CNameDlg::CNameDlg(QWidget* parent)
    : CGridBaseDlg(parent)
{
    setObjectName(QStringLiteral("CNameDlg"));
    SetHeading(16, QString());
}

void CNameDlg::Reload(quint32 readerId)
{
    m_nReaderId = readerId;
    SetHeading(16, ReaderName(readerId));
}
