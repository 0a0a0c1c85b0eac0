#pragma once

#include "CGridBaseDlg.h"
#include "CRecordLookups.h"
#include "CRecordViewMenu.h"

// The events view: read-only, every event or those of one reader.
class CEventsDlg : public CGridBaseDlg
{
    Q_OBJECT

public:
    static constexpr quint32 kGridId = 1001;
    static constexpr int kColumns = 11;

    explicit CEventsDlg(CAppContext& context, QWidget* parent = nullptr);

    // Shows the events of one reader (its identity), or of all for 0.
    void ShowEvents(quint32 readerId);
    quint32 Filter() const { return m_nFilterID; }

    void SetColumnTitles() override;
    void FillGrid(quint32 gridId, int columns) override;

    // Command 32787: deletes every event shown (all events without a
    // filter), after asking.
    void OnDeleteAll();
    // The context menu as it would be shown now.
    CRecordViewMenu ContextMenu() const;

protected:
    void OnGetCellText(GRID_DISPINFO* info) override;
    void OnGetCellColor(GRID_DISPINFO* info) override;
    void OnGridRClick(GRID_NOTIFY* notify) override;

private:
    CRecordLookups m_lookups;
};
