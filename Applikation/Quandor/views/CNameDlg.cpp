#include "CNameDlg.h"

#include "CAppContext.h"
#include "CFerrold_Handler.h"
#include "CGridCellCombo.h"
#include "CGridCtrl.h"
#include "CLanguageHandler.h"
#include "CPersonStore.h"
#include "CNotice.h"
#include "CRecordWriter.h"
#include "CtblLeser.h"
#include "CtblPerson.h"
#include "CtblTransponder.h"
#include "CtblZeitschema.h"
#include "GridRecords.h"

#include <QScrollBar>

#include <chrono>
#include <cstdlib>
#include <ctime>

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
constexpr int kNameColumn = 2;
constexpr int kTransponderColumn = 3;
constexpr int kFirstReaderColumn = 5;
const QString kNone = QStringLiteral("---");

CtblPerson* PersonTable(CAppContext& context)
{
    CFerrold_Handler* db = context.Database();
    return db ? db->Get_Ptr_To_tblPerson() : nullptr;
}

CtblTransponder* TransponderTable(CAppContext& context)
{
    CFerrold_Handler* db = context.Database();
    return db ? db->Get_Ptr_To_tblTransponder() : nullptr;
}

} // namespace

CNameDlg::CNameDlg(CAppContext& context, QWidget* parent)
    : CGridBaseDlg(context, parent)
    , m_lookups(context)
{
    setObjectName(QStringLiteral("CNameDlg"));
    SetHeading(16, QString());
}

CTestSeam<CTimeStamp::Clock>& CNameDlg::ClockSeam()
{
    static CTestSeam<CTimeStamp::Clock> seam("CNameDlg::ClockSeam");
    return seam;
}

int CNameDlg::Reload(quint32 readerId)
{
    m_nFilterID = readerId;
    m_bKeepColumnWidths = 0;
    SetHeading(16, ReaderName(readerId));
    FillGrid(kGridId, kColumns);
    return 1;
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
    CFerrold_Handler* db = GetDBHandler();
    if (!db)
        return;
    // The caches may have been read again since the last fill.
    m_lookups.Reset();
    CtblPerson* persons = db->Get_Ptr_To_tblPerson();
    CtblTransponder* transponders = db->Get_Ptr_To_tblTransponder();
    CtblLeser* readers = db->Get_Ptr_To_tblLeser();
    const int rows = FilterRows(persons->GetAnz_Person(), [&](int i) {
        const auto* transponder = m_lookups.TransponderById(persons->Get_Person(i)->Transponder_ID);
        return transponder && ReaderListHolds(transponder->Leser_IDS, qint32(m_nFilterID));
    });
    InitGrid(QStringLiteral("02"), gridId, columns + readers->GetAnz_Leser() - 1, rows);
    CGridCtrl* grid = GetGrid();
    if (!grid)
        return;
    const bool widths = m_bKeepColumnWidths == 0;
    for (int col = 1; col < kFirstReaderColumn; ++col) {
        const Column& column = kLayout[col - 1];
        SetupColumn(col, Text(column.title), widths ? column.width : -1, column.exact, col == 1 || col == 4);
    }
    // The column's own list names every transponder; a row's list (the free
    // ones and the row's own) is built when its editor opens.
    QStringList numbers;
    numbers.reserve(transponders->GetAnz_Transponder());
    for (int i = 0; i < transponders->GetAnz_Transponder(); ++i)
        numbers << transponders->Get_Transponder(i)->TransponderNummer;
    SetDropDown(-1, kTransponderColumn, kNone, numbers);
    EndReaderColumnFill(kFirstReaderColumn, QStringLiteral("02"));
}

const CtblPerson::structPerson* CNameDlg::PersonOfRow(int dataRow) const
{
    CtblPerson* persons = PersonTable(Context());
    if (!persons)
        return nullptr;
    const int index = CacheRow(dataRow, persons->GetAnz_Person());
    return index >= 0 ? persons->Get_Person(index) : nullptr;
}

