#pragma once

#include "CGridNotifyReceiver.h"
#include "Colorref.h"

#include <QHash>
#include <QList>
#include <QStringList>
#include <QVarLengthArray>
#include <QWidget>

#include <vector>

class CAppContext;
class CDialogSetup;
class CFerrold_Handler;
class CGridCellCombo;
class CGridCtrl;
class CLanguageHandler;
class QLabel;

// The base of the record views on the right of the main window. Each view
// stands for one kind of record, shown for a filter (a reader or a time
// schema, or all of them). It is handed the program's context, through
// which it reaches the database, the reader link and the tree.
//
// The view owns its grid and answers it: the grid asks for texts and
// colours and reports edits and clicks, and the base hands each request to
// a virtual handler that the views override. The header double-click sort
// cycle is the base's own.
class CGridBaseDlg : public QWidget, public CGridNotifyReceiver
{
    Q_OBJECT

public:
    explicit CGridBaseDlg(CAppContext& context, QWidget* parent = nullptr);
    ~CGridBaseDlg() override;

    // Sets every column title (and the heading) from the language texts.
    virtual void SetColumnTitles();
    // Builds the grid: its rows, columns, titles, cell types and widths, then
    // the stored layout. The views give it their grid id and column count.
    virtual void FillGrid(quint32 gridId, int columns);
    // An edit the user finished: writes it and tells whether it was taken.
    // A refused edit needs nothing more: the grid asks for the cell again.
    // The base stores nothing.
    virtual bool StoreEditedCell(GRID_NOTIFY* notify);

    // Taken afresh at every use: a restore replaces the handler.
    CFerrold_Handler* GetDBHandler() const;
    CLanguageHandler* GetLanguage() const;
    CAppContext& Context() const { return m_context; }

    // What the view shows now, as its heading says it.
    QString Heading() const;

    // The first call creates the view's grid in its standard look (one
    // header row and number column, shaded even rows, 30-pixel header and
    // 18-pixel rows for the 8-point dialog font, scaled to the grid's font
    // (CFontScale), column 1 kept in view); "rows" counts the header, 0
    // keeps the last count. Later calls end an open edit, set the column
    // count (the kept columns keep their titles, cell types and colour
    // requests), the row count (unless 0) and refresh.
    virtual void InitGrid(const QString& viewCode, quint32 gridId, int columns, int rows);
    // Ends the grid's open in-place edit, if any: its text is reported (and
    // stored through StoreEditedCell) for the record it was typed on. Every
    // refill calls this first, before it rebuilds the filtered rows or
    // re-reads a cache, and so does anything else that changes which record
    // a row shows (an in-place change of the rows, a re-read).
    void EndGridEdit();
    // Applies the header height, row height and column widths stored for
    // the view; sizes of 0 or less, or none, keep what the grid has.
    void LoadGridLayout(const QString& viewCode);
    CGridCtrl* GetGrid() const { return m_pGrid; }
    int GetRowCount() const { return m_nRowCount; }

    // Answers a colour request: grey gives the read-only look (and marks
    // the cell read-only), a real back colour gives back and text as given;
    // anything else leaves the defaults. The back colour chosen;
    // CLR_DEFAULT without a record.
    static COLORREF SetCellColors(bool grey, GRID_DISPINFO* info, COLORREF back, COLORREF text);
    // Where the header sort cycle falls back to: no column, original order.
    static int GetDefaultSortColumn(int view) { Q_UNUSED(view); return -1; }
    static int GetDefaultSortMode(int view) { Q_UNUSED(view); return 0; }

    // Appends every piece between separators, the last one even when empty;
    // an empty text appends nothing. The array is not emptied first.
    static void SplitString(const QString& text, QStringList* pieces, QChar separator);
    // Hexadecimal digits, read modulo 2^32 (only the last eight count).
    // False, with value unchanged, for an empty text or any other character.
    static bool HexToUInt(const QString& text, quint32* value);
    // Ascending, equal values in their order.
    static void SortUIntArray(QList<uint>* values);
    // Binary digits as upper-case hexadecimal, four to a digit, padded on the
    // left; empty when any character is not 0 or 1.
    static QString BinToHex(const QString& bits);
    // Pads with "0" on the left to a multiple of four characters.
    static void PadLeftToNibbles(QString& bits);

    // For the views: the filter (0 = all records), the header sort state,
    // whether the user's column widths are kept, the wait-cursor flag, the
    // row last clicked and the reader's last reply.
    quint32 m_nFilterID = 0;
    int m_nSortMode = 0;
    int m_nSortColumn = 0;
    int m_bKeepColumnWidths = 0;
    int m_bBusy = 0;
    int m_nClickedRow = -1;
    QString m_strReaderReply;

    // The displayed data rows whose first data column is selected, in
    // display order.
    std::vector<int> SelectedRows() const;

    // What the grid asks and reports, handed to the handlers below.
    void OnGridDispInfo(GRID_DISPINFO& info) override;
    qint64 OnGridNotify(GRID_NOTIFY& notify) override;

protected:
    // A name longer than the database keeps is refused with a box (pasted
    // text is not held by the editor's limit).
    static constexpr unsigned int kNameTooLongText = 364;
    static bool NameFits(const QString& name);
    // Where the view's sizes are kept; the application's store.
    virtual CDialogSetup* LayoutStore() const;

