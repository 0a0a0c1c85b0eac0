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
#include "CRecordDeleter.h"
#include "CRecordWriter.h"
#include "CTransaction.h"
#include "CUsbManuell.h"
#include "CtblLeser.h"
#include "CtblPerson.h"
#include "CtblTransponder.h"
#include "CtblZeitschema.h"
#include "GridRecords.h"
#include "CWindowMessage.h"

#include <QMetaObject>
#include <QScrollBar>
#include <QSqlError>

#include <algorithm>
#include <functional>
#include <map>

namespace {

// Columns 1 to 5: title text and default width; the reader columns follow.
constexpr unsigned int kTitles[] = {20, 31, 15, 32, 18};
constexpr int kWidths[] = {30, 0, 90, 130, 80};
const QString kNone = QStringLiteral("---");

CtblTransponder* TransponderTable()
{
    CFerrold_Handler* db = CGridBaseDlg::GetDBHandler();
    return db ? db->Get_Ptr_To_tblTransponder() : nullptr;
}

CtblTransponder::structTransponder* CachedTransponder(qint32 id)
{
    CtblTransponder* transponders = TransponderTable();
    for (int i = 0; transponders && i < transponders->GetAnz_Transponder(); ++i) {
        if (transponders->Get_Transponder(i)->ID_Transponder == id)
            return transponders->Get_Transponder(i);
    }
    return nullptr;
}

std::vector<QVariant> Variants(const std::vector<qint32>& ids)
{
    return std::vector<QVariant>(ids.begin(), ids.end());
}

// Marks the readers in the table; the caller's transaction holds it.
void MarkReadersStored(const std::vector<qint32>& readers)
{
    CFerrold_Handler* db = CGridBaseDlg::GetDBHandler();
    if (!db || readers.empty())
        return;
    const std::vector<QVariant> ids = Variants(readers);
    db->Get_Ptr_To_tblLeser()->UpdateWhere(QStringLiteral("boolUpdateOK"), 1, QStringLiteral("ID_Leser"), &ids);
}

void MarkReadersCached(const std::vector<qint32>& readers)
{
    CFerrold_Handler* db = CGridBaseDlg::GetDBHandler();
    if (!db || readers.empty())
        return;
    const QSet<qint32> ids(readers.begin(), readers.end());
    CtblLeser* table = db->Get_Ptr_To_tblLeser();
    for (int i = 0; i < table->GetAnz_Leser(); ++i) {
        if (ids.contains(table->Get_Leser(i)->ID_Leser))
            table->Get_Leser(i)->UpdateOK = 1;
    }
}

// Commits, or shows the database's text; false when nothing was stored.
bool Commit(CTransaction& transaction)
{
    if (transaction.Commit())
        return true;
    CRecordWriter::ShowDatabaseError(transaction.GetError());
    return false;
}

// One change of a transponder's row, marked to be sent, and the readers it
// concerns marked too (none given: the readers of its stored list), in one
// transaction; the cache takes the same change once it is committed. The
// write sees the row as stored, read inside the transaction (on a server
// locked until it ends), never the cached copy. False (said) when nothing
// was stored.
bool StoreMarked(CFerrold_Handler& db, qint32 transponderId, const std::vector<qint32>& readers,
                 const std::function<void(CtblTransponder&)>& write,
                 const std::function<void(CtblTransponder::structTransponder&)>& cache)
{
    CtblTransponder* transponders = db.Get_Ptr_To_tblTransponder();
    CTransaction transaction(db.GetDatabase());
    std::vector<std::pair<qint32, QString>> locked;
    const QList<qint32> keys{transponderId};
    if (db.GetDatabase()->IsServer() && !transponders->ReadForWrite(QStringLiteral("strLeser_IDS"), &locked, &keys)) {
        CRecordWriter::ShowDatabaseError(transponders->GetLastError());
        return false;
    }
    std::vector<qint32> marked = readers;
    QString storedList;
    const CRecordWriter::Result result = CRecordWriter::WriteByKey(*transponders, transponderId, [&] {
        if (marked.empty())
            marked = CTransponderDlg::ReadersOfList(transponders->strLeser_IDS);
        write(*transponders);
        storedList = transponders->strLeser_IDS;
        transponders->boolUpdateOK = 1;
    });
    if (result == CRecordWriter::Result::NotFound)
        CRecordWriter::ShowNotice(75);
    if (result != CRecordWriter::Result::Written)
        return false;
    try {
        MarkReadersStored(marked);
    } catch (const CDBException& e) {
        CRecordWriter::ShowDatabaseError(e.m_strError);
        return false;
    }
    if (!Commit(transaction))
        return false;
    if (auto* cached = CachedTransponder(transponderId)) {
        cache(*cached);
        // Another PC's change of the list shows as well.
        cached->Leser_IDS = storedList;
        cached->UpdateOK = 1;
    }
    MarkReadersCached(marked);
    return true;
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
    // Keys may have changed in place since the last fill.
    m_lookups.Reset();
    CFerrold_Handler* db = GetDBHandler();
    if (!db)
        return;
    // The caches may have been read again since the last fill.
    m_lookups.Reset();
    m_strParsedList.clear();
    m_parsedReaders.clear();
    CtblTransponder* transponders = db->Get_Ptr_To_tblTransponder();
    CtblLeser* readers = db->Get_Ptr_To_tblLeser();
    int rows = transponders->GetAnz_Transponder() + 1;
    m_arFilteredRows.clear();
    if (m_nFilterID != 0) {
        for (int i = 0; i < transponders->GetAnz_Transponder(); ++i) {
            if (ReaderListHolds(transponders->Get_Transponder(i)->Leser_IDS, m_nFilterID))
                m_arFilteredRows.push_back(i);
        }
        rows = int(m_arFilteredRows.size()) + 1;
    }
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
    // The columns' own lists: every person, every schema. A row's person
    // list (the free ones and the row's own) is built when its editor opens.
    if (auto* combo = dynamic_cast<CGridCellCombo*>(grid->SetColumnCellType(kPersonColumn,
                                                                            &CGridCellCombo::GetThisClass()))) {
        combo->SetStyle(CGridCellCombo::DropDownList);
        CGridItemArray& items = combo->GetItemList();
        items.clear();
        CtblPerson* persons = db->Get_Ptr_To_tblPerson();
        items.reserve(std::size_t(persons->GetAnz_Person()) + 1);
        items.push_back(std::make_unique<CListEntry>(kNone, QString(), 0, 0));
        for (int i = 0; i < persons->GetAnz_Person(); ++i) {
            const QString& name = persons->Get_Person(i)->Name;
            items.push_back(std::make_unique<CListEntry>(name, name, 0, 0));
        }
    }
    if (auto* combo = dynamic_cast<CGridCellCombo*>(grid->SetColumnCellType(kSchemaColumn,
                                                                            &CGridCellCombo::GetThisClass()))) {
        combo->SetStyle(CGridCellCombo::DropDownList);
        CGridItemArray& items = combo->GetItemList();
        items.clear();
        for (int i = 0; i < schemas->GetAnz_Zeitschema(); i += 4) {
            const QString& name = schemas->Get_Zeitschema(i)->Bezeichnung;
            items.push_back(std::make_unique<CListEntry>(name, name, 0, 0));
        }
    }
    SetupReaderColumns(kFirstReaderColumn, widths);
    // Each reader column belongs to the reader it was made for, also when
    // two readers carry one name.
    m_readerOfColumn.clear();
    for (int i = 0; i < readers->GetAnz_Leser(); ++i)
        m_readerOfColumn.push_back(readers->Get_Leser(i)->ID_Leser);
    ResetSortState();
    if (widths)
        LoadGridLayout(QStringLiteral("05"));
    m_bKeepColumnWidths = 0;
    grid->Refresh();
}

const CtblTransponder::structTransponder* CTransponderDlg::TransponderOfRow(int dataRow) const
{
    CtblTransponder* transponders = TransponderTable();
    if (!transponders)
        return nullptr;
    const int index = CacheRow(dataRow, transponders->GetAnz_Transponder());
    return index >= 0 ? transponders->Get_Transponder(index) : nullptr;
}

qint32 CTransponderDlg::ReaderOfColumn(int column) const
{
    const std::size_t reader = std::size_t(column - kFirstReaderColumn);
    return column >= kFirstReaderColumn && reader < m_readerOfColumn.size() ? m_readerOfColumn[reader] : 0;
}

QString CTransponderDlg::SchemaName(qint32 schemaId) const
{
    return m_schemaNames.value(schemaId);
}

qint32 CTransponderDlg::ReaderOfPiece(const QString& piece)
{
    const QString trimmed = piece.trimmed();
    qsizetype digits = 0;
    while (digits < trimmed.size() && trimmed.at(digits).unicode() >= '0' && trimmed.at(digits).unicode() <= '9')
        ++digits;
    bool ok = false;
    const qint32 id = trimmed.left(digits).toInt(&ok);
    return ok ? id : 0;
}

QString CTransponderDlg::ListWithReader(const QString& list, qint32 readerId)
{
    QStringList pieces;
    SplitString(list, &pieces, u';');
    for (const QString& piece : pieces) {
        if (ReaderOfPiece(piece) == readerId)
            return list;
    }
    return list + u';' + QString::number(readerId);
}

QString CTransponderDlg::ListWithoutReader(const QString& list, qint32 readerId)
{
    QStringList pieces;
    SplitString(list, &pieces, u';');
    QStringList kept;
    for (const QString& piece : pieces) {
        if (ReaderOfPiece(piece) != readerId)
            kept << piece;
    }
    // Never null: the table stores an emptied list as an empty text.
    return kept.isEmpty() ? QStringLiteral("") : kept.join(u';');
}

QString CTransponderDlg::LearnedList(const QString& list, const QString& readerText)
{
    QStringList pieces;
    SplitString(list, &pieces, u';');
    if (readerText == QLatin1String("0") || pieces.contains(readerText))
        return pieces.isEmpty() ? QStringLiteral("") : pieces.join(u';');
    if (list.isEmpty())
        return readerText;
    return pieces.join(u';') + u';' + readerText;
}

std::vector<qint32> CTransponderDlg::ReadersOfList(const QString& list)
{
    std::vector<qint32> readers;
    QStringList pieces;
    SplitString(list, &pieces, u';');
    for (const QString& piece : pieces) {
        const qint32 id = ReaderOfPiece(piece);
        if (id != 0 && std::find(readers.begin(), readers.end(), id) == readers.end())
            readers.push_back(id);
    }
    return readers;
}

bool CTransponderDlg::Enabled(const QString& readerList, qint32 readerId)
{
    if (readerList.isEmpty() || readerId == 0)
        return false;
    if (readerList != m_strParsedList) {
        m_strParsedList = readerList;
        const std::vector<qint32> readers = ReadersOfList(readerList);
        m_parsedReaders = QSet<qint32>(readers.begin(), readers.end());
    }
    return m_parsedReaders.contains(readerId);
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
        info->valueText = Enabled(row->Leser_IDS, ReaderOfColumn(info->column)) ? QStringLiteral("1")
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
    CGridCtrl* grid = GetGrid();
    if (!db || !grid || !grid->SetCellType(notify->dataRow, notify->column, &CGridCellCombo::GetThisClass()))
        return -1;
    auto* combo = dynamic_cast<CGridCellCombo*>(grid->GetCell(notify->dataRow, notify->column));
    if (!combo)
        return -1;
    combo->SetStyle(CGridCellCombo::DropDownList);
    CGridItemArray& items = combo->GetItemList();
    items.clear();
    if (notify->column == kPersonColumn) {
        // The free persons and the row's own: a person holds one transponder.
        CtblPerson* persons = db->Get_Ptr_To_tblPerson();
        items.reserve(std::size_t(persons->GetAnz_Person()) + 1);
        items.push_back(std::make_unique<CListEntry>(kNone, QString(), 0, 0));
        for (int i = 0; i < persons->GetAnz_Person(); ++i) {
            const auto* person = persons->Get_Person(i);
            if (person->Transponder_ID == 0 || person->Transponder_ID == transponder->ID_Transponder)
                items.push_back(std::make_unique<CListEntry>(person->Name, person->Name, 0, 0));
        }
    } else {
        CtblZeitschema* schemas = db->Get_Ptr_To_tblZeitschema();
        for (int i = 0; i < schemas->GetAnz_Zeitschema(); i += 4) {
            const QString& name = schemas->Get_Zeitschema(i)->Bezeichnung;
            items.push_back(std::make_unique<CListEntry>(name, name, 0, 0));
        }
    }
    // The editor opens on the copy the grid makes next.
    grid->Refresh();
    return 0;
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
    CtblTransponder* transponders = db->Get_Ptr_To_tblTransponder();
    qint32 personId = 0;
    for (int i = 0; !name.isEmpty() && i < persons->GetAnz_Person(); ++i) {
        if (persons->Get_Person(i)->Name == name) {
            personId = persons->Get_Person(i)->ID_Person;
            break;
        }
    }
    // Both sides of the link, or neither; the caches only after the commit.
    CTransaction transaction(db->GetDatabase());
    try {
        const std::vector<QVariant> holder{transponderId};
        persons->UpdateWhere(QStringLiteral("Transponder_ID"), 0, QStringLiteral("Transponder_ID"), &holder);
    } catch (const CDBException& e) {
        CRecordWriter::ShowDatabaseError(e.m_strError);
        return false;
    }
    CRecordWriter::Result result =
        CRecordWriter::WriteByKey(*transponders, transponderId, [&] { transponders->Person_ID = personId; });
    if (result == CRecordWriter::Result::NotFound)
        CRecordWriter::ShowNotice(75);
    if (result == CRecordWriter::Result::Written && personId != 0) {
        result = CRecordWriter::WriteByKey(*persons, personId, [&] { persons->Transponder_ID = transponderId; });
        if (result == CRecordWriter::Result::NotFound)
            CRecordWriter::ShowNotice(77);
    }
    if (result != CRecordWriter::Result::Written || !Commit(transaction))
        return false;
    ClearPersonLink(transponderId);
    for (int i = 0; personId != 0 && i < persons->GetAnz_Person(); ++i) {
        if (persons->Get_Person(i)->ID_Person == personId) {
            persons->Get_Person(i)->Transponder_ID = transponderId;
            break;
        }
    }
    if (auto* cached = CachedTransponder(transponderId))
        cached->Person_ID = personId;
    Refill();
    return true;
}

bool CTransponderDlg::StoreSchema(qint32 transponderId, const QString& name)
{
    CFerrold_Handler* db = GetDBHandler();
    const auto* transponder = CachedTransponder(transponderId);
    if (!db || !transponder)
        return false;
    // With two schemas of one name, the last one, as the list is read.
    qint32 schemaId = 0;
    CtblZeitschema* schemas = db->Get_Ptr_To_tblZeitschema();
    for (int i = 0; i < schemas->GetAnz_Zeitschema(); i += 4) {
        if (schemas->Get_Zeitschema(i)->Bezeichnung == name)
            schemaId = schemas->Get_Zeitschema(i)->ID_Zeitschema;
    }
    if (!StoreMarked(*db, transponderId, {}, [&](CtblTransponder& set) { set.Zeitfenster_ID = schemaId; },
                     [&](CtblTransponder::structTransponder& row) { row.Zeitfenster_ID = schemaId; }))
        return false;
    Refill();
    return true;
}

bool CTransponderDlg::StoreReader(qint32 transponderId, int column, bool on)
{
    CFerrold_Handler* db = GetDBHandler();
    const auto* transponder = CachedTransponder(transponderId);
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
    if (link && link->IsPortOpen() && link->ReaderType() == 0) {
        const QString& parameter = reader->Parameter;
        const qsizetype separator = parameter.indexOf(u';');
        const QString master = separator < 0 ? parameter : parameter.mid(separator + 1);
        if (transponder->TransponderNummer == master) {
            CRecordWriter::ShowNotice(217);
            return true;
        }
    }
    // From the stored list: another PC may have changed it since this view read it.
    if (!StoreMarked(
            *db, transponderId, {readerId},
            [&](CtblTransponder& set) {
                set.strLeser_IDS = on ? ListWithReader(set.strLeser_IDS, readerId)
                                      : ListWithoutReader(set.strLeser_IDS, readerId);
            },
            [](CtblTransponder::structTransponder&) {}))
        return false;
    Refill();
    return true;
}

void CTransponderDlg::ClearPersonLink(qint32 transponderId)
{
    CFerrold_Handler* db = GetDBHandler();
    if (!db)
        return;
    CtblPerson* persons = db->Get_Ptr_To_tblPerson();
    for (int i = 0; i < persons->GetAnz_Person(); ++i) {
        auto* person = persons->Get_Person(i);
        if (transponderId == 0 || person->Transponder_ID == transponderId)
            person->Transponder_ID = 0;
    }
    m_lookups.Reset();
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
    if (link && link->IsPortOpen() && link->ConnectedPort() >= 1) {
        const quint64 connection = link->ConnectionId();
        QString reply;
        switch (link->ReaderType()) {
        case 1: case 2: case 4: reply = link->SendAndWait('L', QStringLiteral("S0000"), 1); break;
        case 0: reply = link->SendAndWait('H', QString(), 2); break;
        case 3: reply = link->SendAndWait('H', QString(), 3); break;
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
            const int dataRow = grid->GetDataRow(row);
            const auto* transponder = TransponderOfRow(dataRow >= 0 ? dataRow : row);
            if (transponder && Enabled(transponder->Leser_IDS, readerId))
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
    switch (command) {
    case ID_LEARN: OnInsertEntry(); break;
    case ID_ADD_USB_OR_MANUAL: OnAddUsbOrManual(); break;
    case CRecordViewMenu::ID_DELETE: OnDeleteEntry(); break;
    case CRecordViewMenu::ID_DELETE_ALL: OnDeleteAllEntries(); break;
    case ID_ASSIGN_ALL:
    case ID_REMOVE_ALL_ASSIGNMENTS:
        if (readerId != 0)
            ChangeAllAssignmentsWaiting(command == ID_ASSIGN_ALL, readerId);
        break;
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
    CtblTransponder* transponders = TransponderTable();
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
    CtblTransponder* transponders = TransponderTable();
    CGridCtrl* grid = GetGrid();
    const std::vector<int> rows = SelectedRows();
    if (!transponders || !grid || rows.empty())
        return;
    // A tag that comes while the question is open waits for the answer.
    Scope scope(this);
    if (Context().RefusedWhileTransferRuns() || !CRecordWriter::Confirm(rows.size() < 2 ? 69 : 68))
        return;
    std::vector<qint32> keys;
    keys.reserve(rows.size());
    for (int row : rows) {
        const int dataRow = grid->GetDataRow(row);
        if (const auto* transponder = TransponderOfRow(dataRow >= 0 ? dataRow : row))
            keys.push_back(transponder->ID_Transponder);
    }
    DeleteTransponders(&keys);
}

void CTransponderDlg::OnDeleteAllEntries()
{
    CtblTransponder* transponders = TransponderTable();
    Scope scope(this);
    if (!transponders || Context().RefusedWhileTransferRuns() || !CRecordWriter::Confirm(64))
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
    CtblTransponder* transponders = db->Get_Ptr_To_tblTransponder();
    CtblPerson* persons = db->Get_Ptr_To_tblPerson();
    CtblLeser* readers = db->Get_Ptr_To_tblLeser();
    // The readers that hold each transponder, read before the rows go.
    QHash<qint32, QString> lists;
    for (int i = 0; i < transponders->GetAnz_Transponder(); ++i)
        lists.insert(transponders->Get_Transponder(i)->ID_Transponder, transponders->Get_Transponder(i)->Leser_IDS);
    const auto touched = [&lists](const std::vector<qint32>* deleted) {
        std::vector<qint32> readerIds;
        QSet<qint32> seen;
        const auto add = [&](const QString& list) {
            for (qint32 id : ReadersOfList(list)) {
                if (!seen.contains(id)) {
                    seen.insert(id);
                    readerIds.push_back(id);
                }
            }
        };
        if (deleted) {
            for (qint32 key : *deleted)
                add(lists.value(key));
        } else {
            for (auto it = lists.cbegin(); it != lists.cend(); ++it)
                add(it.value());
        }
        return readerIds;
    };
    std::vector<qint32> marked;
    CRecordDeleter deleter(*transponders, 75);
    deleter.context = &Context();
    deleter.busyFlag = &m_bBusy;
    // No person may keep a transponder that is gone, and every reader that
    // held one must be written again.
    deleter.cleanUp = [persons, &touched, &marked](const std::vector<qint32>* deleted) {
        if (!deleted) {
            persons->UpdateWhere(QStringLiteral("Transponder_ID"), 0, QString(), nullptr);
        } else {
            const std::vector<QVariant> ids = Variants(*deleted);
            persons->UpdateWhere(QStringLiteral("Transponder_ID"), 0, QStringLiteral("Transponder_ID"), &ids);
        }
        marked = touched(deleted);
        MarkReadersStored(marked);
    };
    deleter.updateCaches = [this, transponders, &marked](const QSet<qint32>* deleted) {
        if (!deleted) {
            transponders->RemoveAllData();
            ClearPersonLink(0);
        } else {
            transponders->RemoveIf(
                [deleted](const CtblTransponder::structTransponder& row) { return deleted->contains(row.ID_Transponder); });
            for (qint32 key : *deleted)
                ClearPersonLink(key);
        }
        MarkReadersCached(marked);
    };
    deleter.reread = [transponders, persons, readers] {
        transponders->_Requery();
        persons->_Requery();
        readers->_Requery();
    };
    deleter.refill = [this] { Refill(); };
    if (keys)
        deleter.DeleteKeys(*keys);
    else
        deleter.DeleteAll();
}

void CTransponderDlg::ChangeAllAssignments(bool assign, qint32 readerId)
{
    CFerrold_Handler* db = GetDBHandler();
    if (!db || readerId == 0 || Context().RefusedWhileTransferRuns())
        return;
    Scope scope(this);
    CtblTransponder* transponders = db->Get_Ptr_To_tblTransponder();
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

    // Every record of the table, as stored: another PC may have added
    // transponders or changed lists since this view read them. The lists
    // are read inside the write's transaction (on a server the rows stay
    // locked until it ends) and written back a few hundred rows per
    // statement, each row its own list.
    CTransaction transaction(db->GetDatabase());
    std::vector<std::pair<qint32, QString>> stored;
    std::vector<std::pair<qint32, QVariant>> changed;
    std::vector<QString> finalLists; // each stored row's list afterwards
    try {
        if (!transaction.IsActive())
            throw CDBException(transaction.GetError());
        if (!transponders->ReadForWrite(QStringLiteral("strLeser_IDS"), &stored))
            throw CDBException(transponders->GetLastError());
        for (const auto& [key, old] : stored) {
            QString list;
            if (!assign)
                list = ListWithoutReader(old, readerId);
            else if (old.isEmpty())
                list = QString::number(readerId);
            else
                list = ListWithReader(old, readerId);
            if (list != old)
                changed.emplace_back(key, list);
            finalLists.push_back(std::move(list));
        }
        if (changed.empty())
            return;
        // Nearly every row usually changes the same way: the reader's piece
        // added at the end, or taken off it. Those rows go in one statement
        // over the table; the few it would get wrong are left out of it and
        // get lists of their own.
        const QString end = QStringLiteral(";") + QString::number(readerId);
        std::vector<std::pair<qint32, QVariant>> own;
        QList<qint32> except;
        for (std::size_t i = 0; i < stored.size(); ++i) {
            const QString& old = stored[i].second;
            const bool touched = assign || old.endsWith(end);
            const QString statement = !touched ? old
                                      : assign ? (old.isEmpty() ? QString::number(readerId) : old + end)
                                               : old.chopped(end.size());
            if (statement != finalLists[i]) {
                if (touched)
                    except << stored[i].first;
                if (finalLists[i] != old)
                    own.emplace_back(stored[i].first, finalLists[i]);
            }
        }
        constexpr qsizetype kMostLeftOut = 500;
        if (except.size() <= kMostLeftOut) {
            transponders->ChangeListEnds(assign, readerId, stored.empty() ? 0 : stored.back().first, except);
            if (!own.empty())
                transponders->UpdateRowsByKey(QStringLiteral("strLeser_IDS"), own, {{QStringLiteral("boolUpdateOK"), 1}});
        } else {
            transponders->UpdateRowsByKey(QStringLiteral("strLeser_IDS"), changed, {{QStringLiteral("boolUpdateOK"), 1}});
        }
        MarkReadersStored({readerId});
    } catch (const CDBException& e) {
        CRecordWriter::ShowDatabaseError(e.m_strError);
        return;
    }
    if (!Commit(transaction))
        return;
    MarkReadersCached({readerId});
    // The cache follows in one pass, every row with its stored list; rows
    // it does not know (or knows and the table no longer has) make it read
    // the table again.
    bool missing = int(stored.size()) != transponders->GetAnz_Transponder();
    std::size_t next = 0;
    for (std::size_t i = 0; i < stored.size() && !missing; ++i) {
        auto* row = transponders->FindByKey(stored[i].first);
        if (!row) {
            missing = true;
            break;
        }
        row->Leser_IDS = finalLists[i];
        if (next < changed.size() && changed[next].first == stored[i].first) {
            row->UpdateOK = 1;
            ++next;
        }
    }
    if (missing)
        transponders->_Requery();
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
    if (link && received == link->MasterTransponder())
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
    const QString readerText = QString::number(readerId);

    CTransaction transaction(db->GetDatabase());
    if (cacheRow < 0) {
        const CRecordWriter::Result result = CRecordWriter::AddNew(*transponders, [&] {
            transponders->strTransponderNummer = number;
            transponders->Person_ID = 0;
            transponders->Zeitfenster_ID = 1;
            transponders->boolUpdateOK = 1;
            if (readerId != 0)
                transponders->strLeser_IDS = readerText;
        });
        if (result != CRecordWriter::Result::Written)
            return;
    } else {
        const auto* row = transponders->Get_Transponder(cacheRow);
        const QString list = LearnedList(row->Leser_IDS, readerText);
        // A list that changed means the transponder must be sent again.
        const bool changed = list != row->Leser_IDS;
        const CRecordWriter::Result result = CRecordWriter::WriteByKey(*transponders, row->ID_Transponder, [&] {
            transponders->strLeser_IDS = list;
            if (changed)
                transponders->boolUpdateOK = 1;
        });
        if (result != CRecordWriter::Result::Written)
            return;
    }
    try {
        if (readerId != 0)
            MarkReadersStored({readerId});
    } catch (const CDBException& e) {
        CRecordWriter::ShowDatabaseError(e.m_strError);
        return;
    }
    if (!Commit(transaction))
        return;

    if (cacheRow < 0) {
        transponders->_Requery();
    } else if (cacheRow < transponders->GetAnz_Transponder()) {
        auto* row = transponders->Get_Transponder(cacheRow);
        const QString list = LearnedList(row->Leser_IDS, readerText);
        if (list != row->Leser_IDS)
            row->UpdateOK = 1;
        row->Leser_IDS = list;
    }
    if (readerId != 0)
        MarkReadersCached({readerId});
    // The grid counts the rows of the cache, shown in cache order. A known
    // number keeps its row selected, a new one leaves the selection clear;
    // either way the view ends at the last row, where new rows appear.
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
