// Arbitrary bytes as the input file: the reader must come to its end without
// failing, and the conversion must give exactly the channels that the fields
// read call for, whatever characters they hold.

#include "channel_conversion.h"
#include "text_field_reader.h"

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>

static std::string readAll(const char *path)
{
    std::ifstream bytes(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(bytes), {}};
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    std::ofstream("fuzz-input.txt", std::ios::binary)
            .write(reinterpret_cast<const char *>(data), static_cast<std::streamsize>(size));

    // The channels expected: from the fields as read, up to the first empty
    // one among the first thousand, a line in each for every character.
    tovik::TextFieldReader reader;
    reader.open("fuzz-input.txt");
    std::string channel1, channel2;
    bool walking = true;
    for (std::size_t fields = 1; !reader.atEnd() && fields <= size; ++fields) {
        const std::string field(reader.readField());
        walking = walking && fields <= 1000 && !field.empty();
        for (const char c : walking ? field : std::string()) {
            const bool symbol = c >= '0' && c <= '3';
            channel1 += symbol ? "01"[(c - '0') / 2] : 'x';
            channel2 += symbol ? "01"[(c - '0') % 2] : 'x';
            channel1 += "\r\n";
            channel2 += "\r\n";
        }
    }
    if (!reader.atEnd() || tovik::ConvertToChannels("fuzz-input.txt")
        || readAll("CH1.txt") != channel1 || readAll("CH2.txt") != channel2)
        std::abort();
    return 0;
}
