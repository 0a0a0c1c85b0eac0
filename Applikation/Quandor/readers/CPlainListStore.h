#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

class CFerrold_Handler;

// Records in the database that a plain reader holds exactly a given list of
// transponders: the one write of the plain list dialog, in both of its
// modes.
//
// - a transponder that names the reader but is not in the list loses the
//   reader from its reader list ("3;7" of reader 3 becomes "7");
// - a listed number that no transponder has becomes a new transponder of
//   the reader, with no person, the full-access schema and no mark;
// - a listed transponder that does not name the reader gets it appended;
// - the reader's mark for sending is cleared, unless another writer changed
//   the reader's data meanwhile (Counts::markKept).
//
// Everything is one change: applied whole or, after any refusal, not at all
// (the box with the database's text has been shown then). Rows whose text
// would not change are not written, so a list of 49 costs 49 rows, not the
// table. The transponder and reader caches are re-read afterwards in every
// case, so the screen shows what the database holds.
class CPlainListStore
{
public:
    enum class Result {
        Stored,
        OpenFailed, // a table could not be opened (texts 83 and 84 shown)
        Refused     // the database refused a write (its text shown); nothing stored
    };

    struct Counts {
        int withdrawn = 0;
        int added = 0;
        int assigned = 0;
        bool markKept = false; // the stored rows differ from what was sent
    };

    // numbers: 10-digit transponder numbers; repeats count once.
    static Result Store(CFerrold_Handler& db, qint32 readerId, const QStringList& numbers, Counts* counts = nullptr);
};
