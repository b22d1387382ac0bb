#pragma once

#include "channel_conversion.h"

#include <string>

namespace tovik {

// The words the user reads when converting `inputPath` failed: what failed,
// on which file, and why, in the user's language where the program speaks
// it (po/), else in English; the system's reasons in the system's own
// words, the program's in its own. Every such text is made here.
std::string failureMessage(const ConversionFailure &failure, const std::string &inputPath);

} // namespace tovik
