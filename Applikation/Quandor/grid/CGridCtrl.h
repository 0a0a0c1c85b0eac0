#pragma once

#include "CCellID.h"
#include "CCellRange.h"
#include "CCellSet.h"
#include "CGridAxis.h"
#include "CGridGeometry.h"
#include "CGridCellCache.h"
#include "CGridDefaultCell.h"
#include "CGridDropTarget.h"
#include "CGridEditKey.h"
#include "Colorref.h"
#include "GridConstants.h"
#include "GridRecords.h"

#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <QList>
#include <QPixmap>
#include <QPointer>
#include <QStringList>

#include <memory>
#include <unordered_map>
#include <vector>

class CGridCellBase;
class CGridCellClass;
class CDialogSetup;
class CGridNotifyReceiver;
class CTitleTipWnd;
class QAction;
class QMimeData;

// The grid of every record view: a scroll area that lays out and paints its
// cells itself. In virtual mode (the record views' mode) it keeps no record
// data: it asks its owner for each cell it is about to show, once per cache
// generation, and keeps one display copy per shown position until Refresh.
//
// Rows and columns are addressed with full-width ints: keys, positions and
// sums never wrap, so 100,000 rows behave like 10. Row and column positions
// come from running sums in O(log n); a paint touches only the visible cells.
//
// The grid is driven by mouse and keys (selecting, sizing rows and columns,
// moving the focus, starting edits) and tells its owner about selection,
// clicks and edits through synchronous notifications. It sorts its rows by
// a column without moving any data: a row order maps displayed rows to data
// rows.
//
// UI thread only: a worker hands its results to the UI thread, which
// refreshes the grid.
class CGridCtrl : public QAbstractScrollArea
{
    Q_OBJECT

public:
    explicit CGridCtrl(CDialogSetup* layoutStore = nullptr, const QString& viewCode = QString(),
                       const QString& gridKey = QString(), int rows = 0, int cols = 0, int fixedRows = 0,
                       int fixedCols = 0, QWidget* parent = nullptr);
    ~CGridCtrl() override;

    // ---- window -------------------------------------------------------------
    // Places the grid in its parent at "rect" with its control id; a style
    // with the visible bit (0x10000000) shows it.
    bool CreateGrid(const QRect& rect, QWidget* parent, quint32 id, quint32 style = 0x50810000u);
    void SetDlgCtrlID(quint32 id) { m_nID = id; }
    quint32 GetDlgCtrlID() const { return m_nID; }
    // The receiver of requests and notifications; without one, the nearest
    // parent widget that is a receiver.
    void SetOwner(CGridNotifyReceiver* owner);
    CGridNotifyReceiver* GetReceiver() const;
    CDialogSetup* GetLayoutStore() const { return m_pLayoutStore; }
    QString GetViewCode() const { return m_strViewCode; }
    QString GetGridKey() const { return m_strGridKey; }

    // ---- counts -------------------------------------------------------------
    bool SetRowCount(int rows);
    bool SetColumnCount(int cols);
    bool SetFixedRowCount(int fixedRows);
    bool SetFixedColumnCount(int fixedCols);
    int GetRowCount() const { return m_nRows; }
    int GetColumnCount() const { return m_nCols; }
    int GetFixedRowCount() const { return m_nFixedRows; }
    int GetFixedColumnCount() const { return m_nFixedCols; }
    // Columns right of the fixed ones that stay in place when the grid
    // scrolls sideways; the two texts are only kept.
    void SetTitleMode(int count, const QString& text1, const QString& text2);
    int GetTitleColumnCount() const { return m_nTitleCols; }
    // Fixed plus title columns, within the column count.
    int GetFrozenColumnCount() const;

