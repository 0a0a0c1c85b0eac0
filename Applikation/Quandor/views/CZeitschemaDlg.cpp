#include "CZeitschemaDlg.h"

#include "CAppContext.h"
#include "CBusyScope.h"
#include "CDialogRunner.h"
#include "CFerrold_Handler.h"
#include "CGridCellCheck.h"
#include "CGridCellCombo.h"
#include "CGridCtrl.h"
#include "CLanguageHandler.h"
#include "CRecordViewMenu.h"
#include "CNotice.h"
#include "CShowMessage.h"
#include "CZeitschemaRules.h"
#include "CZeitschemaStore.h"
#include "CtblZeitschema.h"
#include "GridConstants.h"
#include "GridRecords.h"

#include <QRandomGenerator>
#include <QScopeGuard>
#include <QScrollBar>

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
constexpr int kRowsPerSchema = CZeitschemaStore::kRowsPerSchema;
constexpr COLORREF kGrey = 0xB9B9B9;

// Language texts.
constexpr unsigned int kFullAccessText = 81;
constexpr unsigned int kInsertText = 61;
constexpr unsigned int kDeleteText = 62;
constexpr unsigned int kDeleteManyText = 67;
constexpr unsigned int kDeleteAllText = 63;
constexpr unsigned int kResetText = 204;
constexpr unsigned int kCopyText = 206;
constexpr unsigned int kAskDeleteAllText = 64;
constexpr unsigned int kAskDeleteManyText = 68;
constexpr unsigned int kAskDeleteOneText = 69;
constexpr unsigned int kAskResetText = 207;
constexpr unsigned int kNotFoundText = 79;
constexpr unsigned int kDoneText = 173;
constexpr unsigned int kDatabaseFailedText = 83;
constexpr unsigned int kCheckDatabaseText = 84;
constexpr unsigned int kBuiltInText = 283;
constexpr unsigned int kNotDeletedText = 300;

} // namespace

CZeitschemaDlg::CZeitschemaDlg(CAppContext& context, QWidget* parent)
    : CGridBaseDlg(context, parent)
    , m_pStore(std::make_unique<CZeitschemaStore>(nullptr))
{
    setObjectName(QStringLiteral("CZeitschemaDlg"));
    SetHeading(18, QString());
}

CZeitschemaDlg::~CZeitschemaDlg() = default;

void CZeitschemaDlg::FollowHandler()
{
    // A restore replaces the handler; the last command's outcome stays
    // readable as long as the handler does.
    CFerrold_Handler* db = GetDBHandler();
    if (!m_pStore || m_pStore->Handler() != db)
        m_pStore = std::make_unique<CZeitschemaStore>(db);
}

int CZeitschemaDlg::ShowSchemas(quint32 schemaNumber)
{
    m_nFilterID = schemaNumber;
    FollowHandler();
    SetHeading(18, ShownName(int(schemaNumber) - 1));
    FillGrid(kGridId, kColumns);
    return 1;
}

QString CZeitschemaDlg::ShownName(int schema) const
{
    return ShownName(m_pStore ? m_pStore->Name(schema) : QString());
}

QString CZeitschemaDlg::ShownName(const QString& name) const
{
    CLanguageHandler* language = GetLanguage();
    const bool english = language && language->GetAktivLanguage() == 1;
    return english && CZeitschemaRules::IsFullAccessName(name) ? Text(kFullAccessText) : name;
}

