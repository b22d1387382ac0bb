#include "user_languages.h"

#include <algorithm>
#include <cstdlib>
#include <string_view>

namespace tovik {

namespace {

std::string_view variable(const char *name)
{
    const char *value = std::getenv(name);
    return value ? value : "";
}

} // namespace

// As gettext reads them, so that the C library's words for a system error
// come in the same language as the sentence around them: the locale of
// messages is LC_ALL, LC_MESSAGES or LANG, the first one set, and LANGUAGE,
// a list, comes before it unless that locale is C, which asks for messages
// untranslated.
std::vector<std::string> userLanguages()
{
    std::string_view locale = variable("LC_ALL");
    if (locale.empty())
        locale = variable("LC_MESSAGES");
    if (locale.empty())
        locale = variable("LANG");
    if (locale.empty() || locale == "C" || locale == "POSIX")
        return {};
    std::string_view list = variable("LANGUAGE");
    if (list.empty())
        list = locale;

    std::vector<std::string> languages;
    while (!list.empty()) {
        const std::string_view entry = list.substr(0, list.find(':'));
        list.remove_prefix(std::min(list.size(), entry.size() + 1));
        if (const std::string_view name = entry.substr(0, entry.find_first_of(".@")); !name.empty())
            languages.emplace_back(name);
    }
    return languages;
}

} // namespace tovik
