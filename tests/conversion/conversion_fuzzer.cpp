// Arbitrary bytes as the input file: the reader must give the fields that a
// plain model of the field rules gives, and the conversion exactly the
// channels those fields call for, whatever characters they hold. A file
// that starts as UTF-16 is decoded first, which the model leaves out: it
// need only be read to its end and converted without a fault.

#include "channel_conversion.h"
#include "text_field_reader.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

namespace {

std::string readAll(const char *path)
{
    std::ifstream bytes(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(bytes), {}};
}

bool isDelimiter(char c)
{
    return c == ',' || c == '\r' || c == '\n';
}

struct Field
{
    std::string text;
    bool dropped = false; // text, blanks aside, after its closing quote
    bool operator==(const Field &) const = default;
};

// The field rules, one character at a time: blanks before a field are
// skipped; a quoted field runs to the next quote, and what follows it up
// to the delimiter is dropped; an unquoted one runs to the delimiter, less
// its trailing blanks; CR LF is one delimiter.
std::vector<Field> modelFields(std::string_view text)
{
    if (text.starts_with("\xEF\xBB\xBF"))
        text.remove_prefix(3);
    std::vector<Field> fields;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
            ++i;
        Field field;
        if (i < text.size() && text[i] == '"') {
            const std::size_t close = std::min(text.find('"', i + 1), text.size());
            field.text = text.substr(i + 1, close - i - 1);
            for (i = close + 1; i < text.size() && !isDelimiter(text[i]); ++i)
                field.dropped = field.dropped || (text[i] != ' ' && text[i] != '\t');
        } else {
            for (; i < text.size() && !isDelimiter(text[i]); ++i)
                field.text += text[i];
            field.text.erase(field.text.find_last_not_of(" \t") + 1);
        }
        if (i < text.size())
            i += text.substr(i, 2) == "\r\n" ? 2 : 1;
        fields.push_back(field);
    }
    return fields;
}

// A failure in a few words, alike for the model's and the conversion's.
std::string refusalOf(const std::optional<tovik::ConversionFailure> &failure)
{
    if (!failure)
        return "none";
    if (const auto *limit = std::get_if<tovik::LimitExceeded>(&*failure))
        return "limit " + std::to_string(static_cast<int>(limit->limit)) + " at "
                + std::to_string(limit->most);
    if (const auto *text = std::get_if<tovik::TextAfterQuote>(&*failure))
        return "text after the quote of field " + std::to_string(text->field);
    return "another failure";
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char *>(data), size);
    std::ofstream("fuzz-input.txt", std::ios::binary) << text;

    tovik::TextFieldReader reader;
    reader.open("fuzz-input.txt");
    std::vector<Field> fields;
    while (!reader.atEnd() && fields.size() <= size) {
        const std::size_t dropped = reader.dropped();
        fields.push_back({std::string(reader.readField())});
        fields.back().dropped = reader.dropped() != dropped;
    }
    const bool utf16 = text.starts_with("\xFF\xFE") || text.starts_with("\xFE\xFF");
    if (!reader.atEnd() || (!utf16 && fields != modelFields(text)))
        std::abort();

    // From the fields, up to the first empty one among the first thousand,
    // a line in each channel for every character; refused instead if one
    // of them dropped text, or if a thousand are followed by one more.
    std::optional<tovik::ConversionFailure> refusal;
    std::string channel1, channel2;
    std::size_t k = 0;
    for (; k < fields.size() && k < 1000 && !fields[k].text.empty() && !refusal; ++k) {
        if (fields[k].dropped)
            refusal = tovik::TextAfterQuote{k + 1};
        for (const char c : fields[k].text) {
            const bool symbol = c >= '0' && c <= '3';
            channel1 += symbol ? "01"[(c - '0') / 2] : 'x';
            channel2 += symbol ? "01"[(c - '0') % 2] : 'x';
            channel1 += "\r\n";
            channel2 += "\r\n";
        }
    }
    if (k == 1000 && fields.size() > 1000 && !fields[1000].text.empty() && !refusal)
        refusal = tovik::LimitExceeded{tovik::Limit::Fields, 1000};
    // Each run starts afresh: a refusal keeps the last run's channels.
    std::filesystem::remove("CH1.txt");
    std::filesystem::remove("CH2.txt");
    const auto outcome = tovik::ConvertToChannels("fuzz-input.txt");
    if (refusalOf(outcome) != refusalOf(refusal))
        std::abort();
    if (refusal ? std::filesystem::exists("CH1.txt") || std::filesystem::exists("CH2.txt")
                : readAll("CH1.txt") != channel1 || readAll("CH2.txt") != channel2)
        std::abort();
    return 0;
}
