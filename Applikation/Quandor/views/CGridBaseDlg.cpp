#include "CGridBaseDlg.h"

#include "CAppContext.h"
#include "CDialogSetup.h"
#include "CFerrold_Handler.h"
#include "CFerrold_Schema.h"
#include "CNotice.h"
#include "CFontScale.h"
#include "CGridCellBase.h"
#include "CGridCellCheck.h"
#include "CGridCellCombo.h"
#include "CGridCtrl.h"
#include "CLanguageHandler.h"
#include "CReaderIdList.h"
#include "CtblLeser.h"
#include "GridConstants.h"
#include "GridRecords.h"

#include <QCursor>
#include <QLabel>
#include <QVBoxLayout>

#include <algorithm>

CGridBaseDlg::CGridBaseDlg(CAppContext& context, QWidget* parent)
    : QWidget(parent)
    , m_context(context)
    , m_pHeading(new QLabel(this))
{
    QFont bold = m_pHeading->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.3);
    m_pHeading->setFont(bold);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pHeading);
    layout->addStretch(1);
}

CGridBaseDlg::~CGridBaseDlg()
{
    // The grid writes nothing on the way out, but it asks its owner (this
    // view) while it lives: it goes first.
    delete m_pGrid;
}

CDialogSetup* CGridBaseDlg::LayoutStore() const
{
    return m_context.LayoutStore();
}

void CGridBaseDlg::InitGrid(const QString& viewCode, quint32 gridId, int columns, int rows)
{
    EndGridEdit();
    if (rows != 0)
        m_nRowCount = rows;
    if (m_pGrid) {
        // The column count first: a refill after readers were added or
        // removed sets its own columns up right after this, and a later
        // change of the count must not find them to change.
        if (columns >= 2 && m_pGrid->GetVirtualMode())
            m_pGrid->SetColumnCount(columns);
        if (rows != 0)
            m_pGrid->SetRowCount(rows);
        m_pGrid->Refresh();
        return;
    }

    m_pGrid = new CGridCtrl(LayoutStore(), viewCode, QStringLiteral("0"), 0, 0, 0, 0, this);
    m_pGrid->CreateGrid(contentsRect(), this, gridId);
    // The grid takes the place the view keeps for it, below the heading.
    auto* layout = static_cast<QVBoxLayout*>(this->layout());
    if (QLayoutItem* stretch = layout->takeAt(layout->count() - 1))
        delete stretch;
    layout->addWidget(m_pGrid, 1);
    if (columns < 2)
        return;

    // The settings below each redraw the grid; it is drawn once, after them.
    m_pGrid->SetRedraw(false);
    m_pGrid->SetListMode(true);
    m_pGrid->SetSingleRowSelection(false);
    m_pGrid->SetVirtualMode(true);
    m_pGrid->SetColumnCount(columns);
    m_pGrid->SetRowCount(m_nRowCount);
    m_pGrid->SetFixedRowCount(1);
    m_pGrid->SetFixedColumnCount(1);
    m_pGrid->SetEditable(true);
    // No text the views edit may be longer than a stored name.
    if (CGridDefaultCell* cell = m_pGrid->GetDefaultCell(false, false))
        cell->SetTextLimit(CFerrold_Schema::kMaxNameLength);
    m_pGrid->SetEvenRowShading(true, 0xDCDCDC);
    const CFontScale scale(m_pGrid);
    m_pGrid->SetRowHeight(0, scale.Height(30), false);
    m_pGrid->SetSharedRowHeight(true);
    m_pGrid->SetTitleMode(1, QStringLiteral("Vexor Solution1"), QStringLiteral("Vexor Solution2"));
    m_pGrid->SetColumnWidth(0, scale.Width(10), true, false);
    // The default height is not stored: storing it here would overwrite the
    // height the user gave the rows before LoadGridLayout could read it.
    m_pGrid->SetRowHeight(1, scale.Height(18), false);
    m_pGrid->SetRedraw(true, true);
}

