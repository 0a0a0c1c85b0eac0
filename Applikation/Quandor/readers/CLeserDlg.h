#pragma once

#include "CGridBaseDlg.h"

// The reader list view.
class CLeserDlg : public CGridBaseDlg
{
    Q_OBJECT

public:
    static constexpr quint32 kGridId = 1003;
    static constexpr int kColumns = 8;

    explicit CLeserDlg(QWidget* parent = nullptr);

    // Re-reads the readers and names the connected reader for the status
    // bar. The argument is not used. Returns 1.
    int Reload(int unused);
    // The link found a reader: identify it when a connect asked for it.
    int OnReaderDetected();

    void SetColumnTitles() override;
    void FillGrid(quint32 gridId, int columns) override;

    // Set when this view asked for the reader to be identified.
    bool m_bIdentifyRequest = false;
    // How often an identification was asked for (tests).
    int m_nIdentifyCount = 0;

protected:
    bool event(QEvent* event) override;
    void OnGetCellText(GRID_DISPINFO* info) override;
    void OnGetCellColor(GRID_DISPINFO* info) override;
};
