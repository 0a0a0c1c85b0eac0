#include "CCsvExporter.h"

#include "CCsvFormat.h"
#include "CEventsDlg.h"
#include "CFerrold_Handler.h"
#include "CGridCellBase.h"
#include "CGridCtrl.h"
#include "CLanguageHandler.h"
#include "CNameDlg.h"
#include "CReaderIdList.h"
#include "CTransponderDlg.h"
#include "CtblEvents.h"
#include "CtblLeser.h"
#include "CtblPerson.h"
#include "CtblTransponder.h"
#include "CtblZeitschema.h"

#include <QCoreApplication>
#include <QHash>

#include <vector>

namespace {

// A name as a field of the file: quoted when it holds what would split it.
QString F(const QString& text)
{
    return CCsvFormat::Field(text);
}

// Every lookup keeps the first row of a key, as a walk through the cache
// from the top would find it.
template <class Key, class Value>
void insertFirst(QHash<Key, Value>& map, const Key& key, const Value& value)
{
    if (!map.contains(key))
        map.insert(key, value);
}

// The readers of the database in cache order: their IDs, and their names
// as fields of the file.
struct ReaderColumns
{
    explicit ReaderColumns(CtblLeser& readers)
    {
        const int count = readers.GetAnz_Leser();
        ids.reserve(count);
        names.reserve(count);
        for (int i = 0; i < count; ++i) {
            const auto* row = readers.Get_Leser(i);
            ids << row->ID_Leser;
            names << CCsvFormat::Field(row->Bezeichnung);
        }
    }

    // One field per reader, the reader's name when the list names it.
    QString Part(const QString& readerList) const { return CReaderIdList(readerList).ExportFields(ids, names); }
    // No reader assigned: one empty field per reader.
    QString EmptyPart() const { return CReaderIdList().ExportFields(ids, names); }

    QList<qint32> ids;
    QStringList names;
};

// Time-schema names by the schema's identity: the first of its four rows.
QHash<qint32, QString> schemaNames(CtblZeitschema& schemas)
{
    QHash<qint32, QString> names;
    for (int i = 0; i < schemas.GetAnz_Zeitschema(); i += 4) {
        const auto* row = schemas.Get_Zeitschema(i);
        insertFirst(names, row->ID_Zeitschema, row->Bezeichnung);
    }
    return names;
}

QHash<qint32, QString> personNames(CtblPerson& persons)
{
    QHash<qint32, QString> names;
    for (int i = 0; i < persons.GetAnz_Person(); ++i) {
        const auto* row = persons.Get_Person(i);
        insertFirst(names, row->ID_Person, row->Name);
    }
    return names;
}

// How many rows a view's grid is read in before the display copies that
// reading made are freed again: reading a whole grid at once would keep a
// copy of every cell.
constexpr int kRowsPerBatch = 1024;

void releaseDisplayCopies(CGridCtrl* grid)
{
    grid->Refresh();
    // Only the grid's own deferred release runs; nothing else happens in
    // the middle of the export.
    QCoreApplication::sendPostedEvents(grid, QEvent::MetaCall);
}

// The reader columns of a view: each the header name and ";" when checked,
// ";" alone otherwise, the last character then removed.
QString viewReaderPart(CGridCtrl* grid, int row, int firstColumn, const QStringList& headers)
{
    QString part;
    for (int col = firstColumn; col < grid->GetColumnCount(); ++col) {
        CGridCellBase* cell = grid->GetCellAt(row, col);
        if (cell && cell->GetValue() == QLatin1String("1"))
            part += headers[col - firstColumn];
        part += u';';
    }
    part.chop(1);
    return part;
}

} // namespace

CCsvExporter::CCsvExporter(const CLanguageHandler* language)
    : m_binary1(language ? language->GetLangItem(202) : QString())
    , m_binary2(language ? language->GetLangItem(203) : QString())
{
}

bool CCsvExporter::ExportTransponders(CFerrold_Handler& db, const LineSink& sink) const
{
    const ReaderColumns readers(*db.Get_Ptr_To_tblLeser());
    const QHash<qint32, QString> persons = personNames(*db.Get_Ptr_To_tblPerson());
    const QHash<qint32, QString> schemas = schemaNames(*db.Get_Ptr_To_tblZeitschema());
    CtblTransponder* transponders = db.Get_Ptr_To_tblTransponder();
    for (int i = 0; i < transponders->GetAnz_Transponder(); ++i) {
        const auto* row = transponders->Get_Transponder(i);
        const QString person = persons.value(row->Person_ID, CCsvFormat::kNoPerson);
        const QString line = CCsvFormat::kTransponder + u';' + F(row->TransponderNummer) + u';' + F(person) + u';'
                             + F(schemas.value(row->Zeitfenster_ID)) + readers.Part(row->Leser_IDS);
        if (!sink(line))
            return false;
    }
    return true;
}

