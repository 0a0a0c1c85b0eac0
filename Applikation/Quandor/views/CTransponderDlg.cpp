#include "CTransponderDlg.h"

CTransponderDlg::CTransponderDlg(QWidget* parent)
    : CGridBaseDlg(parent)
{
    setObjectName(QStringLiteral("CTransponderDlg"));
    SetHeading(15, QString());
}

void CTransponderDlg::ShowForReader(quint32 readerId)
{
    m_nReaderId = readerId;
    m_bLearning = false;
    SetHeading(15, ReaderName(readerId));
}

void CTransponderDlg::AddReceivedTransponders(QString number)
{
    m_strLastReceived = number;
}
