#include "CTransponderDlg.h"

#include "CFerrold_Handler.h"
#include "CGridCellCheck.h"
#include "CGridCtrl.h"
#include "CLeftTreeView.h"
#include "CtblLeser.h"
#include "CtblTransponder.h"
#include "CtblZeitschema.h"
#include "GridRecords.h"

namespace {

// Columns 1 to 5: title text and default width; the reader columns follow.
constexpr unsigned int kTitles[] = {20, 31, 15, 32, 18};
constexpr int kWidths[] = {30, 0, 90, 130, 80};
constexpr int kFirstReaderColumn = 6;

} // namespace

CTransponderDlg::CTransponderDlg(QWidget* parent)
    : CGridBaseDlg(parent)
{
    setObjectName(QStringLiteral("CTransponderDlg"));
    SetHeading(15, QString());
}

void CTransponderDlg::ShowForReader(quint32 readerId)
{
    m_bLearning = false;
    m_nFilterID = readerId;
    m_bKeepColumnWidths = 0;
    SetHeading(15, ReaderName(readerId));
    FillGrid(kGridId, kColumns);
}

void CTransponderDlg::AddReceivedTransponders(QString number)
{
    m_strLastReceived = number;
}

void CTransponderDlg::SetColumnTitles()
{
    CGridBaseDlg::SetColumnTitles();
    if (CGridCtrl* grid = GetGrid()) {
        for (int col = 1; col < kFirstReaderColumn; ++col)
            grid->SetColumnTitle(col, Text(kTitles[col - 1]));
        grid->Refresh();
    }
}

void CTransponderDlg::FillGrid(quint32 gridId, int columns)
{
    // The rows are about to show other records: an open edit is stored
    // for the record it was typed on first.
    EndGridEdit();
    // Keys may have changed in place since the last fill.
    m_lookups.Reset();
    CFerrold_Handler* db = GetDBHandler();
    if (!db)
        return;
    CtblTransponder* transponders = db->Get_Ptr_To_tblTransponder();
    int rows = transponders->GetAnz_Transponder() + 1;
    m_arFilteredRows.clear();
    if (m_nFilterID != 0) {
        for (int i = 0; i < transponders->GetAnz_Transponder(); ++i) {
            if (ReaderListHolds(transponders->Get_Transponder(i)->Leser_IDS, m_nFilterID))
                m_arFilteredRows.push_back(i);
        }
        rows = int(m_arFilteredRows.size()) + 1;
    }
    InitGrid(QStringLiteral("05"), gridId, columns + db->Get_Ptr_To_tblLeser()->GetAnz_Leser() - 1, rows);
    CGridCtrl* grid = GetGrid();
    if (!grid)
        return;
    const bool widths = m_bKeepColumnWidths == 0;
    for (int col = 1; col < kFirstReaderColumn; ++col)
        SetupColumn(col, Text(kTitles[col - 1]), widths ? kWidths[col - 1] : -1, true, col != 4 && col != 5);
    grid->SetColumnCellType(2, &CGridCellCheck::GetThisClass());
    SetupReaderColumns(kFirstReaderColumn, widths);
    ResetSortState();
    if (widths)
        LoadGridLayout(QStringLiteral("05"));
    m_bKeepColumnWidths = 0;
    grid->Refresh();
}

void CTransponderDlg::OnGetCellText(GRID_DISPINFO* info)
{
    CFerrold_Handler* db = GetDBHandler();
    if (!info || info->row < 1 || info->column < 1 || !db)
        return;
    CtblTransponder* transponders = db->Get_Ptr_To_tblTransponder();
    const int index = CacheRow(info->dataRow, transponders->GetAnz_Transponder());
    if (index < 0)
        return;
    const CtblTransponder::structTransponder* row = transponders->Get_Transponder(index);
    switch (info->column) {
    case 1: info->valueText = QString::number(row->nNr); break;
    case 2: info->valueText = QString::number(row->UpdateOK); break;
    case 3: info->valueText = row->TransponderNummer; break;
    case 4:
        if (const auto* person = m_lookups.PersonHolding(row->ID_Transponder))
            info->valueText = person->Name;
        break;
    case 5: {
        CtblZeitschema* schemas = db->Get_Ptr_To_tblZeitschema();
        for (int i = 0; i < schemas->GetAnz_Zeitschema(); i += 4) {
            if (schemas->Get_Zeitschema(i)->ID_Zeitschema == row->Zeitfenster_ID) {
                info->valueText = schemas->Get_Zeitschema(i)->Bezeichnung;
                break;
            }
        }
        break;
    }
    default:
        info->valueText = ReaderColumnChecked(row->Leser_IDS, info->column) ? QStringLiteral("1") : QStringLiteral("0");
        break;
    }
}

void CTransponderDlg::OnGetCellColor(GRID_DISPINFO* info)
{
    if (!info || info->row < 1)
        return;
    if (info->column >= 1 && info->column <= 3) {
        SetCellColors(true, info, 0xB9B9B9, 0);
        return;
    }
    CFerrold_Handler* db = GetDBHandler();
    if (info->column < kFirstReaderColumn || !db || !GetGrid())
        return;
    const QString title = GetGrid()->GetColumnTitle(info->column);
    CtblLeser* readers = db->Get_Ptr_To_tblLeser();
    for (int i = 0; i < readers->GetAnz_Leser(); ++i) {
        if (readers->Get_Leser(i)->Bezeichnung == title) {
            if (CLeftTreeView::IsTernReader(readers->Get_Leser(i)->LeserTyp))
                SetCellColors(true, info, 0xB9B9B9, 0);
            return;
        }
    }
}