    // ---- cells --------------------------------------------------------------
    // The cell shown at a displayed position (virtual mode: the display copy,
    // filled through the owner); null outside the grid.
    CGridCellBase* GetCellAt(int row, int col);
    // Virtual mode: the explicit cell of a position, made on demand.
    CGridCellBase* GetCell(int row, int col);
    bool SetCellType(int row, int col, const CGridCellClass* cellClass);
    CGridCellBase* SetColumnCellType(int col, const CGridCellClass* cellClass);
    bool SetDefaultCellType(const CGridCellClass* cellClass);
    const CGridCellClass* GetDefaultCellType() const { return m_pDefaultCellClass; }
    CGridDefaultCell* GetDefaultCell(bool fixedRow, bool fixedCol);
    const CGridDefaultCell* GetDefaultCell(bool fixedRow, bool fixedCol) const;
    void SetAllDefaultCellProperty(int height, bool alsoFixed);
    // The state bits of a displayed position: selected, focus, fixed and the
    // cell's own read-only bit (0x100), answered without asking the owner
    // for texts (walking every row to find the selection stays cheap). Bits
    // the owner adds in the colour exchange (0x08) and the modified mark
    // (0x80) show for positions shown since the last refresh. 0 when there
    // is no cell.
    quint32 GetItemState(int row, int col);
    bool SetItemState(int row, int col, quint32 state);
    bool IsCellSelected(int row, int col) const;
    QString GetItemText(int row, int col);
    void SetCellModified(bool modified, int row, int col);
    bool GetModified() const { return m_bModified; }
    // Rows holding a selected cell, ascending, each once; with dataRows and a
    // sort order in force, the data rows instead.
    void GetSelectedRows(QList<uint>* rows, bool dataRows);
    // The data row shown in a displayed row: through the sort order while it
    // has one entry per body row, else the row itself; -1 for a row that the
    // order does not translate (the header, or no order).
    int GetDataRow(int row) const;
    // The displayed row that shows a data row: through the row order while
    // it has one entry per body row, else the row itself; 0 for the header,
    // -1 outside the grid. What a view selects or scrolls to when it knows
    // its record and the grid may be sorted.
    int GetDisplayedRow(int dataRow) const;
    CCellID GetFocusCell() const { return m_idCurrentCell; }

    // ---- selection and focus ------------------------------------------------
    // Moves the focus to a cell (fixed indices are raised to the first body
    // row and column, -1 stays -1) and gives back the previous focus cell.
    CCellID MoveFocusCell(int row, int col);
    // Deselects everything (except, with all bounds valid, what the
    // previous-selection map keeps), then selects or deselects the range.
    // Bounds inside the fixed rows or columns are raised to the body.
    void SelectCellRange(int minRow, int minCol, int maxRow, int maxCol, bool redrawNow, bool select);
    // Extends the selection from the anchor to "cell" as the mouse mode says.
    void ExtendSelection(const CCellID& cell);
    void SelectAllBody();
    void SelectColumnsTo(const CCellID& cell, bool redrawNow, bool select);
    void SelectRowsTo(const CCellID& cell, bool redrawNow, bool select);
    void SelectCellsTo(const CCellID& cell, bool redrawNow, bool select);
    // Deselects everything and removes the focus.
    void ClearSelection();
    // Deselects everything, then selects every body cell of the listed rows
    // (rows outside the body are ignored); null only deselects. Focus,
    // anchor and notifications are left alone.
    void SelectRows(const QList<uint>* rows);
    CCellID GetSelectionAnchor() const { return m_SelectionStartCell; }
    // The number of selected cells.
    qint64 GetSelectedCount() const { return m_SelectedCellMap.Count(); }

    // A press in the body selects whole rows; also clears the selection and
    // the focus, forgets the sorted column and turns header-column
    // selection off.
    void SetListMode(bool on);
    bool GetListMode() const { return m_bListMode; }
    void SetSingleRowSelection(bool on) { m_bSingleRowSelection = on; }
    bool GetSingleRowSelection() const { return m_bSingleRowSelection; }
    void SetFixedRowSelection(bool on) { m_bFixedRowSelection = on; }
    bool GetFixedRowSelection() const { return m_bFixedRowSelection; }
    void SetFixedColumnSelection(bool on) { m_bFixedColumnSelection = on; }
    bool GetFixedColumnSelection() const { return m_bFixedColumnSelection; }