void CNameDlg::OnGetCellText(GRID_DISPINFO* info)
{
    CFerrold_Handler* db = GetDBHandler();
    if (!info || info->row < 1 || info->column < 1 || !db)
        return;
    const CtblPerson::structPerson* person = PersonOfRow(info->dataRow);
    if (!person)
        return;
    const CtblTransponder::structTransponder* transponder = m_lookups.TransponderById(person->Transponder_ID);
    switch (info->column) {
    case 1: info->valueText = QString::number(person->nNr); break;
    case kNameColumn: info->valueText = person->Name; break;
    case kTransponderColumn:
        // A person without a transponder shows the list's "---".
        info->valueText = transponder ? transponder->TransponderNummer : QString();
        info->displayText = transponder ? transponder->TransponderNummer : kNone;
        break;
    case 4: {
        info->valueText = kNone;
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
    default: {
        const bool on = transponder && ReaderListHolds(transponder->Leser_IDS, ReaderOfColumn(info->column));
        info->valueText = on ? QStringLiteral("1") : QStringLiteral("0");
        break;
    }
    }
}

void CNameDlg::OnGetCellColor(GRID_DISPINFO* info)
{
    if (info && info->row >= 1 && (info->column == 1 || info->column == 4 || info->column >= kFirstReaderColumn))
        SetCellColors(true, info, 0xB9B9B9, 0);
}

QStringList CNameDlg::OfferedTransponders(qint32 personId) const
{
    QStringList numbers{kNone};
    CtblTransponder* transponders = TransponderTable(Context());
    for (int i = 0; transponders && i < transponders->GetAnz_Transponder(); ++i) {
        const auto* transponder = transponders->Get_Transponder(i);
        if (transponder->Person_ID == 0 || transponder->Person_ID == personId)
            numbers << transponder->TransponderNummer;
    }
    return numbers;
}

qint64 CNameDlg::OnGridBeginEdit(GRID_NOTIFY* notify)
{
    if (!notify || notify->row < 1)
        return -1;
    const CtblPerson::structPerson* person = PersonOfRow(notify->dataRow);
    if (!person)
        return -1;
    if (notify->column != kTransponderColumn)
        return 0;
    // The row's list, built now that it opens, not the column's: the free
    // transponders and the person's own.
    return SetDropDown(notify->dataRow, kTransponderColumn, kNone, OfferedTransponders(person->ID_Person).mid(1))
               ? 0
               : -1;
}

bool CNameDlg::StoreEditedCell(GRID_NOTIFY* notify)
{
    if (!notify || notify->row < 1)
        return false;
    const CtblPerson::structPerson* person = PersonOfRow(notify->dataRow);
    if (!person)
        return false;
    switch (notify->column) {
    case kNameColumn: return StoreName(person->ID_Person, notify->text2);
    case kTransponderColumn: return StoreTransponder(person->ID_Person, notify->text2);
    default: return true;
    }
}

bool CNameDlg::StoreName(qint32 personId, const QString& name)
{
    CtblPerson* persons = PersonTable(Context());
    if (!persons || !NameFits(name))
        return false;
    for (int i = 0; i < persons->GetAnz_Person(); ++i) {
        if (persons->Get_Person(i)->Name == name) {
            CNotice::ShowNotice(85);
            return false;
        }
    }
    CFerrold_Handler* db = GetDBHandler();
    const CRecordWriter::Result result = CPersonStore(*db).Rename(personId, name);
    if (result == CRecordWriter::Result::NotFound)
        CNotice::ShowNotice(77);
    if (result != CRecordWriter::Result::Written)
        return false;
    if (CGridCtrl* grid = GetGrid())
        grid->Refresh();
    return true;
}

bool CNameDlg::StoreTransponder(qint32 personId, const QString& number)
{
    CFerrold_Handler* db = GetDBHandler();
    if (!db)
        return false;
    CtblTransponder* transponders = db->Get_Ptr_To_tblTransponder();
    // Among the transponders the row was offered: with a number stored
    // twice, another person's transponder is never taken.
    qint32 link = 0;
    if (!number.isEmpty()) {
        for (int i = 0; i < transponders->GetAnz_Transponder() && link == 0; ++i) {
            const auto* transponder = transponders->Get_Transponder(i);
            if (transponder->TransponderNummer == number
                && (transponder->Person_ID == 0 || transponder->Person_ID == personId))
                link = transponder->ID_Transponder;
        }
        if (link == 0)
            return false;
    }

    switch (CPersonStore(*db).SetTransponder(personId, link)) {
    case CPersonStore::LinkResult::Stored: break;
    case CPersonStore::LinkResult::PersonNotFound: CNotice::ShowNotice(77); return false;
    case CPersonStore::LinkResult::TransponderNotFound: CNotice::ShowNotice(75); return false;
    case CPersonStore::LinkResult::Failed: return false;
    }
    m_lookups.Reset();
    m_bKeepColumnWidths = 1;
    FillGrid(kGridId, kColumns);
    return true;
}

void CNameDlg::ClearTransponderAssignments(qint32 personId)
{
    if (CFerrold_Handler* db = GetDBHandler())
        CPersonStore(*db).ForgetTransponderLinks(personId);
}

CRecordViewMenu CNameDlg::ContextMenu() const
{
    CRecordViewMenu menu({CRecordViewMenu::ID_INSERT, CRecordViewMenu::ID_DELETE, CRecordViewMenu::ID_DELETE_ALL});
    const std::size_t selected = SelectedRows().size();
    menu.Modify(CRecordViewMenu::ID_INSERT, Text(61), m_nFilterID == 0);
    menu.Modify(CRecordViewMenu::ID_DELETE, Text(selected >= 2 ? 67 : 62), selected >= 1);
    menu.Modify(CRecordViewMenu::ID_DELETE_ALL, Text(63), GetGrid() && GetGrid()->GetRowCount() > 1);
    return menu;
}

void CNameDlg::OnGridRClick(GRID_NOTIFY* notify)
{
    if (!notify)
        return;
    switch (ContextMenu().Track(this, MenuPoint(notify))) {
    case CRecordViewMenu::ID_INSERT: OnNewPerson(); break;
    case CRecordViewMenu::ID_DELETE: OnDelete(); break;
    case CRecordViewMenu::ID_DELETE_ALL: OnDeleteAll(); break;
    default: break;
    }
}

void CNameDlg::OnNewPerson()
{
    CFerrold_Handler* db = GetDBHandler();
    if (!db || m_nFilterID != 0)
        return;
    // Seeded right before the draw: two persons made within one second get
    // one name, as they always did.
    const CTimeStamp::Clock clock = ClockSeam().Get();
    const qint64 now = qint64(std::chrono::system_clock::to_time_t(clock ? clock() : std::chrono::system_clock::now()));
    std::srand(unsigned(now));
    const QString name = QStringLiteral("Person_") + QString::number(std::rand() % 0xFFFF, 16).toUpper();
    if (!CPersonStore(*db).Add(name))
        return;
    m_bKeepColumnWidths = 1;
    FillGrid(kGridId, kColumns);
    if (CGridCtrl* grid = GetGrid()) {
        grid->ResetScrollBars();
        grid->verticalScrollBar()->setValue(grid->verticalScrollBar()->maximum());
    }
}

void CNameDlg::OnDelete()
{
    CtblPerson* persons = PersonTable(Context());
    CGridCtrl* grid = GetGrid();
    const std::vector<int> rows = SelectedRows();
    if (!persons || !grid || rows.empty() || !CNotice::Confirm(rows.size() < 2 ? 69 : 68))
        return;
    const std::vector<qint32> keys = KeysOfRows(
        rows, [this](int dataRow) { return PersonOfRow(dataRow); },
        [](const CtblPerson::structPerson& person) { return person.ID_Person; });
    DeletePersons(&keys);
}

void CNameDlg::OnDeleteAll()
{
    CtblPerson* persons = PersonTable(Context());
    if (!persons || !CNotice::Confirm(64))
        return;
    if (m_nFilterID == 0) {
        DeletePersons(nullptr);
        return;
    }
    // Every person shown, selected or not.
    const auto keys = ShownKeys(persons->GetAnz_Person(), [persons](int i) { return persons->Get_Person(i)->ID_Person; });
    DeletePersons(&keys);
}

void CNameDlg::DeletePersons(const std::vector<qint32>* keys)
{
    if (CFerrold_Handler* db = GetDBHandler())
        CPersonStore(*db).Delete(
            keys, &m_bBusy, [this] { FillGrid(kGridId, kColumns); }, &Context(),
            [this](qint32 personId) { ClearTransponderAssignments(personId); });
}