void CGridBaseDlg::EndGridEdit()
{
    if (m_pGrid)
        m_pGrid->EndActiveEdit();
}

void CGridBaseDlg::LoadGridLayout(const QString& viewCode)
{
    CDialogSetup* store = LayoutStore();
    if (!m_pGrid || !store)
        return;
    const QString gridKey = QStringLiteral("0");
    const int header = store->GetRowHeight(viewCode, gridKey, true);
    if (header > 0)
        m_pGrid->SetRowHeight(0, header, false);
    const int row = store->GetRowHeight(viewCode, gridKey, false);
    if (row > 0)
        m_pGrid->SetRowHeight(1, row, false);
    for (int col = 0; col < m_pGrid->GetColumnCount(); ++col) {
        const int width = store->GetColumnWidth(viewCode, gridKey, QString::number(col));
        if (width > 0)
            m_pGrid->SetColumnWidth(col, width, true, false);
    }
}

void CGridBaseDlg::SetColumnTitles()
{
    SetHeading(m_nKindText, m_strFilter);
}

void CGridBaseDlg::FillGrid(quint32, int)
{
}

bool CGridBaseDlg::StoreEditedCell(GRID_NOTIFY*)
{
    return false;
}

bool CGridBaseDlg::NameFits(const QString& name)
{
    if (name.size() <= CFerrold_Schema::kMaxNameLength)
        return true;
    CNotice::ShowCount(kNameTooLongText, CFerrold_Schema::kMaxNameLength);
    return false;
}

void CGridBaseDlg::OnGridDispInfo(GRID_DISPINFO& info)
{
    if (info.hdr.code == GRIDN_GETCELLTEXT)
        OnGetCellText(&info);
    else if (info.hdr.code == GRIDN_GETCELLCOLOR)
        OnGetCellColor(&info);
}

qint64 CGridBaseDlg::OnGridNotify(GRID_NOTIFY& notify)
{
    switch (notify.hdr.code) {
    case GRIDN_ENDEDIT:
        // Whether the edit was taken does not go back to the grid: it asks
        // for the cell again, which shows what was stored.
        StoreEditedCell(&notify);
        break;
    case NM_DBLCLK:
        OnGridDblClick(&notify);
        break;
    case NM_RCLICK:
        OnGridRClick(&notify);
        break;
    case NM_CLICK:
        OnGridClick(&notify);
        break;
    case GRIDN_BUTTONCLICK:
        OnGridButtonClick(&notify);
        break;
    case GRIDN_BEGINEDIT:
        return OnGridBeginEdit(&notify);
    default:
        break;
    }
    return 0;
}

void CGridBaseDlg::OnGetCellText(GRID_DISPINFO*)
{
}

void CGridBaseDlg::OnGetCellColor(GRID_DISPINFO*)
{
}

void CGridBaseDlg::OnGridRClick(GRID_NOTIFY*)
{
}

void CGridBaseDlg::OnGridClick(GRID_NOTIFY*)
{
}

void CGridBaseDlg::OnGridButtonClick(GRID_NOTIFY*)
{
}

qint64 CGridBaseDlg::OnGridBeginEdit(GRID_NOTIFY*)
{
    return 0;
}

std::vector<int> CGridBaseDlg::SelectedRows() const
{
    if (!m_pGrid)
        return {};
    QList<uint> selected;
    m_pGrid->GetSelectedRows(&selected, false);
    QList<uint> rows;
    for (uint row : selected) {
        if (row >= 1 && int(row) < m_pGrid->GetRowCount() && m_pGrid->IsCellSelected(int(row), 1))
            rows.push_back(row);
    }
    SortUIntArray(&rows);
    return std::vector<int>(rows.cbegin(), rows.cend());
}

int CGridBaseDlg::DataRowOf(int row) const
{
    const int dataRow = m_pGrid ? m_pGrid->GetDataRow(row) : -1;
    return dataRow >= 0 ? dataRow : row;
}

