#include "CCsvImporter.h"

#include "CBulkWriter.h"
#include "CBusyScope.h"
#include "CCsvFormat.h"
#include "CDBException.h"
#include "CFerrold_Handler.h"
#include "CFerrold_Schema.h"
#include "CLanguageHandler.h"
#include "CReaderIdList.h"
#include "CtblLeser.h"
#include "CtblPerson.h"
#include "CtblTransponder.h"
#include "CtblZeitschema.h"

#include <QSqlError>

#include <algorithm>
#include <utility>

namespace {

// The built-in schema: its identity when a line names none, and its names
// in either language.
constexpr qint32 kFullAccessSchema = 1;
const QString kFullAccessGerman = QStringLiteral("Vollzugriff");
const QString kFullAccessEnglish = QStringLiteral("Full access");
// Said after a database failure: nothing of the file was kept.
constexpr unsigned int kUndoneText = 252;
// Why a record is refused (shown after its line in the error list).
constexpr unsigned int kNotANumberText = 342;
constexpr unsigned int kNumberStoredText = 343;
constexpr unsigned int kNameTooLongText = 344;
constexpr unsigned int kPersonStoredText = 345;
constexpr unsigned int kNothingNamedText = 346;
constexpr unsigned int kNoSuchSchemaText = 347;

void appendKey(QHash<QString, QList<qint32>>& index, const QString& key, qint32 value)
{
    index[key].append(value);
}

// The first row of that key, or 0.
qint32 firstKey(const QHash<QString, QList<qint32>>& index, const QString& key)
{
    const auto it = index.constFind(key);
    return it == index.constEnd() || it->isEmpty() ? 0 : it->first();
}

void removeKey(QHash<QString, QList<qint32>>& index, const QString& key, qint32 value)
{
    const auto it = index.find(key);
    if (it != index.end())
        it->removeOne(value);
}

} // namespace

CCsvImporter::CCsvImporter(CFerrold_Handler& db, const CLanguageHandler* language, Kind kind)
    : m_db(db)
    , m_language(language)
    , m_kind(kind)
{
    BuildIndex(false);
}

QString CCsvImporter::Text(unsigned int number) const
{
    return m_language ? m_language->GetLangItem(number) : QString();
}

bool CCsvImporter::AcceptLine(Kind kind, const QString& line, QString* rest)
{
    const QString& word = kind == Transponders ? CCsvFormat::kTransponder : CCsvFormat::kPerson;
    const int minFields = kind == Transponders ? 3 : 2;
    if (!line.startsWith(word) || CCsvFormat::SplitCsvLine(line).size() < minFields)
        return false;
    *rest = line.mid(word.size() + 1);
    return true;
}

void CCsvImporter::BuildIndex(bool fromTable)
{
    m_numbers.clear();
    m_persons.clear();
    m_readers.clear();
    m_schemas.clear();

    // For the write, the numbers as stored, read inside the import's
    // transaction with the table locked against other writers: a number
    // another PC stored a moment ago is a duplicate too.
    CtblTransponder* transponders = m_db.Get_Ptr_To_tblTransponder();
    if (fromTable) {
        std::vector<std::pair<qint32, QString>> stored;
        CBulkWriter(*transponders).LockTable();
        if (!CBulkWriter(*transponders).ReadForWrite(QStringLiteral("strTransponderNummer"), &stored))
            throw CDBException(transponders->GetLastError());
        for (const auto& [key, number] : stored)
            appendKey(m_numbers, number.toUpper(), key);
    } else {
        for (int i = 0; i < transponders->GetAnz_Transponder(); ++i) {
            const auto* row = transponders->Get_Transponder(i);
            appendKey(m_numbers, row->TransponderNummer.toUpper(), row->ID_Transponder);
        }
    }
    CtblPerson* persons = m_db.Get_Ptr_To_tblPerson();
    for (int i = 0; i < persons->GetAnz_Person(); ++i) {
        const auto* row = persons->Get_Person(i);
        appendKey(m_persons, row->Name, row->ID_Person);
    }
    CtblLeser* readers = m_db.Get_Ptr_To_tblLeser();
    for (int i = 0; i < readers->GetAnz_Leser(); ++i) {
        const auto* row = readers->Get_Leser(i);
        if (!m_readers.contains(row->Bezeichnung))
            m_readers.insert(row->Bezeichnung, row->ID_Leser);
    }
    // A schema is named by its first row (rows 0, 4, 8, ...).
    CtblZeitschema* schemas = m_db.Get_Ptr_To_tblZeitschema();
    qint32 fullAccess = 0;
    for (int i = 0; i < schemas->GetAnz_Zeitschema(); i += 4) {
        const auto* row = schemas->Get_Zeitschema(i);
        if (!m_schemas.contains(row->Bezeichnung))
            m_schemas.insert(row->Bezeichnung, row->ID_Zeitschema);
        if (!fullAccess && (row->Bezeichnung == kFullAccessGerman || row->Bezeichnung == kFullAccessEnglish))
            fullAccess = row->ID_Zeitschema;
    }
    // Files written in either language name the built-in schema their way.
    if (fullAccess) {
        for (const QString& name : {kFullAccessGerman, kFullAccessEnglish}) {
            if (!m_schemas.contains(name))
                m_schemas.insert(name, fullAccess);
        }
    }
}

