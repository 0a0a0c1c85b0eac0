// CGridCtrl: ordering the rows by a column. No data moves: the row order
// maps each displayed body row to the data row it shows.
#include "CGridCtrl.h"

#include "CGridCellBase.h"
#include "CRowSorter.h"

#include <memory>

std::vector<QString> CGridCtrl::CollectColumnValues(int col)
{
    std::vector<QString> values;
    values.reserve(std::size_t(std::max(m_nRows - 1, 0)));
    CellUseScope scope(*this);
    if (!m_bVirtualMode) {
        for (int row = 1; row < m_nRows; ++row) {
            const CGridCellBase* cell = GetCellAt(row, col);
            values.push_back(cell ? cell->GetValue() : QString());
        }
        return values;
    }
    // Each row is asked for exactly as a paint asks for it, but into one
    // scratch cell per source cell instead of a display copy per row: a sort
    // reads every row once, and keeping 100,000 copies (filled in data order
    // under displayed positions) would only show wrong texts until the next
    // refresh.
    std::unique_ptr<CGridCellBase> scratch;
    const CGridCellBase* scratchSource = nullptr;
    for (int row = 1; row < m_nRows; ++row) {
        CGridCellBase* source = FindExplicitCell(row, col);
        if (!source && m_bHasTemplateRow && std::size_t(col) < m_templateRow.size())
            source = m_templateRow[std::size_t(col)].get();
        if (!source) {
            values.push_back(QString());
            continue;
        }
        if (source != scratchSource) {
            source->UseOwnItemList();
            scratch = source->GetRuntimeClass().CreateObject();
            if (!scratch) {
                values.push_back(QString());
                scratchSource = nullptr;
                continue;
            }
            scratchSource = source;
        }
        // Every row starts from the source as a display copy would: a cell
        // that keeps its choice when a value names no entry (a combo) must
        // not keep the previous row's.
        scratch->Assign(*source);
        scratch->SetGrid(this);
        ExchangeWithOwner(*scratch, row, col, row, false);
        values.push_back(scratch->GetValue());
    }
    return values;
}

void CGridCtrl::ClearRowOrder()
{
    m_arRowOrder.clear();
    m_arDisplayOfData.clear();
}

bool CGridCtrl::SortByColumn(int col, int mode)
{
    // The displayed rows are about to show other records; an open edit
    // belongs to the record it began on.
    EndActiveEdit();
    // The selection belongs to displayed rows, which are about to show
    // other records.
    ClearSelection();
    m_arRowOrder.clear();
    MarkCacheStale();
    if (m_bAllowDraw)
        viewport()->update();
    if (mode == 0)
        return true;
    if (col < 0 || col >= m_nCols)
        return false;

    const int rows = m_nRows;
    std::vector<QString> primary = CollectColumnValues(col);
    const int secondaryCol = m_nSecondarySortColumn;
    const bool withSecondary = secondaryCol != 0 && secondaryCol != col && secondaryCol > 0 && secondaryCol < m_nCols;
    std::vector<QString> secondary;
    if (withSecondary)
        secondary = CollectColumnValues(secondaryCol);
    // An owner that changed the row count while it was asked has rows the
    // values no longer fit; the grid stays in data order.
    if (m_nRows != rows || (withSecondary && secondary.size() != primary.size()))
        return false;

    std::vector<QStringList> texts(primary.size());
    std::vector<const QStringList*> rowTexts(primary.size());
    for (std::size_t i = 0; i < primary.size(); ++i) {
        texts[i].reserve(withSecondary ? 2 : 1);
        texts[i].append(std::move(primary[i]));
        if (withSecondary)
            texts[i].append(std::move(secondary[i]));
        rowTexts[i] = &texts[i];
    }
    std::vector<uint> order;
    const int result = CRowSorter::SortRows(&rowTexts, &order, mode != 2);
    m_arRowOrder = std::move(order);
    m_arDisplayOfData.assign(m_arRowOrder.size(), 0);
    for (std::size_t i = 0; i < m_arRowOrder.size(); ++i) {
        if (m_arRowOrder[i] < m_arDisplayOfData.size())
            m_arDisplayOfData[m_arRowOrder[i]] = uint(i);
    }
    // What was read while the rows were collected was read in data order.
    MarkCacheStale();
    if (m_bAllowDraw)
        viewport()->update();
    return result != 0;
}