QPoint CGridBaseDlg::MenuPoint(const GRID_NOTIFY* notify) const
{
    if (!m_pGrid || !notify)
        return QCursor::pos();
    return m_pGrid->viewport()->mapToGlobal(notify->point);
}

void CGridBaseDlg::SetHeaderColour(int column, COLORREF colour)
{
    if (!m_pGrid || column < 0 || column >= m_pGrid->GetColumnCount())
        return;
    if (CGridCellBase* header = m_pGrid->GetCell(0, column)) {
        header->SetBackClr(colour);
        // The header on screen is a copy taken at the last paint.
        m_pGrid->Refresh();
    }
}

void CGridBaseDlg::OnGridDblClick(GRID_NOTIFY* notify)
{
    if (!notify || notify->row != 0 || !m_pGrid)
        return;
    const int column = notify->column;
    if (column != m_nSortColumn) {
        m_nSortMode = 0;
        SetHeaderColour(m_nSortColumn, CLR_DEFAULT);
        m_nSortColumn = column;
    }
    if (++m_nSortMode > 2)
        m_nSortMode = 0;
    if (!m_pGrid->SortByColumn(column, m_nSortMode))
        return;
    constexpr COLORREF kAscending = 0xBEFFFF;
    constexpr COLORREF kDescending = 0xFFFFBE;
    SetHeaderColour(column, m_nSortMode == 1 ? kAscending : m_nSortMode == 2 ? kDescending : CLR_DEFAULT);
    const int defaultColumn = GetDefaultSortColumn(0);
    const int defaultMode = GetDefaultSortMode(0);
    if (m_nSortMode == 0 && defaultColumn >= 0 && defaultMode >= 1)
        m_pGrid->SortByColumn(defaultColumn, defaultMode);
    m_pGrid->Refresh();
}

QString CGridBaseDlg::Text(unsigned int number) const
{
    CLanguageHandler* language = GetLanguage();
    return language && number != 0 ? language->GetLangItem(number) : QString();
}

void CGridBaseDlg::SetupColumn(int column, const QString& title, int width, bool exact, bool coloured)
{
    if (!m_pGrid)
        return;
    m_pGrid->SetColumnTitle(column, title);
    if (width >= 0)
        m_pGrid->SetColumnWidth(column, DefaultColumnWidth(column, width), exact, false);
    m_pGrid->SetColumnItemData(column, coloured ? 1 : 0);
}

void CGridBaseDlg::SetupReaderColumns(int firstColumn, bool withWidths)
{
    CFerrold_Handler* db = GetDBHandler();
    if (!m_pGrid || !db)
        return;
    CtblLeser* readers = db->Get_Ptr_To_tblLeser();
    // A refill after readers were added or removed (an import, a restore)
    // needs another column count than the grid was made with.
    const int columns = firstColumn + readers->GetAnz_Leser();
    if (m_pGrid->GetColumnCount() != columns)
        m_pGrid->SetColumnCount(columns);
    m_nFirstReaderColumn = firstColumn;
    m_readerOfColumn.clear();
    m_parsedLists.clear();
    for (int i = 0; i < readers->GetAnz_Leser(); ++i) {
        const int col = firstColumn + i;
        m_pGrid->SetColumnCellType(col, &CGridCellCheck::GetThisClass());
        SetupColumn(col, readers->Get_Leser(i)->Bezeichnung, -1, true, true);
        m_readerOfColumn.push_back(readers->Get_Leser(i)->ID_Leser);
        // A check column keeps its narrow width whatever the reader's name:
        // the name is the user's, and a long one would push the others away.
        if (withWidths)
            m_pGrid->SetColumnWidth(col, CFontScale(m_pGrid).Width(50), true, false);
    }
}