bool CCsvExporter::ExportPersons(CFerrold_Handler& db, const LineSink& sink) const
{
    const ReaderColumns readers(*db.Get_Ptr_To_tblLeser());
    const QHash<qint32, QString> schemas = schemaNames(*db.Get_Ptr_To_tblZeitschema());
    QHash<qint32, const CtblTransponder::structTransponder*> transponders;
    CtblTransponder* table = db.Get_Ptr_To_tblTransponder();
    for (int i = 0; i < table->GetAnz_Transponder(); ++i) {
        const auto* row = table->Get_Transponder(i);
        insertFirst(transponders, row->ID_Transponder, row);
    }
    CtblPerson* persons = db.Get_Ptr_To_tblPerson();
    for (int i = 0; i < persons->GetAnz_Person(); ++i) {
        const auto* row = persons->Get_Person(i);
        const auto* transponder = transponders.value(row->Transponder_ID, nullptr);
        QString line = CCsvFormat::kPerson + u';' + F(row->Name) + u';';
        if (transponder)
            line += F(transponder->TransponderNummer) + u';' + F(schemas.value(transponder->Zeitfenster_ID))
                    + readers.Part(transponder->Leser_IDS);
        else
            line += u';' + readers.EmptyPart();
        if (!sink(line))
            return false;
    }
    return true;
}

bool CCsvExporter::ExportEvents(CFerrold_Handler& db, const LineSink& sink) const
{
    const QHash<qint32, QString> persons = personNames(*db.Get_Ptr_To_tblPerson());
    QHash<QString, qint32> personOfNumber;
    CtblTransponder* transponders = db.Get_Ptr_To_tblTransponder();
    for (int i = 0; i < transponders->GetAnz_Transponder(); ++i) {
        const auto* row = transponders->Get_Transponder(i);
        insertFirst(personOfNumber, row->TransponderNummer, row->Person_ID);
    }
    CtblEvents* events = db.Get_Ptr_To_tblEvents();
    for (int i = 0; i < events->GetAnz_Events(); ++i) {
        const auto* row = events->Get_Event(i);
        const auto owner = personOfNumber.constFind(row->Transpondernummer);
        const QString person = owner == personOfNumber.constEnd() ? QString() : persons.value(owner.value());
        // Stored "ddmmyyyy" and "hhmm"; shorter values give shorter texts.
        const QString date = row->Datum.left(2) + u'.' + row->Datum.mid(2, 2) + u'.' + row->Datum.right(4);
        const QString time = row->Uhrzeit.left(2) + u':' + row->Uhrzeit.right(2);
        const QString line = CCsvFormat::kEvent + u';' + F(row->Transpondernummer) + u';' + F(person) + u';'
                             + F(row->LeserName) + u';' + F(date) + u';' + F(time) + u';'
                             + F(m_binary1 + row->Binaerwert1) + u';' + F(row->Event1) + u';'
                             + F(m_binary2 + row->Binaerwert2) + u';' + F(row->Event2);
        if (!sink(line))
            return false;
    }
    return true;
}

CGridCtrl* CCsvExporter::ViewGrid(QWidget* view)
{
    if (!qobject_cast<CTransponderDlg*>(view) && !qobject_cast<CNameDlg*>(view) && !qobject_cast<CEventsDlg*>(view))
        return nullptr;
    return view->findChild<CGridCtrl*>();
}

bool CCsvExporter::ExportView(QWidget* view, const LineSink& sink)
{
    CGridCtrl* grid = ViewGrid(view);
    if (!grid)
        return false;
    const bool transponders = qobject_cast<CTransponderDlg*>(view) != nullptr;
    const bool persons = qobject_cast<CNameDlg*>(view) != nullptr;
    const int firstReader = transponders ? 6 : 5;
    QStringList headers;
    if (transponders || persons) {
        for (int col = firstReader; col < grid->GetColumnCount(); ++col)
            headers << F(grid->GetItemText(0, col));
    }

    for (int row = 1; row < grid->GetRowCount(); ++row) {
        if (row % kRowsPerBatch == 0)
            releaseDisplayCopies(grid);
        QString line;
        if (transponders) {
            line = CCsvFormat::kTransponder + u';' + F(grid->GetItemText(row, 3)) + u';'
                   + F(grid->GetItemText(row, 4)) + u';' + F(grid->GetItemText(row, 5)) + u';'
                   + viewReaderPart(grid, row, firstReader, headers);
        } else if (persons) {
            line = CCsvFormat::kPerson + u';' + F(grid->GetItemText(row, 2)) + u';' + F(grid->GetItemText(row, 3))
                   + u';' + F(grid->GetItemText(row, 4)) + u';' + viewReaderPart(grid, row, firstReader, headers);
        } else {
            line = CCsvFormat::kEvent;
            for (int col = 2; col <= 10; ++col)
                line += u';' + F(grid->GetItemText(row, col));
        }
        if (!sink(line)) {
            releaseDisplayCopies(grid);
            return false;
        }
    }
    releaseDisplayCopies(grid);
    return true;
}
