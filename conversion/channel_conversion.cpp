#include "channel_conversion.h"

#include "file_replacement.h"
#include "text_field_reader.h"
#include "text_line_writer.h"

#include <array>
#include <new>
#include <stdexcept>
#include <string_view>
#include <vector>

namespace tovik {

namespace {

const std::string kIntermediateFile = "Convert.txt";
const std::string kChannel1File = "CH1.txt";
const std::string kChannel2File = "CH2.txt";

// The items that pass 2 walks, in input order: those before the first empty
// field among the first kMaxItems.
using ItemTable = std::vector<std::string>;

struct ChannelLines
{
    std::string_view channel1;
    std::string_view channel2;
};

constexpr std::array<std::pair<std::string_view, ChannelLines>, 4> kSymbolMap{{
        {"0", {"0", "0"}},
        {"1", {"0", "1"}},
        {"2", {"1", "0"}},
        {"3", {"1", "1"}},
}};

constexpr ChannelLines kUnrecognised{"x", "x"};

// Every key is one digit, in order, so the field's one character finds its
// key without a comparison of strings, the hottest step of the conversion.
static_assert([] {
    for (std::size_t i = 0; i < kSymbolMap.size(); ++i) {
        const std::string_view key = kSymbolMap[i].first;
        if (key.size() != 1 || key[0] != static_cast<char>('0' + i))
            return false;
    }
    return true;
}());

ChannelLines channelLinesOf(std::string_view symbol)
{
    if (symbol.size() != 1 || symbol[0] < '0' || symbol[0] > '3')
        return kUnrecognised;
    return kSymbolMap[static_cast<std::size_t>(symbol[0] - '0')].second;
}

// A character alone on a line reads back as itself unless the field rules
// treat it as a delimiter, a quote or a skipped blank. Such a character goes
// through the intermediate file as this stand-in instead, so that it still
// reads back as exactly one field, unrecognised like the character itself.
constexpr std::string_view kStandIn = "?";

bool readsBackAsItself(char c)
{
    return c != ',' && c != '"' && c != ' ' && c != '\t' && c != '\r' && c != '\n';
}

ItemTable readItems(TextFieldReader &input)
{
    ItemTable items;
    std::size_t symbolCount = 0;
    bool walkEnded = false;
    for (std::size_t slot = 1; slot <= kMaxItems && !input.atEnd(); ++slot) {
        const std::size_t dropped = input.dropped();
        const std::string_view item = input.readField(kMaxSymbols);
        // Every field among the first kMaxItems is read, as the conversion
        // always has, so each is held to the same bounds: a file with an
        // oversized one is refused wherever it stands. Those after the
        // first empty field are never converted, so they are not kept.
        if (walkEnded)
            continue;
        if (item.empty()) {
            walkEnded = true;
            continue;
        }
        if (input.dropped() != dropped)
            throw TextAfterQuote{slot};
        symbolCount += item.size();
        if (symbolCount > kMaxSymbols)
            throw LimitExceeded{Limit::Symbols, kMaxSymbols};
        items.emplace_back(item);
    }
    // With every slot taken, one more field decides: a non-empty one would
    // be cut off, and an empty one would end the walk here anyway. Nothing
    // after it is read.
    if (items.size() == kMaxItems && !input.atEnd() && !input.readField(kMaxSymbols).empty())
        throw LimitExceeded{Limit::Fields, kMaxItems};
    return items;
}

void convert(const std::string &inputPath)
{
    // Pass 1: gather the items. "Convert.txt" is created before any input
    // is read, so it exists even when the input yields nothing.
    TextFieldReader input;
    input.open(inputPath);
    // Declared before the channels so that it outlives them: it holds the
    // folder's lock while their temporary files are removed.
    TextLineWriter intermediate;
    FileReplacement channels({kChannel1File, kChannel2File});
    intermediate.create(kIntermediateFile, input.id());
    // Under the lock, before anything else: the channels as a killed run
    // left them are made whole again.
    channels.recover();
    const ItemTable items = readItems(input);
    input.close();

    // Pass 2: one line of "Convert.txt" for every character of every item.
    // It stays open, and locked, until the conversion returns.
    std::size_t symbolCount = 0;
    for (const std::string &item : items) {
        for (const char &c : item) {
            intermediate.writeLine(readsBackAsItself(c) ? std::string_view(&c, 1) : kStandIn);
            ++symbolCount;
        }
    }
    intermediate.flush();

    // Pass 3: split every symbol read back into its two bits.
    TextFieldReader symbols;
    symbols.open(kIntermediateFile);
    TextLineWriter channel1;
    channel1.open(channels.createNewVersionOf(kChannel1File));
    TextLineWriter channel2;
    channel2.open(channels.createNewVersionOf(kChannel2File));
    for (std::size_t k = 1; k <= symbolCount; ++k) {
        if (symbols.atEnd())
            throw FileError(FileOperation::Read, kIntermediateFile, Refusal::EndedEarly);
        const ChannelLines lines = channelLinesOf(symbols.readField());
        channel1.writeLine(lines.channel1);
        channel2.writeLine(lines.channel2);
    }
    // Both handed to the system before either is waited on to reach the
    // disk: one journal commit can then carry both.
    channel1.flush();
    channel2.flush();
    channel1.close();
    channel2.close();
    symbols.close();
    channels.commit();

    // Deleted while still locked: a conversion waiting for the lock then
    // finds the name gone and starts afresh.
    if (!doing(FileOperation::Delete, kIntermediateFile,
               [] { return NativeFile::remove(kIntermediateFile); }))
        throw FileError(FileOperation::Delete, kIntermediateFile,
                        std::make_error_code(std::errc::no_such_file_or_directory));
}

} // namespace

std::optional<ConversionFailure> ConvertToChannels(const std::string &inputPath)
{
    try {
        convert(inputPath);
    } catch (const FileError &error) {
        return error;
    } catch (const FieldTooLong &) {
        return LimitExceeded{Limit::FieldLength, kMaxSymbols};
    } catch (const LimitExceeded &limit) {
        return limit;
    } catch (const TextAfterQuote &text) {
        return text;
    } catch (const std::bad_alloc &) {
        return OutOfMemory{};
    } catch (const std::length_error &) {
        return OutOfMemory{};
    }
    return std::nullopt;
}

} // namespace tovik