CGridCellCombo* CGridBaseDlg::SetDropDown(int row, int column, const QString& none, const QStringList& entries)
{
    if (!m_pGrid)
        return nullptr;
    CGridCellBase* cell = nullptr;
    if (row < 0)
        cell = m_pGrid->SetColumnCellType(column, &CGridCellCombo::GetThisClass());
    else if (m_pGrid->SetCellType(row, column, &CGridCellCombo::GetThisClass()))
        cell = m_pGrid->GetCell(row, column);
    auto* combo = dynamic_cast<CGridCellCombo*>(cell);
    if (!combo)
        return nullptr;
    combo->SetStyle(CGridCellCombo::DropDownList);
    CGridItemArray& items = combo->GetItemList();
    items.clear();
    items.reserve(std::size_t(entries.size()) + 1);
    if (!none.isNull())
        items.push_back(std::make_unique<CListEntry>(none, QString(), 0, 0));
    for (const QString& entry : entries)
        items.push_back(std::make_unique<CListEntry>(entry, entry, 0, 0));
    if (row >= 0)
        m_pGrid->Refresh();
    return combo;
}

void CGridBaseDlg::EndReaderColumnFill(int firstColumn, const QString& viewCode)
{
    const bool widths = m_bKeepColumnWidths == 0;
    SetupReaderColumns(firstColumn, widths);
    ResetSortState();
    if (widths)
        LoadGridLayout(viewCode);
    m_bKeepColumnWidths = 0;
    if (m_pGrid)
        m_pGrid->Refresh();
}

qint32 CGridBaseDlg::ReaderOfColumn(int column) const
{
    const std::size_t reader = std::size_t(column - m_nFirstReaderColumn);
    return column >= m_nFirstReaderColumn && reader < m_readerOfColumn.size() ? m_readerOfColumn[reader] : 0;
}

bool CGridBaseDlg::ReaderListHolds(const QString& readerList, qint32 readerId)
{
    if (readerList.isEmpty() || readerId <= 0)
        return false;
    // A few lists repeat over many rows: each text is split once.
    auto parsed = m_parsedLists.constFind(readerList);
    if (parsed == m_parsedLists.cend()) {
        QStringList pieces;
        SplitString(readerList, &pieces, CReaderIdList::kSeparator);
        ParsedReaders readers;
        for (const QString& piece : pieces)
            readers.append(CReaderIdList::ReaderOf(piece));
        parsed = m_parsedLists.insert(readerList, readers);
    }
    return parsed->contains(readerId);
}

int CGridBaseDlg::DefaultColumnWidth(int column, int width) const
{
    if (width <= 0)
        return width;
    // The ratio of the fonts' average letters does not promise that every
    // title fits: a wide face widens some words more than others.
    int title = 0;
    if (CGridCellBase* header = m_pGrid->GetCellAt(0, column))
        title = header->GetCellExtent().width();
    return std::max(CFontScale(m_pGrid).Width(width), title);
}

int CGridBaseDlg::CacheRow(int dataRow, int cachedRows) const
{
    int index = dataRow - 1;
    if (m_nFilterID != 0)
        index = index >= 0 && index < int(m_arFilteredRows.size()) ? m_arFilteredRows[std::size_t(index)] : -1;
    return index >= 0 && index < cachedRows ? index : -1;
}

void CGridBaseDlg::ResetSortState()
{
    if (!m_pGrid)
        return;
    // Any column of the grid: views with a column per reader sort columns
    // far beyond the first sixteen, and a refill with fewer readers may have
    // dropped the sorted column altogether.
    const int columns = m_pGrid->GetColumnCount();
    if (m_nSortColumn >= 0 && m_nSortColumn < columns)
        SetHeaderColour(m_nSortColumn, CLR_DEFAULT);
    m_pGrid->SelectRows(nullptr);
    m_nSortMode = 0;
    // A refill with as many rows as before would otherwise keep the old
    // order under a header that no longer says so.
    if (!m_pGrid->GetRowOrder().empty() && columns > 0)
        m_pGrid->SortByColumn(std::clamp(m_nSortColumn, 0, columns - 1), 0);
}

CFerrold_Handler* CGridBaseDlg::GetDBHandler() const
{
    return m_context.Database();
}

