#include "CEventsDlg.h"

#include "CAppContext.h"
#include "CFerrold_Handler.h"
#include "CGridCtrl.h"
#include "CtblEvents.h"
#include "CtblLeser.h"
#include "CRecordDeleter.h"
#include "CNotice.h"
#include "GridRecords.h"

namespace {

struct Column
{
    unsigned int title;
    int width;
};
// Columns 1 to 10.
constexpr Column kLayout[] = {{20, 60}, {21, 110}, {73, 110}, {14, 110}, {22, 70},
                               {23, 50}, {24, 110}, {25, 140}, {26, 110}, {27, 160}};

// The reader's present name; "---" for a reader no longer there.
QString ReaderNameOf(CFerrold_Handler& db, qint32 readerId)
{
    CtblLeser* readers = db.Get_Ptr_To_tblLeser();
    for (int i = 0; i < readers->GetAnz_Leser(); ++i) {
        if (readers->Get_Leser(i)->ID_Leser == readerId)
            return readers->Get_Leser(i)->Bezeichnung;
    }
    return QStringLiteral("---");
}

} // namespace

CEventsDlg::CEventsDlg(CAppContext& context, QWidget* parent)
    : CGridBaseDlg(context, parent)
    , m_lookups(context)
{
    setObjectName(QStringLiteral("CEventsDlg"));
    SetHeading(17, QString());
}

void CEventsDlg::ShowEvents(quint32 readerId)
{
    m_nFilterID = readerId;
    // Events a reading stored without re-reading the cache (a run that
    // ended early) must not stay hidden: a cheap look at the table tells.
    if (CFerrold_Handler* db = GetDBHandler()) {
        CtblEvents* events = db->Get_Ptr_To_tblEvents();
        int count = 0;
        qint32 largest = 0;
        const int cached = events->GetAnz_Events();
        if (events->ReadKeyRange(&count, &largest)
            && (count != cached || (cached > 0 && largest != events->GetMajorID_Events())))
            events->_Requery();
    }
    SetHeading(17, ReaderName(readerId));
    FillGrid(kGridId, kColumns);
    m_bKeepColumnWidths = 1;
}

void CEventsDlg::SetColumnTitles()
{
    CGridBaseDlg::SetColumnTitles();
    if (CGridCtrl* grid = GetGrid()) {
        for (int col = 1; col <= 10; ++col)
            grid->SetColumnTitle(col, Text(kLayout[col - 1].title));
        grid->Refresh();
    }
}

void CEventsDlg::FillGrid(quint32 gridId, int columns)
{
    // The rows are about to show other records: an open edit is stored
    // for the record it was typed on first.
    EndGridEdit();
    // Keys may have changed in place since the last fill.
    m_lookups.Reset();
    CFerrold_Handler* db = GetDBHandler();
    CtblEvents* events = db ? db->Get_Ptr_To_tblEvents() : nullptr;
    const int cached = events ? events->GetAnz_Events() : 0;
    int rows = cached + 1;
    m_arFilteredRows.clear();
    if (m_nFilterID != 0) {
        for (int i = 0; i < cached; ++i) {
            if (quint32(events->Get_Event(i)->Leser_ID) == m_nFilterID)
                m_arFilteredRows.push_back(i);
        }
        rows = int(m_arFilteredRows.size()) + 1;
    }
    InitGrid(QStringLiteral("01"), gridId, columns, rows);
    CGridCtrl* grid = GetGrid();
    if (!grid)
        return;
    // Equal values in the sorted column keep the time's order.
    grid->SetSecondarySortColumn(6);
    for (int col = 1; col <= 10; ++col)
        SetupColumn(col, Text(kLayout[col - 1].title), kLayout[col - 1].width, true, true);
    ResetSortState();
    LoadGridLayout(QStringLiteral("01"));
    grid->Refresh();
}

void CEventsDlg::OnGetCellText(GRID_DISPINFO* info)
{
    CFerrold_Handler* db = GetDBHandler();
    if (!info || info->row < 1 || info->column < 1 || !db)
        return;
    CtblEvents* events = db->Get_Ptr_To_tblEvents();
    const int index = CacheRow(info->dataRow, events->GetAnz_Events());
    if (index < 0)
        return;
    const CtblEvents::structEvents* event = events->Get_Event(index);
    switch (info->column) {
    case 1: info->valueText = QString::number(event->nNr); break;
    case 2: info->valueText = event->Transpondernummer; break;
    case 3: {
        // Read from the person's side; "---" for none.
        const auto* transponder = m_lookups.TransponderByNumber(event->Transpondernummer);
        const auto* person = transponder ? m_lookups.PersonHolding(transponder->ID_Transponder) : nullptr;
        info->valueText = person ? person->Name : QStringLiteral("---");
        break;
    }
    case 4: info->valueText = m_nFilterID == 0 ? event->LeserName.ToString() : ReaderNameOf(*db, event->Leser_ID); break;
    case 5: info->valueText = event->Datum.left(2) + u'.' + event->Datum.mid(2, 2) + u'.' + event->Datum.mid(4); break;
    case 6: info->valueText = event->Uhrzeit.left(2) + u':' + event->Uhrzeit.mid(2); break;
    case 7: info->valueText = event->Binaerwert1; break;
    case 8: info->valueText = event->Event1; break;
    case 9: info->valueText = event->Binaerwert2; break;
    case 10: info->valueText = event->Event2; break;
    default: break;
    }
}

void CEventsDlg::OnGetCellColor(GRID_DISPINFO* info)
{
    if (info && info->row >= 1 && info->column >= 1 && info->column <= 10)
        SetCellColors(true, info, 0xB9B9B9, 0);
}

CRecordViewMenu CEventsDlg::ContextMenu() const
{
    CRecordViewMenu menu({CRecordViewMenu::ID_INSERT, CRecordViewMenu::ID_DELETE, CRecordViewMenu::ID_DELETE_ALL});
    // Events are never added or deleted one by one here.
    menu.Modify(CRecordViewMenu::ID_INSERT, Text(61), false);
    menu.Modify(CRecordViewMenu::ID_DELETE, Text(62), false);
    menu.Modify(CRecordViewMenu::ID_DELETE_ALL, Text(63), GetGrid() && GetGrid()->GetRowCount() > 1);
    return menu;
}

void CEventsDlg::OnGridRClick(GRID_NOTIFY* notify)
{
    if (!notify)
        return;
    if (ContextMenu().Track(this, MenuPoint(notify)) == CRecordViewMenu::ID_DELETE_ALL)
        OnDeleteAll();
}

void CEventsDlg::OnDeleteAll()
{
    CFerrold_Handler* db = GetDBHandler();
    if (!db || !CNotice::Confirm(64))
        return;
    CtblEvents* events = db->Get_Ptr_To_tblEvents();
    CRecordDeleter deleter(*events, 75);
    deleter.context = &Context();
    deleter.busyFlag = &m_bBusy;
    deleter.updateCaches = [events](const QSet<qint32>* deleted) {
        if (!deleted)
            events->RemoveAllData();
        else
            events->RemoveIf([deleted](const CtblEvents::structEvents& row) { return deleted->contains(row.ID_Events); });
    };
    deleter.reread = [events] { events->_Requery(); };
    deleter.refill = [this] { FillGrid(kGridId, kColumns); };
    if (m_nFilterID == 0) {
        deleter.DeleteAll();
        return;
    }
    // Every row shown, selected or not: the filtered list holds exactly them.
    deleter.DeleteKeys(ShownKeys(events->GetAnz_Events(), [events](int i) { return events->Get_Event(i)->ID_Events; }));
}