    // ---- notifications and editing ------------------------------------------
    // Sends a notification about a cell to the receiver and gives back its
    // result; 0 without a receiver. With a row order in force the record
    // carries the data row; a row the order cannot translate is not sent
    // (result 1). "point" is the NM_RCLICK click point.
    qint64 SendMessageToParent(int row, int col, int code, const QString& text1 = QString(),
                               const QString& text2 = QString(), QPoint point = QPoint());
    void SetEditable(bool on) { m_bEditable = on; }
    bool IsEditable() const { return m_bEditable; }
    // A cell exists, the grid is editable, the cell is not read-only and
    // not of a class that is changed by clicks instead (check, check list,
    // option list, button: those exact classes).
    bool IsCellEditable(int row, int col);
    // Starts the cell's editor when the cell may be edited and the owner
    // does not refuse (GRIDN_BEGINEDIT below 0). "point" is (-1, -1) from
    // the keyboard.
    virtual void BeginCellEdit(int row, int col, QPoint point, const CGridEditKey& key);
    // The end of an edit with its new text: unchanged text does nothing;
    // else the owner hears GRIDN_ENDEDIT and may refuse, which puts the old
    // text back. Afterwards the owner is asked for the cell again.
    virtual void FinishCellEdit(int row, int col, const QString& text, const QString& text2);
    virtual bool ValidateCellEdit(int row, int col, const QString& text);
    // An in-place editor reports its end here. When it ended on Tab or a
    // navigation key, the grid moves the focus by that key and opens the
    // next cell's editor (at the next turn of the event loop).
    void EndInPlaceEdit(int row, int col, const QString& text, const CGridEditKey& lastKey);
    // The same for an editor whose text stands for another value (a combo
    // cell's chosen entry): "value" is the notification's second text.
    void EndInPlaceEdit(int row, int col, const QString& text, const CGridEditKey& lastKey, const QString& value);
    // The one open in-place editor and the cell it edits. A cell's editor
    // registers here; it leaves (ReleaseActiveEditor) before it reports its
    // end. The grid holds it weakly, so an editor gone is simply no editor.
    void SetActiveEditor(QWidget* editor, int row, int col);
    void ReleaseActiveEditor(const QWidget* editor);
    QWidget* GetActiveEditor() const { return m_activeEditor.data(); }
    CCellID GetActiveEditCell() const { return m_activeEditor ? m_idEditCell : CCellID(); }
    bool IsEditingCell(int row, int col) const
    {
        return m_activeEditor && m_idEditCell.row == row && m_idEditCell.col == col;
    }
    // A value change made by the grid itself (paste, clear), offered to the
    // owner like an edit.
    void SetCellValueByEdit(int row, int col, const QString& text);

    // ---- commands the keys reach --------------------------------------------
    // Copying and pasting belong to the grid's clipboard support; cutting
    // and dragging do nothing in this grid.
    //
    // The four edit commands also stand as the grid's own commands, for any
    // menu (a view's context menu): OnEditCommand runs one when its rule
    // allows it (false for an unknown or disabled one), and
    // IsEditCommandEnabled tells the rule: copy with at least one cell
    // selected; cut when the grid is editable and a cell is selected; paste
    // when the focus cell is editable and the clipboard holds text; select
    // all always. GetEditAction gives the command as an action (made on
    // first use, owned by the grid, without a text: the menu names it),
    // enabled as the rule says at the time of the call; UpdateEditActions
    // brings every made action up to date (call it before showing a menu
    // that was built earlier).
    enum EditCommand : int
    {
        ID_EDIT_COPY = 57634,
        ID_EDIT_CUT = 57635,
        ID_EDIT_PASTE = 57637,
        ID_EDIT_SELECT_ALL = 57642,
    };
    bool OnEditCommand(int id);
    bool IsEditCommandEnabled(int id);
    QAction* GetEditAction(int id);
    void UpdateEditActions();
    virtual void CopySelectionToClipboard();
    virtual void PasteClipboard();
    virtual void CutSelection();
    virtual void StartDrag();
    // GRIDN_SELCHANGING, every body cell, GRIDN_SELCHANGED.
    virtual void SelectAllCells();

