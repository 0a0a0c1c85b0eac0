#include "CEventsDlg.h"

CEventsDlg::CEventsDlg(QWidget* parent)
    : CGridBaseDlg(parent)
{
    setObjectName(QStringLiteral("CEventsDlg"));
    SetHeading(17, QString());
}

void CEventsDlg::ShowEvents(quint32 readerId)
{
    m_nReaderId = readerId;
    SetHeading(17, ReaderName(readerId));
}
