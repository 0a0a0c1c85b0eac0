#pragma once

#include <string>
#include <vector>

namespace tramex {

// Finds the message catalogue that a "locale DLL" setting names. The
// setting names a catalogue file (see MessageCatalogue) the way it once
// named a resource library: either explicitly, or as a stem that the user's
// language and country complete.
class LocaleDll
{
public:
    // The component's own texts as a catalogue gives them; empty texts and a
    // zero letter mean "use the built-in one".
    struct Texts
    {
        char spaceClassLetter = 0;
        std::string emptyExpression;
        std::string failure;
    };

    // The user's locale as the environment names it (LC_ALL, LC_MESSAGES,
    // then LANG; the first that is set and not empty).
    static std::string UserLocaleName();

    // A setting whose last path part (after the last "/" or "\") holds a
    // "." is an explicit file name.
    static bool IsExplicit(const std::string& setting);

    // The catalogue name for a setting: an empty setting gives an empty name,
    // an explicit one itself; otherwise the setting, ".", the language in two
    // letters with a capital first ("De"), and with "withCountry" the
    // country's first letter ("D"). A locale without a language ("C",
    // "POSIX", empty) gives an empty name, as does a missing country when it
    // is asked for.
    static std::string ComposeName(const std::string& setting, bool withCountry,
                                   const std::string& localeName);

    // The names tried, in order: with country, without country, then the
    // setting with ".dll"; an explicit name alone.
    static std::vector<std::string> CandidateNames(const std::string& setting,
                                                   const std::string& localeName);

    // The first candidate that is a readable catalogue, with its texts read
    // into "texts" (left as they are when none is found); empty when none.
    static std::string Load(const std::string& setting, const std::string& localeName, Texts& texts);
};

} // namespace tramex