    // ---- clipboard ----------------------------------------------------------
    // One cell's value as clipboard text; (-1, -1) is the top-left cell of
    // the selection. Null when there is no such cell (nothing selected).
    virtual std::unique_ptr<QMimeData> CopyCellToDataSource(int row, int col);
    // Pastes the text of "data" into a cell that exists and is not read-only:
    // its first line, trimmed, through SetCellValueByEdit; blank text
    // changes nothing. True when there was text to read.
    virtual bool PasteFromClipboard(int row, int col, const QMimeData* data);
    // The cells of the last copy of several cells of one row, with their
    // values as they were at the copy, by column.
    struct CopiedCell
    {
        int row;
        int col;
        QString value;
    };
    const std::vector<CopiedCell>& GetCopiedCells() const { return m_copiedCells; }

    // ---- drag and drop ------------------------------------------------------
    // The grid takes no drops: enter and over refuse (DROPEFFECT_NONE), a
    // drop ends with FALSE. The drop target passes the viewport's drag
    // events here.
    virtual int OnDragEnter(QWidget* window, const QMimeData* data, Qt::KeyboardModifiers keys, QPoint point);
    virtual int OnDragOver(QWidget* window, const QMimeData* data, Qt::KeyboardModifiers keys, QPoint point);
    virtual void OnDragLeave();
    virtual bool OnDrop(QWidget* window, const QMimeData* data, int dropEffect, QPoint point);
    CGridDropTarget& GetDropTarget() { return m_dropTarget; }

    // ---- title tip ----------------------------------------------------------
    // The pop-up that shows the whole text of a cell too narrow for it; made
    // on first use.
    CTitleTipWnd* GetTitleTip();
    void HideTitleTip();

    // ---- sorting ------------------------------------------------------------
    // Orders the rows by the column's values: mode 1 ascending, 2
    // descending, 0 back to data order. False (and data order) for a column
    // outside the grid. Moves no data; empties the selection.
    bool SortByColumn(int col, int mode);
    // A column whose values order rows that are equal in the sorted column;
    // 0 for none.
    void SetSecondarySortColumn(int col) { m_nSecondarySortColumn = col; }
    int GetSecondarySortColumn() const { return m_nSecondarySortColumn; }
    // The current row order (empty: data order).
    const std::vector<uint>& GetRowOrder() const { return m_arRowOrder; }

    // ---- input state, for tests ---------------------------------------------
    int GetMouseMode() const { return m_MouseMode; }
    bool IsAutoScrolling() const { return m_autoScrollTimer.isActive(); }

    // ---- columns ------------------------------------------------------------
    bool SetColumnTitle(int col, const QString& title);
    QString GetColumnTitle(int col) const;
    void SetColumnItemData(int col, quint32 data);
    quint32 GetColumnItemData(int col) const;

    // ---- mode ---------------------------------------------------------------
    void SetVirtualMode(bool on);
    bool GetVirtualMode() const { return m_bVirtualMode; }
    bool ClearAll();

    // ---- geometry -----------------------------------------------------------
    int GetRowHeight(int row) const { return m_rowHeights.Size(row); }
    int GetColumnWidth(int col) const { return m_colWidths.Size(col); }
    int GetFixedRowHeight() const;
    int GetFixedColumnWidth(bool withTitleColumns = true) const;
    int GetVirtualHeight() const;
    int GetVirtualWidth() const;
    bool SetRowHeight(int row, int height, bool store);
    bool SetColumnWidth(int col, int width, bool asGiven, bool store);
    void SetSharedRowHeight(bool shared) { m_bSharedRowHeight = shared; }
    bool GetSharedRowHeight() const { return m_bSharedRowHeight; }
    void SetColumnAutoWidth(bool on) { m_bColumnAutoWidth = on; }
    bool GetColumnAutoWidth() const { return m_bColumnAutoWidth; }
    bool AutoSizeColumn(int col);
    bool AutoSizeRow(int row);