CLanguageHandler* CGridBaseDlg::GetLanguage() const
{
    return m_context.Language();
}

QString CGridBaseDlg::Heading() const
{
    return m_pHeading->text();
}

void CGridBaseDlg::SetHeading(unsigned int kindText, const QString& filter)
{
    m_nKindText = kindText;
    m_strFilter = filter;
    CLanguageHandler* language = GetLanguage();
    const QString kind = language ? language->GetLangItem(kindText) : QString();
    m_pHeading->setText(filter.isEmpty() ? kind : kind + QStringLiteral(" – ") + filter);
}

QString CGridBaseDlg::ReaderName(quint32 readerId) const
{
    CFerrold_Handler* db = GetDBHandler();
    if (!db || readerId == 0)
        return QString();
    CtblLeser* readers = db->Get_Ptr_To_tblLeser();
    for (int i = 0; i < readers->GetAnz_Leser(); ++i) {
        if (static_cast<quint32>(readers->Get_Leser(i)->ID_Leser) == readerId)
            return readers->Get_Leser(i)->Bezeichnung;
    }
    return QString();
}

void CGridBaseDlg::SplitString(const QString& text, QStringList* pieces, QChar separator)
{
    if (!pieces)
        return;
    // The rule every reader list is read by, below the views too.
    CReaderIdList::ForEachPiece(text, separator, [pieces](QStringView piece) { pieces->append(piece.toString()); });
}

bool CGridBaseDlg::HexToUInt(const QString& text, quint32* value)
{
    if (!value || text.isEmpty())
        return false;
    // Only ASCII digits count: Unicode upper-casing would turn a ligature
    // such as U+FB00 into "FF".
    quint32 number = 0;
    for (const QChar c : text) {
        const ushort u = c.unicode();
        quint32 digit = 0;
        if (u >= '0' && u <= '9')
            digit = u - '0';
        else if (u >= 'A' && u <= 'F')
            digit = u - 'A' + 10;
        else if (u >= 'a' && u <= 'f')
            digit = u - 'a' + 10;
        else
            return false;
        number = (number << 4) | digit; // wraps modulo 2^32 by design
    }
    *value = number;
    return true;
}

void CGridBaseDlg::SortUIntArray(QList<uint>* values)
{
    if (values)
        std::stable_sort(values->begin(), values->end());
}

void CGridBaseDlg::PadLeftToNibbles(QString& bits)
{
    const qsizetype rest = bits.size() % 4;
    if (rest != 0)
        bits.prepend(QString(4 - rest, QLatin1Char('0')));
}

QString CGridBaseDlg::BinToHex(const QString& bits)
{
    for (const QChar c : bits) {
        if (c != QLatin1Char('0') && c != QLatin1Char('1'))
            return QString();
    }
    QString padded = bits;
    PadLeftToNibbles(padded);
    QString hex;
    hex.reserve(padded.size() / 4);
    for (qsizetype i = 0; i < padded.size(); i += 4) {
        int nibble = 0;
        for (qsizetype j = i; j < i + 4; ++j)
            nibble = nibble * 2 + (padded.at(j) == QLatin1Char('1') ? 1 : 0);
        hex.append(QLatin1Char("0123456789ABCDEF"[nibble]));
    }
    return hex;
}

COLORREF CGridBaseDlg::SetCellColors(bool grey, GRID_DISPINFO* info, COLORREF back, COLORREF text)
{
    if (!info)
        return CLR_DEFAULT;
    constexpr COLORREF kGrey = 0xB9B9B9;
    COLORREF backColour = CLR_DEFAULT;
    COLORREF textColour = CLR_DEFAULT;
    if (grey)
        backColour = textColour = kGrey;
    if (qint32(back) >= 0) {
        backColour = back;
        textColour = text;
    }
    info->backColour = backColour;
    info->textColour = textColour;
    if (grey)
        info->state |= GVIS_READONLY;
    return backColour;
}