bool CCsvImporter::Check(const QString& acceptedLine, Record* record, QString* reason) const
{
    const QStringList fields = CCsvFormat::SplitCsvLine(acceptedLine);
    *record = Record();
    QString why;
    const auto refuse = [&](unsigned int text, const QString& value) {
        why = Text(text);
        if (!value.isNull())
            why = why.arg(value);
        if (reason)
            *reason = why;
        return false;
    };
    QString number;
    QString person;
    int firstReader = 3;
    if (m_kind == Transponders) {
        number = fields.value(0);
        if (!CCsvFormat::IsTransponderNumber(number))
            return refuse(kNotANumberText, number);
        person = fields.value(1);
    } else {
        if (fields.isEmpty())
            return refuse(kNothingNamedText, QString());
        person = fields[0];
        number = fields.value(1);
        if (number == CCsvFormat::kNoPerson)
            number.clear();
        if (!number.isEmpty() && !CCsvFormat::IsTransponderNumber(number))
            return refuse(kNotANumberText, number);
    }
    number = number.toUpper();
    if (person == CCsvFormat::kNoPerson)
        person.clear();
    if (person.size() > CFerrold_Schema::kMaxNameLength)
        return refuse(kNameTooLongText, QString::number(person.size()));
    if (m_kind == Transponders && firstKey(m_numbers, number) != 0)
        return refuse(kNumberStoredText, number);
    if (m_kind == Persons) {
        if (!person.isEmpty() && firstKey(m_persons, person) != 0)
            return refuse(kPersonStoredText, person);
        if (person.isEmpty() && number.isEmpty())
            return refuse(kNothingNamedText, QString());
    }

    record->number = number;
    record->person = person;
    if (number.isEmpty())
        return true;
    // A named schema must exist: a name that matches none never falls back
    // to full access.
    if (fields.size() > 2) {
        const auto schema = m_schemas.constFind(fields[2]);
        if (schema == m_schemas.constEnd())
            return refuse(kNoSuchSchemaText, fields[2]);
        record->schemaId = schema.value();
    } else {
        record->schemaId = kFullAccessSchema;
    }
    for (int i = firstReader; i < fields.size(); ++i) {
        if (fields[i].isEmpty())
            continue;
        const auto reader = m_readers.constFind(fields[i]);
        if (reader != m_readers.constEnd() && !record->readers.contains(reader.value()))
            record->readers.append(reader.value());
    }
    return true;
}

int CCsvImporter::Write(const QStringList& acceptedLines)
{
    m_errors.clear();
    m_touchedReaders.clear();
    m_links.clear();
    m_written = 0;
    m_failed = false;

    CDatabase* database = m_db.GetDatabase();
    int result = 1;
    try {
        if (!database->BeginTrans())
            throw Failure{Text(83) + QLatin1Char('\n') + Text(84), false, true};
        try {
            BuildIndex(true);
        } catch (const CDBException& e) {
            throw Failure{e.m_strError, false, false};
        }
        for (int i = 0; i < acceptedLines.size(); ++i) {
            if (m_onRecord)
                m_onRecord();
            Record record;
            QString reason;
            if (!Check(acceptedLines[i], &record, &reason)) {
                // The reason after the line, so the list still sorts by number.
                m_errors << QStringLiteral("Nr.: %1 -> ").arg(i + 1) + acceptedLines[i] + QStringLiteral("   (")
                                + reason + u')';
                continue;
            }
            try {
                WriteRecord(record);
            } catch (const CDBException& e) {
                throw Failure{e.m_strError, false, false};
            }
            ++m_written;
        }
        try {
            WriteLinks();
        } catch (const CDBException& e) {
            throw Failure{e.m_strError, false, false};
        }
        MarkReaders();
        QString error;
        if (!database->CommitTrans(&error))
            throw Failure{error, false, false};
    } catch (const Failure& failure) {
        // The box below says what happened; the re-reads that follow (the
        // rollback's, the caches', the view's) would each say it again when
        // the server is gone.
        m_quiet = std::make_unique<CFerrold_Reporter::Quiet>();
        database->Rollback();
        m_failed = true;
        m_written = 0;
        CBusyScope::Show(failure.text + QStringLiteral("\n\n") + Text(kUndoneText),
                         failure.openFailed ? QMessageBox::Critical : QMessageBox::Warning);
        result = failure.readerSet ? 0 : 1;
    }
    for (CFerrold_Base* set : {static_cast<CFerrold_Base*>(m_db.Get_Ptr_To_tblTransponder()),
                               static_cast<CFerrold_Base*>(m_db.Get_Ptr_To_tblLeser()),
                               static_cast<CFerrold_Base*>(m_db.Get_Ptr_To_tblPerson())})
        set->CloseRecordset();
    Requery();
    return result;
}

