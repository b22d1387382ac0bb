#pragma once

// The channel conversion: every quaternary symbol "0" to "3" of the input
// file becomes one line of "CH1.txt" (its high bit) and one of "CH2.txt" (its
// low bit). It works in three passes: the input's first 1000 fields become
// the items; every character of the items up to the first empty one becomes
// one line of "Convert.txt"; those lines are read back and split into the two
// channels. "Convert.txt" is deleted at the end. All three are bare names in
// the current working directory.
//
// Any character that is not a symbol gives the line "x" in both channels, so
// line k of each file always belongs to the k-th character converted.

#include "text_files.h"

#include <cstddef>
#include <optional>
#include <string>

namespace tovik {

inline constexpr std::size_t kMaxItems = 1000;
inline constexpr std::size_t kMaxSymbols = 300000;

// Returns nothing on success, or the operation that failed; never throws, so
// callers need no guard of their own. On failure the
// files written so far stay as they are, and "Convert.txt" is not deleted.
[[nodiscard]] std::optional<FileError> ConvertToChannels(const std::string &inputPath);

} // namespace tovik
