#include "CPlainListStore.h"

#include "CFerrold_Handler.h"
#include "CDBException.h"
#include "CReaderIdList.h"
#include "CReaderPayload.h"
#include "CNotice.h"
#include "CRecordWriter.h"
#include "CDatabase.h"
#include "CTransaction.h"
#include "CtblLeser.h"
#include "CtblTransponder.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSet>

#include <vector>

namespace {

// The built-in schema every new transponder starts with.
constexpr qint32 kFullAccessSchema = 1;

} // namespace

CPlainListStore::Result CPlainListStore::Store(CFerrold_Handler& db, qint32 readerId, const QStringList& numbers,
                                               Counts* counts)
{
    CtblTransponder* transponders = db.Get_Ptr_To_tblTransponder();
    CtblLeser* readers = db.Get_Ptr_To_tblLeser();

    // What to write, from the cache: by row key, never by number or name.
    QSet<QString> listed;
    QStringList fresh; // listed numbers, first appearance order
    for (const QString& number : numbers) {
        if (!listed.contains(number)) {
            listed.insert(number);
            fresh << number;
        }
    }
    struct Change {
        qint32 key;
        QString list;
    };
    std::vector<Change> changes;
    Counts done;
    QSet<QString> known;
    for (int i = 0; i < transponders->GetAnz_Transponder(); ++i) {
        const CtblTransponder::structTransponder* row = transponders->Get_Transponder(i);
        // The first row with a listed number stands for it; any further row
        // with that number is not in the list.
        const bool inList = listed.contains(row->TransponderNummer) && !known.contains(row->TransponderNummer);
        if (inList) {
            known.insert(row->TransponderNummer);
            const QString list = CReaderIdList(row->Leser_IDS).With(readerId).Text();
            if (list != row->Leser_IDS) {
                changes.push_back({row->ID_Transponder, list});
                ++done.assigned;
            }
        } else if (const CReaderIdList stored(row->Leser_IDS); stored.Holds(readerId)) {
            changes.push_back({row->ID_Transponder, stored.Without(readerId).Text()});
            ++done.withdrawn;
        }
    }

    Result result = Result::Stored;
    {
        CTransaction transaction(db.GetDatabase());
        auto failed = [&result](CRecordWriter::Result written) {
            if (written == CRecordWriter::Result::OpenFailed)
                result = Result::OpenFailed;
            else if (written == CRecordWriter::Result::Refused)
                result = Result::Refused;
            return result != Result::Stored;
        };
        for (const Change& change : changes) {
            if (failed(CRecordWriter::WriteByKey(*transponders, change.key,
                                                 [&] { transponders->strLeser_IDS = change.list; })))
                break;
        }
        for (qsizetype i = 0; result == Result::Stored && i < fresh.size(); ++i) {
            if (known.contains(fresh.at(i)))
                continue;
            const QString& number = fresh.at(i);
            if (failed(CRecordWriter::AddNew(*transponders, [&] {
                    transponders->strTransponderNummer = number;
                    transponders->Person_ID = 0;
                    transponders->Zeitfenster_ID = kFullAccessSchema;
                    transponders->boolUpdateOK = 0;
                    transponders->strLeser_IDS = QString::number(readerId);
                })))
                break;
            ++done.added;
        }
        if (result == Result::Stored) {
            // Cleared only when the rows now hold exactly the list and the
            // settings this PC sent: a change another PC stored meanwhile
            // keeps the mark.
            std::vector<CReaderPayload::Assigned> assigned;
            for (const QString& number : std::as_const(fresh))
                assigned.push_back({number, 0});
            const CReaderPayload expected = CReaderPayload::Make(CReaderPayload::Form::Plain, assigned,
                                                                 *db.Get_Ptr_To_tblZeitschema(),
                                                                 readers->FindByKey(readerId));
            try {
                done.markKept = CReaderPayload::ClearMarkIfUnchanged(db.GetDatabase(), readerId, expected)
                                == CReaderPayload::Clearing::Changed;
            } catch (const CDBException& e) {
                CNotice::ShowDatabaseError(e.m_strError);
                result = Result::Refused;
            }
        }
        if (result == Result::Stored && !transaction.Commit()) {
            CNotice::ShowDatabaseError(transaction.GetError());
            result = Result::Refused;
        }
    }
    transponders->_Requery();
    readers->_Requery();
    if (counts)
        *counts = result == Result::Stored ? done : Counts{};
    return result;
}
