#pragma once

#include <QString>

// Checks a text against up to three rules chosen by flags. The grid's
// editors call it for every typed character, so it keeps no state and never
// throws: every failure is a result code.
namespace TextValidation {

enum Flags : unsigned int {
    MinimumLength = 1,
    MaximumLength = 2,
    WholeMatch = 4
};

enum Result : int {
    Valid = 0,
    TooShort = 1,
    TooLong = 2,
    NoMatch = 3,
    BadExpression = -2,
    Failed = -1
};

// The rules in the order the first failure decides. Lengths are characters.
// Engine is the regular-expression component; tests hand in their own.
template <class Engine>
int ValidateTextWith(const QString& text, unsigned int flags, const QString& expression,
                     int minLength, int maxLength)
{
    try {
        if ((flags & MinimumLength) && text.size() < minLength)
            return TooShort;
        if ((flags & MaximumLength) && text.size() > maxLength)
            return TooLong;
        if ((flags & WholeMatch) && !text.isEmpty()) {
            Engine engine;
            engine.SetExpression(expression);
            engine.SetLocaleModel(Engine::standard_locale);
            if (engine.ParseExpression() != Engine::no_error)
                return BadExpression;
            engine.SetStringToMatch(text);
            engine.SetFormatType(Engine::format_all);
            if (!engine.MatchAll())
                return NoMatch;
        }
        return Valid;
    } catch (...) {
        return Failed;
    }
}

} // namespace TextValidation

// flags: bits of TextValidation::Flags; the result is a TextValidation::Result.
int ValidateText(const QString& text, unsigned int flags, const QString& expression,
                 int minLength, int maxLength);
