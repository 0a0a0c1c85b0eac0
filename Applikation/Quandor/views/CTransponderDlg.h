#pragma once

#include "CGridBaseDlg.h"

// The transponders view.
class CTransponderDlg : public CGridBaseDlg
{
    Q_OBJECT

public:
    explicit CTransponderDlg(QWidget* parent = nullptr);

    // Shows the transponders of one reader (its identity), or of all for 0.
    void ShowForReader(quint32 readerId);
    quint32 Filter() const { return m_nReaderId; }
    // A transponder presented at the connected reader; stored while
    // learning is on.
    void AddReceivedTransponders(QString number);

    // Learning presented transponders; showing a reader's transponders
    // switches it off.
    bool m_bLearning = false;
    QString m_strLastReceived;

private:
    quint32 m_nReaderId = 0;
};
