#include "LocaleDll.h"

#include "MessageCatalogue.h"

#include <cctype>
#include <cstdlib>

namespace tramex {

namespace {

constexpr int kSpaceClassLetterId = 143;
constexpr int kEmptyExpressionId = 251;
constexpr int kFailureId = 252;

bool isLetter(char c)
{
    return std::isalpha(static_cast<unsigned char>(c)) != 0;
}

} // namespace

std::string LocaleDll::UserLocaleName()
{
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value && *value)
            return value;
    }
    return std::string();
}

bool LocaleDll::IsExplicit(const std::string& setting)
{
    const size_t slash = setting.find_last_of("/\\");
    const size_t lastPart = slash == std::string::npos ? 0 : slash + 1;
    return setting.find('.', lastPart) != std::string::npos;
}

std::string LocaleDll::ComposeName(const std::string& setting, bool withCountry,
                                   const std::string& localeName)
{
    if (setting.empty())
        return std::string();
    if (IsExplicit(setting))
        return setting;

    // "ll_CC.codeset@modifier"
    const size_t languageEnd = localeName.find_first_of("_.@");
    const std::string language = localeName.substr(0, languageEnd);
    if (language.size() < 2 || !isLetter(language[0]) || !isLetter(language[1]))
        return std::string();
    std::string name = setting + ".";
    name += char(std::toupper(static_cast<unsigned char>(language[0])));
    name += char(std::tolower(static_cast<unsigned char>(language[1])));
    if (withCountry) {
        if (languageEnd == std::string::npos || localeName[languageEnd] != '_'
            || languageEnd + 1 >= localeName.size() || !isLetter(localeName[languageEnd + 1]))
            return std::string();
        name += char(std::toupper(static_cast<unsigned char>(localeName[languageEnd + 1])));
    }
    return name;
}

std::vector<std::string> LocaleDll::CandidateNames(const std::string& setting,
                                                   const std::string& localeName)
{
    std::vector<std::string> names;
    if (setting.empty())
        return names;
    if (IsExplicit(setting)) {
        names.push_back(setting);
        return names;
    }
    for (bool withCountry : {true, false}) {
        const std::string name = ComposeName(setting, withCountry, localeName);
        if (!name.empty())
            names.push_back(name);
    }
    names.push_back(setting + ".dll");
    return names;
}

std::string LocaleDll::Load(const std::string& setting, const std::string& localeName, Texts& texts)
{
    for (const std::string& name : CandidateNames(setting, localeName)) {
        const auto catalogue = MessageCatalogue::Load(name, false);
        if (!catalogue)
            continue;
        const std::string* letter = catalogue->Find(kSpaceClassLetterId);
        texts.spaceClassLetter = (letter && !letter->empty()) ? (*letter)[0] : '\0';
        const std::string* empty = catalogue->Find(kEmptyExpressionId);
        texts.emptyExpression = empty ? *empty : std::string();
        const std::string* failure = catalogue->Find(kFailureId);
        texts.failure = failure ? *failure : std::string();
        return name;
    }
    return std::string();
}

} // namespace tramex
