#pragma once

#include "CGridBaseDlg.h"

// The persons view.
class CNameDlg : public CGridBaseDlg
{
    Q_OBJECT

public:
    explicit CNameDlg(QWidget* parent = nullptr);

    // Shows the persons of one reader (its identity), or of all for 0.
    void Reload(quint32 readerId);
    quint32 Filter() const { return m_nReaderId; }

private:
    quint32 m_nReaderId = 0;
};
