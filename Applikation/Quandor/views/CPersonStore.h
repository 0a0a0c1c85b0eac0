#pragma once

#include "CRecordDeleter.h"
#include "CRecordWriter.h"

#include <QString>
#include <QtGlobal>

#include <functional>
#include <vector>

class CFerrold_Handler;

// What the persons view writes, and the caches following it.
//
// A person and its transponder name each other: the person's Transponder_ID
// and the transponder's Person_ID. Every write reads the records it changes
// as they are stored, by key, and goes in one transaction where it changes
// more than one; the caches change only after the table took the write. A
// table that cannot be opened or a write the database refuses shows its box
// (as every record writer does) and leaves table and caches as they were.
class CPersonStore
{
public:
    explicit CPersonStore(CFerrold_Handler& db);

    // Stores the person's new name.
    CRecordWriter::Result Rename(qint32 personId, const QString& name);

    // Gives the person this transponder (0: none), and the transponder the
    // person: both records or neither. A transponder the person held before
    // keeps naming it.
    enum class LinkResult
    {
        Stored,
        PersonNotFound,      // the person's record is gone; nothing written
        TransponderNotFound, // the transponder's record is gone; nothing written
        Failed,              // the database said no (its box was shown)
    };
    LinkResult SetTransponder(qint32 personId, qint32 transponderId);

    // A new person without a transponder; the persons are read again. False
    // when it was not stored.
    bool Add(const QString& name);

    // Deletes these persons (null: every person) with the links of the
    // transponders that name them: a person whose links cannot be cleared
    // stays. "refill" rebuilds the view once, before any box; the context's
    // main window shows the wait cursor meanwhile. After every person went,
    // "forgetLinks" (0) clears the cached links (ForgetTransponderLinks
    // when not given); after some, one pass over the cache does.
    CRecordDeleter::Result Delete(const std::vector<qint32>* keys, int* busyFlag, std::function<void()> refill,
                                  CAppContext* context = nullptr,
                                  std::function<void(qint32 personId)> forgetLinks = {});

    // Cache only: the transponders naming the person (0: every transponder)
    // name none afterwards.
    void ForgetTransponderLinks(qint32 personId);

private:
    CFerrold_Handler& m_db;
};
