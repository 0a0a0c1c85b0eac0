#include "CTransponderDlg.h"

#include "CAppContext.h"
#include "CBusyScope.h"
#include "CDialogRunner.h"
#include "CFerrold_Handler.h"
#include "CGridCellCheck.h"
#include "CGridCellCombo.h"
#include "CGridCtrl.h"
#include "CReaderLink.h"
#include "CReaderModel.h"
#include "CNotice.h"
#include "CTransponderStore.h"
#include "CUsbManuell.h"
#include "CtblLeser.h"
#include "CtblPerson.h"
#include "CtblTransponder.h"
#include "CtblZeitschema.h"
#include "GridRecords.h"
#include "CWindowMessage.h"

#include <QMetaObject>
#include <QScrollBar>

#include <algorithm>

namespace {

// Columns 1 to 5: title text and default width; the reader columns follow.
constexpr unsigned int kTitles[] = {20, 31, 15, 32, 18};
constexpr int kWidths[] = {30, 0, 90, 130, 80};
const QString kNone = QStringLiteral("---");

CtblTransponder* TransponderTable(CAppContext& context)
{
    CFerrold_Handler* db = context.Database();
    return db ? db->Get_Ptr_To_tblTransponder() : nullptr;
}

CtblTransponder::structTransponder* CachedTransponder(CAppContext& context, qint32 id)
{
    CtblTransponder* transponders = TransponderTable(context);
    for (int i = 0; transponders && i < transponders->GetAnz_Transponder(); ++i) {
        if (transponders->Get_Transponder(i)->ID_Transponder == id)
            return transponders->Get_Transponder(i);
    }
    return nullptr;
}

// Says why the store's last write did not happen.
void SayWhy(const CTransponderStore& store)
{
    switch (store.LastFailure()) {
    case CTransponderStore::Failure::Open: CNotice::ShowOpenFailure(); break;
    case CTransponderStore::Failure::NotFound: CNotice::ShowNotice(store.MissingText()); break;
    case CTransponderStore::Failure::Write: CNotice::ShowDatabaseError(store.LastError()); break;
    case CTransponderStore::Failure::None: break;
    }
}

} // namespace

CTransponderDlg::Scope::Scope(CTransponderDlg* view)
    : m_view(view)
{
    ++m_view->m_nOperations;
}

CTransponderDlg::Scope::~Scope()
{
    if (--m_view->m_nOperations == 0 && !m_view->m_queuedTags.isEmpty() && !m_view->m_bDrainPosted) {
        // Handled after the command has fully returned, never inside it.
        m_view->m_bDrainPosted = true;
        QMetaObject::invokeMethod(m_view, [view = m_view] { view->DrainTags(); }, Qt::QueuedConnection);
    }
}

CTransponderDlg::CTransponderDlg(CAppContext& context, QWidget* parent)
    : CGridBaseDlg(context, parent)
    , m_lookups(context)
{
    setObjectName(QStringLiteral("CTransponderDlg"));
    SetHeading(15, QString());
}

CTransponderDlg::~CTransponderDlg() = default;