void CZeitschemaDlg::SetColumnTitles()
{
    SetHeading(18, m_nFilterID == 0 ? QString() : ShownName(int(m_nFilterID) - 1));
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
    FollowHandler();
    const bool overview = m_nFilterID == 0;
    const int rows = overview ? m_pStore->SchemaCount() + 1 : kRowsPerSchema + 1;
    InitGrid(QStringLiteral("04"), gridId, columns, rows);
    CGridCtrl* grid = GetGrid();
    if (!grid)
        return;
    for (int col = 1; col <= 14; ++col) {
        const Column& column = kLayout[col - 1];
        if (col == 2 || col >= 8) {
            grid->SetColumnCellType(col, &CGridCellCheck::GetThisClass());
        } else if (col >= 4) {
            // The cell made now would show its predecessor's choices; it
            // gets its own, made afresh by every fill.
            auto* combo = dynamic_cast<CGridCellCombo*>(grid->SetColumnCellType(col, &CGridCellCombo::GetThisClass()));
            if (combo) {
                combo->UseOwnItemList();
                combo->SetStyle(CGridCellCombo::DropDownList);
                CGridItemArray& items = combo->GetItemList();
                items.clear();
                const int count = col % 2 == 0 ? 24 : 60;
                for (int v = 0; v < count; ++v) {
                    const QString two = QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0'));
                    items.push_back(std::make_unique<CListEntry>(two, two, 0, 0));
                }
            }
        }
        // A shown column is at least as wide as its title, in either
        // language and font; a hidden one stays at 0.
        const int width = overview ? column.overview : column.oneSchema;
        SetupColumn(col, Text(column.title), width, width == 0, true);
    }
    ResetSortState();
    LoadGridLayout(QStringLiteral("04"));
    // A width stored for one mode must not show the other mode's hidden
    // columns: the overview shows only the number and the name, and the
    // change mark is never shown.
    for (int col = 2; col <= 14; ++col) {
        if ((overview ? kLayout[col - 1].overview : kLayout[col - 1].oneSchema) == 0)
            grid->SetColumnWidth(col, 0, true, false);
    }
    grid->Refresh();
}

int CZeitschemaDlg::CacheRowOf(int dataRow) const
{
    const int d = dataRow - 1;
    if (d < 0 || !m_pStore)
        return -1;
    const qint64 index = m_nFilterID == 0 ? qint64(kRowsPerSchema) * d
                                          : (d < kRowsPerSchema ? d + qint64(kRowsPerSchema) * (qint64(m_nFilterID) - 1)
                                                                : -1);
    // Only whole schemas count: a schema number beyond them shows nothing.
    return index >= 0 && index < qint64(m_pStore->SchemaCount()) * kRowsPerSchema ? int(index) : -1;
}

int CZeitschemaDlg::SchemaOfRow(int row) const
{
    CGridCtrl* grid = GetGrid();
    if (!grid || row < 1)
        return -1;
    const int mapped = grid->GetDataRow(row);
    const int dataRow = mapped >= 0 ? mapped : row;
    const int index = CacheRowOf(dataRow);
    return index < 0 ? -1 : index / kRowsPerSchema;
}

void CZeitschemaDlg::OnGetCellText(GRID_DISPINFO* info)
{
    CFerrold_Handler* db = GetDBHandler();
    if (!info || info->row < 1 || info->column < 1 || info->column > 14 || !db)
        return;
    const int index = CacheRowOf(info->dataRow);
    if (index < 0)
        return;
    const CtblZeitschema::structZeitschema* row = db->Get_Ptr_To_tblZeitschema()->Get_Zeitschema(index);
    const int weekdays[] = {row->Montag, row->Dienstag, row->Mittwoch, row->Donnerstag,
                            row->Freitag, row->Samstag, row->Sonntag};
    switch (info->column) {
    case 1: info->valueText = QString::number(row->nNr); break;
    case 2: info->valueText = QString::number(row->UpdateOK); break;
    case 3: info->valueText = ShownName(row->Bezeichnung); break;
    case 4: info->valueText = row->Von.left(2); break;
    case 5: info->valueText = row->Von.mid(2); break;
    case 6: info->valueText = row->Bis.left(2); break;
    case 7: info->valueText = row->Bis.mid(2); break;
    default: info->valueText = QString::number(weekdays[info->column - 8]); break;
    }
}

