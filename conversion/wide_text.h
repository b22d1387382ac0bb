#pragma once

// The program speaks UTF-8, Windows' wide APIs UTF-16: the one conversion
// between the two, for file names and the system's texts alike. A name
// that is not valid UTF-16 (NTFS allows lone surrogates) comes out with
// U+FFFD in their place, so opening it fails and says so rather than
// opening another file.

#include <string>
#include <string_view>

namespace tovik {

std::wstring widen(std::string_view utf8);
std::string narrow(std::wstring_view utf16);

} // namespace tovik
