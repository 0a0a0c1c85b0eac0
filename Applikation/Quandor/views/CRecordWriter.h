#pragma once

#include <QString>
#include <QtGlobal>

#include <functional>

class CFerrold_Base;

// How the record views write one record, and the boxes they show when the
// database says no: open the table's set on the record's key, Edit, set the
// columns, Update, Close. The caller brings its cache in line only after a
// write that succeeded, so the cache never shows what the table does not
// hold.
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

    // The boxes of the record views, caption language text 74, with the
    // normal cursor over them while the wait cursor is on.
    // A table that cannot be opened: texts 83 and 84, error icon.
    static void ShowOpenFailure();
    // A database's own text (an exception), exclamation icon.
    static void ShowDatabaseError(const QString& text);
    // An informative language text (not found, already present), exclamation icon.
    static void ShowNotice(unsigned int text);
    // A language text filled with a number, exclamation icon.
    static void ShowCount(unsigned int text, qint64 number);
    // A yes/no question with a language text; true only for Yes.
    static bool Confirm(unsigned int text);
    // The language text of a number; empty without the language component.
    static QString Text(unsigned int number);
};
