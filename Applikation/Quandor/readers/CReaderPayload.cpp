#include "CReaderPayload.h"

#include "CBulkWriter.h"
#include "CDBException.h"
#include "CDatabase.h"
#include "CFerrold_Handler.h"
#include "CFieldExchange.h"
#include "CReaderIdList.h"
#include "CTransaction.h"
#include "CWriteAllJob.h"
#include "CtblTransponder.h"
#include "CtblZeitschema.h"

#include <algorithm>

namespace {

// The columns in binding order, named as every backend stores them.
const QString kReaderColumns = QStringLiteral(
    "\"ID_Leser\", \"strBezeichnung\", \"strAdresse\", \"strSeriennummer\", \"boolUpdateOK\", \"strLeserTyp\", "
    "\"strModus\", \"strParameter\"");
const QString kTransponderColumns = QStringLiteral(
    "\"ID_Transponder\", \"strTransponderNummer\", \"Person_ID\", \"Zeitfenster_ID\", \"strLeser_IDS\", "
    "\"nTransponderIndex\", \"boolUpdateOK\"");

} // namespace

bool CReaderPayload::operator==(const CReaderPayload& other) const
{
    return form == other.form && found == other.found && transponders == other.transponders && schedules == other.schedules
           && windows == other.windows && parameter == other.parameter && mode == other.mode;
}

CReaderPayload CReaderPayload::Make(Form form, const std::vector<Assigned>& assigned, const CtblZeitschema& schemas,
                                    const CtblLeser::structLeser* reader)
{
    CReaderPayload payload;
    payload.form = form;
    if (!reader)
        return payload;
    payload.found = true;
    payload.parameter = reader->Parameter;
    payload.mode = reader->Modus;
    for (const Assigned& a : assigned) {
        payload.transponders << a.number;
        if (form == Form::Framed)
            payload.schedules << a.schedule;
    }
    if (form == Form::Plain)
        payload.transponders.sort();
    else
        payload.windows = CWriteAllJob::WindowEntries(schemas, payload.schedules);
    return payload;
}

CReaderPayload CReaderPayload::Read(CDatabase* database, qint32 readerId, Form form)
{
    if (!database)
        throw CDBException(QStringLiteral("No data source."));
    CtblLeser readers(nullptr, database, CFerrold_Base::EmptyCache{});
    CtblLeser::structLeser reader;
    bool found = false;
    if (!readers.ReadRows(QStringLiteral("SELECT %1 FROM \"tblLeser\" WHERE \"ID_Leser\" = ?").arg(kReaderColumns),
                          [&](const QVariant* v) {
                              found = true;
                              reader.ID_Leser = CFieldExchange::ToLong(v[0]);
                              reader.Modus = CFieldExchange::ToText(v[6]);
                              reader.Parameter = CFieldExchange::ToText(v[7]);
                          },
                          {readerId}))
        throw CDBException(readers.GetLastError());
    if (!found || readerId <= 0) {
        CReaderPayload none;
        none.form = form;
        return none;
    }

    // Only rows whose list holds the ID's digits can name the reader; the
    // list's own rules then decide ("17" holds "7" but names reader 17).
    std::vector<Assigned> assigned;
    CtblTransponder transponders(nullptr, database, CFerrold_Base::EmptyCache{});
    if (!transponders.ReadRows(QStringLiteral("SELECT %1 FROM \"tblTransponder\" WHERE \"strLeser_IDS\" LIKE ? "
                                              "ORDER BY \"ID_Transponder\"")
                                   .arg(kTransponderColumns),
                               [&](const QVariant* v) {
                                   if (CReaderIdList(CFieldExchange::ToText(v[4])).Holds(readerId))
                                       assigned.push_back(
                                           {CFieldExchange::ToText(v[1]), CFieldExchange::ToLong(v[3])});
                               },
                               {QStringLiteral("%%1%").arg(readerId)}))
        throw CDBException(transponders.GetLastError());

    // The schemas as a cache reads them: only whole groups of four count.
    CtblZeitschema schemas(nullptr, database, CFerrold_Base::EmptyCache{});
    if (form == Form::Framed && !assigned.empty()) {
        schemas._Requery();
        if (schemas.LastReadFailed())
            throw CDBException(schemas.GetLastError());
    }
    return Make(form, assigned, schemas, &reader);
}

CReaderPayload::Clearing CReaderPayload::ClearMarkIfUnchanged(CDatabase* database, qint32 readerId,
                                                             const CReaderPayload& expected)
{
    if (!database)
        throw CDBException(QStringLiteral("No data source."));
    CTransaction transaction(database);
    if (!transaction.IsActive())
        throw CDBException(transaction.GetError());
    // On a server the row stays locked to the end: a writer that changes
    // this reader's data and then marks it waits for the commit, and its
    // mark comes after this clearing. A file is locked whole already.
    CtblLeser readers(nullptr, database, CFerrold_Base::EmptyCache{});
    std::vector<std::pair<qint32, QString>> locked;
    const QList<qint32> keys{readerId};
    if (!CBulkWriter(readers).ReadForWrite(QStringLiteral("boolUpdateOK"), &locked, &keys))
        throw CDBException(readers.GetLastError());
    Clearing result = Clearing::Gone;
    if (!locked.empty()) {
        result = Read(database, readerId, expected.form) == expected ? Clearing::Cleared : Clearing::Changed;
        if (result == Clearing::Cleared) {
            const std::vector<QVariant> ids{readerId};
            CBulkWriter(readers).UpdateWhere(QStringLiteral("boolUpdateOK"), 0, QStringLiteral("ID_Leser"), &ids);
        }
    }
    if (!transaction.Commit())
        throw CDBException(transaction.GetError());
    return result;
}
