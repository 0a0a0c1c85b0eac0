#pragma once

#include "CGridBaseDlg.h"

// The time-schema view: the overview of all schemas (one row each) or the
// four switching windows of one schema.
class CZeitschemaDlg : public CGridBaseDlg
{
    Q_OBJECT

public:
    static constexpr quint32 kGridId = 1006;
    static constexpr int kColumns = 15;

    explicit CZeitschemaDlg(QWidget* parent = nullptr);

    // Shows one schema (its number), or all for 0.
    void ShowSchemas(quint32 schemaNumber);
    quint32 Filter() const { return m_nFilterID; }

    void SetColumnTitles() override;
    void FillGrid(quint32 gridId, int columns) override;

protected:
    void OnGetCellText(GRID_DISPINFO* info) override;
    void OnGetCellColor(GRID_DISPINFO* info) override;
};
