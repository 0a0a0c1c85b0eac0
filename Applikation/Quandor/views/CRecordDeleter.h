#pragma once

#include <QSet>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <functional>
#include <vector>

class CAppContext;
class CFerrold_Base;

// The one way the record views delete many records of a table: every
// record by its key in one transaction, without reading the table first,
// the caches brought in line in one pass and the view refilled once.
//
// A record the database refuses stays, the others go; each reason is shown
// once, and a closing box gives the number that failed. After any failure
// the tables the command touched are read again, so the view shows what
// the database holds. No box is shown before the view has been refilled:
// nothing is painted from rows the command removed.
class CRecordDeleter
{
public:
    // "notFound": the language text for a record the table no longer holds.
    CRecordDeleter(CFerrold_Base& set, unsigned int notFound);

    // Reads what the records hold before they go, in the same transaction
    // (on a server the rows stay locked until it ends): the keys about to be
    // deleted, or null before a delete of every record. A CDBException it
    // throws undoes the whole command.
    std::function<void(const std::vector<qint32>* keys)> beforeDelete;
    // Work on other tables that belongs to the deletes (links to the deleted
    // records), run in the same transaction after them. It gets the keys
    // deleted, or null after a delete of every record. A CDBException it
    // throws undoes the whole command.
    std::function<void(const std::vector<qint32>* deleted)> cleanUp;
    // The caches after a command without failures: the keys deleted, or null
    // when every record went. Runs before the refill.
    std::function<void(const QSet<qint32>* deleted)> updateCaches;
    // After a failure: reads the tables the command touched again.
    std::function<void()> reread;
    // Rebuilds the view from the caches; runs once, before any box.
    std::function<void()> refill;
    // The view's busy flag, 1 while the command runs.
    int* busyFlag = nullptr;
    // Whose main window shows the wait cursor while the command runs.
    CAppContext* context = nullptr;

    struct Result
    {
        int asked = 0;    // records the command meant to delete
        int deleted = 0;  // records deleted
        int failed = 0;   // records that stay
        bool stopped = false; // the table could not be reached, or the command was undone
    };

    // Deletes the records with these keys (repeated keys count once).
    Result DeleteKeys(const std::vector<qint32>& keys);
    // Deletes every record of the table, also those no cache shows.
    Result DeleteAll();

    // The reasons of the last command, each once, in the order met; an
    // empty text stands for "not found". Tests read them.
    const QStringList& Reasons() const { return m_reasons; }

private:
    Result Run(const std::vector<qint32>* keys);
    void Report(const Result& result) const;
    void NoteReason(const QString& reason);

    CFerrold_Base& m_set;
    unsigned int m_nNotFound;
    QStringList m_reasons;
    bool m_bOpenFailed = false;
};
