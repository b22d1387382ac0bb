#include "failure_message.h"

#include "native_file.h"

#ifdef _WIN32
#include "wide_text.h"

#include <windows.h>
#endif

namespace tovik {

namespace {

const char *verbOf(FileOperation operation)
{
    switch (operation) {
    case FileOperation::Open:
        return "open";
    case FileOperation::Read:
        return "read";
    case FileOperation::Create:
        return "create";
    case FileOperation::Write:
        return "write";
    case FileOperation::Close:
        return "close";
    case FileOperation::Delete:
        return "delete";
    case FileOperation::Replace:
        return "replace";
    }
    return "use";
}

const char *wordsFor(Refusal refusal)
{
    switch (refusal) {
    case Refusal::NotRegular:
        return "it is not a regular file";
    case Refusal::SymbolicLink:
        return "it is a symbolic link";
    case Refusal::HardLink:
        return "it is a second name of another file (a hard link)";
    case Refusal::ReadOnly:
        return "it is read-only";
    case Refusal::InUseByConversion:
        return "it is in use by another conversion";
    case Refusal::InUseByProgram:
        return "it is in use by another program";
    case Refusal::BeingConverted:
        return "it is the file being converted";
    case Refusal::EndedEarly:
        return "it ended before its last symbol";
    }
    return "it cannot be used";
}

// The system's reason in its own words, in the user's language.
std::string systemWords(std::error_code error)
{
#ifdef _WIN32
    if (error.category() == std::system_category()) {
        wchar_t *buffer = nullptr;
        const DWORD length = ::FormatMessageW(
                FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM
                        | FORMAT_MESSAGE_IGNORE_INSERTS,
                nullptr, static_cast<DWORD>(error.value()), 0, reinterpret_cast<wchar_t *>(&buffer),
                0, nullptr);
        std::string words = narrow(std::wstring_view(buffer, buffer ? length : 0));
        ::LocalFree(buffer);
        while (!words.empty() && (words.back() == '\n' || words.back() == '\r' || words.back() == ' '))
            words.pop_back();
        return words.empty() ? "Windows error " + std::to_string(error.value()) : words;
    }
#endif
    return error.message();
}

std::string fileMessage(const FileError &error)
{
    std::string message = std::string("Cannot ") + verbOf(error.operation()) + " \"" + error.path()
            + "\"";
    std::string reason
            = error.refusal() ? wordsFor(*error.refusal()) : systemWords(error.error());
    // A bare name with its folder: the user may not know which folder the
    // program works in.
    if (const auto folder = NativeFile::folderOf(error.path())) {
        if (!folder->path.empty())
            message += " in " + folder->path;
        if (folder->gone)
            reason = folder->path.empty() ? "the working folder no longer exists"
                                          : "the folder no longer exists";
    }
    message += ": " + reason;

    const std::vector<std::string> &kept = error.keptAside();
    if (!kept.empty()) {
        if (message.back() != '.')
            message += '.';
        message += kept.size() == 1 ? " The old file is kept as " : " The old files are kept as ";
        for (std::size_t i = 0; i < kept.size(); ++i)
            message += (i == 0 ? "\"" : " and \"") + kept[i] + "\"";
        message += '.';
    }
    return message;
}

} // namespace

std::string failureMessage(const ConversionFailure &failure, const std::string &inputPath)
{
    if (const auto *error = std::get_if<FileError>(&failure))
        return fileMessage(*error);
    const std::string cannotConvert = "Cannot convert \"" + inputPath + "\": ";
    if (const auto *limit = std::get_if<LimitExceeded>(&failure)) {
        const std::string most = std::to_string(limit->most);
        switch (limit->limit) {
        case Limit::Fields:
            return cannotConvert + "it holds more than " + most
                    + " fields, the most one conversion takes. Put its symbols in fewer, "
                      "longer fields, such as one line: a field holds up to "
                    + std::to_string(kMaxSymbols) + " symbols";
        case Limit::FieldLength:
            return cannotConvert + "a field holds more than " + most
                    + " characters, the most one conversion takes";
        case Limit::Symbols:
            return cannotConvert + "its items hold more than " + most
                    + " symbols, the most one conversion takes";
        }
    }
    if (const auto *text = std::get_if<TextAfterQuote>(&failure))
        return cannotConvert + "field " + std::to_string(text->field)
                + " goes on after its closing quote, and that text would be lost";
    return cannotConvert + "there is not enough memory";
}

} // namespace tovik