    CCellID GetTopLeftNonFixedCell() const;
    bool GetCellOrigin(int row, int col, QPoint* origin) const;
    bool GetCellRect(int row, int col, QRect* rect) const;
    bool GetCellRangeRect(const CCellRange& range, QRect* rect) const;
    CCellRange GetVisibleNonFixedCellRange(QRect* rect = nullptr) const;
    // The visible range without a partly visible last row and column.
    CCellRange GetUnobstructedNonFixedCellRange() const;
    bool IsCellVisible(int row, int col) const;
    CCellID GetCellFromPoint(QPoint point, bool allowFixed = true) const;
    QPoint GetCellOffsetFromOrigin(int row, int col, QPoint point) const;

    void ResetScrollBars();
    void SetRedraw(bool allow, bool resetScrollBars = false);
    bool GetRedraw() const { return m_bAllowDraw; }
    void SetGridLines(int mode);
    int GetGridLines() const { return m_nGridLines; }
    void EnsureCellVisible(int row, int col);
    bool InvalidateCell(int row, int col);
    int GetWheelScrollLines() const { return m_nRowsPerWheelNotch; }

    // ---- painting -----------------------------------------------------------
    // Asks the owner for every visible cell again at the next paint.
    void Refresh();
    bool RedrawCell(int row, int col);
    void SetEvenRowShading(bool on, COLORREF colour);
    bool GetEvenRowShading() const { return m_bShadeEvenRows; }
    COLORREF GetEvenRowShadingColour() const { return m_crShadeColour; }
    void SetGridBkColor(COLORREF colour);
    COLORREF GetGridBkColor() const { return m_crGridBkColour; }
    COLORREF GetGridLineColor() const { return m_crGridLineColour; }
    COLORREF GetTextColor() const { return m_crWindowText; }
    COLORREF GetTextBkColor() const { return m_crWindowColour; }
    COLORREF GetFixedBkColor() const { return m_crBtnFaceColour; }
    void SetOffscreenDrawing(bool on) { m_bDoubleBuffer = on; }

    // What the cells read when they draw.
    bool GetFrameFocusCell() const { return m_bFrameFocus; }
    void SetFrameFocusCell(bool on) { m_bFrameFocus = on; }
    bool GetDrawFixedRaised() const { return m_bDrawFixedRaised; }
    void SetDrawFixedRaised(bool on) { m_bDrawFixedRaised = on; }
    bool GetTrackFocusCell() const { return m_bTrackFocusCell; }
    void SetTrackFocusCell(bool on) { m_bTrackFocusCell = on; }
    int GetSortColumn() const { return m_nSortColumn; }
    bool GetSortAscending() const { return m_bAscending; }
    void SetImageList(const QList<QPixmap>* images) { m_pImageList = images; }
    const QList<QPixmap>* GetImageList() const { return m_pImageList; }

    // Ends the running in-place edit, if any: its text goes to the owner as
    // any ended edit does.
    virtual void EndActiveEdit();

    // Mouse modes.
    enum MouseMode : int
    {
        MOUSE_NOTHING = 0,
        MOUSE_SELECT_ALL = 1,
        MOUSE_SELECT_COL = 2,
        MOUSE_SELECT_ROW = 3,
        MOUSE_SELECT_CELLS = 4,
        MOUSE_OVER_ROW_DIVIDE = 6,
        MOUSE_SIZING_ROW = 7,
        MOUSE_OVER_COL_DIVIDE = 8,
        MOUSE_SIZING_COL = 9,
        MOUSE_PREPARE_EDIT = 10,
        MOUSE_PREPARE_DRAG = 11,
        MOUSE_DRAGGING = 12,
    };
    // Commands the grid gives outside itself.
    enum : int
    {
        ID_GRID_F5 = 32850,
        ID_GRID_F4 = 32851,
    };
    static constexpr int kAutoScrollInterval = 25;
    static constexpr int kResizeCaptureRange = 3;

