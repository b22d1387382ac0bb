// Arbitrary bytes as the input file: the reader must give the fields that a
// plain model of the field rules gives, and the conversion exactly the
// channels those fields call for, whatever characters they hold. A file
// that starts as UTF-16 is decoded first, which the model leaves out: it
// need only be read to its end and converted without a fault.

#include "channel_conversion.h"
#include "text_field_reader.h"

#include <cstdint>
#include <cstdlib>
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
    // a line in each channel for every character; refused instead at the
    // first of them that dropped text, or if a thousand are followed by one
    // more.
    std::size_t droppedAt = 0, k = 0;
    std::string channel1, channel2;
    for (; k < fields.size() && k < 1000 && !fields[k].text.empty() && !droppedAt; ++k) {
        droppedAt = fields[k].dropped ? k + 1 : 0;
        for (const char c : fields[k].text) {
            const bool symbol = c >= '0' && c <= '3';
            channel1 += symbol ? "01"[(c - '0') / 2] : 'x';
            channel2 += symbol ? "01"[(c - '0') % 2] : 'x';
            channel1 += "\r\n";
            channel2 += "\r\n";
        }
    }
    const bool tooMany = !droppedAt && k == 1000 && fields.size() > 1000 && !fields[1000].text.empty();
    const auto outcome = tovik::ConvertToChannels("fuzz-input.txt");
    const auto *quote = outcome ? std::get_if<tovik::TextAfterQuote>(&*outcome) : nullptr;
    const auto *limit = outcome ? std::get_if<tovik::LimitExceeded>(&*outcome) : nullptr;
    if (droppedAt ? !quote || quote->field != droppedAt
        : tooMany ? !limit || *limit != tovik::LimitExceeded{tovik::Limit::Fields, 1000}
                  : outcome || readAll("CH1.txt") != channel1 || readAll("CH2.txt") != channel2)
        std::abort();
    return 0;
}
