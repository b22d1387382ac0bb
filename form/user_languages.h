#pragma once

// The languages the user reads, most wanted first, as the system tells
// them: each a name such as "ru_RU" or "de", without codeset or modifier.
// None where the system asks for untranslated messages. Twins:
// user_languages_posix.cpp and user_languages_windows.cpp.

#include <string>
#include <vector>

namespace tovik {

std::vector<std::string> userLanguages();

} // namespace tovik
