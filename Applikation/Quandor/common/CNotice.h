#pragma once

#include <QString>
#include <QtGlobal>

// The boxes the views and their stores show about the data: caption
// language text 74, with the normal cursor over them while the wait cursor
// is on.
class CNotice
{
public:
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
