#pragma once

#include "CRecordDeleter.h"

#include <QString>
#include <QtGlobal>

#include <functional>
#include <vector>

class CFerrold_Base;
class CFerrold_Handler;
class CtblTransponder;

// What the transponder view writes, and the caches following it.
//
// Each operation goes in one transaction with the marks it sets, and the
// caches change only after the commit. A failure leaves table and caches as
// they were and says why (LastFailure, LastError).
//
// A reader list is always changed from the row as stored, read inside the
// write's transaction (on a server the row stays locked until it ends):
// another PC may have changed the list since the cache was read, and its
// change must not be lost. The cache then shows what was stored.
//
// Marks for sending: a change of a transponder's schema or readers marks
// the transponder and the readers concerned (its stored list's, or the
// reader ticked); a person link marks nothing; a deletion marks the readers
// that held the transponders deleted.
class CTransponderStore
{
public:
    explicit CTransponderStore(CFerrold_Handler* db);

    enum class Failure
    {
        None,
        Open,     // the table could not be reached (the database-failure box)
        NotFound, // a record is gone; MissingText names which kind
        Write,    // the database refused; LastError holds its text
    };
    Failure LastFailure() const { return m_failure; }
    QString LastError() const { return m_strError; }
    unsigned int MissingText() const { return m_nMissingText; }

    // Gives the transponder this person (0: none). The person that held it
    // before holds none afterwards; marks nothing.
    bool SetPerson(qint32 transponderId, qint32 personId);
    // Moves the transponder to this time schema.
    bool SetSchema(qint32 transponderId, qint32 schemaId);
    // Gives the transponder to the reader (on) or takes it away.
    bool SetReader(qint32 transponderId, qint32 readerId, bool on);

    // Assign all (true) or withdraw all (false): every transponder the table
    // holds, also those the cache does not know yet. Each changed one is
    // marked, and the reader. Nothing to change is no failure (ChangedRows 0).
    bool ChangeAll(bool assign, qint32 readerId);
    int ChangedRows() const { return m_nChanged; }

    // A tag presented while learning: the transponder with this key (0: a
    // new number, added with schema 1) is given to the reader (0: to none).
    bool Learn(const QString& number, qint32 readerId, qint32 key);

    // Deletes the transponders with these keys (null: every one), the
    // persons' links to them, and marks the readers that held them; shows
    // what failed as the record deleter does. "refill" rebuilds the view
    // once, before any box; the context's main window shows the wait
    // cursor meanwhile.
    // After every transponder went, "clearLinks" (0) clears the persons'
    // cached links (ClearPersonLinkCached when not given); after some, one
    // pass over the cache does.
    CRecordDeleter::Result Delete(const std::vector<qint32>* keys, int* busyFlag, const std::function<void()>& refill,
                                  CAppContext* context = nullptr,
                                  std::function<void(qint32 transponderId)> clearLinks = {});

    // Persons holding the transponder hold none (0: every person); cache only.
    void ClearPersonLinkCached(qint32 transponderId);

private:
    using Readers = std::vector<qint32>;

    // Runs "write" in a transaction and commits; false (failure kept) when
    // it returned false, threw or the commit failed.
    bool Transact(const std::function<bool()>& write);
    // One row of a table by its key: "change" sets the set's members between
    // Edit (which reads the row as stored) and Update. NotFound, with the
    // missing text given, when the table no longer has the row.
    bool WriteByKey(CFerrold_Base& set, qint32 key, unsigned int missingText, const std::function<void()>& change);
    // One transponder changed from its stored row and marked, with the
    // readers given (none: those of its stored list) marked too.
    bool WriteMarked(qint32 transponderId, const Readers& readers, const std::function<void(CtblTransponder&)>& change);
    // Locks the transponder's row on a server until the transaction ends.
    void LockRow(qint32 transponderId);
    void MarkReadersStored(const Readers& readers);
    void MarkReadersCached(const Readers& readers);
    bool Missing(unsigned int text);

    CFerrold_Handler* m_pDb;
    Failure m_failure = Failure::None;
    QString m_strError;
    unsigned int m_nMissingText = 0;
    int m_nChanged = 0;
};
