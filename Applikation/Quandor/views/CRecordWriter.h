#pragma once

#include <QString>
#include <QtGlobal>

#include <functional>

class CFerrold_Base;

// How the record views write one record: open the table's set on the
// record's key, Edit, set the columns, Update, Close; when the database says
// no, its box (CNotice) is shown. The caller brings its cache in line only
// after a write that succeeded, so the cache never shows what the table
// does not hold.
class CRecordWriter
{
public:
    enum class Result
    {
        Written,    // stored (or nothing needed changing)
        NotFound,   // the table has no record with the key; nothing shown
        OpenFailed, // the set could not be opened; the failure box was shown
        Refused,    // the database refused the write; its text was shown
    };

    // Writes the record with this key: "setColumns" sets the set's column
    // members between Edit and Update. A database exception shows its text
    // (exclamation icon) and the set is closed.
    static Result WriteByKey(CFerrold_Base& set, qint32 key, const std::function<void()>& setColumns);
    // Adds a record: "setColumns" sets the members between AddNew and Update.
    // The new record's key goes to *newKey when given.
    static Result AddNew(CFerrold_Base& set, const std::function<void()>& setColumns, qint32* newKey = nullptr);

private:
    // AddNew or Edit, the columns set, Update; a database exception shows
    // its text. The caller closes the set.
    static Result Apply(CFerrold_Base& set, bool addNew, const std::function<void()>& setColumns);
};
