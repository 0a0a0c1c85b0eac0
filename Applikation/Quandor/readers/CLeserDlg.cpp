#include "CLeserDlg.h"

#include "CFerrold_Handler.h"
#include "CGridCellButton.h"
#include "CGridCellCheck.h"
#include "CGridCtrl.h"
#include "CLanguageHandler.h"
#include "CAppContext.h"
#include "CReaderLink.h"
#include "CParamHeron_KiteDlg.h"
#include "CParamWrenDlg.h"
#include "CReadEventsJob.h"
#include "CReaderStore.h"
#include "CTransferRun.h"
#include "CUiMessage.h"
#include "GridRecords.h"
#include "CWindowMessage.h"

#include <algorithm>

namespace {

// Columns 1 to 7: title text (0: none) and width.
constexpr unsigned int kTitles[] = {20, 31, 58, 28, 30, 29, 0};
constexpr int kWidths[] = {30, 45, 80, 155, 130, 50, 80};
constexpr int kNameColumn = 4;
constexpr int kSerialColumn = 5;
constexpr int kTypeColumn = 3;
constexpr int kButtonColumn = 7;
constexpr COLORREF kGrey = 0xB9B9B9;

// Language texts.
constexpr unsigned int kReaderText = 14;
constexpr unsigned int kButtonText = 59;

void openSettings(CLeserDlg& view, CReaderModel::SettingsDialog dialog, const CtblLeser::structLeser& reader)
{
    switch (dialog) {
    case CReaderModel::SettingsDialog::Wren: CParamWrenDlg::Open(view, reader); break;
    case CReaderModel::SettingsDialog::HeronKite: CParamHeron_KiteDlg::Open(view, reader); break;
    case CReaderModel::SettingsDialog::None: break;
    }
}

} // namespace

CLeserDlg::CLeserDlg(CAppContext& context, QWidget* parent)
    : CGridBaseDlg(context, parent)
{
    setObjectName(QStringLiteral("CLeserDlg"));
    SetHeading(kReaderText, QString());
    // The view is first shown with every reader, before anyone reloads it.
    CLeserDlg::FillGrid(kGridId, kColumns);
}

CLeserDlg::~CLeserDlg()
{
    StopTransfer();
}

CtblLeser* CLeserDlg::Readers() const
{
    CFerrold_Handler* db = GetDBHandler();
    return db ? db->Get_Ptr_To_tblLeser() : nullptr;
}

CtblLeser::structLeser* CLeserDlg::ReaderAt(int dataRow) const
{
    CtblLeser* readers = Readers();
    if (!readers || dataRow < 1 || dataRow > readers->GetAnz_Leser())
        return nullptr;
    return readers->Get_Leser(dataRow - 1);
}

int CLeserDlg::Reload(int)
{
    CReaderLink* link = Context().Link();
    // A search under way will ask for its reader to be identified: a
    // reload meanwhile (another node shown, an import) keeps that request.
    if (!link || !link->IsSearching()) {
        m_bIdentifyRequest = false;
        Context().SetIdentifyRequest(false);
    }
    CtblLeser* readers = Readers();
    if (!readers)
        return 1;
    // An open edit belongs to the rows before the re-read.
    EndGridEdit();
    readers->_Requery();
    SetHeading(kReaderText, QString());
    FillGrid(kGridId, kColumns);
    if (link) {
        link->SetReaderName(QString());
        const CLinkStatus::Snapshot status = link->Status();
        const QString& identification = status.identification;
        if (!CReaderModel::IsPlainType(status.readerType) && !identification.isEmpty()) {
            for (int i = 0; i < readers->GetAnz_Leser(); ++i) {
                if (readers->Get_Leser(i)->Seriennummer == identification) {
                    link->SetReaderName(readers->Get_Leser(i)->Bezeichnung);
                    break;
                }
            }
        }
    }
    return 1;
}

bool CLeserDlg::event(QEvent* event)
{
    if (static_cast<int>(event->type()) == CWindowMessage::WM_IDENTIFY_READER) {
        OnReaderDetected();
        return true;
    }
    if (TransferEvent(event))
        return true;
    return CGridBaseDlg::event(event);
}

void CLeserDlg::SetColumnTitles()
{
    CGridBaseDlg::SetColumnTitles();
    if (CGridCtrl* grid = GetGrid()) {
        for (int col = 1; col <= 6; ++col)
            grid->SetColumnTitle(col, Text(kTitles[col - 1]));
        grid->Refresh();
    }
}

