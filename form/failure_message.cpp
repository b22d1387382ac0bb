#include "failure_message.h"

namespace tovik {

std::string failureMessage(const ConversionFailure &failure, const std::string &inputPath)
{
    using Kind = ConversionFailure::Kind;
    const std::string cannotConvert = "Cannot convert \"" + inputPath + "\": ";
    const std::string limit = std::to_string(kMaxSymbols);
    switch (failure.kind) {
    case Kind::File:
        break;
    case Kind::FieldTooLong:
        return cannotConvert + "a field holds more than " + limit
                + " characters, the most one conversion takes";
    case Kind::TooManySymbols:
        return cannotConvert + "its items hold more than " + limit
                + " symbols, the most one conversion takes";
    case Kind::OutOfMemory:
        return cannotConvert + "there is not enough memory";
    }
    const FileError &error = *failure.file;
    return std::string("Cannot ") + verbOf(error.operation()) + " \"" + error.path()
            + "\": " + error.reason();
}

} // namespace tovik
