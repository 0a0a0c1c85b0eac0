#pragma once

#include "CGridBaseDlg.h"
#include "CReaderModel.h"
#include "CReaderStore.h"
#include "CtblLeser.h"

#include <QString>
#include <QStringList>

#include <memory>

class CReaderLink;
class CReadEventsJob;
class CRecordViewMenu;
class CWriteAllJob;
class CFetchAllJob;
class CTransferRun;

// The reader list view: one row per stored reader. From it the operator
// renames readers, opens a reader's settings, reconnects to the reader on
// the port (which then registers or selects it), clears the connected
// reader's event memory and starts the reader commands of its context menu.
//
// Commands act on the reader of the clicked row, found by its ID_Leser and
// captured when the menu opens: names may repeat or be empty, and a sorted
// grid shows rows in another order than the cache.
class CLeserDlg : public CGridBaseDlg
{
    Q_OBJECT

public:
    static constexpr quint32 kGridId = 1003;
    static constexpr int kColumns = 8;

    // The context menu's commands, in the menu's order.
    enum CommandId {
        ID_RECONNECT = 32785,
        ID_DELETE_ENTRY = 32786,
        ID_DELETE_ALL_ENTRIES = 32787,
        ID_READ_EVENTS = 32799,
        ID_CLEAR_EVENT_MEMORY = 32800,
        ID_FETCH_ALL_DATA = 32801,
        ID_WRITE_ALL_DATA = 32802,
    };

    explicit CLeserDlg(CAppContext& context, QWidget* parent = nullptr);
    // A transfer still running is stopped and joined first.
    ~CLeserDlg() override;

    // Re-reads the readers, refills the list and names the connected
    // reader for the status bar. The argument is not used. Returns 1.
    int Reload(int unused);
    // The link found a reader: when a connect asked for it, select its row
    // or register it as a new reader (WM_IDENTIFY_READER).
    int OnReaderDetected();

    // Deleting readers (commands 32786 and 32787): the selected readers, or
    // all, with their assignments and, when the operator says so, their
    // events; see CReaderDeleter.
    void OnDeleteEntry();
    void OnDeleteAllEntries();

    void SetColumnTitles() override;
    void FillGrid(quint32 gridId, int columns) override;
    // Stores a new name (column 4) in the database, the cache and the
    // tree; other columns store nothing. False when the name was refused.
    bool StoreEditedCell(GRID_NOTIFY* notify) override;

    // Runs a command of the context menu.
    void OnCommand(int id);

    // Asks the next WM_IDENTIFY_READER to identify the reader (reconnect).
    bool m_bIdentifyRequest = false;
    // Identifications run since the view was made.
    int m_nIdentifyCount = 0;

    // --- Transfers with the connected reader (one at a time; see
    // CTransferRun). Reading events: command 32799 shows the options and
    // posts WM_READ_EVENTS; its handler starts the run; WM_EVENTS_READ ends
    // it with the number of events stored.
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
    // Fetching all data (command 32801): a framed reader's transponder list
    // read slot by slot and merged into the transponders, all in one go
    // while the window stays painted.
    void OnFetchAllData();
    int OnFetchAllDone(int endFlags);

    // Fetching and writing all data reach a plain reader through its list
    // dialog (CSendWrenDlg), modal, for the clicked reader's ID.
    enum PlainListMode { PlainFetch = 0, PlainWrite = 1 };

    // The reader whose row was clicked, captured by the context menu: the
    // transfers act on it through its ID, never by looking up its name.
    // Its model code is a CReaderModel::ModelCode value (-1: no model).
    qint32 m_nClickedReaderID = 0;
    QString m_strClickedReaderName;
    int m_nClickedModelCode = -1;
    // Whether the clicked row is the reader online on the link.
    bool m_bClickedIsConnected = false;

    // The options of the last read-events dialog.
    int m_bDateFilter = 0;
    int m_bReadToPointer = 1;
    QString m_strDateFrom;
    QString m_strDateTo;

protected:
    bool event(QEvent* event) override;
    void OnGetCellText(GRID_DISPINFO* info) override;
    void OnGetCellColor(GRID_DISPINFO* info) override;
    void OnGridRClick(GRID_NOTIFY* notify) override;
    // A row's settings button: its model's dialog (the Wren's or the framed
    // readers'), made from a copy of the row, since the cache may be re-read
    // while it is open; a model without one opens nothing.
    void OnGridButtonClick(GRID_NOTIFY* notify) override;

private:
    // The cache row shown in a data row (from 1); null outside the cache.
    CtblLeser::structLeser* ReaderAt(int dataRow) const;
    CtblLeser* Readers() const;

    // --- context menu and its commands
    // Rows with a selected cell in column 1, counted up to "limit".
    int CountSelectedRows(int limit) const;
    // Whether the link can answer a query now: a framed reader is polled
    // and no transfer runs or holds the link. Otherwise a query would only wait.
    static bool CanQueryFramedReader(CReaderLink* link);
    CRecordViewMenu BuildMenu(int selected, bool connected, bool wrenOnline) const;
    void OnReconnect();
    void OnClearEventMemory();

    // --- identification of the connected reader
    void IdentifyFramed(const CReaderModel::Facts& model);
    void IdentifyPlain(const CReaderModel::Facts& model);
    // Sends the reader's identity query (again while it stays silent) and
    // tells whether it answered as the connected model should.
    bool CheckPlainIdentity(const CReaderModel::Facts& model);
    // The names of the displayed rows, of the model alone or of all.
    QStringList DisplayedNames(const CReaderModel::Facts* model) const;
    // The first displayed row whose serial (column 5) or name (column 4)
    // is the text, among the rows of the model when one is given; -1 when
    // none.
    int FindDisplayedRow(int column, const QString& text, const CReaderModel::Facts* model) const;
    void SelectDisplayedRow(int row);
    using NewReader = CReaderStore::NewReader;
    void AddNewReader(const NewReader& reader, bool tern);
    // The tree gets the reader's name as a child of its transponders,
    // persons and events nodes.
    void AddReaderTreeItems(const QString& name);

    void ShowError(unsigned int text) const;

    // The transfers' own messages; false for any other event.
    bool TransferEvent(QEvent* event);
    // Ends a running transfer as a teardown.
    void StopTransfer();
    // After a run stored rows: the events cache read again, on this thread.
    void AfterEventsStored(int stored);

    std::unique_ptr<CTransferRun> m_pTransfer;
    std::shared_ptr<CReadEventsJob> m_pReadEvents;
    // After a write-all run cleared the reader's mark, or found it must
    // stay: the readers re-read and the list redrawn, on this thread.
    void AfterWriteAll(bool markStored);
    std::shared_ptr<CWriteAllJob> m_pWriteAll;
    std::shared_ptr<CFetchAllJob> m_pFetchAll;
    qint32 m_nFetchReaderID = 0;
    // The plain readers' list dialog for the clicked reader.
    void OpenPlainList(PlainListMode mode);
    // The model of the row right-clicked last, or null when there is none or
    // a transfer runs.
    const CReaderModel::Facts* ClickedModelWhenIdle() const;
};
