#include "CZeitschemaDlg.h"

#include "CFerrold_Handler.h"
#include "CGridCellCheck.h"
#include "CGridCtrl.h"
#include "CLanguageHandler.h"
#include "CtblZeitschema.h"
#include "GridRecords.h"

namespace {

// Columns 1 to 14: title text and width with one schema shown and in the
// overview (0 hides the column).
struct Column
{
    unsigned int title;
    int oneSchema;
    int overview;
};
constexpr Column kLayout[] = {{20, 30, 30}, {31, 0, 0},  {28, 115, 115}, {34, 45, 0}, {35, 45, 0},
                               {36, 45, 0},  {37, 45, 0}, {38, 35, 0},    {39, 35, 0}, {40, 35, 0},
                               {41, 35, 0},  {42, 35, 0}, {43, 35, 0},    {44, 35, 0}};
// Every schema is four rows of the cache.
constexpr int kRowsPerSchema = 4;

} // namespace

CZeitschemaDlg::CZeitschemaDlg(QWidget* parent)
    : CGridBaseDlg(parent)
{
    setObjectName(QStringLiteral("CZeitschemaDlg"));
    SetHeading(18, QString());
}

void CZeitschemaDlg::ShowSchemas(quint32 schemaNumber)
{
    m_nFilterID = schemaNumber;
    QString name;
    if (CFerrold_Handler* db = GetDBHandler(); db && schemaNumber > 0) {
        CtblZeitschema* schemas = db->Get_Ptr_To_tblZeitschema();
        for (int i = 0; i < schemas->GetAnz_Zeitschema(); ++i) {
            if (static_cast<quint32>(schemas->Get_Zeitschema(i)->nNr) == schemaNumber) {
                name = schemas->Get_Zeitschema(i)->Bezeichnung;
                break;
            }
        }
    }
    SetHeading(18, name);
    FillGrid(kGridId, kColumns);
}

void CZeitschemaDlg::SetColumnTitles()
{
    CGridBaseDlg::SetColumnTitles();
    if (CGridCtrl* grid = GetGrid()) {
        for (int col = 1; col <= 14; ++col)
            grid->SetColumnTitle(col, Text(kLayout[col - 1].title));
        grid->Refresh();
    }
}

void CZeitschemaDlg::FillGrid(quint32 gridId, int columns)
{
    // The rows are about to show other records: an open edit is stored
    // for the record it was typed on first.
    EndGridEdit();
    CFerrold_Handler* db = GetDBHandler();
    if (!db)
        return;
    const int rows = m_nFilterID == 0 ? db->Get_Ptr_To_tblZeitschema()->GetAnz_Zeitschema() / kRowsPerSchema + 1
                                      : kRowsPerSchema + 1;
    InitGrid(QStringLiteral("04"), gridId, columns, rows);
    CGridCtrl* grid = GetGrid();
    if (!grid)
        return;
    for (int col = 1; col <= 14; ++col) {
        const Column& column = kLayout[col - 1];
        SetupColumn(col, Text(column.title), m_nFilterID == 0 ? column.overview : column.oneSchema, true, true);
        if (col == 2 || col >= 8)
            grid->SetColumnCellType(col, &CGridCellCheck::GetThisClass());
    }
    ResetSortState();
    LoadGridLayout(QStringLiteral("04"));
    grid->Refresh();
}

void CZeitschemaDlg::OnGetCellText(GRID_DISPINFO* info)
{
    CFerrold_Handler* db = GetDBHandler();
    if (!info || info->row < 1 || info->column < 1 || info->column > 14 || !db)
        return;
    CtblZeitschema* schemas = db->Get_Ptr_To_tblZeitschema();
    const int d = info->dataRow - 1;
    const qint64 index = m_nFilterID == 0 ? qint64(kRowsPerSchema) * d
                                          : d + qint64(kRowsPerSchema) * (qint64(m_nFilterID) - 1);
    // One schema is shown by its number, which need not be in the cache.
    if (d < 0 || index < 0 || index >= schemas->GetAnz_Zeitschema())
        return;
    const CtblZeitschema::structZeitschema* row = schemas->Get_Zeitschema(int(index));
    const int weekdays[] = {row->Montag, row->Dienstag, row->Mittwoch, row->Donnerstag,
                            row->Freitag, row->Samstag, row->Sonntag};
    switch (info->column) {
    case 1: info->valueText = QString::number(row->nNr); break;
    case 2: info->valueText = QString::number(row->UpdateOK); break;
    case 3: {
        CLanguageHandler* language = GetLanguage();
        const bool builtIn = row->Bezeichnung == QLatin1String("Vollzugriff")
                             || row->Bezeichnung == QLatin1String("Full access");
        info->valueText = builtIn && language && language->GetAktivLanguage() == 1 ? Text(81) : row->Bezeichnung;
        break;
    }
    case 4: info->valueText = row->Von.left(2); break;
    case 5: info->valueText = row->Von.mid(2); break;
    case 6: info->valueText = row->Bis.left(2); break;
    case 7: info->valueText = row->Bis.mid(2); break;
    default: info->valueText = QString::number(weekdays[info->column - 8]); break;
    }
}

void CZeitschemaDlg::OnGetCellColor(GRID_DISPINFO* info)
{
    if (!info || info->row < 1 || info->column < 1 || info->column > 14)
        return;
    const bool builtIn = m_nFilterID == 1 && info->dataRow >= 1 && info->dataRow <= 4;
    const bool overview = m_nFilterID == 0;
    const bool grey = builtIn || (overview && info->column != 3) || (!overview && info->column <= 3)
                      || (overview && info->valueText == Text(81));
    if (grey)
        SetCellColors(true, info, 0xB9B9B9, 0);
}
