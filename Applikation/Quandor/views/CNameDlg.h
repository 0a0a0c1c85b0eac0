#pragma once

#include "CGridBaseDlg.h"
#include "CRecordLookups.h"

// The persons view: every person or those whose transponder is enabled for
// one reader, with a check column per reader.
class CNameDlg : public CGridBaseDlg
{
    Q_OBJECT

public:
    static constexpr quint32 kGridId = 1004;
    static constexpr int kColumns = 6;

    explicit CNameDlg(QWidget* parent = nullptr);

    // Shows the persons of one reader (its identity), or of all for 0.
    void Reload(quint32 readerId);
    quint32 Filter() const { return m_nFilterID; }

    void SetColumnTitles() override;
    void FillGrid(quint32 gridId, int columns) override;

protected:
    void OnGetCellText(GRID_DISPINFO* info) override;
    void OnGetCellColor(GRID_DISPINFO* info) override;

private:
    CRecordLookups m_lookups;
};
