#pragma once

#include "CReaderPayload.h"

#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <vector>

class CFerrold_Handler;
class CtblTransponder;

// Brings the transponders in line with the list fetched from a framed
// reader:
// - a number the table does not know becomes a new transponder of that
//   reader (no person, the full-access schema 1, not marked);
// - a known transponder gets the reader added to its reader list as stored;
// - a transponder the reader does not hold is deleted when it belongs to
//   no reader at all, in the cache and still in the table (another PC may
//   have given it one), and the person who held it is set free.
//
// Each transponder row takes at most one fetched entry (in the cache's
// order), so a number the reader holds twice adds a second row.
//
// All of it is one transaction on the UI thread's connection: applied
// whole or not at all. Afterwards the caches equal the database.
class CFetchedListStore
{
public:
    struct Plan
    {
        QStringList added; // numbers, in slot order
        struct Extend {
            qint32 id;
            QString readers;
        };
        std::vector<Extend> extended; // known rows whose reader list grows
        std::vector<qint32> removed;  // rows to delete
        int known = 0;                // known rows, extended or not
    };

    // What the fetched list means for the table as the cache shows it.
    // "readerText" is the reader's ID as text ("0": no reader, nothing is
    // extended).
    static Plan Match(const CtblTransponder& cache, const QStringList& fetched, const QString& readerText);

    enum class Result { Stored, OpenFailed, Failed };

    explicit CFetchedListStore(CFerrold_Handler& db);

    // Writes the plan and clears the reader's mark in one transaction; on
    // success re-reads the transponders, frees the persons and clears the
    // cached mark. The mark is cleared only when the stored rows then give
    // what the plan leaves behind on this PC's caches; when another writer
    // changed the reader's data, *markKept is set and the mark stays.
    // Failed: *error holds the database's text and nothing was changed.
    Result Store(const Plan& plan, qint32 readerId, QString* error, bool* markKept = nullptr);

private:
    // What the database holds for the reader once the plan is applied.
    CReaderPayload Expected(const Plan& plan, qint32 readerId) const;

    // "deleted": the rows the store removed; reader 0: the mark was kept.
    void UpdateCaches(const std::vector<qint32>& deleted, qint32 readerId);

    CFerrold_Handler& m_db;
};
