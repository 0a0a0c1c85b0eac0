#pragma once

#include "CtblLeser.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <vector>

class CDatabase;
class CtblZeitschema;

// What the database holds for one reader in the form a transfer sends it:
// the transponders assigned to it, the time windows of their schemas and
// its two settings.
//
// The reader's mark for sending says the reader lacks something the
// database holds. Another PC may change a transponder, a schema or the
// settings while a transfer runs, or may have changed them before this PC
// last read its caches; that PC marks the reader in the same transaction
// as its change. A transfer therefore keeps the payload it sent (or the one
// its store leaves behind) and clears the mark only when the stored rows,
// read again inside the clearing transaction, still give that payload.
class CReaderPayload
{
public:
    enum class Form {
        Framed, // transponders in key order with their schemas, and the windows
        Plain   // the numbers alone, sorted (a plain reader takes no windows)
    };

    struct Assigned {
        QString number;
        qint32 schedule = 0;
    };

    Form form = Form::Framed;
    bool found = false; // the reader's row exists
    QStringList transponders;
    QList<qint32> schedules;
    QStringList windows;
    QString parameter; // strParameter as stored
    QString mode;      // strModus as stored

    bool operator==(const CReaderPayload& other) const;
    bool operator!=(const CReaderPayload& other) const { return !(*this == other); }

    // From the transponders assigned (in key order), the schema cache and the
    // reader's row (null: no such reader).
    static CReaderPayload Make(Form form, const std::vector<Assigned>& assigned, const CtblZeitschema& schemas,
                               const CtblLeser::structLeser* reader);
    // As the rows are stored, read on the calling thread's connection (inside
    // its transaction when one runs). Throws CDBException.
    static CReaderPayload Read(CDatabase* database, qint32 readerId, Form form);

    enum class Clearing {
        Cleared, // the rows still give the payload: the mark is 0
        Changed, // another writer changed them: the mark stays
        Gone     // the reader's row no longer exists
    };
    // Inside a transaction of the calling thread (its own, or a part of the
    // caller's): locks the reader's row, reads the payload again and clears
    // the mark only when it equals "expected". The row is locked last, after
    // the caller's own writes, as every other writer takes it after its
    // change. Throws CDBException.
    static Clearing ClearMarkIfUnchanged(CDatabase* database, qint32 readerId, const CReaderPayload& expected);
};
