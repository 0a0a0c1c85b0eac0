#pragma once

#include "CGridBaseDlg.h"

// The events view.
class CEventsDlg : public CGridBaseDlg
{
    Q_OBJECT

public:
    explicit CEventsDlg(QWidget* parent = nullptr);

    // Shows the events of one reader (its identity), or of all for 0.
    void ShowEvents(quint32 readerId);
    quint32 Filter() const { return m_nReaderId; }

private:
    quint32 m_nReaderId = 0;
};
