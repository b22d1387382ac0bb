#include "user_languages.h"

#include "wide_text.h"

#include <windows.h>

#include <algorithm>

namespace tovik {

// The language Windows shows its own menus and dialogs in, which is also
// the language of its words for a system error.
std::vector<std::string> userLanguages()
{
    wchar_t name[LOCALE_NAME_MAX_LENGTH];
    if (!::LCIDToLocaleName(MAKELCID(::GetUserDefaultUILanguage(), SORT_DEFAULT), name,
                            LOCALE_NAME_MAX_LENGTH, 0))
        return {};
    std::string language = narrow(name); // "ru-RU", as gettext would say "ru_RU"
    std::replace(language.begin(), language.end(), '-', '_');
    return {language};
}

} // namespace tovik
