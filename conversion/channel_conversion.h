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
//
// An input is converted whole or refused, never in part: one past a limit,
// or with text that the field rules would drop, is refused before anything
// is written to the channels. Only an empty field ends the items early, by
// the rule that the fields after it are not converted.
//
// Nothing is lost on the way. Creating "Convert.txt" locks it until the
// conversion returns, so one conversion at a time works in a folder; a
// second fails at once and touches nothing. The channels are written under
// temporary names and replace "CH1.txt" and "CH2.txt" together, only when
// both are complete and on the disk; a conversion that was killed midway is
// finished or undone by the next (see FileReplacement).

#include "file_error.h"

#include <cstddef>
#include <optional>
#include <string>
#include <variant>

namespace tovik {

inline constexpr std::size_t kMaxItems = 1000;
inline constexpr std::size_t kMaxSymbols = 300000;

// What one conversion takes at most. An input past any of them is refused
// whole: nothing of it is converted, rather than the part that fits.
enum class Limit {
    Fields, // kMaxItems non-empty fields; a further non-empty one is refused
    FieldLength, // kMaxSymbols characters in a field, and as many blanks or text around it
    Symbols, // kMaxSymbols symbols in all the items together
};

struct LimitExceeded
{
    Limit limit;
    std::size_t most;
    bool operator==(const LimitExceeded &) const = default;
};

// A converted field goes on after its closing quote: the text there would
// be lost, so the input is refused. `field` counts from 1.
struct TextAfterQuote
{
    std::size_t field;
    bool operator==(const TextAfterQuote &) const = default;
};

struct OutOfMemory
{
    bool operator==(const OutOfMemory &) const = default;
};

using ConversionFailure = std::variant<FileError, LimitExceeded, TextAfterQuote, OutOfMemory>;

// Returns nothing on success; never throws, so callers need no guard of
// their own. On failure "Convert.txt" stays with what was written to it,
// and "CH1.txt" and "CH2.txt" are as they were: unless removing
// "Convert.txt", the last step, failed, when the new ones are in place, or
// an old one could not be put back and is kept aside where the failure
// says (FileError::keptAside).
[[nodiscard]] std::optional<ConversionFailure> ConvertToChannels(const std::string &inputPath);

} // namespace tovik
