#include "failure_message.h"

#include "catalogs.h"
#include "native_file.h"
#include "user_languages.h"

#include <algorithm>
#include <array>
#include <initializer_list>
#include <string_view>
#include <utility>

namespace tovik {

namespace {

enum class Message {
    Open, OpenIn, Read, ReadIn, Create, CreateIn, Write, WriteIn, Close, CloseIn,
    Delete, DeleteIn, Replace, ReplaceIn,
    OldFileKept, OldFilesKept,
    NotRegular, SymbolicLink, HardLink, ReadOnly, InUseByConversion, InUseByProgram,
    BeingConverted, EndedEarly, FolderGone, WorkingFolderGone,
    TooManyFields, FieldTooLong, TooManySymbols, TextAfterQuote, OutOfMemory,
};

struct Wording
{
    Message message;
    std::string_view text;
};

// Every text a failure shows, in English: whole sentences, their
// placeholders named in braces, and the program's own reasons, which take
// the place of the system's in {reason}. {folder} is the working folder,
// named when the path names none, as the user may not know which folder
// that is. Translators find them in po/, where xgettext takes each
// Wording( )'s English words: hence parentheses rather than braces.
constexpr std::array kWordings{
        Wording(Message::Open, R"(Cannot open "{path}": {reason})"),
        Wording(Message::OpenIn, R"(Cannot open "{path}" in {folder}: {reason})"),
        Wording(Message::Read, R"(Cannot read "{path}": {reason})"),
        Wording(Message::ReadIn, R"(Cannot read "{path}" in {folder}: {reason})"),
        Wording(Message::Create, R"(Cannot create "{path}": {reason})"),
        Wording(Message::CreateIn, R"(Cannot create "{path}" in {folder}: {reason})"),
        Wording(Message::Write, R"(Cannot write "{path}": {reason})"),
        Wording(Message::WriteIn, R"(Cannot write "{path}" in {folder}: {reason})"),
        Wording(Message::Close, R"(Cannot close "{path}": {reason})"),
        Wording(Message::CloseIn, R"(Cannot close "{path}" in {folder}: {reason})"),
        Wording(Message::Delete, R"(Cannot delete "{path}": {reason})"),
        Wording(Message::DeleteIn, R"(Cannot delete "{path}" in {folder}: {reason})"),
        Wording(Message::Replace, R"(Cannot replace "{path}": {reason})"),
        Wording(Message::ReplaceIn, R"(Cannot replace "{path}" in {folder}: {reason})"),
        Wording(Message::OldFileKept, R"(The old file is kept as "{first}".)"),
        Wording(Message::OldFilesKept, R"(The old files are kept as "{first}" and "{second}".)"),
        Wording(Message::NotRegular, "it is not a regular file"),
        Wording(Message::SymbolicLink, "it is a symbolic link"),
        Wording(Message::HardLink, "it is a second name of another file (a hard link)"),
        Wording(Message::ReadOnly, "it is read-only"),
        Wording(Message::InUseByConversion, "it is in use by another conversion"),
        Wording(Message::InUseByProgram, "it is in use by another program"),
        Wording(Message::BeingConverted, "it is the file being converted"),
        Wording(Message::EndedEarly, "it ended before its last symbol"),
        Wording(Message::FolderGone, "the folder no longer exists"),
        Wording(Message::WorkingFolderGone, "the working folder no longer exists"),
        Wording(Message::TooManyFields,
                R"(Cannot convert "{path}": it holds more than {most} fields, the most one )"
                R"(conversion takes. Put its symbols in fewer, longer fields, such as one line: )"
                R"(a field holds up to {symbols} symbols)"),
        Wording(Message::FieldTooLong,
                R"(Cannot convert "{path}": a field holds more than {most} characters, the most )"
                R"(one conversion takes)"),
        Wording(Message::TooManySymbols,
                R"(Cannot convert "{path}": its items hold more than {most} symbols, the most one )"
                R"(conversion takes)"),
        Wording(Message::TextAfterQuote,
                R"(Cannot convert "{path}": field {field} goes on after its closing quote, and )"
                R"(that text would be lost)"),
        Wording(Message::OutOfMemory, R"(Cannot convert "{path}": there is not enough memory)"),
};

static_assert([] {
    for (std::size_t i = 0; i < kWordings.size(); ++i) {
        if (kWordings[i].message != static_cast<Message>(i))
            return false;
    }
    return true;
}());

using Sentences = std::array<std::string_view, kWordings.size()>;

struct Language
{
    std::string_view name;
    Sentences sentences;
};

// English, then every language of the PO files, each with all the texts in
// the order of kWordings: the translations are matched to them when the
// program is compiled, so none is looked up when it runs, and a text left
// untranslated fails the build.
constexpr auto kLanguages = [] {
    std::array<Language, 1 + std::size(catalogs::kLanguages)> languages{};
    languages[0].name = "en";
    for (std::size_t i = 0; i < kWordings.size(); ++i)
        languages[0].sentences[i] = kWordings[i].text;
    for (std::size_t l = 1; l < languages.size(); ++l) {
        languages[l].name = catalogs::kLanguages[l - 1];
        for (const catalogs::Translation &translation : catalogs::kTranslations) {
            for (std::size_t i = 0; i < kWordings.size(); ++i) {
                if (translation.language == languages[l].name
                    && translation.english == kWordings[i].text)
                    languages[l].sentences[i] = translation.translated;
            }
        }
    }
    return languages;
}();

static_assert(std::ranges::all_of(kLanguages, [](const Language &language) {
    return std::ranges::find(language.sentences, std::string_view()) == language.sentences.end();
}));

// The first of the user's languages that the program speaks, "de_AT" read
// as "de" as gettext does; else English.
const Sentences &userSentences()
{
    for (const std::string &wanted : userLanguages()) {
        const std::string_view name = wanted;
        for (const std::string_view tried : {name, name.substr(0, name.find('_'))}) {
            for (const Language &language : kLanguages) {
                if (language.name == tried)
                    return language.sentences;
            }
        }
    }
    return kLanguages[0].sentences;
}

using Values = std::initializer_list<std::pair<std::string_view, std::string>>;

// The text of `message` in `sentences`, each {name} in it given its value.
std::string words(const Sentences &sentences, Message message, Values values = {})
{
    const std::string_view text = sentences[static_cast<std::size_t>(message)];
    std::string filled;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t open = text.find('{', at);
        const std::size_t close = text.find('}', open);
        if (close == std::string_view::npos) {
            filled += text.substr(at);
            break;
        }
        const std::string_view name = text.substr(open + 1, close - open - 1);
        const auto value = std::find_if(values.begin(), values.end(),
                                        [&](const auto &entry) { return entry.first == name; });
        filled += text.substr(at, open - at);
        filled += value != values.end() ? std::string_view(value->second)
                                        : text.substr(open, close - open + 1);
        at = close + 1;
    }
    return filled;
}

// The sentences of the operations, and the reasons of the refusals, stand
// in Message as FileOperation and Refusal list them, each sentence before
// its twin that names the folder.
constexpr Message sentenceFor(FileOperation operation, bool inFolder)
{
    return static_cast<Message>(2 * static_cast<int>(operation) + (inFolder ? 1 : 0));
}

constexpr Message reasonFor(Refusal refusal)
{
    return static_cast<Message>(static_cast<int>(Message::NotRegular) + static_cast<int>(refusal));
}

static_assert(sentenceFor(FileOperation::Open, false) == Message::Open
              && sentenceFor(FileOperation::Replace, true) == Message::ReplaceIn
              && reasonFor(Refusal::EndedEarly) == Message::EndedEarly);

std::string fileMessage(const Sentences &sentences, const FileError &error)
{
    std::string reason = error.refusal() ? words(sentences, reasonFor(*error.refusal()))
                                         : NativeFile::systemWords(error.error());
    const auto folder = NativeFile::folderOf(error.path());
    const bool inFolder = folder && !folder->path.empty();
    if (folder && folder->gone)
        reason = words(sentences, inFolder ? Message::FolderGone : Message::WorkingFolderGone);
    std::string message = words(
            sentences, sentenceFor(error.operation(), inFolder),
            {{"path", error.path()}, {"folder", inFolder ? folder->path : ""}, {"reason", reason}});

    const std::vector<std::string> &kept = error.keptAside();
    if (kept.empty())
        return message;
    // The system's words may end a sentence of their own.
    message += message.ends_with('.') ? " " : ". ";
    if (kept.size() == 1)
        return message + words(sentences, Message::OldFileKept, {{"first", kept[0]}});
    return message
            + words(sentences, Message::OldFilesKept, {{"first", kept[0]}, {"second", kept[1]}});
}

} // namespace

std::string failureMessage(const ConversionFailure &failure, const std::string &inputPath)
{
    const Sentences &sentences = userSentences();
    if (const auto *error = std::get_if<FileError>(&failure))
        return fileMessage(sentences, *error);
    if (const auto *limit = std::get_if<LimitExceeded>(&failure)) {
        const Values values{{"path", inputPath},
                            {"most", std::to_string(limit->most)},
                            {"symbols", std::to_string(kMaxSymbols)}};
        switch (limit->limit) {
        case Limit::Fields:
            return words(sentences, Message::TooManyFields, values);
        case Limit::FieldLength:
            return words(sentences, Message::FieldTooLong, values);
        case Limit::Symbols:
            break;
        }
        return words(sentences, Message::TooManySymbols, values);
    }
    if (const auto *text = std::get_if<TextAfterQuote>(&failure))
        return words(sentences, Message::TextAfterQuote,
                     {{"path", inputPath}, {"field", std::to_string(text->field)}});
    return words(sentences, Message::OutOfMemory, {{"path", inputPath}});
}

} // namespace tovik