void CZeitschemaDlg::OnGetCellColor(GRID_DISPINFO* info)
{
    if (!info || info->row < 1 || info->column < 1 || info->column > 14 || !m_pStore)
        return;
    const bool overview = m_nFilterID == 0;
    const int index = CacheRowOf(info->dataRow);
    const int schema = overview ? (index < 0 ? -1 : index / kRowsPerSchema) : int(m_nFilterID) - 1;
    // The built-in schema is grey wherever it shows, whatever its name's
    // text in the active language.
    const bool builtIn = schema >= 0 && m_pStore->FirstRow(schema) && m_pStore->IsProtected(schema);
    const bool grey = builtIn || index < 0 || (overview && info->column != 3) || (!overview && info->column <= 3)
                      || (overview && info->valueText == Text(kFullAccessText));
    if (grey)
        SetCellColors(true, info, kGrey, 0);
}

QList<qint32> CZeitschemaDlg::SelectedDeletable() const
{
    QList<qint32> identities;
    if (m_nFilterID != 0 || !m_pStore)
        return identities;
    for (int row : SelectedRows()) {
        const int schema = SchemaOfRow(row);
        // Selected by keys or Ctrl+A, the built-in schema is still not
        // deleted.
        if (schema >= 0 && !m_pStore->IsProtected(schema))
            identities << m_pStore->Identity(schema);
    }
    return identities;
}

void CZeitschemaDlg::OnGridClick(GRID_NOTIFY* notify)
{
    CGridCtrl* grid = GetGrid();
    if (!notify || !grid || m_nFilterID != 0 || !m_pStore)
        return;
    QList<uint> keep;
    bool builtInSelected = false;
    for (int row : SelectedRows()) {
        const int schema = SchemaOfRow(row);
        if (schema >= 0 && m_pStore->IsProtected(schema))
            builtInSelected = true;
        else
            keep << uint(row);
    }
    if (builtInSelected)
        grid->SelectRows(&keep);
}

CRecordViewMenu CZeitschemaDlg::ContextMenu(int selectedRows) const
{
    CRecordViewMenu menu({ID_INSERT_ENTRY, ID_DELETE_ENTRY, CRecordViewMenu::kSeparator, ID_RESET_ENTRY,
                          ID_COPY_AND_INSERT_ENTRY, CRecordViewMenu::kSeparator, ID_DELETE_ALL_ENTRIES});
    CGridCtrl* grid = GetGrid();
    const bool clicked = m_nClickedSchemaId != 0;
    const int clickedSchema = clicked ? m_pStore->SchemaOfIdentity(m_nClickedSchemaId) : -1;
    const bool clickedProtected = clickedSchema >= 0 && m_pStore->IsProtected(clickedSchema);
    menu.Modify(ID_INSERT_ENTRY, Text(kInsertText), true);
    menu.Modify(ID_DELETE_ENTRY, Text(selectedRows >= 2 ? kDeleteManyText : kDeleteText), selectedRows > 0);
    // Reset and copy act on the right-clicked schema: none below the rows,
    // and the built-in schema is never reset (a copy of it is a new schema).
    menu.Modify(ID_RESET_ENTRY, Text(kResetText), selectedRows > 0 && clicked && !clickedProtected);
    menu.Modify(ID_COPY_AND_INSERT_ENTRY, Text(kCopyText), selectedRows > 0 && clicked);
    menu.Modify(ID_DELETE_ALL_ENTRIES, Text(kDeleteAllText), grid && grid->GetRowCount() > 2);
    return menu;
}

void CZeitschemaDlg::OnGridRClick(GRID_NOTIFY* notify)
{
    CGridCtrl* grid = GetGrid();
    if (!notify || !grid || m_nFilterID != 0 || !m_pStore)
        return;
    const int row = notify->dataRow >= 0 ? notify->dataRow : notify->row;
    const int index = CacheRowOf(row);
    m_nClickedRow = row - 1;
    if (index >= 0) {
        m_strClickedSchema = m_pStore->Name(index / kRowsPerSchema);
        m_nClickedSchemaId = m_pStore->Identity(index / kRowsPerSchema);
    } else {
        m_strClickedSchema.clear();
        m_nClickedSchemaId = 0;
    }
    const int selected = int(std::min<std::size_t>(SelectedRows().size(), 2));
    const int command = ContextMenu(selected).Track(this, MenuPoint(notify));
    // The commands refill the grid; the grid is still inside its notification.
    if (command != 0)
        QMetaObject::invokeMethod(this, [this, command] { OnCommand(command); }, Qt::QueuedConnection);
}

