#include "CNameDlg.h"

#include "CFerrold_Handler.h"
#include "CGridCtrl.h"
#include "CLanguageHandler.h"
#include "CtblLeser.h"
#include "CtblPerson.h"
#include "CtblTransponder.h"
#include "CtblZeitschema.h"
#include "GridRecords.h"

namespace {

// Columns 1 to 4: title text, default width and whether it is taken
// exactly; the reader columns follow.
struct Column
{
    unsigned int title;
    int width;
    bool exact;
};
constexpr Column kLayout[] = {{20, 30, true}, {32, 130, false}, {15, 90, false}, {18, 80, false}};
constexpr int kFirstReaderColumn = 5;

} // namespace

CNameDlg::CNameDlg(QWidget* parent)
    : CGridBaseDlg(parent)
{
    setObjectName(QStringLiteral("CNameDlg"));
    SetHeading(16, QString());
}

void CNameDlg::Reload(quint32 readerId)
{
    m_nFilterID = readerId;
    m_bKeepColumnWidths = 0;
    SetHeading(16, ReaderName(readerId));
    FillGrid(kGridId, kColumns);
}

void CNameDlg::SetColumnTitles()
{
    CGridBaseDlg::SetColumnTitles();
    if (CGridCtrl* grid = GetGrid()) {
        for (int col = 1; col < kFirstReaderColumn; ++col)
            grid->SetColumnTitle(col, Text(kLayout[col - 1].title));
        grid->Refresh();
    }
}

void CNameDlg::FillGrid(quint32 gridId, int columns)
{
    // The rows are about to show other records: an open edit is stored
    // for the record it was typed on first.
    EndGridEdit();
    // Keys may have changed in place since the last fill.
    m_lookups.Reset();
    CFerrold_Handler* db = GetDBHandler();
    if (!db)
        return;
    CtblPerson* persons = db->Get_Ptr_To_tblPerson();
    int rows = persons->GetAnz_Person() + 1;
    m_arFilteredRows.clear();
    if (m_nFilterID != 0) {
        for (int i = 0; i < persons->GetAnz_Person(); ++i) {
            const auto* transponder = m_lookups.TransponderById(persons->Get_Person(i)->Transponder_ID);
            if (transponder && ReaderListHolds(transponder->Leser_IDS, m_nFilterID))
                m_arFilteredRows.push_back(i);
        }
        rows = int(m_arFilteredRows.size()) + 1;
    }
    InitGrid(QStringLiteral("02"), gridId, columns + db->Get_Ptr_To_tblLeser()->GetAnz_Leser() - 1, rows);
    CGridCtrl* grid = GetGrid();
    if (!grid)
        return;
    const bool widths = m_bKeepColumnWidths == 0;
    for (int col = 1; col < kFirstReaderColumn; ++col) {
        const Column& column = kLayout[col - 1];
        SetupColumn(col, Text(column.title), widths ? column.width : -1, column.exact, col == 1 || col == 4);
    }
    SetupReaderColumns(kFirstReaderColumn, widths);
    ResetSortState();
    if (widths)
        LoadGridLayout(QStringLiteral("02"));
    m_bKeepColumnWidths = 0;
    grid->Refresh();
}

void CNameDlg::OnGetCellText(GRID_DISPINFO* info)
{
    CFerrold_Handler* db = GetDBHandler();
    if (!info || info->row < 1 || info->column < 1 || !db)
        return;
    CtblPerson* persons = db->Get_Ptr_To_tblPerson();
    const int index = CacheRow(info->dataRow, persons->GetAnz_Person());
    if (index < 0)
        return;
    const CtblPerson::structPerson* person = persons->Get_Person(index);
    const CtblTransponder::structTransponder* transponder = m_lookups.TransponderById(person->Transponder_ID);
    switch (info->column) {
    case 1: info->valueText = QString::number(person->nNr); break;
    case 2: info->valueText = person->Name; break;
    case 3: info->valueText = transponder ? transponder->TransponderNummer : QString(); break;
    case 4: {
        info->valueText = QStringLiteral("---");
        CtblZeitschema* schemas = db->Get_Ptr_To_tblZeitschema();
        for (int i = 0; transponder && i < schemas->GetAnz_Zeitschema(); i += 4) {
            if (schemas->Get_Zeitschema(i)->ID_Zeitschema == transponder->Zeitfenster_ID) {
                info->valueText = schemas->Get_Zeitschema(i)->Bezeichnung;
                break;
            }
        }
        CLanguageHandler* language = GetLanguage();
        if (info->valueText == QLatin1String("Vollzugriff") && language && language->GetAktivLanguage() == 1)
            info->valueText = QStringLiteral("Full access");
        break;
    }
    default:
        info->valueText = transponder && ReaderColumnChecked(transponder->Leser_IDS, info->column)
                              ? QStringLiteral("1")
                              : QStringLiteral("0");
        break;
    }
}

void CNameDlg::OnGetCellColor(GRID_DISPINFO* info)
{
    if (info && info->row >= 1 && (info->column == 1 || info->column == 4 || info->column >= kFirstReaderColumn))
        SetCellColors(true, info, 0xB9B9B9, 0);
}
