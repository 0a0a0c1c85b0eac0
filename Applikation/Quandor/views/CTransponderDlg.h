#pragma once

#include "CGridBaseDlg.h"
#include "CRecordLookups.h"

// The transponders view: every transponder or those of one reader, with a
// check column per reader.
class CTransponderDlg : public CGridBaseDlg
{
    Q_OBJECT

public:
    static constexpr quint32 kGridId = 1005;
    static constexpr int kColumns = 7;

    explicit CTransponderDlg(QWidget* parent = nullptr);

    // Shows the transponders of one reader (its identity), or of all for 0.
    void ShowForReader(quint32 readerId);
    quint32 Filter() const { return m_nFilterID; }
    // A transponder presented at the connected reader; stored while
    // learning is on.
    void AddReceivedTransponders(QString number);

    void SetColumnTitles() override;
    void FillGrid(quint32 gridId, int columns) override;

    // Learning presented transponders; showing a reader's transponders
    // switches it off.
    bool m_bLearning = false;
    QString m_strLastReceived;

protected:
    void OnGetCellText(GRID_DISPINFO* info) override;
    void OnGetCellColor(GRID_DISPINFO* info) override;

private:
    CRecordLookups m_lookups;
};