void CZeitschemaDlg::OnCommand(int command)
{
    switch (command) {
    case ID_INSERT_ENTRY: OnInsertEntry(); break;
    case ID_DELETE_ENTRY: OnDeleteEntry(); break;
    case ID_DELETE_ALL_ENTRIES: OnDeleteAllEntries(); break;
    case ID_RESET_ENTRY: OnResetEntry(); break;
    case ID_COPY_AND_INSERT_ENTRY: OnCopyAndInsertEntry(); break;
    default: break;
    }
}

void CZeitschemaDlg::ReportFailure(const CZeitschemaStore& store)
{
    if (store.LastFailure() == CZeitschemaStore::Failure::Open)
        CNotice::ShowOpenFailure();
    else if (!store.LastError().isEmpty())
        CNotice::ShowDatabaseError(store.LastError());
}

bool CZeitschemaDlg::StoreEditedCell(GRID_NOTIFY* notify)
{
    CGridCtrl* grid = GetGrid();
    if (!notify || notify->row < 1 || !grid)
        return false;
    FollowHandler();
    const int column = notify->column;
    QString value = notify->text2;
    if (column >= 4 && column <= 7) {
        const std::optional<QString> two = CZeitschemaRules::TwoDigitField(notify->text1, column % 2 == 0 ? 23 : 59);
        if (!two)
            return false;
        value = *two;
    }
    const int index = CacheRowOf(notify->dataRow);
    if (m_nFilterID == 0) {
        if (column != 3) {
            grid->Refresh();
            return true;
        }
        const int schema = index < 0 ? -1 : index / kRowsPerSchema;
        if (schema < 0 || m_pStore->IsProtected(schema))
            return false;
        if (value == m_pStore->Name(schema))
            return true;
        if (!NameFits(value))
            return false;
        if (const unsigned int problem = CZeitschemaRules::NameProblem(value, m_pStore->NamesExcept(schema))) {
            CNotice::ShowNotice(problem);
            return false;
        }
        const qint32 identity = m_pStore->Identity(schema);
        if (!m_pStore->Rename(schema, value)) {
            ReportFailure(*m_pStore);
            return false;
        }
        Context().RenameSchemaChild(identity, value);
        grid->Refresh();
        return true;
    }
    if (column <= 3) {
        grid->Refresh();
        return true;
    }
    const int schema = int(m_nFilterID) - 1;
    if (index < 0 || m_pStore->IsProtected(schema) || column > 14)
        return false;
    if (!m_pStore->StoreCell(schema, index % kRowsPerSchema, column, value)) {
        ReportFailure(*m_pStore);
        return false;
    }
    grid->Refresh();
    return true;
}

void CZeitschemaDlg::AfterRowsChanged()
{
    // Whatever a command did or failed to do, the grid shows the cache.
    FillGrid(kGridId, kColumns);
}

bool CZeitschemaDlg::ShowAdded(qint32 identity, const QString& name)
{
    if (identity == 0)
        ReportFailure(*m_pStore);
    AfterRowsChanged();
    if (identity == 0)
        return false;
    Context().AddSchemaChild(identity, name);
    return true;
}

void CZeitschemaDlg::OnInsertEntry()
{
    FollowHandler();
    CLanguageHandler* language = GetLanguage();
    const QString prefix = CZeitschemaRules::NewNamePrefix(language ? language->GetAktivLanguage() : 0);
    const QString name = CZeitschemaRules::UniqueName(prefix, m_pStore->NamesExcept(-1),
                                                      [] { return QRandomGenerator::global()->generate(); });
    if (!ShowAdded(m_pStore->Add(name), name))
        return;
    if (CGridCtrl* grid = GetGrid())
        grid->verticalScrollBar()->setValue(grid->verticalScrollBar()->maximum());
}

