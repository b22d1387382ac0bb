#pragma once

#include "channel_conversion.h"

#include <string>

namespace tovik {

// The words the user reads when converting `inputPath` failed: what failed,
// on which file, and why.
std::string failureMessage(const ConversionFailure &failure, const std::string &inputPath);

} // namespace tovik
