// Arbitrary bytes as an input file: the reader must never fail on them or
// read past their end, and the conversion must succeed (or refuse an
// oversize input) with two channel files of one line per converted symbol.

#include "channel_conversion.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::string readAll(const char *path)
{
    std::string bytes;
    if (std::FILE *file = std::fopen(path, "rb")) {
        char block[4096];
        std::size_t count;
        while ((count = std::fread(block, 1, sizeof block, file)) > 0)
            bytes.append(block, count);
        std::fclose(file);
    }
    return bytes;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const char *const input = "fuzz-input.txt";
    if (std::FILE *file = std::fopen(input, "wb")) {
        std::fwrite(data, 1, size, file);
        std::fclose(file);
    } else {
        std::abort();
    }

    std::size_t total = 0;
    {
        tovik::TextFieldReader reader;
        reader.open(input);
        for (std::size_t i = 0; i < 2 * size + 2 && !reader.atEnd(); ++i)
            total += reader.readField().size();
        if (!reader.atEnd() || total > size)
            std::abort();
    }

    if (auto failure = tovik::ConvertToChannels(input)) {
        std::fprintf(stderr, "%s\n", failure->what());
        std::abort();
    }
    const std::string channel1 = readAll("CH1.txt");
    const std::string channel2 = readAll("CH2.txt");
    if (channel1.size() != channel2.size() || channel1.size() % 3 != 0
        || channel1.size() / 3 > size)
        std::abort();
    for (std::size_t i = 0; i < channel1.size(); i += 3) {
        if (channel1.compare(i + 1, 2, "\r\n") != 0 || channel2.compare(i + 1, 2, "\r\n") != 0)
            std::abort();
        if ((channel1[i] == 'x') != (channel2[i] == 'x'))
            std::abort();
    }
    return 0;
}