void CCsvImporter::WriteRecord(const Record& record)
{
    CtblTransponder* transponders = m_db.Get_Ptr_To_tblTransponder();
    CtblPerson* persons = m_db.Get_Ptr_To_tblPerson();
    qint32 transponder = 0;
    if (m_kind == Transponders) {
        transponder = InsertTransponder(record);
        qint32 person = 0;
        if (!record.person.isEmpty()) {
            // The person moves to the new transponder: the old row goes.
            if (const qint32 old = firstKey(m_persons, record.person)) {
                if (DeleteRow(*persons, old))
                    removeKey(m_persons, record.person, old);
            }
            person = InsertPerson(record.person, transponder);
        }
        LinkTransponder(transponder, person);
    } else {
        if (!record.number.isEmpty()) {
            // A transponder of that number is replaced by the new one.
            if (const qint32 old = firstKey(m_numbers, record.number)) {
                if (DeleteRow(*transponders, old))
                    removeKey(m_numbers, record.number, old);
            }
            transponder = InsertTransponder(record);
        }
        const qint32 person = record.person.isEmpty() ? 0 : InsertPerson(record.person, transponder);
        if (transponder)
            LinkTransponder(transponder, person);
    }
    for (qint32 reader : record.readers) {
        if (!m_touchedReaders.contains(reader))
            m_touchedReaders.append(reader);
    }
}

CCsvImporter::Failure CCsvImporter::OpenFailure(const CFerrold_Base& set, bool readerSet) const
{
    return Failure{Text(83) + QLatin1Char('\n') + Text(84) + QStringLiteral("\n\n") + set.GetLastError(), readerSet,
                   true};
}

void CCsvImporter::OpenRow(CFerrold_Base& set, qint32 key, bool readerSet)
{
    if (!set.OpenKey(key))
        throw OpenFailure(set, readerSet);
}

void CCsvImporter::OpenForInserts(CFerrold_Base& set)
{
    if (!set.OpenAppendOnly())
        throw OpenFailure(set, false);
}

void CCsvImporter::SendHeldRows()
{
    m_db.Get_Ptr_To_tblTransponder()->SendPendingRows();
    m_db.Get_Ptr_To_tblPerson()->SendPendingRows();
}

bool CCsvImporter::DeleteRow(CFerrold_Base& set, qint32 key)
{
    SendHeldRows();
    OpenRow(set, key, false);
    if (set.IsEOF())
        return true;
    try {
        set.Delete();
        return true;
    } catch (const CDBException& e) {
        CBusyScope::Show(e.m_strError, QMessageBox::Warning);
        set.CloseRecordset();
        return false;
    }
}

qint32 CCsvImporter::InsertTransponder(const Record& record)
{
    CtblTransponder* set = m_db.Get_Ptr_To_tblTransponder();
    if (!set->IsOpen())
        OpenForInserts(*set);
    const QString readers = CReaderIdList::Imported(record.readers).Text();
    set->AddNew();
    set->strTransponderNummer = record.number;
    set->strLeser_IDS = readers;
    set->boolUpdateOK = 1;
    set->Zeitfenster_ID = record.schemaId;
    set->Update();
    const qint32 key = set->GetLastInsertKey();
    appendKey(m_numbers, record.number, key);
    return key;
}

qint32 CCsvImporter::InsertPerson(const QString& name, qint32 transponder)
{
    CtblPerson* set = m_db.Get_Ptr_To_tblPerson();
    if (!set->IsOpen())
        OpenForInserts(*set);
    set->AddNew();
    set->strName = name;
    set->Transponder_ID = transponder;
    set->Update();
    const qint32 key = set->GetLastInsertKey();
    appendKey(m_persons, name, key);
    return key;
}

void CCsvImporter::LinkTransponder(qint32 transponder, qint32 person)
{
    if (person != 0) // a new row has no person already
        m_links.push_back({transponder, person});
}

void CCsvImporter::WriteLinks()
{
    if (m_links.empty())
        return;
    // A few statements for all links, rather than one per row; a row a later
    // line replaced again is gone and takes no link.
    std::vector<std::pair<qint32, QVariant>> links;
    links.reserve(m_links.size());
    for (const auto& [transponder, person] : m_links)
        links.emplace_back(transponder, person);
    SendHeldRows();
    CBulkWriter(*m_db.Get_Ptr_To_tblTransponder()).UpdateRowsByKey(QStringLiteral("Person_ID"), links);
    m_links.clear();
}

void CCsvImporter::MarkReaders()
{
    CtblLeser* set = m_db.Get_Ptr_To_tblLeser();
    for (qint32 reader : std::as_const(m_touchedReaders)) {
        OpenRow(*set, reader, true);
        if (set->IsEOF())
            continue;
        try {
            set->Edit();
            set->boolUpdateOK = 1;
            set->Update();
        } catch (const CDBException& e) {
            throw Failure{e.m_strError, true, false};
        }
    }
}

void CCsvImporter::Requery()
{
    m_db.Get_Ptr_To_tblTransponder()->_Requery();
    m_db.Get_Ptr_To_tblPerson()->_Requery();
    m_db.Get_Ptr_To_tblLeser()->_Requery();
}