bool CTransponderDlg::ShowForReader(quint32 readerId)
{
    m_bLearningOff = 1;
    m_nFilterID = readerId;
    m_bKeepColumnWidths = 0;
    SetHeading(15, ReaderName(readerId));
    FillGrid(kGridId, kColumns);
    return true;
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
    // The caches may have been read again, and keys changed in place, since
    // the last fill.
    m_lookups.Reset();
    CFerrold_Handler* db = GetDBHandler();
    if (!db)
        return;
    CtblTransponder* transponders = db->Get_Ptr_To_tblTransponder();
    CtblLeser* readers = db->Get_Ptr_To_tblLeser();
    const int rows = FilterRows(transponders->GetAnz_Transponder(), [&](int i) {
        return ReaderListHolds(transponders->Get_Transponder(i)->Leser_IDS, qint32(m_nFilterID));
    });
    m_schemaNames.clear();
    CtblZeitschema* schemas = db->Get_Ptr_To_tblZeitschema();
    for (int i = 0; i < schemas->GetAnz_Zeitschema(); i += 4) {
        const auto* schema = schemas->Get_Zeitschema(i);
        if (!m_schemaNames.contains(schema->ID_Zeitschema))
            m_schemaNames.insert(schema->ID_Zeitschema, schema->Bezeichnung);
    }
    InitGrid(QStringLiteral("05"), gridId, columns + readers->GetAnz_Leser() - 1, rows);
    CGridCtrl* grid = GetGrid();
    if (!grid)
        return;
    const bool widths = m_bKeepColumnWidths == 0;
    for (int col = 1; col < kFirstReaderColumn; ++col)
        SetupColumn(col, Text(kTitles[col - 1]), widths ? kWidths[col - 1] : -1, true, col != kPersonColumn);
    grid->SetColumnCellType(2, &CGridCellCheck::GetThisClass());
    // A row's person list (the free ones and the row's own) is built when
    // its editor opens; the column holds no list of every person, which a
    // fill of 100,000 rows would spend most of its time on and every shown
    // cell would search. Its cells stand for the name the view gives them,
    // so sorting and copying see the names.
    if (CGridCellCombo* combo = SetDropDown(-1, kPersonColumn, kNone, {}))
        combo->SetAllowFreeText(true);
    SetDropDown(-1, kSchemaColumn, QString(), SchemaNames());
    EndReaderColumnFill(kFirstReaderColumn, QStringLiteral("05"));
}

const CtblTransponder::structTransponder* CTransponderDlg::TransponderOfRow(int dataRow) const
{
    CtblTransponder* transponders = TransponderTable(Context());
    if (!transponders)
        return nullptr;
    const int index = CacheRow(dataRow, transponders->GetAnz_Transponder());
    return index >= 0 ? transponders->Get_Transponder(index) : nullptr;
}

QStringList CTransponderDlg::SchemaNames() const
{
    QStringList names;
    CFerrold_Handler* db = GetDBHandler();
    CtblZeitschema* schemas = db ? db->Get_Ptr_To_tblZeitschema() : nullptr;
    for (int i = 0; schemas && i < schemas->GetAnz_Zeitschema(); i += 4)
        names << schemas->Get_Zeitschema(i)->Bezeichnung;
    return names;
}

QString CTransponderDlg::SchemaName(qint32 schemaId) const
{
    return m_schemaNames.value(schemaId);
}