    // ---- figures for tests and benchmarks ----------------------------------
    std::size_t DisplayCacheSize() const { return m_cache.Size(); }
    std::size_t ExplicitCellCount() const { return m_explicitCells.size(); }

signals:
    // F5 and F4 without Shift or Ctrl: commands for the main window.
    void MainWindowCommand(int commandId);
    // After every left release on a cell, posted: the grid's control id.
    void ControlCommand(quint32 controlId);

protected:
    virtual void OnDraw(QPainter& painter, const QRect& clip);
    // The cell of a new position in normal mode.
    virtual std::unique_ptr<CGridCellBase> CreateCell(int row, int col);
    // Removes a cell of normal mode (it leaves the selection first).
    virtual void DestroyCell(int row, int col);

    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool event(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

    // ---- clipboard, drag and drop, title tip: event handling ---------------
    bool viewportEvent(QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    // Offers the title tip for the body cell under the pointer.
    void OfferTitleTip(const CCellID& cell);
    // The value a paste puts into a cell; false when the cell refuses it.
    bool PasteValue(int row, int col, const QString& text);

    // A press in the header rows or the header columns.
    virtual void HeaderRowClick(const CCellID& cell);
    virtual void HeaderColumnClick(const CCellID& cell);

    // The keyboard and character handling behind keyPressEvent, in VK_
    // codes. The auto-scroll and the edit hand-off press keys through it.
    void OnGridKeyDown(int key, Qt::KeyboardModifiers modifiers, int repeat = 1);
    void OnGridChar(const QString& text, Qt::KeyboardModifiers modifiers);
    // One tick of the auto-scroll while a selection is dragged outside the
    // scrollable area.
    void OnAutoScrollTimer();

    // Sends a display request to the receiver; nothing without one.
    void SendDispInfo(GRID_DISPINFO& info);
    void SendCacheHint(const CCellRange& range);

    // While a scope is open a cell may be in use on the stack, so retired
    // cells stay alive; the last scope to close schedules their release.
    class CellUseScope
    {
    public:
        explicit CellUseScope(CGridCtrl& grid);
        ~CellUseScope();
        CellUseScope(const CellUseScope&) = delete;
        CellUseScope& operator=(const CellUseScope&) = delete;

    private:
        CGridCtrl& m_grid;
    };

    // Forgets selection, focus and anchor without redrawing (the counts
    // changed; everything is repainted anyway).
    void ResetSelectedRange();
    void SetFocusCell(const CCellID& cell) { m_idCurrentCell = cell; }

    // Fixed, selected and focus bits of a displayed position.
    quint32 PositionState(int row, int col) const;
    void MarkCacheStale();

    // Storage, open to grids derived for special purposes and to the sort.
    struct CellEntry
    {
        int row;
        int col;
        std::unique_ptr<CGridCellBase> cell;
    };
    using CellRow = std::vector<std::unique_ptr<CGridCellBase>>;

    // Where the sizes the user gives rows and columns are kept (not owned).
    CDialogSetup* m_pLayoutStore = nullptr;
    QString m_strViewCode;
    QString m_strGridKey;
    quint32 m_nID = 0;

    int m_nRows = 0;
    int m_nCols = 0;
    int m_nFixedRows = 0;
    int m_nFixedCols = 0;
    int m_nTitleCols = 0;
    QString m_strTitleText1;
    QString m_strTitleText2;

    CGridAxis m_rowHeights;
    CGridAxis m_colWidths;
    bool m_bSharedRowHeight = true;
    bool m_bColumnAutoWidth = true;

    const CGridCellClass* m_pDefaultCellClass = nullptr;
    CGridDefaultCell m_cellDefault;
    CGridDefaultCell m_cellFixedColDef;
    CGridDefaultCell m_cellFixedRowDef;
    CGridDefaultCell m_cellFixedRowColDef;

    // Normal mode: one cell per position.
    std::vector<CellRow> m_rowData;
    // Virtual mode: column templates, explicit cells (append only; the index
    // holds the first entry of each position) and the display cache.
    bool m_bHasTemplateRow = false;
    CellRow m_templateRow;
    std::vector<CellEntry> m_explicitCells;
    std::unordered_map<quint64, std::size_t> m_explicitIndex;
    // Explicit cells that are all alike (those a new fixed column gets in
    // every data row) stand as one prototype per block until GetCell asks for
    // one of them, which then becomes an entry of its own.
    struct CellBlock
    {
        int firstRow;
        int endRow;
        int firstCol;
        int endCol;
        std::unique_ptr<CGridCellBase> prototype;
    };
    std::vector<CellBlock> m_explicitBlocks;
    CGridCellCache m_cache;

    QStringList m_arColumnTitles;
    std::vector<quint32> m_arColumnItemData;
    // Displayed body row i + 1 shows data row m_arRowOrder[i] + 1 while the
    // order has exactly one entry per body row.
    std::vector<uint> m_arRowOrder;
    // The inverse of the row order: entry d is the displayed row less one
    // that shows data row d + 1. Kept with the order.
    std::vector<uint> m_arDisplayOfData;

    bool m_bVirtualMode = false;
    bool m_bModified = false;
    int m_nSortColumn = -1;
    bool m_bAscending = true;

    // Selection and focus. The selection map is the record of the
    // selection; the previous one holds it as it stood when a Ctrl+press
    // began, so a Ctrl+drag adds to it.
    CCellSet m_SelectedCellMap;
    CCellSet m_PrevSelectedCellMap;
    CCellID m_idCurrentCell;
    CCellID m_SelectionStartCell;
    bool m_bFixedRowSelection = true;
    bool m_bFixedColumnSelection = true;
    bool m_bListMode = false;
    bool m_bSingleRowSelection = false;
    bool m_bEditable = true;

    // Mouse input.
    int m_MouseMode = MOUSE_NOTHING;
    QPoint m_LeftClickDownPoint;
    QPoint m_LastMousePoint;
    // Where the pointer last was, also outside the viewport: what the
    // auto-scroll looks at.
    QPoint m_LastRawMousePoint;
    bool m_bLMouseButtonDown = false;
    bool m_bMouseCaptured = false;
    CCellID m_LeftClickDownCell;
    QBasicTimer m_autoScrollTimer;
    // The sizing line while a row or column is sized: x or y, -1 for none.
    int m_nTrackerPos = -1;

    int m_nSecondarySortColumn = 0;

    // Colours: the system colours as last read, and the grid's own.
    COLORREF m_crWindowText = 0;
    COLORREF m_crWindowColour = 0xFFFFFF;
    COLORREF m_crBtnFaceColour = 0xC0C0C0;
    COLORREF m_crShadowColour = 0x808080;
    COLORREF m_crGridBkColour = 0x808080;
    COLORREF m_crGridLineColour = 0xC0C0C0;
    COLORREF m_crShadeColour = 0xDCDCDC;

    bool m_bAllowDraw = true;
    bool m_bDoubleBuffer = true;
    int m_nGridLines = GVL_BOTH;
    bool m_bShadeEvenRows = true;
    bool m_bFrameFocus = true;
    bool m_bDrawFixedRaised = true;
    bool m_bTrackFocusCell = true;
    const QList<QPixmap>* m_pImageList = nullptr;

    int m_nRowsPerWheelNotch = 3;

    // ---- clipboard, drag and drop, title tip: state -------------------------
    std::vector<CopiedCell> m_copiedCells;
    CGridDropTarget m_dropTarget;
    // The cell that shows the drop highlight (never set while the grid
    // takes no drops).
    CCellID m_LastDragOverCell;
    std::unique_ptr<CTitleTipWnd> m_pTitleTip;
    // The cell the pointer rests over, once offered the tip: the tip is not
    // measured again until the pointer moves to another cell.
    CCellID m_titleTipCell;

private:
    // Where the cells lie now, for the position questions.
    CGridGeometry Geometry() const;
    // The explicit cell of a position; "shared" tells a block's prototype.
    CGridCellBase* FindExplicitCell(int row, int col, bool* shared = nullptr) const;
    CGridCellBase* AddExplicitCell(int row, int col, std::unique_ptr<CGridCellBase> cell);
    CGridCellBase* MakeDisplayCopy(quint64 key, CGridCellBase& source);
    // The state a display copy of "source" starts with.
    quint32 OwnBitsOfCopies(const CGridCellBase& source);
    std::unordered_map<const CGridCellClass*, quint32> m_copyStateByClass;
    void ExchangeWithOwner(CGridCellBase& copy, int row, int col, int dataRow, bool withColours = true);
    std::unique_ptr<CGridCellBase> NewCell(int row, int col, quint32 stateBits);
    void RebuildColumnTemplates();
    // Templates, titles and item data for a new column count, keeping the
    // columns below both counts.
    void ResizeColumnTemplates(int oldCols);
    // Retires the explicit cells of every column from "firstCol" on.
    void DropExplicitCellsFrom(int firstCol);
    void ApplyFixedRowChange(int oldCount, int newCount);
    void ApplyFixedColumnChange(int oldCount, int newCount);
    void AfterCountChange();
    void ReadSystemColours(bool followDefaults);
    void ApplyFontToDefaultCells();
    // Out of use, freed when no cell can be in use any more.
    void RetireCell(std::unique_ptr<CGridCellBase> cell);
    void ScheduleRelease();
    void ReleaseRetiredCells();
    void TrimDisplayCache(const CCellRange& visible);

    // Scrolling
    int VerticalPage() const;
    int HorizontalPage() const;
    void OnVerticalAction(int action);
    void OnHorizontalAction(int action);
    void ScrollByWheel(int delta);
    void UpdateScrollableBand(bool vertical);

    // Selection
    CGridCellBase* ExistingCell(int row, int col) const;
    // Selects or deselects positions in the map and, in normal mode, in
    // their cells; true when anything changed.
    bool MarkSelected(int row, int col, bool select);
    bool MarkColumnsSelected(int row, int firstCol, int lastCol, bool select);
    bool IsFixedCell(const CCellID& cell) const;
    void RedrawFocusHeaders(const CCellID& cell);

    // Input
    bool IsOnCellText(const CCellID& cell, QPoint point);
    int ColumnDividerAt(QPoint point) const;
    int RowDividerAt(QPoint point) const;
    qint64 ColumnLeft(int col) const;
    qint64 RowTop(int row) const;
    void UpdateHoverState(QPoint point);
    void StopAutoScroll();
    void MoveTracker(int pos);
    QPoint ClampSizingPoint(QPoint point) const;
    int NextRow(int row, int step) const;
    int NextColumn(int col, int step) const;
    int FirstBodyColumn() const;
    int LastColumn() const;
    bool IsCellFullyVisible(int row, int col) const;
    void DrawTracker(QPainter& painter) const;

    // Sorting
    std::vector<QString> CollectColumnValues(int col);
    // Data order again: the row order and its inverse are emptied.
    void ClearRowOrder();

    // Painting
    void DrawCellRange(QPainter& painter, const QRect& clip, int firstRow, int lastRow, int firstCol,
                       int lastCol, QPoint origin, bool shadeTitleCols, bool shadeBody);

    QPointer<QWidget> m_activeEditor;
    CCellID m_idEditCell;

    // The edit commands as actions, made on first use.
    QAction* m_editActions[4] = {};

    QPointer<QObject> m_ownerObject;
    CGridNotifyReceiver* m_pOwner = nullptr;
    bool m_bOwnerIsObject = false;

    int m_nCellUseDepth = 0;
    bool m_bReleaseScheduled = false;
    bool m_bInResize = false;
    int m_nWheelRemainder = 0;
    CCellID m_lastTopLeft;
};
