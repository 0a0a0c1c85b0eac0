#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// The rules a time schema's data follow, apart from any window or table:
// its names, the two-digit hours and minutes of its windows, and which
// weekday a grid column stands for.
class CZeitschemaRules
{
public:
    // The stored name of the built-in full-access schema, and its name in
    // the English cache. Compared exactly, as stored.
    static const QString kFullAccessGerman;
    static const QString kFullAccessEnglish;
    static bool IsFullAccessName(const QString& name);

    // An hour (maximum 23) or a minute (maximum 59) as typed or pasted: one
    // or two digits 0-9 within the range, given back as two digits ("7"
    // becomes "07"). Nothing for anything else: no sign, no blank, no third
    // digit, no other kind of digit. A window is stored as "HHMM" and sent
    // to the readers as it is, so nothing else may reach it.
    static std::optional<QString> TwoDigitField(const QString& text, int maximum);

    // Why a name cannot be a user schema's name: the language text of the
    // reason, 0 when it can. Empty (or only blanks), a name of the built-in
    // schema, or the name of another schema ("others" holds the names of
    // every other schema) are refused: the views, the tree and the imports
    // find schemas by name.
    static unsigned int NameProblem(const QString& name, const QStringList& others);
    static constexpr unsigned int kNameEmptyText = 280;
    static constexpr unsigned int kNameReservedText = 281;
    static constexpr unsigned int kNameTakenText = 282;

    // A new schema's name: prefix + one to four upper-case hexadecimal
    // digits of a random number below 0xFFFF, drawn again while the name is
    // taken. "draw" gives the random numbers (any value; reduced here).
    static QString UniqueName(const QString& prefix, const QStringList& taken, const std::function<quint32()>& draw);
    // The prefix of a new schema's name in the active language.
    static QString NewNamePrefix(int language);

    // Grid columns 8 to 13 are Monday to Saturday, 14 is Sunday; the table
    // stores Sunday first. 0 Sunday ... 6 Saturday; -1 for other columns.
    static int WeekdayOfColumn(int column);
};