void CTransponderDlg::OnGetCellText(GRID_DISPINFO* info)
{
    if (!info || info->row < 1 || info->column < 1)
        return;
    const CtblTransponder::structTransponder* row = TransponderOfRow(info->dataRow);
    if (!row)
        return;
    switch (info->column) {
    case 1: info->valueText = QString::number(row->nNr); break;
    case 2: info->valueText = QString::number(row->UpdateOK); break;
    case 3: info->valueText = row->TransponderNummer; break;
    case kPersonColumn:
        // The text shown is the holder's name whatever list the cell last
        // opened with: rows shift under a cell when rows go.
        if (const auto* person = m_lookups.PersonHolding(row->ID_Transponder))
            info->valueText = person->Name;
        info->displayText = info->valueText.isNull() ? QStringLiteral("") : info->valueText;
        break;
    case kSchemaColumn:
        info->valueText = SchemaName(row->Zeitfenster_ID);
        info->displayText = info->valueText.isNull() ? QStringLiteral("") : info->valueText;
        break;
    default:
        info->valueText = ReaderListHolds(row->Leser_IDS, ReaderOfColumn(info->column)) ? QStringLiteral("1")
                                                                                         : QStringLiteral("0");
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
    const qint32 readerId = ReaderOfColumn(info->column);
    if (!db || readerId == 0)
        return;
    CtblLeser* readers = db->Get_Ptr_To_tblLeser();
    const int index = info->column - kFirstReaderColumn;
    if (index < readers->GetAnz_Leser() && readers->Get_Leser(index)->ID_Leser == readerId
        && CReaderModel::IsTern(readers->Get_Leser(index)->LeserTyp))
        SetCellColors(true, info, 0xB9B9B9, 0);
}

qint64 CTransponderDlg::OnGridNotify(GRID_NOTIFY& notify)
{
    // An edit's boxes and the menu's reader query let tags arrive: they wait.
    Scope scope(this);
    return CGridBaseDlg::OnGridNotify(notify);
}

qint64 CTransponderDlg::OnGridBeginEdit(GRID_NOTIFY* notify)
{
    if (!notify || notify->row < 1)
        return -1;
    const CtblTransponder::structTransponder* transponder = TransponderOfRow(notify->dataRow);
    if (!transponder)
        return -1;
    if (notify->column != kPersonColumn && notify->column != kSchemaColumn)
        return 0;
    CFerrold_Handler* db = GetDBHandler();
    if (!db)
        return -1;
    QStringList entries;
    if (notify->column == kPersonColumn) {
        // The free persons and the row's own: a person holds one transponder.
        CtblPerson* persons = db->Get_Ptr_To_tblPerson();
        for (int i = 0; i < persons->GetAnz_Person(); ++i) {
            const auto* person = persons->Get_Person(i);
            if (person->Transponder_ID == 0 || person->Transponder_ID == transponder->ID_Transponder)
                entries << person->Name;
        }
    } else {
        entries = SchemaNames();
    }
    const QString none = notify->column == kPersonColumn ? kNone : QString();
    return SetDropDown(notify->dataRow, notify->column, none, entries) ? 0 : -1;
}

bool CTransponderDlg::StoreEditedCell(GRID_NOTIFY* notify)
{
    if (!notify || notify->row < 1)
        return false;
    const CtblTransponder::structTransponder* transponder = TransponderOfRow(notify->dataRow);
    if (!transponder)
        return false;
    const qint32 id = transponder->ID_Transponder;
    switch (notify->column) {
    case kPersonColumn: return StorePerson(id, notify->text2);
    case kSchemaColumn: return StoreSchema(id, notify->text2);
    default:
        if (ReaderOfColumn(notify->column) == 0)
            return false;
        if (Context().RefusedWhileTransferRuns())
            return false;
        return StoreReader(id, notify->column, notify->text2 == QLatin1String("1"));
    }
}

void CTransponderDlg::Refill()
{
    m_bKeepColumnWidths = 1;
    FillGrid(kGridId, kColumns);
}

bool CTransponderDlg::StorePerson(qint32 transponderId, const QString& name)
{
    CFerrold_Handler* db = GetDBHandler();
    if (!db)
        return false;
    CtblPerson* persons = db->Get_Ptr_To_tblPerson();
    qint32 personId = 0;
    for (int i = 0; !name.isEmpty() && i < persons->GetAnz_Person(); ++i) {
        if (persons->Get_Person(i)->Name == name) {
            personId = persons->Get_Person(i)->ID_Person;
            break;
        }
    }
    CTransponderStore store(db);
    if (!store.SetPerson(transponderId, personId)) {
        SayWhy(store);
        return false;
    }
    m_lookups.Reset();
    Refill();
    return true;
}

bool CTransponderDlg::StoreSchema(qint32 transponderId, const QString& name)
{
    CFerrold_Handler* db = GetDBHandler();
    const auto* transponder = CachedTransponder(Context(), transponderId);
    if (!db || !transponder)
        return false;
    // With two schemas of one name, the last one, as the list is read.
    qint32 schemaId = 0;
    CtblZeitschema* schemas = db->Get_Ptr_To_tblZeitschema();
    for (int i = 0; i < schemas->GetAnz_Zeitschema(); i += 4) {
        if (schemas->Get_Zeitschema(i)->Bezeichnung == name)
            schemaId = schemas->Get_Zeitschema(i)->ID_Zeitschema;
    }
    CTransponderStore store(db);
    if (!store.SetSchema(transponderId, schemaId)) {
        SayWhy(store);
        return false;
    }
    Refill();
    return true;
}

bool CTransponderDlg::StoreReader(qint32 transponderId, int column, bool on)
{
    CFerrold_Handler* db = GetDBHandler();
    const auto* transponder = CachedTransponder(Context(), transponderId);
    const qint32 readerId = ReaderOfColumn(column);
    if (!db || !transponder || readerId == 0)
        return false;
    CtblLeser* readers = db->Get_Ptr_To_tblLeser();
    const CtblLeser::structLeser* reader = nullptr;
    for (int i = 0; i < readers->GetAnz_Leser() && !reader; ++i) {
        if (readers->Get_Leser(i)->ID_Leser == readerId)
            reader = readers->Get_Leser(i);
    }
    if (!reader)
        return false;
    // A connected Wren's master transponder opens the door in any case; it
    // is never given to or taken from a reader here.
    CReaderLink* link = Context().Link();
    if (link && link->IsPortOpen() && link->Status().readerType == CLinkStatus::ReaderWren) {
        const QString& parameter = reader->Parameter;
        const qsizetype separator = parameter.indexOf(u';');
        const QString master = separator < 0 ? parameter : parameter.mid(separator + 1);
        if (transponder->TransponderNummer == master) {
            CNotice::ShowNotice(217);
            return true;
        }
    }
    CTransponderStore store(db);
    if (!store.SetReader(transponderId, readerId, on)) {
        SayWhy(store);
        return false;
    }
    Refill();
    return true;
}

// --- The context menu and its commands.

bool CTransponderDlg::IsLearning()
{
    if (m_bLearningOff)
        return false;
    // Learned tags belong to the reader that answered the menu's query:
    // once that connection has gone, nothing may be stored for it.
    CReaderLink* link = Context().Link();
    if (link && (!link->IsPortOpen() || link->ConnectionId() != m_nReplyConnection)) {
        m_bLearningOff = 1;
        m_strReaderReply.clear();
        return false;
    }
    return true;
}

bool CTransponderDlg::event(QEvent* event)
{
    // A new connection: the reply of the last right-click is another reader's.
    if (static_cast<int>(event->type()) == CWindowMessage::WM_IDENTIFY_READER) {
        m_bLearningOff = 1;
        m_strReaderReply.clear();
    }
    return CGridBaseDlg::event(event);
}

CRecordViewMenu CTransponderDlg::ContextMenu(int column)
{
    CGridCtrl* grid = GetGrid();
    const std::size_t selected = SelectedRows().size();

    // The connected reader's identification, which learning stores tags for.
    m_strReaderReply.clear();
    CReaderLink* link = Context().Link();
    const CLinkStatus::Snapshot status = link ? link->Status() : CLinkStatus::Snapshot();
    if (link && link->IsPortOpen() && status.connectedPort >= 1) {
        const quint64 connection = link->ConnectionId();
        QString reply;
        switch (status.readerType) {
        case 1: case 2: case 4: reply = Context().SendAndWait('L', QStringLiteral("S0000"), 1); break;
        case 0: reply = Context().SendAndWait('H', QString(), 2); break;
        case 3: reply = Context().SendAndWait('H', QString(), 3); break;
        default: break;
        }
        // A reply with a wrong checksum is no answer.
        if (reply != QLatin1String("CRC_ERROR")) {
            m_strReaderReply = reply;
            m_nReplyConnection = connection;
        }
    }

    int count = 0;
    const bool inReaderColumn = grid && ReaderOfColumn(column) != 0;
    m_nClickedReaderId = ReaderOfColumn(column);
    if (inReaderColumn) {
        m_strClickedReader = grid->GetItemText(0, column);
        const qint32 readerId = ReaderOfColumn(column);
        for (int row = 1; row < grid->GetRowCount(); ++row) {
            const auto* transponder = TransponderOfRow(DataRowOf(row));
            if (transponder && ReaderListHolds(transponder->Leser_IDS, readerId))
                ++count;
        }
    } else {
        m_strClickedReader.clear();
    }

    CRecordViewMenu menu({ID_ASSIGNED_COUNT, CRecordViewMenu::kSeparator, ID_LEARN, ID_ADD_USB_OR_MANUAL,
                          CRecordViewMenu::ID_DELETE, CRecordViewMenu::kSeparator, ID_ASSIGN_ALL,
                          ID_REMOVE_ALL_ASSIGNMENTS, CRecordViewMenu::ID_DELETE_ALL});
    menu.Modify(ID_ASSIGNED_COUNT,
                (inReaderColumn ? QStringLiteral("%1 ").arg(count) : QStringLiteral("--- ")) + Text(231),
                inReaderColumn);
    menu.Modify(ID_LEARN, Text(m_bLearningOff ? 170 : 171), !m_strReaderReply.isEmpty() && m_nFilterID == 0);
    menu.Modify(CRecordViewMenu::ID_DELETE, Text(selected >= 2 ? 67 : 62), selected >= 1);
    menu.Modify(CRecordViewMenu::ID_DELETE_ALL, Text(63), grid && grid->GetRowCount() > 1);
    menu.Modify(ID_REMOVE_ALL_ASSIGNMENTS, Text(232), inReaderColumn && count != 0);
    menu.Modify(ID_ASSIGN_ALL, Text(233), inReaderColumn);
    menu.Modify(ID_ADD_USB_OR_MANUAL, Text(243), m_nFilterID == 0);
    return menu;
}

void CTransponderDlg::OnGridRClick(GRID_NOTIFY* notify)
{
    if (!notify)
        return;
    m_nClickedRow = (notify->dataRow >= 0 ? notify->dataRow : notify->row) - 1;
    const QPoint point = MenuPoint(notify);
    // The reader that was clicked, by its identity, taken before the menu
    // runs: names may repeat, and the columns may be rebuilt meanwhile.
    const qint32 readerId = ReaderOfColumn(notify->column);
    const int command = ContextMenu(notify->column).Track(this, point);
    m_nClickedReaderId = readerId;
    switch (command) {
    case ID_LEARN: OnInsertEntry(); break;
    case ID_ADD_USB_OR_MANUAL: OnAddUsbOrManual(); break;
    case CRecordViewMenu::ID_DELETE: OnDeleteEntry(); break;
    case CRecordViewMenu::ID_DELETE_ALL: OnDeleteAllEntries(); break;
    case ID_ASSIGN_ALL: OnAssignAllTransponders(); break;
    case ID_REMOVE_ALL_ASSIGNMENTS: OnRemoveAllAssignments(); break;
    default: break;
    }
}

void CTransponderDlg::OnAssignAllTransponders()
{
    ChangeAllAssignmentsWaiting(true, m_nClickedReaderId);
}

void CTransponderDlg::OnRemoveAllAssignments()
{
    ChangeAllAssignmentsWaiting(false, m_nClickedReaderId);
}

void CTransponderDlg::ChangeAllAssignmentsWaiting(bool assign, qint32 readerId)
{
    // Every transponder may be written: the wait cursor shows meanwhile,
    // and goes on every way out.
    if (readerId == 0)
        return;
    CBusyScope cursor(&Context());
    ChangeAllAssignments(assign, readerId);
}

void CTransponderDlg::OnInsertEntry()
{
    m_bLearningOff = m_bLearningOff == 0 ? 1 : 0;
}

void CTransponderDlg::OnAddUsbOrManual()
{
    if (m_nFilterID != 0)
        return;
    Scope scope(this);
    CtblTransponder* transponders = TransponderTable(Context());
    const int before = transponders ? transponders->GetAnz_Transponder() : 0;
    CUsbManuell dialog(GetLanguage(), GetDBHandler(), GetGrid(), nullptr);
    CDialogRunner::DoModal(dialog);
    // Rows were added at the end: the grid shows them in cache order, and
    // a header that said "sorted" would no longer be true.
    if (transponders && transponders->GetAnz_Transponder() != before)
        Refill();
}

void CTransponderDlg::OnDeleteEntry()
{
    CtblTransponder* transponders = TransponderTable(Context());
    CGridCtrl* grid = GetGrid();
    const std::vector<int> rows = SelectedRows();
    if (!transponders || !grid || rows.empty())
        return;
    // A tag that comes while the question is open waits for the answer.
    Scope scope(this);
    if (Context().RefusedWhileTransferRuns() || !CNotice::Confirm(rows.size() < 2 ? 69 : 68))
        return;
    const std::vector<qint32> keys = KeysOfRows(
        rows, [this](int dataRow) { return TransponderOfRow(dataRow); },
        [](const CtblTransponder::structTransponder& row) { return row.ID_Transponder; });
    DeleteTransponders(&keys);
}

void CTransponderDlg::OnDeleteAllEntries()
{
    CtblTransponder* transponders = TransponderTable(Context());
    Scope scope(this);
    if (!transponders || Context().RefusedWhileTransferRuns() || !CNotice::Confirm(64))
        return;
    if (m_nFilterID == 0) {
        DeleteTransponders(nullptr);
        return;
    }
    // Every transponder shown goes, not only its place in that reader's list.
    const auto keys = ShownKeys(transponders->GetAnz_Transponder(),
                                [transponders](int i) { return transponders->Get_Transponder(i)->ID_Transponder; });
    DeleteTransponders(&keys);
}

void CTransponderDlg::DeleteTransponders(const std::vector<qint32>* keys)
{
    CFerrold_Handler* db = GetDBHandler();
    if (!db)
        return;
    Scope scope(this);
    CTransponderStore(db).Delete(
        keys, &m_bBusy,
        [this] {
            m_lookups.Reset();
            Refill();
        },
        &Context(), [this](qint32 transponderId) { ClearPersonLink(transponderId); });
}

void CTransponderDlg::ClearPersonLink(qint32 transponderId)
{
    if (CFerrold_Handler* db = GetDBHandler())
        CTransponderStore(db).ClearPersonLinkCached(transponderId);
}

void CTransponderDlg::ChangeAllAssignments(bool assign, qint32 readerId)
{
    CFerrold_Handler* db = GetDBHandler();
    if (!db || readerId == 0 || Context().RefusedWhileTransferRuns())
        return;
    Scope scope(this);
    CtblLeser* readers = db->Get_Ptr_To_tblLeser();
    // A reader deleted while the menu was open has no lists to change.
    bool known = false;
    for (int i = 0; i < readers->GetAnz_Leser() && !known; ++i)
        known = readers->Get_Leser(i)->ID_Leser == readerId;
    if (!known)
        return;
    const int busy = m_bBusy;
    m_bBusy = 1;
    const auto done = qScopeGuard([this, busy] { m_bBusy = busy; });

    CTransponderStore store(db);
    if (!store.ChangeAll(assign, readerId)) {
        SayWhy(store);
        return;
    }
    if (store.ChangedRows() == 0)
        return;
    Refill();
}

// --- Learning.

int CTransponderDlg::DisplayedRowOf(int cacheRow) const
{
    CGridCtrl* grid = GetGrid();
    if (!grid)
        return 0;
    int dataRow = 0;
    if (m_nFilterID == 0) {
        dataRow = cacheRow + 1;
    } else {
        const auto it = std::find(m_arFilteredRows.begin(), m_arFilteredRows.end(), cacheRow);
        if (it == m_arFilteredRows.end())
            return 0;
        dataRow = int(it - m_arFilteredRows.begin()) + 1;
    }
    if (dataRow >= grid->GetRowCount())
        return 0;
    for (int row = 1; row < grid->GetRowCount(); ++row) {
        const int shown = grid->GetDataRow(row);
        if (shown < 0)
            return dataRow; // not sorted: rows in data order
        if (shown == dataRow)
            return row;
    }
    return 0;
}

void CTransponderDlg::AddReceivedTransponders(QString number)
{
    m_strLastReceived = number;
    if (m_nOperations > 0) {
        m_queuedTags << number;
        return;
    }
    Scope scope(this);
    Learn(number);
}

void CTransponderDlg::DrainTags()
{
    m_bDrainPosted = false;
    while (!m_queuedTags.isEmpty() && m_nOperations == 0) {
        Scope scope(this);
        Learn(m_queuedTags.takeFirst());
    }
}

void CTransponderDlg::Learn(const QString& received)
{
    CFerrold_Handler* db = GetDBHandler();
    CGridCtrl* grid = GetGrid();
    CReaderLink* link = Context().Link();
    if (!db || !grid)
        return;
    if (link && received == link->Status().masterTransponder)
        return;
    // Only a transponder number is ever stored: ten hexadecimal characters.
    const QString number = CUsbManuell::NormalizeTransponderNumber(received);
    CtblTransponder* transponders = db->Get_Ptr_To_tblTransponder();
    int cacheRow = -1;
    for (int i = 0; !number.isEmpty() && i < transponders->GetAnz_Transponder(); ++i) {
        if (transponders->Get_Transponder(i)->TransponderNummer == number) {
            cacheRow = i;
            break;
        }
    }
    const int shown = cacheRow >= 0 ? DisplayedRowOf(cacheRow) : 0;
    if (shown > 0) {
        const QList<uint> rows{uint(shown)};
        grid->SelectRows(&rows);
        grid->EnsureCellVisible(shown, 1);
    } else {
        grid->SelectRows(nullptr);
    }
    if (number.isEmpty() || !IsLearning())
        return;

    // The connected reader: the one whose serial number its reply carries.
    const QString identification = m_strReaderReply.mid(4, 20);
    qint32 readerId = 0;
    CtblLeser* readers = db->Get_Ptr_To_tblLeser();
    // An empty identification names no reader, not one whose serial number
    // happens to be empty.
    for (int i = 0; !identification.isEmpty() && i < readers->GetAnz_Leser(); ++i) {
        if (readers->Get_Leser(i)->Seriennummer == identification) {
            readerId = readers->Get_Leser(i)->ID_Leser;
            break;
        }
    }
    CTransponderStore store(db);
    const qint32 key = cacheRow >= 0 ? transponders->Get_Transponder(cacheRow)->ID_Transponder : 0;
    if (!store.Learn(number, readerId, key)) {
        // A transponder another PC deleted meanwhile is not learned.
        if (store.LastFailure() != CTransponderStore::Failure::NotFound)
            SayWhy(store);
        return;
    }
    // A known number's row was changed in place: the rows, and the order the
    // operator sorted them in, stay. A new one is shown last, in cache order.
    // A known number keeps its row selected, a new one leaves the selection
    // clear; either way the view ends at the last row, where new rows appear.
    if (cacheRow >= 0)
        grid->Refresh();
    else
        Refill();
    const int row = cacheRow >= 0 ? DisplayedRowOf(cacheRow) : 0;
    if (row > 0) {
        const QList<uint> rows{uint(row)};
        grid->SelectRows(&rows);
    } else {
        grid->SelectRows(nullptr);
    }
    grid->ResetScrollBars();
    grid->verticalScrollBar()->setValue(grid->verticalScrollBar()->maximum());
}