void CZeitschemaDlg::OnCopyAndInsertEntry()
{
    FollowHandler();
    const int schema = m_pStore->SchemaOfIdentity(m_nClickedSchemaId);
    if (schema < 0)
        return;
    const QString from = m_pStore->Name(schema);
    const QString name = CZeitschemaRules::UniqueName(from + QLatin1Char('_'), m_pStore->NamesExcept(-1),
                                                      [] { return QRandomGenerator::global()->generate(); });
    if (!ShowAdded(m_pStore->Copy(schema, name), name))
        return;
    CShowMessage notice(Text(kDoneText), this);
    CDialogRunner::DoModal(notice);
}

void CZeitschemaDlg::OnResetEntry()
{
    FollowHandler();
    const int schema = m_pStore->SchemaOfIdentity(m_nClickedSchemaId);
    if (schema < 0)
        return;
    if (m_pStore->IsProtected(schema)) {
        CNotice::ShowNotice(kBuiltInText);
        return;
    }
    if (!CNotice::Confirm(kAskResetText))
        return;
    if (!m_pStore->Reset(schema)) {
        ReportFailure(*m_pStore);
        return;
    }
    if (CGridCtrl* grid = GetGrid())
        grid->Refresh();
    CShowMessage notice(Text(kDoneText), this);
    CDialogRunner::DoModal(notice);
}

void CZeitschemaDlg::OnDeleteEntry()
{
    FollowHandler();
    const int selected = int(SelectedRows().size());
    const QList<qint32> identities = SelectedDeletable();
    if (selected > 0 && identities.isEmpty()) {
        CNotice::ShowNotice(kBuiltInText);
        return;
    }
    if (!CNotice::Confirm(identities.size() > 1 ? kAskDeleteManyText : kAskDeleteOneText))
        return;
    CBusyScope busy(&Context());
    m_bBusy = 1;
    const auto notBusy = qScopeGuard([this] { m_bBusy = 0; });
    const CZeitschemaStore::DeleteOutcome outcome = m_pStore->Delete(identities);
    RemoveTreeChildren(outcome);
    AfterRowsChanged();
    // After the refill: nothing is painted from rows the command removed.
    if (outcome.openFailed)
        ReportFailure(*m_pStore);
    if (!outcome.notFound.isEmpty())
        CNotice::ShowNotice(kNotFoundText);
    // Each reason once, then how many schemas stayed.
    QStringList reasons = outcome.errors;
    reasons.removeDuplicates();
    for (const QString& reason : std::as_const(reasons))
        CNotice::ShowDatabaseError(reason);
    if (!outcome.failed.isEmpty())
        CNotice::ShowCount(kNotDeletedText, outcome.failed.size());
}

void CZeitschemaDlg::RemoveTreeChildren(const CZeitschemaStore::DeleteOutcome& outcome)
{
    for (qint32 identity : outcome.deleted + outcome.notFound)
        Context().RemoveSchemaChild(identity);
}

void CZeitschemaDlg::OnDeleteAllEntries()
{
    FollowHandler();
    if (!CNotice::Confirm(kAskDeleteAllText))
        return;
    CBusyScope busy(&Context());
    m_bBusy = 1;
    const auto notBusy = qScopeGuard([this] { m_bBusy = 0; });
    const CZeitschemaStore::DeleteOutcome outcome = m_pStore->DeleteAllButProtected();
    RemoveTreeChildren(outcome);
    AfterRowsChanged();
    if (outcome.openFailed || !outcome.errors.isEmpty())
        ReportFailure(*m_pStore);
}

void CZeitschemaDlg::hideEvent(QHideEvent* event)
{
    CGridBaseDlg::hideEvent(event);
    if (m_nSortColumn >= 0 && m_nSortColumn <= 15 && GetGrid()) {
        SetHeaderColour(m_nSortColumn, CLR_DEFAULT);
        GetGrid()->SelectRows(nullptr);
    }
}