    // The grid's requests: write the text into the record's value text, or
    // colour the cell (through SetCellColors). Header row included: the
    // handlers leave row 0 alone. The base answers nothing.
    virtual void OnGetCellText(GRID_DISPINFO* info);
    virtual void OnGetCellColor(GRID_DISPINFO* info);
    // A double click: on the header it steps the column's sort cycle
    // (ascending, descending, original order) and tints the header.
    virtual void OnGridDblClick(GRID_NOTIFY* notify);
    // The views' context menus and their own clicks; nothing here.
    virtual void OnGridRClick(GRID_NOTIFY* notify);
    virtual void OnGridClick(GRID_NOTIFY* notify);
    virtual void OnGridButtonClick(GRID_NOTIFY* notify);
    // An edit is about to start in a cell; a negative result refuses it. The
    // views build a cell's drop-down list here, when it opens.
    virtual qint64 OnGridBeginEdit(GRID_NOTIFY* notify);
    // Where a right click's menu goes, in screen coordinates.
    QPoint MenuPoint(const GRID_NOTIFY* notify) const;

    // Every fill shows the rows in their original order, nothing selected
    // and no header tinted.
    void ResetSortState();
    // Tints a header cell; CLR_DEFAULT takes the tint away.
    void SetHeaderColour(int column, COLORREF colour);
    // The language text of a title number (0: no title).
    QString Text(unsigned int number) const;
    // One column as a fill sets it up: its title, a default width for the
    // 8-point dialog font (none below 0, 0 hides; see DefaultColumnWidth;
    // "exact" takes it so, else the grid's auto width may widen it; never
    // stored)
    // and whether the grid asks for its cells' colours.
    void SetupColumn(int column, const QString& title, int width, bool exact, bool coloured);
    // A default width for the 8-point dialog font as the grid's font needs
    // it: scaled (CFontScale), and never narrower than the column's title.
    // 0 and below come back as they are.
    int DefaultColumnWidth(int column, int width) const;
    // One check column per cached reader from "firstColumn" on, titled with
    // the reader's name; the grid gets as many columns as that needs. Each
    // column belongs to the reader it was made for, also when two readers
    // carry one name.
    void SetupReaderColumns(int firstColumn, bool withWidths);
    // The combo of a column (row -1: the column's own cell) or of one cell,
    // made a drop-down list of the entries, each shown and stored alike;
    // first "none" (value empty: no record) unless it is null. A cell's
    // list is made as its editor opens, which opens on the copy the grid
    // makes next: the grid is refreshed. Null when the grid has no such
    // cell.
    CGridCellCombo* SetDropDown(int row, int column, const QString& none, const QStringList& entries);
    // The end of a fill of a view with reader columns: those columns, the
    // sort state reset, and the stored layout unless the user's widths are
    // kept (m_bKeepColumnWidths, which goes back to 0); then a refresh.
    void EndReaderColumnFill(int firstColumn, const QString& viewCode);
    // The reader of a reader column; 0 for any other column.
    qint32 ReaderOfColumn(int column) const;
    // Whether a transponder's reader list names the reader (never 0), each
    // piece read as CReaderIdList reads it; a list is parsed once while the
    // grid asks for the columns of its row.
    bool ReaderListHolds(const QString& readerList, qint32 readerId);
    // The cache row a data row shows: itself less one without a filter, the
    // filtered list's entry with one; -1 outside the list or the cache.
    int CacheRow(int dataRow, int cachedRows) const;
    // The keys of the records a filtered view shows, in cache order; a row
    // the cache no longer holds is skipped.
    template <class KeyOf>
    std::vector<qint32> ShownKeys(int cachedRows, KeyOf keyOf) const
    {
        std::vector<qint32> keys;
        keys.reserve(m_arFilteredRows.size());
        for (int index : m_arFilteredRows) {
            if (index >= 0 && index < cachedRows)
                keys.push_back(keyOf(index));
        }
        return keys;
    }

    // Rebuilds m_arFilteredRows: with a filter, each cache row for which
    // "shown" holds. The grid's row count for them, header included.
    template <class Shown>
    int FilterRows(int cachedRows, Shown shown)
    {
        m_arFilteredRows.clear();
        if (m_nFilterID == 0)
            return cachedRows + 1;
        for (int i = 0; i < cachedRows; ++i) {
            if (shown(i))
                m_arFilteredRows.push_back(i);
        }
        return int(m_arFilteredRows.size()) + 1;
    }
    // The data row a displayed row shows (itself while the grid is not
    // sorted).
    int DataRowOf(int row) const;
    // The keys of the records of these displayed rows (SelectedRows), in
    // their order; "recordOf" gives a data row's record, null for none.
    template <class RecordOf, class KeyOf>
    std::vector<qint32> KeysOfRows(const std::vector<int>& rows, RecordOf recordOf, KeyOf keyOf) const
    {
        std::vector<qint32> keys;
        keys.reserve(rows.size());
        for (int row : rows) {
            if (const auto* record = recordOf(DataRowOf(row)))
                keys.push_back(keyOf(*record));
        }
        return keys;
    }

    // The cache rows a filtered view shows, in cache order. Rows, not
    // pointers: every fill rebuilds the list, and a re-read in between finds
    // rows out of range instead of freed ones.
    std::vector<int> m_arFilteredRows;

    // Heading: the kind of record and, when filtered, the filter's name.
    void SetHeading(unsigned int kindText, const QString& filter);
    // The name of the reader with this identity; empty for 0 or none.
    QString ReaderName(quint32 readerId) const;

private:
    CAppContext& m_context;
    QLabel* m_pHeading;
    CGridCtrl* m_pGrid = nullptr;
    int m_nRowCount = 0;
    unsigned int m_nKindText = 0;
    QString m_strFilter;
    int m_nFirstReaderColumn = 0;
    std::vector<qint32> m_readerOfColumn;
    // The lists ReaderListHolds() parsed, and the readers each names.
    using ParsedReaders = QVarLengthArray<qint32, 8>;
    QHash<QString, ParsedReaders> m_parsedLists;
};
