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

// The field rules, one character at a time: blanks before a field are
// skipped; a quoted field runs to the next quote, and what follows it up
// to the delimiter is dropped; an unquoted one runs to the delimiter, less
// its trailing blanks; CR LF is one delimiter.
std::vector<std::string> modelFields(std::string_view text)
{
    if (text.starts_with("\xEF\xBB\xBF"))
        text.remove_prefix(3);
    std::vector<std::string> fields;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
            ++i;
        std::string field;
        if (i < text.size() && text[i] == '"') {
            const std::size_t close = std::min(text.find('"', i + 1), text.size());
            field = text.substr(i + 1, close - i - 1);
            for (i = close; i < text.size() && !isDelimiter(text[i]);)
                ++i;
        } else {
            for (; i < text.size() && !isDelimiter(text[i]); ++i)
                field += text[i];
            field.erase(field.find_last_not_of(" \t") + 1);
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
    std::vector<std::string> fields;
    while (!reader.atEnd() && fields.size() <= size)
        fields.emplace_back(reader.readField());
    const bool utf16 = text.starts_with("\xFF\xFE") || text.starts_with("\xFE\xFF");
    if (!reader.atEnd() || (!utf16 && fields != modelFields(text)))
        std::abort();

    // From the fields, up to the first empty one among the first thousand,
    // a line in each channel for every character.
    std::string channel1, channel2;
    for (std::size_t k = 0; k < fields.size() && k < 1000 && !fields[k].empty(); ++k) {
        for (const char c : fields[k]) {
            const bool symbol = c >= '0' && c <= '3';
            channel1 += symbol ? "01"[(c - '0') / 2] : 'x';
            channel2 += symbol ? "01"[(c - '0') % 2] : 'x';
            channel1 += "\r\n";
            channel2 += "\r\n";
        }
    }
    if (tovik::ConvertToChannels("fuzz-input.txt") || readAll("CH1.txt") != channel1
        || readAll("CH2.txt") != channel2)
        std::abort();
    return 0;
}
