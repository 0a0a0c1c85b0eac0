#pragma once

#include "CGridBaseDlg.h"

#include <memory>

class CReadEventsJob;
class CWriteAllJob;
class CTransferRun;

// The reader list view.
class CLeserDlg : public CGridBaseDlg
{
    Q_OBJECT

public:
    static constexpr quint32 kGridId = 1003;
    static constexpr int kColumns = 8;

    explicit CLeserDlg(QWidget* parent = nullptr);
    // A transfer still running is stopped and joined first.
    ~CLeserDlg() override;

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

    // --- Transfers with the connected reader (one at a time; see
    // CTransferRun). Reading events: command 32799 shows the options and
    // posts WM_READ_EVENTS; its handler starts the run; WM_EVENTS_READ ends
    // it with the number of events stored.
    static constexpr int ID_READ_EVENTS = 32799;
    void OnReadEvents();
    int OnReadEventsRun();
    int OnReadEventsDone(qint64 stored, int endFlags);
    // The run now active or last run by this view; null before the first.
    CTransferRun* Transfer() const { return m_pTransfer.get(); }
    bool IsTransferRunning() const;

    // Writing all data: command 32802 posts WM_WRITE_ALL_DATA for a framed
    // reader; its handler builds the lists, checks the model's limit and
    // starts the run; WM_WRITE_ALL_DONE ends it with the number of
    // transponders written (0 after a failure).
    void OnWriteAllData();
    int OnWriteAllDataRun();
    int OnWriteAllDone(qint64 written);

    // The reader whose row was clicked, captured by the context menu: the
    // transfers act on it through its ID, never by looking up its name.
    qint32 m_nClickedReaderID = 0;
    QString m_strClickedReaderName;
    int m_nClickedModelCode = 0;

    // The options of the last read-events dialog.
    int m_bDateFilter = 0;
    int m_bReadToPointer = 1;
    QString m_strDateFrom;
    QString m_strDateTo;

protected:
    bool event(QEvent* event) override;
    void OnGetCellText(GRID_DISPINFO* info) override;
    void OnGetCellColor(GRID_DISPINFO* info) override;

private:
    // The transfers' own messages; false for any other event.
    bool TransferEvent(QEvent* event);
    // Ends a running transfer as a teardown.
    void StopTransfer();
    // After a run stored rows: the events cache read again, on this thread.
    void AfterEventsStored(int stored);

    std::unique_ptr<CTransferRun> m_pTransfer;
    std::shared_ptr<CReadEventsJob> m_pReadEvents;
    // After a write-all run cleared the reader's mark: the readers re-read
    // and the list redrawn, on this thread.
    void AfterWriteAll(bool markCleared);
    std::shared_ptr<CWriteAllJob> m_pWriteAll;
};