void CLeserDlg::FillGrid(quint32 gridId, int columns)
{
    // The rows are about to show other records: an open edit is stored
    // for the record it was typed on first.
    EndGridEdit();
    CtblLeser* readers = Readers();
    if (!readers)
        return;
    InitGrid(QStringLiteral("03"), gridId, columns, readers->GetAnz_Leser() + 1);
    CGridCtrl* grid = GetGrid();
    if (!grid)
        return;
    for (int col = 1; col <= 7; ++col)
        SetupColumn(col, Text(kTitles[col - 1]), kWidths[col - 1], true, col != kNameColumn);
    grid->SetColumnCellType(2, &CGridCellCheck::GetThisClass());
    grid->SetColumnCellType(kButtonColumn, &CGridCellButton::GetThisClass());
    // Two readers' serial numbers differ in their last digits: by default
    // the column shows all 20 of the widest digit. The type column shows
    // the longest model's text ("Reader: Heron") in either language.
    if (CGridDefaultCell* cell = grid->GetDefaultCell(false, false)) {
        const auto widen = [grid](int column, int width) {
            if (grid->GetColumnWidth(column) < width)
                grid->SetColumnWidth(column, width, true, false);
        };
        widen(kSerialColumn, cell->GetTextExtent(QString(20, QLatin1Char('D'))).width());
        int type = 0;
        for (const char* model : {"Tern", "Wren", "Kite", "Heron", "Egret"})
            type = std::max(type, cell->GetTextExtent(Text(kReaderText) + QStringLiteral(": ") + QLatin1String(model)).width());
        widen(kTypeColumn, type);
    }
    ResetSortState();
    LoadGridLayout(QStringLiteral("03"));
    grid->Refresh();
}

void CLeserDlg::OnGetCellText(GRID_DISPINFO* info)
{
    const CtblLeser::structLeser* reader = info && info->row >= 1 ? ReaderAt(info->dataRow) : nullptr;
    if (!reader)
        return;
    switch (info->column) {
    case 1: info->valueText = QString::number(reader->nNr); break;
    case 2: info->valueText = QString::number(reader->UpdateOK); break;
    case 3: info->valueText = Text(kReaderText) + QStringLiteral(": ") + reader->LeserTyp; break;
    case 4: info->valueText = reader->Bezeichnung; break;
    case 5: info->valueText = reader->Seriennummer; break;
    case 6: info->valueText = reader->Adresse; break;
    case 7: info->valueText = Text(kButtonText); break;
    default: break;
    }
}

void CLeserDlg::OnGetCellColor(GRID_DISPINFO* info)
{
    if (!info || info->row < 1 || info->column < 1 || info->column == kNameColumn || info->column > kButtonColumn)
        return;
    if (info->column == kButtonColumn) {
        const CtblLeser::structLeser* reader = ReaderAt(info->dataRow);
        const CReaderModel::Facts* model = reader ? CReaderModel::ByStoredText(reader->LeserTyp) : nullptr;
        if (!model || !model->buttonGrey)
            return;
    }
    SetCellColors(true, info, kGrey, 0);
}

bool CLeserDlg::StoreEditedCell(GRID_NOTIFY* notify)
{
    if (!notify || notify->row < 1)
        return false;
    if (notify->column != kNameColumn)
        return true;
    CFerrold_Handler* db = GetDBHandler();
    CtblLeser::structLeser* reader = ReaderAt(notify->dataRow);
    if (!db || !reader)
        return false;
    const QString oldName = reader->Bezeichnung;
    const QString newName = notify->text1;
    if (!NameFits(newName))
        return false;
    const bool tern = CReaderModel::IsTern(reader->LeserTyp);

    // Found by its key, wherever a set left open by earlier work stands; a
    // reader that is gone from the table keeps its name everywhere.
    if (CReaderStore(*db).Rename(reader->ID_Leser, newName) != CReaderStore::Result::Written)
        return false;

    reader->Bezeichnung = newName;
    // A Tern has no children: a child of its old name is another reader's.
    if (tern)
        return true;
    Context().RenameReaderChildren(oldName, newName);
    return true;
}

void CLeserDlg::OnGridButtonClick(GRID_NOTIFY* notify)
{
    CGridCtrl* grid = GetGrid();
    if (!notify || !grid || notify->column != kButtonColumn || notify->row < 1 || notify->row >= grid->GetRowCount())
        return;
    const CtblLeser::structLeser* reader = ReaderAt(notify->dataRow);
    if (!reader)
        return;
    // A model nobody knows is taken for a framed one, as the framed dialog
    // asks the reader itself before it writes anything.
    const CReaderModel::Facts* model = CReaderModel::ByStoredText(reader->LeserTyp);
    if (model && model->buttonGrey)
        return;
    const CReaderModel::SettingsDialog kind = model ? model->settingsDialog : CReaderModel::SettingsDialog::HeronKite;
    // A copy: the dialog may outlive a re-read of the cache.
    const CtblLeser::structLeser copy = *reader;
    openSettings(*this, kind, copy);
}

void CLeserDlg::ShowError(unsigned int text) const
{
    CUiMessage::Show(Text(text), QMessageBox::Critical);
}
